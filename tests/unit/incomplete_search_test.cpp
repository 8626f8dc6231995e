// The uninstall road never calls a machine clean after an incomplete search: the walk tells a member it
// passed over and an early end, and "Nothing to uninstall" follows only a search that saw everything.
#include "sim_test.h"

#include "uninstall/uninstall.h"

namespace {

const std::string Ghost = "USB\\VID_0E8D&PID_2000&REV_0100";
const char* const HwIdFetch = "SetupDiGetDeviceRegistryPropertyA.HardwareID";

std::string Found(const std::string& id) {
    return "Found! [" + id + "]\n";
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

} // namespace
