#include "sim_test.h"

#include "companion/companion_main.h"

namespace {

const std::string Win64 = "\\Program Files (x86)\\Zamtre_Driver\\fenwarr\\Win64\\";
const char* const CoInstallers[] = {"WinUSBCoInstaller2.dll", "WdfCoInstaller01009.dll"};

class CompanionTest : public SimTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CompanionTest, CopiesTheSixtyFourBitCoInstallersAndMaintainsTheDevices) {
    const std::string sysDir = GetParam();
    const std::string drive = sysDir.substr(0, 2);
    sim::M().systemDir = sysDir;
    sim::AddDir(sysDir);
    for (const char* name : CoInstallers)
        sim::AddFile(drive + Win64 + name, std::string("x64 ") + name);
    size_t ghost = sim::AddDevice("USB\\X\\1", sim::MultiSz({"USB\\VID_0E8D&PID_2000"}), std::nullopt);
    size_t driven = sim::AddDevice("USB\\X\\2", sim::MultiSz({"USB\\VID_0E8D&PID_2000"}), "{c}\\0001");
    size_t other = sim::AddDevice("USB\\X\\3", sim::MultiSz({"USB\\VID_1234&PID_0001"}), std::nullopt);

    EXPECT_EQ(CompanionMain(), 1);
    std::vector<sim::Call> copies = sim::CallsTo("CopyFileA");
    ASSERT_EQ(copies.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const std::string target = sysDir + "\\" + CoInstallers[i];
        EXPECT_EQ(copies[i].args, (Lines{drive + Win64 + CoInstallers[i], target, "0"}));
        ASSERT_NE(sim::FindFile(target), nullptr);
        EXPECT_EQ(sim::FindFile(target)->data, std::string("x64 ") + CoInstallers[i]);
    }
    EXPECT_TRUE(sim::M().devices[ghost].removed);
    EXPECT_FALSE(sim::M().devices[driven].removed);
    EXPECT_FALSE(sim::M().devices[other].removed);
    EXPECT_EQ(sim::CallsTo("CM_Reenumerate_DevNode_Ex").size(), 1u);
    EXPECT_TRUE(sim::CallsTo("SetupCopyOEMInfA").empty());
    EXPECT_TRUE(sim::CallsTo("CreateProcessA").empty());

    Lines traced = Traced();
    ASSERT_GE(traced.size(), 2u);
    EXPECT_EQ(Lines(traced.begin(), traced.begin() + 2),
              (Lines{"Setup Device, 64bit companion\n", "System path: " + sysDir}));
    EXPECT_EQ(traced.back(), "Refresh device node");
    // Every string on the channel is the setup program's tag or the message behind it.
    const Lines& debug = sim::M().debug;
    ASSERT_EQ(debug.size(), 2 * traced.size());
    for (size_t i = 0; i < debug.size(); i += 2)
        EXPECT_EQ(debug[i], "..Install or Uninstall - Vostrel");
}

INSTANTIATE_TEST_SUITE_P(SystemDrives, CompanionTest,
                         ::testing::Values("C:\\Windows\\system32", "D:\\WINNT\\system32"));

struct EarlyFailure {
    const char* point;
    int occurrence;
    Lines lines;
};

void PrintTo(const EarlyFailure& c, std::ostream* os) {
    *os << c.point << '#' << c.occurrence;
}

class CompanionEarlyFailureTest : public SimTest, public ::testing::WithParamInterface<EarlyFailure> {};

TEST_P(CompanionEarlyFailureTest, TracesItsMessageDoesNothingAndExitsZero) {
    sim::FailAt(GetParam().point, GetParam().occurrence, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(CompanionMain(), 0);
    Lines expected = {"Setup Device, 64bit companion\n"};
    expected.insert(expected.end(), GetParam().lines.begin(), GetParam().lines.end());
    EXPECT_EQ(Traced(), expected);
    EXPECT_TRUE(sim::CallsTo("CopyFileA").empty());
    EXPECT_TRUE(sim::CallsTo("SetupDiGetClassDevsA").empty());
    EXPECT_TRUE(sim::CallsTo("CM_Reenumerate_DevNode_Ex").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CompanionEarlyFailureTest,
    ::testing::Values(EarlyFailure{"malloc", 1, {"Malloc for system dir failed!\n"}},
                      EarlyFailure{"GetSystemDirectoryA", 1, {"Get system dir failed!\n"}},
                      EarlyFailure{"malloc", 2, {"System path: C:\\Windows\\system32", "Malloc failed!\n"}}));

} // namespace
