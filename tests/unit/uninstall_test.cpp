// The uninstall run: listed device nodes, the road on each Windows, the companion's uninstall mode.
#include "sim_test.h"

#include "companion/companion_main.h"
#include "uninstall/uninstall.h"

#include <optional>
#include <set>

namespace {

const std::string Interface = "USB\\VID_4C1B&PID_7435&REV_0100&MI_01";
const std::string Other = "USB\\VID_1111&PID_0001";
const std::string DriverKey = "{4d36e978-e325-11ce-bfc1-08002be10318}\\0012";
const char* const Removed = "SetupDiCallClassInstaller DIF_REMOVE successful\n";
const char* const Kept = "Co-installers kept: shared with other drivers\n";
const char* const Infs[] = {"Halvex_mdm.inf", "Halvex_ser.inf",   "Halvex_adb.inf", "cdc-acm.inf",
                            "WceIS.inf",      "usbvcom_brom.inf", "usbvcom.inf"};

std::string Found(const std::string& id) {
    return "Found! [" + id + "]\n";
}

struct NodeCase {
    const char* name;
    std::optional<std::string> ids;
    std::optional<std::string> driver;
    bool present;
    Lines lines;
    bool removed;
};

void PrintTo(const NodeCase& c, std::ostream* os) {
    *os << c.name;
}

class ListedNodeTest : public SimTest, public ::testing::WithParamInterface<NodeCase> {};

TEST_P(ListedNodeTest, EveryListedNodeGoesDriverOrNoneNothingElseIsTouched) {
    const NodeCase& c = GetParam();
    const size_t node = sim::AddDevice("USB\\SUBJECT\\1", c.ids, c.driver, c.present);
    DWORD found = 0;
    EXPECT_EQ(RemoveListedDevices(&found), 1);
    EXPECT_EQ(Traced(), c.lines);
    EXPECT_EQ(sim::M().devices[node].removed, c.removed);
    EXPECT_EQ(found, c.removed ? 1u : 0u);
    // The driver is never asked for: it changes nothing here.
    for (const sim::Call& call : sim::CallsTo("SetupDiGetDeviceRegistryPropertyA"))
        EXPECT_EQ(call.args[1], "1");
    for (const sim::Call& call : sim::CallsTo("SetupDiCallClassInstaller"))
        EXPECT_EQ(call.args[0], "5");
}

INSTANTIATE_TEST_SUITE_P(
    Nodes, ListedNodeTest,
    ::testing::Values(
        NodeCase{"ListedWithDriver",
                 sim::MultiSz({Interface}),
                 DriverKey,
                 true,
                 {Found(Interface), Removed},
                 true},
        NodeCase{
            "ListedWithoutDriver", sim::MultiSz({Interface}), {}, false, {Found(Interface), Removed}, true},
        NodeCase{"ListedAtALaterId",
                 sim::MultiSz({Other, "usb\\vid_0e8d&pid_2001"}),
                 DriverKey,
                 true,
                 {Found(Other), Removed},
                 true},
        NodeCase{"Unlisted", sim::MultiSz({Other, "USB\\VID_4C1B&PID_7436"}), {}, true, {}, false},
        NodeCase{"NoHardwareIds", std::nullopt, DriverKey, true, {}, false}),
    [](const ::testing::TestParamInfo<NodeCase>& info) { return std::string(info.param.name); });

using RemoveListedTest = SimTest;

TEST_F(RemoveListedTest, FailuresAreTracedWithTheirError) {
    sim::AddDevice("USB\\A\\1", sim::MultiSz({Interface}), DriverKey);
    sim::AddDevice("USB\\B\\2", sim::MultiSz({Interface}), std::nullopt);
    sim::FailAt("SetupDiCallClassInstaller", 1, ERROR_INVALID_CLASS);
    DWORD found = 0;
    EXPECT_EQ(RemoveListedDevices(&found), 1);
    EXPECT_EQ(Traced(), (Lines{Found(Interface),
                               "SetupDiCallClassInstaller DIF_REMOVE failed, error code: 0xe0000209\n",
                               Found(Interface), Removed}));
    EXPECT_EQ(found, 2u);

    sim::Reset();
    sim::FailAt("SetupDiGetClassDevsA", 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(RemoveListedDevices(&found), 0);
    EXPECT_EQ(Traced(), Lines{"SetupDiGetClassDevs failed, error code: 0x5\n"});
}

const std::string Win32Half = "C:\\Program Files\\Zamtre_Driver\\fenwarr\\Win32";
const std::string Win64Half = "C:\\Program Files (x86)\\Zamtre_Driver\\fenwarr\\Win64";

std::string Content(const char* inf) {
    return std::string("[Version]\r\nSignature=\"$Windows NT$\"\r\n; ") + inf + "\r\n";
}

// The package half, the driver store as the setup run left it (oem0.inf .. oem6.inf), another vendor's
// INF, and devices: a listed node with its driver, a listed ghost, an unlisted node.
void InstalledMachine(const std::string& half) {
    for (const char* inf : Infs) {
        sim::AddFile(half + "\\" + inf, Content(inf));
        char dest[MAX_PATH] = {};
        ASSERT_TRUE(SetupCopyOEMInfA((half + "\\" + inf).c_str(), half.c_str(), SPOST_PATH, 0, dest,
                                     sizeof(dest), nullptr, nullptr));
    }
    sim::AddFile("C:\\Windows\\INF\\oem7.inf",
                 "[Version]\r\nSignature=\"$Windows NT$\"\r\n; cdc-acm.inf\r\nOther");
    sim::AddDevice("USB\\VID_4C1B&PID_7435\\1", sim::MultiSz({Interface}), DriverKey, true);
    sim::AddDevice("USB\\VID_0E8D&PID_2000\\2", sim::MultiSz({"USB\\VID_0E8D&PID_2000"}), std::nullopt);
    sim::AddDevice("USB\\VID_1111&PID_0001\\3", sim::MultiSz({Other}), std::nullopt, true);
    sim::M().calls.clear();
}

// The steps of the run as the platform saw them, each once per stretch.
Lines Steps() {
    const std::set<std::string> marks = {
        "SetupDiGetClassDevsA",  "SetupDiCallClassInstaller", "FindFirstFileA",
        "SetupUninstallOEMInfA", "CM_Reenumerate_DevNode_Ex", "CreateProcessA"};
    Lines steps;
    for (const sim::Call& call : sim::M().calls)
        if (marks.count(call.name) && (steps.empty() || steps.back() != call.name))
            steps.push_back(call.name);
    return steps;
}

using UninstallMainTest = SimTest;

TEST_F(UninstallMainTest, OnThirtyTwoBitWindowsDevicesThenStoreThenRefresh) {
    InstalledMachine(Win32Half);
    EXPECT_EQ(UninstallMain(), 1);
    EXPECT_EQ(Steps(), (Lines{"SetupDiGetClassDevsA", "SetupDiCallClassInstaller", "FindFirstFileA",
                              "SetupUninstallOEMInfA", "CM_Reenumerate_DevNode_Ex"}));
    EXPECT_TRUE(sim::M().devices[0].removed && sim::M().devices[1].removed);
    EXPECT_FALSE(sim::M().devices[2].removed);
    for (int n = 0; n < 7; ++n)
        EXPECT_FALSE(sim::FileExists("C:\\Windows\\INF\\oem" + std::to_string(n) + ".inf")) << n;
    EXPECT_TRUE(sim::FileExists("C:\\Windows\\INF\\oem7.inf"));
    EXPECT_EQ(sim::CallsTo("SetupUninstallOEMInfA").size(), 7u);

    const Lines traced = Traced();
    EXPECT_EQ(Lines(traced.begin(), traced.begin() + 5),
              (Lines{"Uninstall Device\n", "System path: C:\\Windows\\system32", "VerInf.dwMajorVersion: 6",
                     "VerInf.dwMinorVersion: 1", "Setup device for Windows7 32\n"}));
    EXPECT_EQ(Lines(traced.end() - 2, traced.end()), (Lines{Kept, "Refresh device node"}));
}

TEST_F(UninstallMainTest, ASecondRunFindsNothingToDo) {
    InstalledMachine(Win32Half);
    EXPECT_EQ(UninstallMain(), 1);
    sim::M().debug.clear();
    sim::M().calls.clear();
    EXPECT_EQ(UninstallMain(), 1);
    const Lines traced = Traced();
    EXPECT_EQ(Lines(traced.begin() + 5, traced.end()),
              (Lines{Kept, "Nothing to uninstall\n", "Refresh device node"}));
    EXPECT_TRUE(sim::CallsTo("SetupUninstallOEMInfA").empty());
    EXPECT_TRUE(sim::CallsTo("SetupDiCallClassInstaller").empty());
}

TEST_F(UninstallMainTest, AStoreLeftAloneIsNeverCalledNothingToDo) {
    // A clean device tree, and no package to tell our store files by.
    EXPECT_EQ(UninstallMain(), 1);
    const Lines traced = Traced();
    EXPECT_EQ(
        Lines(traced.end() - 3, traced.end()),
        (Lines{"No package INF to compare with, driver store left alone\n", Kept, "Refresh device node"}));
}

TEST_F(UninstallMainTest, UnderWow64TheCompanionDoesItAllWithTheWord) {
    sim::M().wow64 = TRUE;
    InstalledMachine(Win64Half);
    sim::AddFile("C:\\Program Files\\Zamtre_Driver\\Fenwarr64.exe", "MZ");
    EXPECT_EQ(UninstallMain(), 1);
    EXPECT_EQ(Steps(), Lines{"CreateProcessA"});
    const std::vector<sim::Call> starts = sim::CallsTo("CreateProcessA");
    EXPECT_EQ(starts[0].args[0], "C:\\Program Files\\Zamtre_Driver\\Fenwarr64.exe");
    EXPECT_EQ(starts[0].args[1], "Fenwarr64.exe /uninstall");
    EXPECT_EQ(sim::CallsTo("WaitForSingleObject")[0].args, (Lines{"process", std::to_string(INFINITE)}));
    const Lines traced = Traced();
    EXPECT_EQ(Lines(traced.begin() + 4, traced.begin() + 8),
              (Lines{"Setup device for Windows7 64\n", "Uninstall for 64bit OS\n",
                     "Module path: [C:\\Program Files\\Zamtre_Driver], line: 1718",
                     "Setup64 full name: [C:\\Program Files\\Zamtre_Driver\\Fenwarr64.exe], line: 1720"}));
    EXPECT_FALSE(sim::M().devices[0].removed);
}

struct EarlyFailure {
    const char* point;
    int occurrence;
    Lines lines;
};

void PrintTo(const EarlyFailure& c, std::ostream* os) {
    *os << c.point << '#' << c.occurrence;
}

class UninstallEarlyFailureTest : public SimTest, public ::testing::WithParamInterface<EarlyFailure> {};

TEST_P(UninstallEarlyFailureTest, TracesItsMessageTouchesNothingAndExitsZero) {
    sim::FailAt(GetParam().point, GetParam().occurrence, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(UninstallMain(), 0);
    Lines expected = {"Uninstall Device\n"};
    expected.insert(expected.end(), GetParam().lines.begin(), GetParam().lines.end());
    EXPECT_EQ(Traced(), expected);
    EXPECT_EQ(Steps(), Lines{});
}

INSTANTIATE_TEST_SUITE_P(
    Steps, UninstallEarlyFailureTest,
    ::testing::Values(EarlyFailure{"GetVersionExA", 1, {"Can't get system version\n"}},
                      EarlyFailure{"malloc", 1, {"Malloc for system dir failed!\n"}},
                      EarlyFailure{"GetSystemDirectoryA", 1, {"Get system dir failed!\n"}},
                      EarlyFailure{"malloc", 2, {"System path: C:\\Windows\\system32", "Malloc failed!\n"}}));

struct ModeCase {
    const char* name;
    std::vector<std::string> args;
    bool uninstall;
};

void PrintTo(const ModeCase& c, std::ostream* os) {
    *os << c.name;
}

class CompanionModeTest : public SimTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(CompanionModeTest, OnlyTheWordSelectsTheUninstall) {
    InstalledMachine(Win64Half);
    std::vector<std::string> args = GetParam().args;
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    EXPECT_EQ(CompanionRun(static_cast<int>(args.size()), argv.data()), 1);
    const Lines run = Traced();
    const std::vector<sim::Device> devices = sim::M().devices;

    // The same machine again, run by the mode's own routine: the very same strings on the channel.
    sim::Reset();
    InstalledMachine(Win64Half);
    EXPECT_EQ(GetParam().uninstall ? CompanionUninstallMain() : CompanionMain(), 1);
    EXPECT_EQ(run, Traced());
    EXPECT_EQ(devices[0].removed, GetParam().uninstall); // the listed node with its driver
    EXPECT_TRUE(devices[1].removed);
    EXPECT_FALSE(devices[2].removed);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, CompanionModeTest,
    ::testing::Values(ModeCase{"NoCommandLine", {}, false}, ModeCase{"ProgramOnly", {"Fenwarr64.exe"}, false},
                      ModeCase{"TheWord", {"Fenwarr64.exe", "/uninstall"}, true},
                      ModeCase{"TheWordLater", {"Fenwarr64.exe", "/q", "/uninstall"}, true},
                      ModeCase{"OtherCase", {"Fenwarr64.exe", "/UNINSTALL"}, false},
                      ModeCase{"WithoutSlash", {"Fenwarr64.exe", "uninstall"}, false},
                      ModeCase{"AsProgramName", {"/uninstall"}, false}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

using CompanionUninstallTest = SimTest;

TEST_F(CompanionUninstallTest, ComparesWithTheSixtyFourBitHalf) {
    InstalledMachine(Win64Half);
    EXPECT_EQ(CompanionUninstallMain(), 1);
    const Lines traced = Traced();
    EXPECT_EQ(traced[0], "Uninstall Device, 64bit companion\n");
    EXPECT_EQ(sim::CallsTo("FindFirstFileA")[0].args[0], Win64Half + "\\Halvex_mdm.inf");
    EXPECT_EQ(sim::CallsTo("SetupUninstallOEMInfA").size(), 7u);
    EXPECT_EQ(traced.back(), "Refresh device node");
    EXPECT_TRUE(sim::CallsTo("CopyFileA").empty());
    EXPECT_TRUE(sim::CallsTo("CreateProcessA").empty());
}

} // namespace
