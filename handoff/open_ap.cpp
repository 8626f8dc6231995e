#include "handoff/handoff.h"

#include "trace/trace.h"

void OpenAP(const char* pModule, const char* pPath, char* pCommand, int bWait) {
    STARTUPINFOA StartupInfo;
    PROCESS_INFORMATION ProcessInfo;
    memset(&StartupInfo, 0, sizeof(StartupInfo));
    StartupInfo.cb = sizeof(StartupInfo);
    StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
    StartupInfo.wShowWindow = SW_HIDE;
    memset(&ProcessInfo, 0, sizeof(ProcessInfo));

    TraceMsg("---OpenAP---", 0, 0);
    TraceMsg("pModule: %s\n", pModule, 0);
    TraceMsg("pPath: %s\n", pPath, 0);
    TraceMsg("pCommand: %s\n", pCommand, 0);

    if (!CreateProcessA(pModule, pCommand, NULL, NULL, TRUE, CREATE_NEW_CONSOLE, NULL, pPath, &StartupInfo,
                        &ProcessInfo)) {
        DWORD Error = GetLastError();
        printf("CreateProcess failed (%d).\n", static_cast<int>(Error));
        // Untagged, so it stands out to anyone watching the channel.
        OutputDebugStringA("CreateProcess failed");
        return;
    }
    if (bWait)
        WaitForSingleObject(ProcessInfo.hProcess, INFINITE);
    CloseHandle(ProcessInfo.hProcess);
    CloseHandle(ProcessInfo.hThread);
}
