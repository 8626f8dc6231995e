#include "setup/classify.h"

int CheckWow64() {
    BOOL bWow64 = FALSE;
    // Looked up at run time: Windows before XP SP2 has no IsWow64Process, and cannot be 64-bit either.
    FARPROC pProc = GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process");
    if (pProc == NULL)
        return 0;
    IsWow64ProcessFn pIsWow64Process = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(pProc));
    if (!pIsWow64Process(GetCurrentProcess(), &bWow64))
        return 0;
    return bWow64;
}
