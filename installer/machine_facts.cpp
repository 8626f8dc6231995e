// The facts a record's header names, read from this Windows.
#include "installer/machine_facts.h"

#include "reader/processors.h"

#include <windows.h>

#include <cstring>

namespace {

typedef LONG(WINAPI* RtlGetVersionFn)(OSVERSIONINFOW*);
typedef BOOL(WINAPI* IsWow64Process2Fn)(HANDLE, USHORT*, USHORT*);
typedef void(WINAPI* GetNativeSystemInfoFn)(SYSTEM_INFO*);

// RtlGetVersion tells the truth whatever the manifest of the installer's process says; GetVersionEx
// stops at 6.2 without one.
void ReadVersion(HeaderFacts* pFacts) {
    OSVERSIONINFOW Info;
    memset(&Info, 0, sizeof(Info));
    Info.dwOSVersionInfoSize = sizeof(Info);
    HMODULE Ntdll = GetModuleHandleA("ntdll.dll");
    RtlGetVersionFn pRtlGetVersion =
        Ntdll != NULL ? reinterpret_cast<RtlGetVersionFn>(
                            reinterpret_cast<void*>(GetProcAddress(Ntdll, "RtlGetVersion")))
                      : NULL;
    if (pRtlGetVersion == NULL || pRtlGetVersion(&Info) != 0) {
        Info.dwOSVersionInfoSize = sizeof(Info);
        if (!GetVersionExW(&Info))
            return;
    }
    pFacts->Major = Info.dwMajorVersion;
    pFacts->Minor = Info.dwMinorVersion;
    pFacts->Build = Info.dwBuildNumber;
    WideCharToMultiByte(CP_ACP, 0, Info.szCSDVersion, -1, pFacts->ServicePack, sizeof(pFacts->ServicePack),
                        NULL, NULL);
}

// The processor, as the setup program finds it: IsWow64Process2 where Windows has it, else the native
// system information (Windows XP on; before it no WOW64, and the system information is the native one).
uint16_t ReadMachine() {
    HMODULE Kernel32 = GetModuleHandleA("kernel32.dll");
    IsWow64Process2Fn pIsWow64Process2 =
        Kernel32 != NULL ? reinterpret_cast<IsWow64Process2Fn>(
                               reinterpret_cast<void*>(GetProcAddress(Kernel32, "IsWow64Process2")))
                         : NULL;
    USHORT Process = 0;
    USHORT Native = 0;
    if (pIsWow64Process2 != NULL && pIsWow64Process2(GetCurrentProcess(), &Process, &Native) && Native != 0)
        return Native;
    GetNativeSystemInfoFn pNative =
        Kernel32 != NULL ? reinterpret_cast<GetNativeSystemInfoFn>(
                               reinterpret_cast<void*>(GetProcAddress(Kernel32, "GetNativeSystemInfo")))
                         : NULL;
    SYSTEM_INFO Info;
    if (pNative != NULL)
        pNative(&Info);
    else
        GetSystemInfo(&Info);
    return MachineOfArchitecture(Info.wProcessorArchitecture);
}

} // namespace

void ReadHeaderFacts(HeaderFacts* pFacts) {
    memset(pFacts, 0, sizeof(*pFacts));
    DWORD Size = sizeof(pFacts->Computer);
    if (!GetComputerNameA(pFacts->Computer, &Size))
        strcpy(pFacts->Computer, "?");
    ReadVersion(pFacts);
    pFacts->Machine = ReadMachine();

    SYSTEMTIME Local;
    GetLocalTime(&Local);
    pFacts->Started = {Local.wYear, Local.wMonth, Local.wDay, Local.wHour, Local.wMinute, Local.wSecond};
    SYSTEMTIME Utc;
    GetSystemTime(&Utc);
    pFacts->StartedUtc = {Utc.wYear, Utc.wMonth, Utc.wDay, Utc.wHour, Utc.wMinute, Utc.wSecond};
    TIME_ZONE_INFORMATION Zone;
    const DWORD Which = GetTimeZoneInformation(&Zone);
    LONG Bias = Zone.Bias;
    if (Which == TIME_ZONE_ID_DAYLIGHT)
        Bias += Zone.DaylightBias;
    else if (Which == TIME_ZONE_ID_STANDARD)
        Bias += Zone.StandardBias;
    pFacts->UtcOffsetMinutes = Which == TIME_ZONE_ID_INVALID ? 0 : -Bias;
}
