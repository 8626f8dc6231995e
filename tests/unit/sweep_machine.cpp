#include "sweep_machine.h"

#include "companion/companion_main.h"
#include "setup/classify.h"
#include "setup/setup_main.h"
#include "sim/sim.h"
#include "uninstall/uninstall.h"

namespace sweep {

const char* const Dlls[2] = {"WinUSBCoInstaller2.dll", "WdfCoInstaller01009.dll"};
const char* const Infs[7] = {"Halvex_mdm.inf", "Halvex_ser.inf",   "Halvex_adb.inf", "cdc-acm.inf",
                             "WceIS.inf",      "usbvcom_brom.inf", "usbvcom.inf"};
const std::string StoreDir = "C:\\Windows\\INF\\";
const char* const ForeignStoreFiles[3] = {"cdc-acm.inf", "oem9.inf", "machine.inf"};
const char* const NoHalfLine = "No package half for native machine 0xaa64\n";
const char* const ChangingCalls[5] = {"CopyFileA", "SetupCopyOEMInfA", "CreateProcessA",
                                      "SetupDiCallClassInstaller", "CM_Reenumerate_DevNode_Ex"};

namespace {

std::string InfContent(const std::string& inf) {
    return "[Version]\nSignature=\"$Windows NT$\"\n; " + inf;
}

} // namespace

bool IsUninstall(Road road) {
    return road == Road::Uninstall32 || road == Road::Uninstall64 || road == Road::CompanionUninstall;
}

int StoreCopies(Road road, Machine machine) {
    if (!IsUninstall(road) || machine == Machine::GhostsOnly)
        return 0;
    return machine == Machine::CopyOnly ? 1 : 7;
}

bool HasListedNodes(Machine machine) {
    return machine != Machine::CopyOnly;
}

// Every run asks kernel32 for IsWow64Process2 first; the companion's runs never ask for IsWow64Process.
int WowLookup(Road road) {
    return road == Road::Companion || road == Road::CompanionUninstall ? 0 : 2;
}

int StoreLookup(Road road) {
    return road == Road::CompanionUninstall ? 2 : 3;
}

void DescribeMachine(Road road, Machine machine) {
    sim::Reset();
    Is64BitHost = 0;
    SystemDriveLetter = 0;
    std::string package = "C:\\Program Files\\Zamtre_Driver\\fenwarr\\Win32";
    if (road != Road::Setup32 && road != Road::Uninstall32)
        package = "C:\\Program Files (x86)\\Zamtre_Driver\\fenwarr\\Win64";
    // A Windows with IsWow64Process2, so that the sweep fails it too.
    sim::M().hasIsWow64Process2 = true;
    const bool native32 = road == Road::Setup32 || road == Road::Uninstall32;
    sim::M().nativeMachine = machine == Machine::Arm64 ? IMAGE_FILE_MACHINE_ARM64
                             : native32                ? IMAGE_FILE_MACHINE_I386
                                                       : IMAGE_FILE_MACHINE_AMD64;
    if (road == Road::Setup64 || road == Road::Uninstall64) {
        sim::M().wow64 = TRUE;
        sim::AddFile("C:\\Program Files\\Zamtre_Driver\\Fenwarr64.exe", "MZ");
    }
    for (const char* dll : Dlls)
        sim::AddFile(package + "\\" + dll, "MZ");
    for (const char* inf : Infs)
        sim::AddFile(package + "\\" + inf, InfContent(inf));
    if (IsUninstall(road)) {
        for (int n = 0; n < StoreCopies(road, machine); ++n)
            sim::AddFile(StoreDir + "oem" + std::to_string(n) + ".inf", InfContent(Infs[n]));
        for (const char* name : ForeignStoreFiles)
            sim::AddFile(StoreDir + name, InfContent("cdc-acm.in_")); // the same size as ours
    }
    const bool listed = HasListedNodes(machine);
    const std::string Guid = "{4d36e97d-e325-11ce-bfc1-08002be10318}\\00";
    sim::AddDevice("PCI\\VEN_8086&DEV_1E31\\3&1158&0&A0", sim::MultiSz({"PCI\\VEN_8086&DEV_1E31&REV_04"}),
                   Guid + "21");
    sim::AddDevice("USB\\VID_0E8D&PID_2000\\5&2A0F",
                   sim::MultiSz({listed ? "USB\\VID_0E8D&PID_2000&REV_0100" : "USB\\VID_1111&PID_2000"}), {});
    sim::AddDevice("ROOT\\LEGACY_BEEP\\0000", std::nullopt, Guid + "01", true);
    sim::AddDevice("USB\\VID_4C1B&PID_7435&MI_00\\6&1B2C",
                   sim::MultiSz({listed ? "USB\\VID_4C1B&PID_7435&MI_00" : "USB\\VID_1111&PID_7435"}),
                   Guid + "04", true);
}

int RunRoad(Road road) {
    if (road == Road::Companion)
        return CompanionMain();
    if (road == Road::Uninstall32 || road == Road::Uninstall64)
        return UninstallMain();
    if (road == Road::CompanionUninstall) {
        char arg0[] = "Fenwarr64.exe";
        char arg1[] = "/uninstall";
        char* argv[] = {arg0, arg1, nullptr};
        return CompanionRun(2, argv);
    }
    char arg0[] = "FenwarrSetup.exe";
    char* argv[] = {arg0, nullptr};
    char* envp[] = {nullptr};
    return SetupMain(1, argv, envp);
}

std::vector<DWORD> ErrorsFor(const std::string& point) {
    if (point == "malloc" || point == "LocalAlloc")
        return {ERROR_NOT_ENOUGH_MEMORY};
    if (point == "CopyFileA")
        return {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED}; // missing source, denied destination
    if (point.rfind("Setup", 0) == 0)
        return {ERROR_INVALID_DATA, ERROR_INSUFFICIENT_BUFFER, ERROR_NO_MORE_ITEMS, ERROR_ACCESS_DENIED};
    if (point.rfind("CM_", 0) == 0)
        return {CR_FAILURE};
    return {ERROR_ACCESS_DENIED};
}

std::vector<Fault> FaultsOf(const std::map<std::string, int>& counts) {
    std::vector<Fault> faults;
    for (const auto& [point, occurrences] : counts) {
        for (int occurrence = 1; occurrence <= occurrences; ++occurrence) {
            for (DWORD error : ErrorsFor(point))
                faults.push_back({point, occurrence, error});
        }
    }
    return faults;
}

} // namespace sweep
