#include "sim_test.h"

#include "setup/classify.h"

namespace {

struct ClassifyCase {
    DWORD major, minor;
    bool hasIsWow64Process;
    BOOL wow64;
    Lines lines;
    bool is64;
};

void PrintTo(const ClassifyCase& c, std::ostream* os) {
    *os << c.major << "." << c.minor << (c.hasIsWow64Process ? "" : " without IsWow64Process")
        << (c.wow64 ? " under WOW64" : "");
}

const char* const Other = "It is other OS, win2k or win8, do continue \n";

class ClassifyTest : public SimTest, public ::testing::WithParamInterface<ClassifyCase> {};

TEST_P(ClassifyTest, TracesTheRowAndPicksFoldersFromWow64Alone) {
    const ClassifyCase& c = GetParam();
    sim::M().hasIsWow64Process = c.hasIsWow64Process;
    sim::M().wow64 = c.wow64;
    Is64BitHost = 0;
    const char* pInstall = nullptr;
    const char* pSub = nullptr;
    ClassifyPlatform(c.major, c.minor, &pInstall, &pSub);

    EXPECT_EQ(Traced(), c.lines);
    EXPECT_EQ(Is64BitHost, c.is64 ? 1 : 0);
    EXPECT_STREQ(pInstall,
                 c.is64 ? "\\Program Files (x86)\\Zamtre_Driver" : "\\Program Files\\Zamtre_Driver");
    EXPECT_STREQ(pSub, c.is64 ? "\\fenwarr\\Win64" : "\\fenwarr\\Win32");
    // The WOW64 question is asked exactly once, after any "other OS" line.
    EXPECT_EQ(sim::CallsTo("GetProcAddress").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, ClassifyTest,
    ::testing::Values(ClassifyCase{5, 0, true, FALSE, {Other, "Setup device for Windows os is 32\n"}, false},
                      ClassifyCase{5, 0, true, TRUE, {Other, "Setup device for Windows os is 64\n"}, true},
                      ClassifyCase{5, 1, true, FALSE, {"Setup device for Windows XP32\n"}, false},
                      ClassifyCase{5, 1, true, TRUE, {"Setup device for Windows XP64\n"}, true},
                      ClassifyCase{5, 2, true, FALSE, {"Setup device for Windows XP32\n"}, false},
                      ClassifyCase{5, 2, true, TRUE, {"Setup device for Windows XP64\n"}, true},
                      ClassifyCase{6, 0, true, FALSE, {"Setup device for Windows Vista32\n"}, false},
                      ClassifyCase{6, 0, true, TRUE, {"Setup device for Windows Vista64\n"}, true},
                      ClassifyCase{6, 1, true, FALSE, {"Setup device for Windows7 32\n"}, false},
                      ClassifyCase{6, 1, true, TRUE, {"Setup device for Windows7 64\n"}, true},
                      ClassifyCase{6, 2, true, FALSE, {Other, "Setup device for Windows os is 32\n"}, false},
                      ClassifyCase{6, 2, true, TRUE, {Other, "Setup device for Windows os is 64\n"}, true},
                      ClassifyCase{10, 0, true, FALSE, {Other, "Setup device for Windows os is 32\n"}, false},
                      ClassifyCase{10, 0, true, TRUE, {Other, "Setup device for Windows os is 64\n"}, true},
                      // Without IsWow64Process the answer is "not WOW64", whatever the machine.
                      ClassifyCase{5, 1, false, TRUE, {"Setup device for Windows XP32\n"}, false},
                      ClassifyCase{
                          5, 0, false, TRUE, {Other, "Setup device for Windows os is 32\n"}, false}));

using CheckWow64Test = SimTest;

TEST_F(CheckWow64Test, AsksKernel32ForTheCurrentProcess) {
    sim::M().wow64 = TRUE;
    EXPECT_NE(CheckWow64(), 0);
    EXPECT_EQ(sim::CallsTo("GetModuleHandleA")[0].args, (Lines{"kernel32"}));
    EXPECT_EQ(sim::CallsTo("GetProcAddress")[0].args[1], "IsWow64Process");
    EXPECT_EQ(sim::CallsTo("IsWow64Process")[0].args[0], "current");
}

TEST_F(CheckWow64Test, AFailedQueryMeansNotWow64) {
    sim::M().wow64 = TRUE;
    sim::FailAt("IsWow64Process", 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(CheckWow64(), 0);
}

} // namespace
