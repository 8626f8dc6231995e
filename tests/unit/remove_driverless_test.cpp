#include "sim_test.h"

#include "devices/devices.h"

#include <optional>
#include <set>

namespace {

const char* const Removed = "SetupDiCallClassInstaller successful, line: 1228\n";
const char* const HwIdFetch = "SetupDiGetDeviceRegistryPropertyA.HardwareID";
const char* const DriverFetch = "SetupDiGetDeviceRegistryPropertyA.Driver";
const std::string Interface = "USB\\VID_4C1B&PID_7435&REV_0100&MI_01";
const std::string TailId = "USB\\VID_0E8D&PID_2000";
const std::string DriverKey = "{4d36e978-e325-11ce-bfc1-08002be10318}\\0012";
const std::string LongId = Interface + "&" + std::string(200, 'L');

std::string Found(const std::string& id) {
    return "Found! [" + id + "]\n";
}
std::string DriverFailed(DWORD error) {
    return "remove driver failed getlasterror is not  ERROR_INVALID_DATA, is " + std::to_string(error) +
           ", line: 1232\n";
}
// Raw value bytes, embedded terminators included, without the literal's own.
template <size_t N> std::string Raw(const char (&bytes)[N]) {
    return std::string(bytes, N - 1);
}
std::optional<std::string> Ids(const std::vector<std::string>& ids) {
    return sim::MultiSz(ids);
}
Lines Join(Lines first, const Lines& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// One member under test, followed by a listed driverless member that shows whether the walk went on.
enum Fate { Kept, Gone, WalkEnds };

struct WalkCase {
    const char* name;
    std::optional<std::string> ids;
    std::optional<std::string> driver;
    Lines lines;
    Fate fate;
    std::vector<sim::Fault> faults = {};
    bool present = true;
};

void PrintTo(const WalkCase& c, std::ostream* os) {
    *os << c.name;
}

class WalkTest : public SimTest, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(WalkTest, HandlesTheMemberThenGoesOnOrEnds) {
    const WalkCase& c = GetParam();
    const size_t subject = sim::AddDevice("USB\\SUBJECT\\1", c.ids, c.driver, c.present);
    const size_t tail = sim::AddDevice("USB\\TAIL\\2", Ids({TailId}), std::nullopt, true);
    for (const sim::Fault& fault : c.faults)
        sim::FailAt(fault.point, fault.occurrence, fault.error);
    // A fetch loop that spins ends the walk here rather than hanging the test.
    sim::FailAt(HwIdFetch, 20, ERROR_ACCESS_DENIED);

    EXPECT_EQ(RemoveDriverlessDevices(), 1);
    EXPECT_EQ(Traced(), Join(c.lines, c.fate != WalkEnds ? Lines{Found(TailId), Removed} : Lines{}));
    EXPECT_EQ(sim::M().devices[subject].removed, c.fate == Gone);
    EXPECT_EQ(sim::M().devices[tail].removed, c.fate != WalkEnds);
    EXPECT_EQ(sim::CallsTo("SetupDiDestroyDeviceInfoList").size(), 1u);
    // Never a fetch with a missing buffer but a size, nor with a buffer but no size.
    for (const sim::Call& call : sim::CallsTo("SetupDiGetDeviceRegistryPropertyA"))
        EXPECT_EQ(call.args[3] == "NULL", call.args[4] == "0");
}

const std::string Other = "USB\\VID_1111&PID_0001";
const std::string Long511(511, 'k');
const std::optional<std::string> Listed = Ids({Interface});
Lines FoundThen(const std::string& message) {
    return {Found(Interface), message};
}

INSTANTIATE_TEST_SUITE_P(
    Members, WalkTest,
    ::testing::Values(
        WalkCase{
            "NoDriverIsRemoved", Ids({Interface, "USB\\VID_4C1B&PID_7435"}), {}, FoundThen(Removed), Gone},
        WalkCase{"NotAttachedIsRemovedToo", Listed, {}, FoundThen(Removed), Gone, {}, false},
        WalkCase{"DriverIsKept", Listed, DriverKey, FoundThen("Driver inf is " + DriverKey + "!\n"), Kept},
        WalkCase{"SecondMatchFoundShowsFirst",
                 Ids({Other, "usb\\vid_0e8d&pid_2001"}),
                 {},
                 {Found(Other), Removed},
                 Gone},
        WalkCase{
            "SeveralMatchesHandledOnce", Ids({Interface, TailId, Interface}), {}, FoundThen(Removed), Gone},
        WalkCase{"NotListed", Ids({"USB\\VID_4C1B&PID_7436", "USB\\Class_ff&SubClass_42"}), {}, {}, Kept},
        WalkCase{"NoHardwareIds", {}, {}, {}, Kept}, WalkCase{"EmptyListValue", std::string(), {}, {}, Kept},
        WalkCase{"NoTerminatorAtAll", TailId, {}, {Found(TailId), Removed}, Gone},
        WalkCase{"EndsMidString", Raw("USB\\VID_1111\0USB\\VID_0E8D&PID_20"), {}, {}, Kept},
        WalkCase{"UnterminatedMatch",
                 Raw("USB\\VID_1111\0USB\\VID_0E8D&PID_2000"),
                 {},
                 {Found("USB\\VID_1111"), Removed},
                 Gone},
        WalkCase{"NothingAfterTheListEnd", Raw("USB\\VID_1111\0\0USB\\VID_4C1B&PID_7435\0"), {}, {}, Kept},
        WalkCase{"LongFirstIdTracedWhole", Ids({LongId}), {}, {Found(LongId), Removed}, Gone},
        WalkCase{"RemoveFails",
                 Listed,
                 {},
                 FoundThen("Remove failed!\n"),
                 Kept,
                 {{"SetupDiCallClassInstaller", 1, 5}}},
        WalkCase{"DriverOf511BytesFits", Listed, Long511, FoundThen("Driver inf is " + Long511 + "!\n"),
                 Kept},
        WalkCase{"DriverOver512Bytes", Listed, Long511 + "k", FoundThen(DriverFailed(122)), Kept},
        WalkCase{"DriverFetchError1232",
                 Listed,
                 DriverKey,
                 FoundThen(DriverFailed(1232)),
                 Kept,
                 {{DriverFetch, 1, 1232}}},
        WalkCase{
            "DriverlessFetchDenied", Listed, {}, FoundThen(DriverFailed(5)), Kept, {{DriverFetch, 1, 5}}},
        WalkCase{"NoDriverBlock", Listed, {}, {"Malloc failed\n"}, Kept, {{"LocalAlloc", 2, 8}}},
        WalkCase{"NoListBlock", Listed, {}, {"Malloc failed\n"}, Kept, {{"LocalAlloc", 1, 8}}},
        WalkCase{"AskedAgainForNoMoreIsSkipped", Listed, {}, {}, Kept, {{HwIdFetch, 2, 122}}},
        // One node that vanished since the enumeration hides no other ghost: passed over in silence.
        WalkCase{"SizeQueryDeniedIsPassedOver", Listed, {}, {}, Kept, {{HwIdFetch, 1, 5}}},
        WalkCase{"VanishedNodeIsPassedOver", Listed, {}, {}, Kept, {{HwIdFetch, 2, ERROR_NO_SUCH_DEVINST}}},
        WalkCase{"EnumerationErrorEndsWalk", Listed, {}, {}, WalkEnds, {{"SetupDiEnumDeviceInfo", 1, 6}}}),
    [](const ::testing::TestParamInfo<WalkCase>& info) { return std::string(info.param.name); });

using RemoveDriverlessTest = SimTest;

TEST_F(RemoveDriverlessTest, GrowsAgainWhenTheListGrewBetweenFetches) {
    const std::string first = *Ids({Other});
    const std::string later = *Ids({Other, Interface});
    const size_t node = sim::AddDevice("USB\\GROWING\\1", first, std::nullopt, true);
    sim::M().devices[node].hardwareIdsLater = later;

    EXPECT_EQ(RemoveDriverlessDevices(), 1);
    // The first block is too small for the grown list: a second, larger one, then the fetch succeeds.
    EXPECT_EQ(Traced(), (Lines{Found(Other), Removed}));
    EXPECT_EQ(sim::M().localSizes, (std::vector<size_t>{first.size() + 2, later.size() + 2, 513}));
    EXPECT_TRUE(sim::M().devices[node].removed);
}

TEST_F(RemoveDriverlessTest, PassesTheDocumentedArgumentsAndWalksTheUncompactedSet) {
    const std::string ids = *Ids({Interface});
    sim::AddDevice("USB\\A\\1", ids, std::nullopt);
    sim::AddDevice("USB\\B\\2", Ids({TailId}), std::nullopt);
    EXPECT_EQ(RemoveDriverlessDevices(), 1);
    EXPECT_TRUE(sim::M().devices[0].removed && sim::M().devices[1].removed);

    EXPECT_EQ(sim::CallsTo("SetupDiGetClassDevsA")[0].args, (Lines{"NULL", "NULL", "NULL", "4"}));
    const std::string cbSize = std::to_string(sizeof(SP_DEVINFO_DATA));
    std::vector<sim::Call> members = sim::CallsTo("SetupDiEnumDeviceInfo");
    ASSERT_EQ(members.size(), 3u);
    for (DWORD i = 0; i < 3; ++i)
        EXPECT_EQ(members[i].args, (Lines{"ptr", std::to_string(i), cbSize}));
    std::vector<sim::Call> fetches = sim::CallsTo("SetupDiGetDeviceRegistryPropertyA");
    ASSERT_GE(fetches.size(), 3u);
    EXPECT_EQ(fetches[0].args, (Lines{"ptr", "1", "NULL", "NULL", "0", "ptr"}));
    EXPECT_EQ(fetches[1].args, (Lines{"ptr", "1", "NULL", "ptr", std::to_string(ids.size()), "ptr"}));
    EXPECT_EQ(fetches[2].args, (Lines{"ptr", "9", "NULL", "ptr", "512", "ptr"}));
    EXPECT_EQ(sim::M().localSizes.at(0), ids.size() + 2); // the reported size and two zero guard bytes
    EXPECT_EQ(sim::CallsTo("SetupDiCallClassInstaller")[0].args, (Lines{"5", "ptr", "ptr"}));
}

TEST_F(RemoveDriverlessTest, NoDeviceOrNoMemberMeansNoTraceAndResultOne) {
    EXPECT_EQ(RemoveDriverlessDevices(), 1);
    sim::AddDevice("USB\\A\\1", Ids({Interface}), std::nullopt);
    sim::FailAt("SetupDiEnumDeviceInfo", 2, ERROR_INVALID_HANDLE);
    EXPECT_EQ(RemoveDriverlessDevices(), 1);
    EXPECT_EQ(Traced(), Lines{});
    EXPECT_FALSE(sim::M().devices[0].removed);
    EXPECT_EQ(sim::CallsTo("SetupDiDestroyDeviceInfoList").size(), 2u);
}

TEST_F(RemoveDriverlessTest, WithoutTheSetNothingElseHappens) {
    sim::AddDevice("USB\\A\\1", Ids({Interface}), std::nullopt);
    sim::FailAt("SetupDiGetClassDevsA", 1, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RemoveDriverlessDevices(), 0);
    ASSERT_EQ(sim::M().calls.size(), 1u);
    EXPECT_EQ(sim::M().calls[0].name, "SetupDiGetClassDevsA");
    EXPECT_TRUE(sim::M().localSizes.empty());
}

struct RefreshCase {
    const char* name;
    bool locatable;
    CONFIGRET reenumerateResult;
    Lines calls;
};

void PrintTo(const RefreshCase& c, std::ostream* os) {
    *os << c.name;
}

class RefreshTest : public SimTest, public ::testing::WithParamInterface<RefreshCase> {};

TEST_P(RefreshTest, TracesThenAsksFromTheRootOrGivesUp) {
    const RefreshCase& c = GetParam();
    sim::M().rootLocatable = c.locatable;
    sim::M().reenumerateResult = c.reenumerateResult;
    RefreshDevNode();
    Lines calls;
    for (const sim::Call& call : sim::M().calls)
        calls.push_back(call.name == "OutputDebugStringA" ? call.args[0] : call.name);
    EXPECT_EQ(calls, Join({"CM_Locate_DevNode_ExA", "..Install or Uninstall - Vostrel"}, c.calls));
    EXPECT_EQ(sim::CallsTo("CM_Locate_DevNode_ExA")[0].args, (Lines{"ptr", "NULL", "0", "NULL"}));
    for (const sim::Call& call : sim::CallsTo("CM_Reenumerate_DevNode_Ex"))
        EXPECT_EQ(call.args, (Lines{"1", "0", "NULL"})); // the root's handle, normal, this machine
}

INSTANTIATE_TEST_SUITE_P(
    Roots, RefreshTest,
    ::testing::Values(
        RefreshCase{"Located", true, CR_SUCCESS, {"Refresh device node", "CM_Reenumerate_DevNode_Ex"}},
        RefreshCase{
            "ReenumerationFails", true, CR_FAILURE, {"Refresh device node", "CM_Reenumerate_DevNode_Ex"}},
        RefreshCase{"RootNotLocatable", false, CR_SUCCESS, {"Get device node failed, return"}}),
    [](const ::testing::TestParamInfo<RefreshCase>& info) { return std::string(info.param.name); });

class SetupRoadTest : public SimTest, public ::testing::WithParamInterface<BOOL> {};

TEST_P(SetupRoadTest, DevicesAreMaintainedAfterTheInfsOnlyWithoutWow64) {
    sim::M().wow64 = GetParam();
    sim::AddDevice("USB\\A\\1", Ids({Interface}), std::nullopt);
    char arg0[] = "FenwarrSetup.exe";
    char* argv[] = {arg0, nullptr};
    char* envp[] = {nullptr};
    EXPECT_EQ(SetupMain(1, argv, envp), 1);
    const std::set<std::string> marks = {"SetupCopyOEMInfA", "SetupDiGetClassDevsA",
                                         "SetupDiCallClassInstaller", "CM_Locate_DevNode_ExA",
                                         "CM_Reenumerate_DevNode_Ex"};
    Lines steps;
    for (const sim::Call& call : sim::M().calls)
        if (marks.count(call.name) && (steps.empty() || steps.back() != call.name))
            steps.push_back(call.name);
    const Lines devices = {"SetupDiGetClassDevsA", "SetupDiCallClassInstaller", "CM_Locate_DevNode_ExA",
                           "CM_Reenumerate_DevNode_Ex"};
    EXPECT_EQ(steps, Join({"SetupCopyOEMInfA"}, GetParam() ? Lines{} : devices));
    EXPECT_EQ(sim::M().devices[0].removed, !GetParam());
}

INSTANTIATE_TEST_SUITE_P(Wow64, SetupRoadTest, ::testing::Values(FALSE, TRUE));

} // namespace
