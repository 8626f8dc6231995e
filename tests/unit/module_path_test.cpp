// The hand-off starts nothing it cannot name: a module path that did not come whole starts no process.
#include "sim_test.h"

#include "uninstall/uninstall.h"

#include <optional>

namespace {

const std::string Deep = "C:\\Vendor\\" + std::string(300, 'd') + "\\FenwarrSetup.exe";

struct RefusedCase {
    const char* name;
    std::string modulePath;
    std::optional<DWORD> fault; // GetModuleFileNameA fails with it
    bool uninstall;             // the uninstaller's hand-off, else the setup program's
    DWORD code;                 // what the trace says
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

class ModulePathRefusedTest : public SimTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(ModulePathRefusedTest, TracesWhyAndStartsNothing) {
    const RefusedCase& c = GetParam();
    sim::M().wow64 = TRUE;
    sim::M().modulePath = c.modulePath;
    // Where a path cut short, or an empty one, would lead: a program we did not ship.
    for (const char* planted : {"C:\\Vendor\\Fenwarr64.exe", "C:\\Fenwarr64.exe", "Fenwarr64.exe"})
        sim::AddFile(planted, "MZ");
    if (c.fault)
        sim::FailAt("GetModuleFileNameA", 1, *c.fault);
    char arg0[] = "FenwarrSetup.exe";
    char* argv[] = {arg0, nullptr};
    char* envp[] = {nullptr};
    EXPECT_EQ(c.uninstall ? UninstallMain() : SetupMain(1, argv, envp), 1);

    const Lines tail = {c.uninstall ? "Uninstall for 64bit OS\n" : "Setup for 64bit OS, line: 1715",
                        "Module path failed, code is " + std::to_string(c.code) + "\n"};
    const Lines traced = Traced();
    ASSERT_GE(traced.size(), tail.size());
    EXPECT_EQ(Lines(traced.end() - tail.size(), traced.end()), tail);
    EXPECT_TRUE(sim::CallsTo("CreateProcessA").empty());
    EXPECT_TRUE(sim::M().runs.empty());
    EXPECT_EQ(sim::M().out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ModulePathRefusedTest,
    ::testing::Values(
        RefusedCase{"CallFails", "C:\\Setup\\FenwarrSetup.exe", ERROR_ACCESS_DENIED, false,
                    ERROR_ACCESS_DENIED},
        RefusedCase{"UninstallCallFails", "C:\\Setup\\FenwarrUninstall.exe", ERROR_ACCESS_DENIED, true,
                    ERROR_ACCESS_DENIED},
        // Cut inside a folder name: the folder before it is not ours.
        RefusedCase{"CutInsideAFolderName", Deep, std::nullopt, false, ERROR_INSUFFICIENT_BUFFER},
        RefusedCase{"UninstallCutInsideAFolderName", Deep, std::nullopt, true, ERROR_INSUFFICIENT_BUFFER},
        // 260 characters: the folder would be whole, but the call gives no proof of that.
        RefusedCase{"CutInTheFileName", "C:\\" + std::string(240, 'a') + "\\FenwarrSetup.exe", std::nullopt,
                    false, ERROR_INSUFFICIENT_BUFFER},
        RefusedCase{"NoFolder", "FenwarrSetup.exe", std::nullopt, false, ERROR_BAD_PATHNAME}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

using ModulePathTest = SimTest;

// 259 characters and the terminator fill the buffer exactly: the whole path, so the companion starts.
TEST_F(ModulePathTest, TheLongestWholePathIsTaken) {
    const std::string folder = "C:\\" + std::string(239, 'a');
    sim::M().wow64 = TRUE;
    sim::M().modulePath = folder + "\\FenwarrSetup.exe";
    ASSERT_EQ(sim::M().modulePath.size(), MAX_PATH - 1u);
    sim::AddFile(folder + "\\Fenwarr64.exe", "MZ");
    char arg0[] = "FenwarrSetup.exe";
    char* argv[] = {arg0, nullptr};
    char* envp[] = {nullptr};
    EXPECT_EQ(SetupMain(1, argv, envp), 1);
    EXPECT_EQ(sim::M().runs, Lines{folder + "\\Fenwarr64.exe"});
}

} // namespace
