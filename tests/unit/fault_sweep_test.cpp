// The whole run on each road, once per (fault point, occurrence, error) a clean run meets: no crash, no
// leak, the exit code, the failing step's own message, and every step that must follow it.
#include "sim_test.h"

#include "sweep_machine.h"
#include "trace/trace.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <set>

namespace {

using namespace sweep;

std::string Format(const char* format, DWORD value, int line = 0) {
    char text[TraceBufferSize];
    wsprintfA(text, format, value, line);
    return text;
}

// The message the failing step traces itself; empty where it has none.
std::string OwnMessage(const std::string& point, int occurrence, DWORD error) {
    static const std::map<std::string, const char*> Table = {
        {"GetVersionExA", "Can't get system version\n"},
        {"CopyFileA", "CopyFile failed!, code is %d \n"},
        {"SetupCopyOEMInfA", "SetupCopyOEMInf failed, error code: 0x%x\n"},
        {"SetupDiCallClassInstaller", "Remove failed!\n"},
        {"LocalAlloc", "Malloc failed\n"},
        {"CM_Locate_DevNode_ExA", "Get device node failed, return"},
        {"CreateProcessA", "<untagged>CreateProcess failed"},
        {"GetModuleFileNameA", "Module path failed, code is %d\n"}, // and nothing is started
    };
    // The heap blocks in order: the run's own two, three per co-installer, one per INF.
    static const char* const Mallocs[] = {
        "Malloc for system dir failed!\n", "Malloc failed!\n", "Malloc for pExistingFileName failed!\n",
        "Malloc for pSysPath failed!\n", "Malloc for pNewFileName failed!\n"};
    if (point == "malloc")
        return occurrence <= 2   ? Mallocs[occurrence - 1]
               : occurrence <= 8 ? Mallocs[2 + (occurrence - 3) % 3]
                                 : "Malloc for pFullName failed!\n";
    if (point == "GetSystemDirectoryA")
        return occurrence == 1 ? "Get system dir failed!\n" : "Get system path failed!\n";
    if (point == "SetupDiGetDeviceRegistryPropertyA.Driver")
        return error == ERROR_INVALID_DATA
                   ? "SetupDiCallClassInstaller successful, line: 1228\n"
                   : Format("remove driver failed getlasterror is not  ERROR_INVALID_DATA, is %d, line: %d\n",
                            error, 1232);
    auto it = Table.find(point);
    return it == Table.end() ? "" : Format(it->second, error);
}

// The co-installer whose copy the failure spoils, if any.
const char* SpoiledCopy(const std::string& point, int occurrence) {
    if (point == "CopyFileA")
        return Dlls[occurrence - 1];
    if (point == "GetSystemDirectoryA" && occurrence >= 2)
        return Dlls[occurrence - 2];
    if (point == "malloc" && occurrence >= 3 && occurrence <= 8)
        return Dlls[(occurrence - 3) / 3];
    return nullptr;
}

bool Early(const std::string& point, int occurrence) {
    return point == "GetVersionExA" || (point == "malloc" && occurrence <= 2) ||
           (point == "GetSystemDirectoryA" && occurrence == 1);
}

Lines StartingWith(const Lines& lines, const std::string& prefix) {
    Lines found;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
                 [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    return found;
}

// The uninstall roads' failing steps and their own messages, or the start of them where a path follows.
std::string UninstallOwnMessage(Road road, const std::string& point, int occurrence, DWORD error) {
    static const std::map<std::string, const char*> Table = {
        {"GetVersionExA", "Can't get system version\n"},
        {"GetSystemDirectoryA", "Get system dir failed!\n"},
        {"LocalAlloc", "Malloc failed\n"},
        {"SetupDiGetClassDevsA", "SetupDiGetClassDevs failed, error code: 0x%x\n"},
        {"SetupDiCallClassInstaller", "SetupDiCallClassInstaller DIF_REMOVE failed, error code: 0x%x\n"},
        {"FindNextFileA", "FindNextFile failed, code is %d\n"},
        {"CreateFileA", "CreateFile failed, code is %d, "},
        {"ReadFile", "ReadFile failed, code is %d, "},
        {"SetupUninstallOEMInfA", "SetupUninstallOEMInf failed, error code: 0x%x\n"},
        {"CM_Locate_DevNode_ExA", "Get device node failed, return"},
        {"CreateProcessA", "<untagged>CreateProcess failed"},
        {"GetModuleFileNameA", "Module path failed, code is %d\n"},
    };
    if (point == "malloc")
        return occurrence == 1 ? "Malloc for system dir failed!\n" : "Malloc failed!\n";
    if ((point == "GetModuleHandleA" || point == "GetProcAddress") && occurrence == StoreLookup(road))
        return Format("SetupUninstallOEMInf not found, code is %d, driver store left alone\n", error);
    // The walk tells an early end and a member passed over; the end of the set and a missing list are
    // the platform's own answers, and a 122 is one only at a size query.
    if (point == "SetupDiEnumDeviceInfo" && error != ERROR_NO_MORE_ITEMS)
        return Format("Device walk ended early, code is %d\n", error);
    if (point == "SetupDiGetDeviceRegistryPropertyA.HardwareID" && error != ERROR_INVALID_DATA &&
        error != ERROR_INSUFFICIENT_BUFFER)
        return Format("Device skipped, code is %d\n", error);
    if (point == "FindFirstFileA")
        return occurrence <= 7 ? Format("Package INF not found, code is %d, ", error)
                               : Format("FindFirstFile failed, code is %d, C:\\Windows\\inf\\*.inf\n", error);
    auto it = Table.find(point);
    return it == Table.end() ? "" : Format(it->second, error);
}

bool UninstallEarly(const std::string& point, int occurrence) {
    return point == "GetVersionExA" || (point == "malloc" && occurrence <= 2) ||
           point == "GetSystemDirectoryA";
}

bool Exists(const std::string& path) {
    return sim::FileExists(path);
}

// Only an enumeration error ends the device walk: whatever else fails, every member is visited.
void CheckWalkVisitsEveryMember(const std::string& point) {
    if (sim::CallsTo("SetupDiGetClassDevsA").empty() || point == "SetupDiGetClassDevsA" ||
        point == "SetupDiEnumDeviceInfo")
        return;
    EXPECT_EQ(sim::CallsTo("SetupDiEnumDeviceInfo").size(), DeviceCount + 1u);
}

// What must hold after an uninstall run: never anything that is not ours, ours gone unless the failure
// stood in the way, and never a machine called clean: each machine has something to find.
void CheckUninstallRun(Road road, Machine machine, const std::string& point, int occurrence, DWORD error,
                       int exitCode) {
    const Lines messages = Traced();
    // The end of the set given early is the platform's own answer: no walk can tell it from the real end.
    const bool endOfSet = point == "SetupDiEnumDeviceInfo" && error == ERROR_NO_MORE_ITEMS;
    if (!endOfSet) {
        EXPECT_EQ(StartingWith(messages, "Nothing to uninstall").size(), 0u);
    }
    CheckWalkVisitsEveryMember(point);
    EXPECT_EQ(sim::Leaks(), Lines{});
    EXPECT_EQ(exitCode, UninstallEarly(point, occurrence) ? 0 : 1);
    const std::string own = UninstallOwnMessage(road, point, occurrence, error);
    if (!own.empty()) {
        EXPECT_FALSE(StartingWith(messages, own).empty()) << "missing: " << own;
    }

    const std::vector<sim::Device>& devices = sim::M().devices;
    EXPECT_FALSE(devices[Unlisted].removed || devices[NoHardwareIds].removed);
    for (const char* name : ForeignStoreFiles)
        EXPECT_TRUE(Exists(StoreDir + name)) << name;
    for (const sim::Call& call : sim::CallsTo("SetupUninstallOEMInfA")) {
        EXPECT_EQ(call.args[0].rfind("oem", 0), 0u) << call.args[0];
        EXPECT_NE(call.args[0], "oem9.inf");
        EXPECT_EQ(Lines(call.args.begin() + 1, call.args.end()), (Lines{"0", "NULL"}));
    }
    if (exitCode == 0)
        return;

    if (Is64BitHost) {
        // Everything is the companion's: this process only starts it, with the word, from a whole path.
        if (point == "GetModuleFileNameA") {
            EXPECT_TRUE(sim::CallsTo("CreateProcessA").empty());
            return;
        }
        ASSERT_EQ(sim::CallsTo("CreateProcessA").size(), 1u);
        EXPECT_EQ(sim::CallsTo("CreateProcessA")[0].args[1], "Fenwarr64.exe /uninstall");
        EXPECT_TRUE(sim::CallsTo("SetupDiGetClassDevsA").empty() && sim::CallsTo("FindFirstFileA").empty());
        return;
    }
    EXPECT_EQ(StartingWith(messages, "Co-installers kept").size(), 1u);
    EXPECT_EQ(sim::CallsTo("CM_Locate_DevNode_ExA").size(), 1u);
    EXPECT_TRUE(sim::CallsTo("CreateProcessA").empty());

    static const std::set<std::string> WalkPoints = {"SetupDiGetClassDevsA", "SetupDiEnumDeviceInfo",
                                                     "SetupDiGetDeviceRegistryPropertyA.HardwareID",
                                                     "LocalAlloc", "SetupDiCallClassInstaller"};
    if (!HasListedNodes(machine)) {
        EXPECT_FALSE(devices[ListedDriverless].removed || devices[ListedWithDriver].removed);
    } else if (!WalkPoints.count(point)) {
        EXPECT_TRUE(devices[ListedDriverless].removed && devices[ListedWithDriver].removed);
    }
    // Under WOW64 without its answer, the 32-bit road looks for the 32-bit half, which is not there.
    const bool storeSpared =
        road == Road::Uninstall64 || point == "FindFirstFileA" || point == "FindNextFileA" ||
        point == "CreateFileA" || point == "ReadFile" || point == "SetupUninstallOEMInfA" ||
        ((point == "GetModuleHandleA" || point == "GetProcAddress") && occurrence == StoreLookup(road));
    int left = 0;
    for (int n = 0; n < StoreCopies(road, machine); ++n)
        left += Exists(StoreDir + "oem" + std::to_string(n) + ".inf") ? 1 : 0;
    if (!storeSpared) {
        EXPECT_EQ(left, 0);
    }
    if (road == Road::Uninstall64) {
        EXPECT_EQ(left, 7);
        EXPECT_FALSE(StartingWith(messages, "No package INF to compare with").empty());
    }
}

// A setup run on a processor without a half: it said so, and changed nothing.
bool CheckRefused(int exitCode) {
    if (StartingWith(Traced(), NoHalfLine).empty())
        return false;
    EXPECT_EQ(exitCode, 0);
    for (const char* call : ChangingCalls)
        EXPECT_TRUE(sim::CallsTo(call).empty()) << call;
    EXPECT_EQ(Is64BitHost, 0);
    EXPECT_EQ(sim::Leaks(), Lines{});
    return true;
}

// What must hold after a run with the given failure (or none).
void CheckRun(Road road, Machine machine, const std::string& point, int occurrence, DWORD error,
              int exitCode) {
    if (machine == Machine::Arm64 && !IsUninstall(road) && CheckRefused(exitCode))
        return;
    if (IsUninstall(road)) {
        CheckUninstallRun(road, machine, point, occurrence, error, exitCode);
        return;
    }
    const Lines messages = Traced();
    // The setup road's trace is fixed: a member passed over and an early end of the walk go untold.
    EXPECT_EQ(StartingWith(messages, "Device "), Lines{});
    CheckWalkVisitsEveryMember(point);
    EXPECT_EQ(sim::Leaks(), Lines{});
    EXPECT_EQ(exitCode, Early(point, occurrence) ? 0 : 1);
    const std::string own = OwnMessage(point, occurrence, error);
    if (!own.empty()) {
        EXPECT_NE(std::find(messages.begin(), messages.end(), own), messages.end()) << "missing: " << own;
    }
    if (point == "CreateProcessA") {
        EXPECT_EQ(sim::M().out, Format("CreateProcess failed (%d).\n", error));
    }
    if (exitCode == 0)
        return;

    // Without the WOW64 answer the 64-bit road falls back to the 32-bit half, which is not there.
    const bool wow64Lost =
        ((point == "GetModuleHandleA" || point == "GetProcAddress") && occurrence == WowLookup(road)) ||
        point == "IsWow64Process";
    EXPECT_EQ(Is64BitHost, road == Road::Setup64 && !wow64Lost ? 1 : 0);
    Lines expected;
    for (const char* dll : Dlls)
        if ((road == Road::Setup64 && wow64Lost) || SpoiledCopy(point, occurrence) == dll)
            expected.push_back(std::string("Copy CoInstall ") + dll + " failed!\n");
    EXPECT_EQ(StartingWith(messages, "Copy CoInstall "), expected);

    // Every INF is still attempted, and the run still ends with the devices or the companion.
    if (road != Road::Companion) {
        EXPECT_EQ(StartingWith(messages, "Full name: ").size() +
                      StartingWith(messages, "Malloc for pF").size(),
                  7u);
    }
    if (Is64BitHost) {
        EXPECT_EQ(sim::CallsTo("CreateProcessA").size(), point == "GetModuleFileNameA" ? 0u : 1u);
        return;
    }
    EXPECT_EQ(sim::CallsTo("CM_Locate_DevNode_ExA").size(), 1u);
    // Only a node that looks driverless is ever removed.
    const std::vector<sim::Device>& devices = sim::M().devices;
    EXPECT_FALSE(devices[Unlisted].removed || devices[NoHardwareIds].removed);
    const bool driverHidden =
        point == "SetupDiGetDeviceRegistryPropertyA.Driver" && occurrence == 2 && error == ERROR_INVALID_DATA;
    EXPECT_EQ(devices[ListedWithDriver].removed, driverHidden);
}

struct RoadCase {
    Road road;
    Machine machine;
    const char* name;
    int runs; // (point, occurrence, error) runs of the sweep
};

void PrintTo(const RoadCase& c, std::ostream* os) {
    *os << c.name;
}

class FaultSweepTest : public SimTest, public ::testing::WithParamInterface<RoadCase> {};

TEST_P(FaultSweepTest, EveryFailureAtEveryPointEndsCleanly) {
    const Road road = GetParam().road;
    const Machine machine = GetParam().machine;
    DescribeMachine(road, machine);
    const int cleanExit = RunRoad(road);
    {
        SCOPED_TRACE("clean run");
        CheckRun(road, machine, "", 0, 0, cleanExit);
        const bool refused = machine == Machine::Arm64 && !IsUninstall(road);
        if (road != Road::Setup64 && road != Road::Uninstall64 && HasListedNodes(machine) && !refused) {
            EXPECT_TRUE(sim::M().devices[ListedDriverless].removed);
        }
        EXPECT_EQ(StartingWith(Traced(), NoHalfLine).size(), machine == Machine::Arm64 ? 1u : 0u);
    }
    const std::map<std::string, int> counts = sim::M().counts;

    // Every fallible call the run makes is a fault point. These cannot fail, or their result is not
    // looked at and the platform gives them no fault point.
    const std::set<std::string> Infallible = {"OutputDebugStringA", "printf", "CloseHandle",
                                              "SetupDiDestroyDeviceInfoList", "FindClose"};
    for (const sim::Call& call : sim::M().calls) {
        // The property fetch is two points, one per property: "<call>.HardwareID" and "<call>.Driver".
        auto it = counts.lower_bound(call.name);
        const bool point =
            it != counts.end() && (it->first == call.name || it->first.rfind(call.name + ".", 0) == 0);
        EXPECT_TRUE(point || Infallible.count(call.name)) << call.name << " is no fault point";
    }

    int runs = 0;
    for (const Fault& fault : FaultsOf(counts)) {
        SCOPED_TRACE(fault.point + " #" + std::to_string(fault.occurrence) + " error " +
                     std::to_string(fault.error));
        DescribeMachine(road, machine);
        sim::FailAt(fault.point, fault.occurrence, fault.error);
        CheckRun(road, machine, fault.point, fault.occurrence, fault.error, RunRoad(road));
        ++runs;
    }
    // A change here means a routine gained or lost a fault point: revisit the sweep, then the constant.
    EXPECT_EQ(runs, GetParam().runs);
    std::cout << GetParam().name << ": " << counts.size() << " fault points, " << runs << " runs\n";
    RecordProperty("fault_points", static_cast<int>(counts.size()));
    RecordProperty("runs", runs);
}

INSTANTIATE_TEST_SUITE_P(
    Roads, FaultSweepTest,
    ::testing::Values(
        RoadCase{Road::Setup32, Machine::Stocked, "Setup32", 128},
        RoadCase{Road::Setup64, Machine::Stocked, "Setup64", 60},
        RoadCase{Road::Companion, Machine::Stocked, "Companion", 89},
        RoadCase{Road::Uninstall32, Machine::Stocked, "Uninstall32", 205},
        RoadCase{Road::Uninstall64, Machine::Stocked, "Uninstall64", 13},
        RoadCase{Road::CompanionUninstall, Machine::Stocked, "CompanionUninstall", 201},
        // Machines where one fault can hide all there is to find.
        RoadCase{Road::Uninstall32, Machine::GhostsOnly, "Uninstall32GhostsOnly", 112},
        RoadCase{Road::Uninstall32, Machine::CopyOnly, "Uninstall32CopyOnly", 115},
        RoadCase{Road::CompanionUninstall, Machine::GhostsOnly, "CompanionUninstallGhostsOnly", 108},
        RoadCase{Road::CompanionUninstall, Machine::CopyOnly, "CompanionUninstallCopyOnly", 111},
        // A processor without a half: the setup runs stop, unless a fault hides the processor.
        RoadCase{Road::Setup32, Machine::Arm64, "Setup32Arm64", 7},
        RoadCase{Road::Setup64, Machine::Arm64, "Setup64Arm64", 7},
        RoadCase{Road::Companion, Machine::Arm64, "CompanionArm64", 6},
        RoadCase{Road::Uninstall64, Machine::Arm64, "Uninstall64Arm64", 13},
        RoadCase{Road::CompanionUninstall, Machine::Arm64, "CompanionUninstallArm64", 201}),
    [](const ::testing::TestParamInfo<RoadCase>& info) { return std::string(info.param.name); });

} // namespace
