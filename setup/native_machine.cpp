#include "setup/classify.h"

#include "trace/trace.h"

USHORT NativeMachine() {
    USHORT ProcessMachine = IMAGE_FILE_MACHINE_UNKNOWN;
    USHORT Native = IMAGE_FILE_MACHINE_UNKNOWN;
    // Looked up at run time: Windows before 10 version 1511 has no IsWow64Process2.
    FARPROC pProc = GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process2");
    if (pProc == NULL)
        return IMAGE_FILE_MACHINE_UNKNOWN;
    IsWow64Process2Fn pIsWow64Process2 = reinterpret_cast<IsWow64Process2Fn>(reinterpret_cast<void*>(pProc));
    if (!pIsWow64Process2(GetCurrentProcess(), &ProcessMachine, &Native))
        return IMAGE_FILE_MACHINE_UNKNOWN;
    return Native;
}

int MachineHasHalf() {
    // Every Windows without the answer is x86 or x64: the ARM ones all have IsWow64Process2.
    const USHORT Machine = NativeMachine();
    if (Machine == IMAGE_FILE_MACHINE_UNKNOWN || Machine == IMAGE_FILE_MACHINE_I386 ||
        Machine == IMAGE_FILE_MACHINE_AMD64)
        return 1;
    // Drivers run in kernel mode, where nothing is emulated: neither half can serve this processor.
    TraceMsg("No package half for native machine 0x%x\n", static_cast<unsigned int>(Machine), 0);
    return 0;
}
