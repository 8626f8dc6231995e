// The uninstall road never calls a machine clean after an incomplete search: the walk tells a member it
// passed over and an early end, and "Nothing to uninstall" follows only a search that saw everything.
#include "sim_test.h"

#include "uninstall/uninstall.h"

#include <functional>

namespace {

const std::string Ghost = "USB\\VID_0E8D&PID_2000&REV_0100";
const std::string Half = "C:\\Program Files\\Zamtre_Driver\\fenwarr\\Win32";
const std::string Store = "C:\\Windows\\inf\\";
const char* const HwIdFetch = "SetupDiGetDeviceRegistryPropertyA.HardwareID";
const char* const Infs[] = {"Halvex_mdm.inf", "Halvex_ser.inf",   "Halvex_adb.inf", "cdc-acm.inf",
                            "WceIS.inf",      "usbvcom_brom.inf", "usbvcom.inf"};
const char* const Nothing = "Nothing to uninstall\n";

std::string Found(const std::string& id) {
    return "Found! [" + id + "]\n";
}
std::string Content(const std::string& inf) {
    return "[Version]\r\nSignature=\"$Windows NT$\"\r\n; " + inf + "\r\n";
}
// ERROR_NO_SUCH_DEVINST as %d prints it.
const std::string Vanished = std::to_string(static_cast<int>(ERROR_NO_SUCH_DEVINST));

// ---- The walk on the uninstall road ------------------------------------------------------------------

struct WalkCase {
    const char* name;
    std::vector<sim::Fault> faults;
    Lines lines;
    int searched; // RemoveListedDevices' answer: every node looked at
};

void PrintTo(const WalkCase& c, std::ostream* os) {
    *os << c.name;
}

class UninstallWalkTest : public SimTest, public ::testing::WithParamInterface<WalkCase> {};

// An unlisted node, then a listed ghost that shows whether the walk went on.
TEST_P(UninstallWalkTest, TellsWhatItPassedOverAndHowItEnded) {
    sim::AddDevice("PCI\\VEN_8086&DEV_1E31\\3", sim::MultiSz({"PCI\\VEN_8086&DEV_1E31"}), "{k}\\0001", true);
    sim::AddDevice("USB\\VID_0E8D&PID_2000\\5", sim::MultiSz({Ghost}), std::nullopt);
    for (const sim::Fault& fault : GetParam().faults)
        sim::FailAt(fault.point, fault.occurrence, fault.error);
    DWORD found = 0;
    EXPECT_EQ(RemoveListedDevices(&found), GetParam().searched);
    EXPECT_EQ(Traced(), GetParam().lines);
    EXPECT_EQ(sim::CallsTo("SetupDiDestroyDeviceInfoList").size(), 1u);
}

const Lines GhostGone = {Found(Ghost), "SetupDiCallClassInstaller DIF_REMOVE successful\n"};
Lines After(const std::string& first, const Lines& rest = GhostGone) {
    Lines lines = {first};
    lines.insert(lines.end(), rest.begin(), rest.end());
    return lines;
}

INSTANTIATE_TEST_SUITE_P(
    Members, UninstallWalkTest,
    ::testing::Values(
        WalkCase{"Complete", {}, GhostGone, 1},
        WalkCase{"VanishedNodeSkipped",
                 {{HwIdFetch, 1, ERROR_NO_SUCH_DEVINST}},
                 After("Device skipped, code is " + Vanished + "\n"),
                 0},
        WalkCase{"AskedAgainForNoMore", {{HwIdFetch, 2, 122}}, After("Device skipped, code is 122\n"), 0},
        WalkCase{"NoListBlock", {{"LocalAlloc", 1, 8}}, After("Malloc failed\n"), 0},
        WalkCase{"EnumerationError",
                 {{"SetupDiEnumDeviceInfo", 2, ERROR_INVALID_HANDLE}},
                 {"Device walk ended early, code is 6\n"},
                 0},
        // The platform's own answers for a node without a list, and for the end of the set.
        WalkCase{"NoListIsNoSkip", {{HwIdFetch, 1, ERROR_INVALID_DATA}}, GhostGone, 1},
        WalkCase{"EndOfSetIsComplete", {{"SetupDiEnumDeviceInfo", 1, ERROR_NO_MORE_ITEMS}}, {}, 1}),
    [](const ::testing::TestParamInfo<WalkCase>& info) { return std::string(info.param.name); });

// ---- The end of the run -----------------------------------------------------------------------------

struct RunCase {
    const char* name;
    std::function<void()> machine; // what the machine holds beyond the package and a foreign INF
    std::vector<sim::Fault> faults;
    std::string told; // the line that names what was passed over; empty: a complete search
};

void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.name;
}

