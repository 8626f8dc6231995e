// Simulated processes: programs started by path, run to their end at once, waited for and closed; every
// handle's close.
#include "sim/sim.h"

using namespace sim;

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                           LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                           DWORD dwCreationFlags, LPVOID lpEnvironment, LPCSTR lpCurrentDirectory,
                           LPSTARTUPINFOA lpStartupInfo, LPPROCESS_INFORMATION lpProcessInformation) {
    Record("CreateProcessA",
           {Str(lpApplicationName), Str(lpCommandLine), Ptr(lpProcessAttributes), Ptr(lpThreadAttributes),
            Num(bInheritHandles), Num(dwCreationFlags), Ptr(lpEnvironment), Str(lpCurrentDirectory),
            "cb=" + Num(lpStartupInfo->cb) + " flags=" + Num(lpStartupInfo->dwFlags) +
                " show=" + Num(lpStartupInfo->wShowWindow),
            Ptr(lpProcessInformation)});
    if (Injected("CreateProcessA"))
        return FALSE;
    if (lpApplicationName == nullptr || !FileExists(lpApplicationName)) {
        SetLastError(lpApplicationName != nullptr && !M().dirs.count(Lower(ParentDir(lpApplicationName)))
                         ? ERROR_PATH_NOT_FOUND
                         : ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    // The program runs to its end before the caller goes on; a file without a program exits with 0.
    auto it = M().programs.find(Lower(lpApplicationName));
    M().runs.push_back(lpApplicationName);
    DWORD exitCode = it == M().programs.end() ? 0 : it->second();
    lpProcessInformation->hProcess = NewHandle("process");
    lpProcessInformation->hThread = NewHandle("thread");
    lpProcessInformation->dwProcessId = 100 + static_cast<DWORD>(M().runs.size()) * 4;
    lpProcessInformation->dwThreadId = lpProcessInformation->dwProcessId + 1;
    M().exitCodes[lpProcessInformation->hProcess] = exitCode;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    Record("WaitForSingleObject",
           {M().handles.count(hHandle) ? M().handles[hHandle] : "unknown", Num(dwMilliseconds)});
    if (Injected("WaitForSingleObject"))
        return WAIT_FAILED;
    if (!M().handles.count(hHandle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return WAIT_OBJECT_0;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    auto it = M().handles.find(hObject);
    std::string kind = it == M().handles.end() ? "unknown" : it->second;
    Record("CloseHandle", {kind});
    M().openFiles.erase(hObject);
    if (!CloseHandleOf(hObject, kind)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
