#include "sim_test.h"

#include "setup/setup_main.h"

namespace {

const char* const Tag = "..Install or Uninstall - Vostrel";

int RunSetup() {
    char arg0[] = "FenwarrSetup.exe";
    char* argv[] = {arg0, nullptr};
    char* envp[] = {nullptr};
    return SetupMain(1, argv, envp);
}

Lines Head(size_t count) {
    Lines all = Traced();
    all.resize(std::min(count, all.size()));
    return all;
}

using SetupMainTest = SimTest;

TEST_F(SetupMainTest, SystemFactsAndPlatformComeFirst) {
    EXPECT_EQ(RunSetup(), 1);
    EXPECT_EQ(Head(5),
              (Lines{"Setup Device\n", "System path: C:\\Windows\\system32", "VerInf.dwMajorVersion: 6",
                     "VerInf.dwMinorVersion: 1", "Setup device for Windows7 32\n"}));
    EXPECT_EQ(sim::CallsTo("GetVersionExA")[0].args, (Lines{"148"}));
    EXPECT_EQ(sim::CallsTo("GetSystemDirectoryA")[0].args, (Lines{"260"}));
    EXPECT_EQ(SystemDriveLetter, 'C');
}

TEST_F(SetupMainTest, EveryDebugStringIsATagOrTheMessageBehindOne) {
    RunSetup();
    const Lines& debug = sim::M().debug;
    ASSERT_EQ(debug.size() % 2, 0u);
    for (size_t i = 0; i < debug.size(); i += 2) {
        EXPECT_EQ(debug[i], Tag);
        EXPECT_NE(debug[i + 1], Tag);
    }
}

TEST_F(SetupMainTest, SourceDirectoryFollowsTheSystemDrive) {
    sim::M().systemDir = "D:\\WINNT\\system32";
    EXPECT_EQ(RunSetup(), 1);
    EXPECT_EQ(sim::CallsTo("CopyFileA")[0].args[0],
              "D:\\Program Files\\Zamtre_Driver\\fenwarr\\Win32\\WinUSBCoInstaller2.dll");
    EXPECT_EQ(SystemDriveLetter, 'D');
}

TEST_F(SetupMainTest, Wow64PicksTheSixtyFourBitHalf) {
    sim::M().wow64 = TRUE;
    EXPECT_EQ(RunSetup(), 1);
    EXPECT_EQ(sim::CallsTo("CopyFileA")[0].args[0],
              "C:\\Program Files (x86)\\Zamtre_Driver\\fenwarr\\Win64\\WinUSBCoInstaller2.dll");
    EXPECT_EQ(Is64BitHost, 1);
}

struct EarlyFailure {
    const char* point;
    Lines lines;
};

void PrintTo(const EarlyFailure& f, std::ostream* os) {
    *os << f.point;
}

class SetupEarlyFailureTest : public SimTest, public ::testing::WithParamInterface<EarlyFailure> {};

TEST_P(SetupEarlyFailureTest, TracesOnlyItsOwnMessageAndExitsZero) {
    const EarlyFailure& f = GetParam();
    std::string point = f.point;
    int occurrence = 1;
    if (point == "malloc#2") {
        point = "malloc";
        occurrence = 2;
    }
    sim::FailAt(point, occurrence, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(RunSetup(), 0);
    EXPECT_EQ(Traced(), f.lines);
    EXPECT_TRUE(sim::CallsTo("CopyFileA").empty());
    EXPECT_TRUE(sim::CallsTo("SetupCopyOEMInfA").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SetupEarlyFailureTest,
    ::testing::Values(EarlyFailure{"GetVersionExA", {"Setup Device\n", "Can't get system version\n"}},
                      EarlyFailure{"malloc", {"Setup Device\n", "Malloc for system dir failed!\n"}},
                      EarlyFailure{"GetSystemDirectoryA", {"Setup Device\n", "Get system dir failed!\n"}},
                      EarlyFailure{
                          "malloc#2",
                          {"Setup Device\n", "System path: C:\\Windows\\system32", "Malloc failed!\n"}}));

// Where IsWow64Process2 names x86 or x64, or fails, the run is as on a Windows without it, byte for byte.
// (A processor without a half: the fault sweep's Arm64 roads.)
TEST_F(SetupMainTest, IsWow64Process2ChangesNothingOnX86AndX64) {
    const USHORT Machines[] = {IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_AMD64, IMAGE_FILE_MACHINE_ARM64};
    for (int row = 0; row < 3; ++row) {
        auto run = [row, &Machines](bool hasCall) {
            sim::Reset();
            Is64BitHost = 0;
            sim::M().wow64 = row > 0 ? TRUE : FALSE;
            sim::M().hasIsWow64Process2 = hasCall;
            sim::M().nativeMachine = Machines[row];
            if (row == 2) // the ARM64 answer is lost
                sim::FailAt("IsWow64Process2", 0, ERROR_ACCESS_DENIED);
            return std::make_pair(RunSetup(), sim::M().debug);
        };
        const auto without = run(false);
        EXPECT_EQ(run(true), without) << "row " << row;
    }
}

TEST_F(SetupMainTest, SystemDirectoryThatDoesNotFitIsAFailure) {
    sim::M().systemDir = "C:\\" + std::string(300, 'w');
    EXPECT_EQ(RunSetup(), 0);
    EXPECT_EQ(Traced(), (Lines{"Setup Device\n", "Get system dir failed!\n"}));
}

TEST_F(SetupMainTest, ArgumentsChangeNothing) {
    RunSetup();
    Lines withoutArgs = sim::M().debug;
    sim::Reset();
    Is64BitHost = 0;
    char a0[] = "FenwarrSetup.exe", a1[] = "/uninstall", a2[] = "--help";
    char* argv[] = {a0, a1, a2, nullptr};
    char e0[] = "PATH=C:\\x";
    char* envp[] = {e0, nullptr};
    EXPECT_EQ(SetupMain(3, argv, envp), 1);
    EXPECT_EQ(sim::M().debug, withoutArgs);
}

} // namespace