class EndOfRunTest : public SimTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(EndOfRunTest, NothingToUninstallOnlyAfterAWholeSearch) {
    const RunCase& c = GetParam();
    for (const char* inf : Infs)
        sim::AddFile(Half + "\\" + inf, Content(inf));
    sim::AddFile(Store + "oem9.inf", Content("another vendor's"));
    c.machine();
    for (const sim::Fault& fault : c.faults)
        sim::FailAt(fault.point, fault.occurrence, fault.error);
    EXPECT_EQ(UninstallMain(), 1);

    const Lines traced = Traced();
    const Lines end =
        c.told.empty()
            ? Lines{"Co-installers kept: shared with other drivers\n", Nothing, "Refresh device node"}
            : Lines{"Co-installers kept: shared with other drivers\n", "Refresh device node"};
    ASSERT_GE(traced.size(), end.size());
    EXPECT_EQ(Lines(traced.end() - end.size(), traced.end()), end);
    if (!c.told.empty()) {
        EXPECT_NE(std::find(traced.begin(), traced.end(), c.told), traced.end()) << "missing: " << c.told;
    }
}

void NoNode() {}
void GhostOnly() {
    sim::AddDevice("USB\\VID_0E8D&PID_2000\\5", sim::MultiSz({Ghost}), std::nullopt);
}
// A node unplugged between the enumeration and the query, then a ghost.
void VanishedThenGhost() {
    sim::AddDevice("USB\\VID_4C1B&PID_7435\\9", sim::MultiSz({"USB\\VID_4C1B&PID_7435"}), std::nullopt);
    GhostOnly();
}
void LockedStoreCopy() {
    sim::AddFile(Store + "oem3.inf", Content("cdc-acm.inf"));
    sim::M().files[sim::Lower(Store + "oem3.inf")].locked = true;
}
void CopyOfAMissingPackageInf() {
    sim::M().files.erase(sim::Lower(Half + "\\Halvex_mdm.inf"));
    sim::AddFile(Store + "oem1.inf", Content("Halvex_mdm.inf"));
}
const std::string LongName = std::string(250, 'n') + ".inf";
void UnnamedStoreFile() {
    sim::AddFile(Store + LongName, Content("Halvex_mdm.inf"));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, EndOfRunTest,
    ::testing::Values(
        RunCase{"WholeSearch", NoNode, {}, ""},
        // Both ghosts are still seen and removed; only the vanished one is told.
        RunCase{"FetchErrorMidWalk",
                VanishedThenGhost,
                {{HwIdFetch, 1, ERROR_NO_SUCH_DEVINST}},
                "Device skipped, code is " + Vanished + "\n"},
        RunCase{"OnlyListedNodeVanished",
                GhostOnly,
                {{HwIdFetch, 1, ERROR_NO_SUCH_DEVINST}},
                "Device skipped, code is " + Vanished + "\n"},
        RunCase{"EnumerationError",
                GhostOnly,
                {{"SetupDiEnumDeviceInfo", 1, ERROR_INVALID_HANDLE}},
                "Device walk ended early, code is 6\n"},
        RunCase{"ListBlockFails", GhostOnly, {{"LocalAlloc", 1, ERROR_NOT_ENOUGH_MEMORY}}, "Malloc failed\n"},
        RunCase{
            "LockedStoreCopy", LockedStoreCopy, {}, "CreateFile failed, code is 32, " + Store + "oem3.inf\n"},
        RunCase{"PackageInfMissing",
                CopyOfAMissingPackageInf,
                {},
                "Package INF not found, code is 2, " + Half + "\\Halvex_mdm.inf\n"},
        RunCase{"StoreFileNameTooLong",
                UnnamedStoreFile,
                {},
                "Store file name too long: C:\\Windows\\inf\\" + LongName + "\n"}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

using VanishedNodeTest = SimTest;

// The reproduction in full: the ghost after the vanished node goes, and nothing else is touched.
TEST_F(VanishedNodeTest, TheGhostBehindItIsStillRemoved) {
    VanishedThenGhost();
    sim::FailAt(HwIdFetch, 1, ERROR_NO_SUCH_DEVINST);
    EXPECT_EQ(UninstallMain(), 1);
    EXPECT_FALSE(sim::M().devices[0].removed);
    EXPECT_TRUE(sim::M().devices[1].removed);
}

} // namespace
