// Simulated kernel32 and user32 services: system facts, the module path, run-time lookups (WOW64, the
// native machine, the store's uninstall call), formatting.
#include "sim/sim.h"

#include <algorithm>
#include <cstdarg>

using namespace sim;

namespace {

BOOL WINAPI SimIsWow64Process(HANDLE hProcess, PBOOL Wow64Process) {
    Record("IsWow64Process", {hProcess == GetCurrentProcess() ? "current" : "other", Ptr(Wow64Process)});
    if (Injected("IsWow64Process"))
        return FALSE;
    *Wow64Process = M().wow64;
    return TRUE;
}

// The process's machine: x86 under WOW64, itself (UNKNOWN) where it runs natively.
BOOL WINAPI SimIsWow64Process2(HANDLE hProcess, USHORT* pProcessMachine, USHORT* pNativeMachine) {
    Record("IsWow64Process2", {hProcess == GetCurrentProcess() ? "current" : "other", Ptr(pProcessMachine),
                               Ptr(pNativeMachine)});
    if (Injected("IsWow64Process2"))
        return FALSE;
    *pProcessMachine = M().wow64 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_UNKNOWN;
    if (pNativeMachine != nullptr)
        *pNativeMachine = M().nativeMachine;
    return TRUE;
}

HMODULE const Kernel32Module = reinterpret_cast<HMODULE>(0x7c800000);
HMODULE const SetupApiModule = reinterpret_cast<HMODULE>(0x77920000);

// The module a name stands for, with or without its ".dll".
HMODULE ModuleNamed(const std::string& name) {
    const std::string lower = Lower(name);
    if (lower == "setupapi" || lower == "setupapi.dll")
        return SetupApiModule;
    if (lower == "kernel32" || lower == "kernel32.dll")
        return Kernel32Module;
    return nullptr;
}

// Formats one conversion of the wsprintfA dialect: flags, width, precision, an h or l size, and one of
// c d i u x X s. An absent string prints as "(null)", as on Windows.
std::string FormatOne(const std::string& directive, char conversion, va_list* args) {
    std::string plain = directive;
    plain.erase(std::remove_if(plain.begin(), plain.end(), [](char c) { return c == 'l' || c == 'h'; }),
                plain.end());
    char piece[2048];
    switch (conversion) {
    case 's': {
        const char* text = va_arg(*args, const char*);
        std::snprintf(piece, sizeof(piece), (plain + 's').c_str(), text == nullptr ? "(null)" : text);
        break;
    }
    case 'c':
    case 'd':
    case 'i':
        std::snprintf(piece, sizeof(piece), (plain + conversion).c_str(), va_arg(*args, int));
        break;
    default:
        std::snprintf(piece, sizeof(piece), (plain + conversion).c_str(), va_arg(*args, unsigned int));
        break;
    }
    return piece;
}

} // namespace

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
    Record("GetVersionExA", {Num(lpVersionInformation->dwOSVersionInfoSize)});
    if (Injected("GetVersionExA"))
        return FALSE;
    if (lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    lpVersionInformation->dwMajorVersion = M().major;
    lpVersionInformation->dwMinorVersion = M().minor;
    lpVersionInformation->dwBuildNumber = M().build;
    lpVersionInformation->dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::memset(lpVersionInformation->szCSDVersion, 0, sizeof(lpVersionInformation->szCSDVersion));
    return TRUE;
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    Record("GetSystemDirectoryA", {Num(uSize)});
    if (Injected("GetSystemDirectoryA"))
        return 0;
    const std::string& dir = M().systemDir;
    // Too small: nothing written, the size needed (terminator included) returned.
    if (dir.size() + 1 > uSize)
        return static_cast<UINT>(dir.size() + 1);
    std::memcpy(lpBuffer, dir.c_str(), dir.size() + 1);
    return static_cast<UINT>(dir.size());
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    Record("GetModuleFileNameA", {Ptr(hModule), Num(nSize)});
    if (Injected("GetModuleFileNameA"))
        return 0;
    const std::string& path = M().modulePath;
    if (path.size() + 1 <= nSize) {
        std::memcpy(lpFilename, path.c_str(), path.size() + 1);
        return static_cast<DWORD>(path.size());
    }
    // As Windows XP does: truncated to the buffer and left unterminated.
    std::memcpy(lpFilename, path.data(), nSize);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    Record("GetModuleHandleA", {Str(lpModuleName)});
    if (Injected("GetModuleHandleA"))
        return nullptr;
    HMODULE module = lpModuleName == nullptr ? nullptr : ModuleNamed(lpModuleName);
    if (module == nullptr)
        SetLastError(ERROR_MOD_NOT_FOUND);
    return module;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    Record("GetProcAddress", {Ptr(hModule), Str(lpProcName)});
    if (Injected("GetProcAddress"))
        return nullptr;
    if (hModule == Kernel32Module && std::strcmp(lpProcName, "IsWow64Process") == 0 && M().hasIsWow64Process)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&SimIsWow64Process));
    if (hModule == Kernel32Module && std::strcmp(lpProcName, "IsWow64Process2") == 0 &&
        M().hasIsWow64Process2)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&SimIsWow64Process2));
    if (hModule == SetupApiModule && std::strcmp(lpProcName, "SetupUninstallOEMInfA") == 0 &&
        M().hasSetupUninstallOEMInf)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&SetupUninstallOEMInfA));
    SetLastError(hModule == nullptr ? ERROR_INVALID_HANDLE : ERROR_PROC_NOT_FOUND);
    return nullptr;
}

HANDLE WINAPI GetCurrentProcess() {
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
}

int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
    // At most 1024 characters and the terminator, as the platform's limit.
    const size_t Limit = 1024;
    va_list args;
    va_start(args, lpFmt);
    std::string text;
    for (const char* p = lpFmt; *p != '\0'; ++p) {
        if (*p != '%') {
            text += *p;
            continue;
        }
        const char* start = p++;
        while (*p != '\0' && std::strchr("-#0 +", *p) != nullptr)
            ++p;
        while (*p >= '0' && *p <= '9')
            ++p;
        if (*p == '.')
            for (++p; *p >= '0' && *p <= '9'; ++p) {
            }
        while (*p == 'l' || *p == 'h')
            ++p;
        if (*p == '\0')
            break;
        if (std::strchr("cdiuxXs", *p) == nullptr) {
            text += *p; // "%%" and unknown conversions print the character
            continue;
        }
        text += FormatOne(std::string(start, p), *p, &args);
    }
    va_end(args);
    if (text.size() > Limit)
        text.resize(Limit);
    std::memcpy(lpOut, text.c_str(), text.size() + 1);
    return static_cast<int>(text.size());
}
