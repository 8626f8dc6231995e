#include "sim_test.h"

#include "handoff/handoff.h"

#include <optional>

namespace {

const std::string Dir = "C:\\Program Files\\Zamtre_Driver";
const std::string Companion = Dir + "\\Fenwarr64.exe";

const std::string Startup = "cb=" + sim::Num(sizeof(STARTUPINFOA)) + " flags=1 show=0";

// The arguments of every call of `name`, in order.
std::vector<Lines> ArgsOf(const std::string& name) {
    std::vector<Lines> args;
    for (const sim::Call& call : sim::CallsTo(name))
        args.push_back(call.args);
    return args;
}

// The names of the calls of the given kinds, in order.
Lines Sequence(const std::set<std::string>& names) {
    Lines seq;
    for (const sim::Call& call : sim::M().calls)
        if (names.count(call.name))
            seq.push_back(call.name);
    return seq;
}

int RunSetup() {
    char arg0[] = "FenwarrSetup.exe";
    char* argv[] = {arg0, nullptr};
    char* envp[] = {nullptr};
    return SetupMain(1, argv, envp);
}

Lines OpenApLines(const std::string& module, const char* path = "(null)", const char* command = "(null)") {
    return {"---OpenAP---", "pModule: " + module + "\n", std::string("pPath: ") + path + "\n",
            std::string("pCommand: ") + command + "\n"};
}

struct Cut {
    const char* path;
    std::optional<std::string> dir; // none: left as it was, result 0
};

void PrintTo(const Cut& c, std::ostream* os) {
    *os << '"' << c.path << '"';
}

class Transf2PathTest : public SimTest, public ::testing::WithParamInterface<Cut> {};

TEST_P(Transf2PathTest, CutsAtTheLastBackslashAndZeroesTheTail) {
    // A backslash right before the buffer: a scan that runs past its start would find it.
    char frame[1 + MAX_PATH];
    frame[0] = '\\';
    char* buf = frame + 1;
    std::memset(buf, 0x5A, MAX_PATH);
    std::strcpy(buf, GetParam().path);
    const std::string before(frame, sizeof(frame));

    EXPECT_EQ(Transf2Path(buf), GetParam().dir ? 1 : 0);
    if (GetParam().dir) {
        const std::string& dir = *GetParam().dir;
        EXPECT_EQ(std::string(buf, MAX_PATH), dir + std::string(MAX_PATH - dir.size(), '\0'));
        EXPECT_EQ(frame[0], '\\');
    } else {
        EXPECT_EQ(std::string(frame, sizeof(frame)), before);
    }
    EXPECT_EQ(Traced(), Lines{});
}

INSTANTIATE_TEST_SUITE_P(Paths, Transf2PathTest,
                         ::testing::Values(Cut{"C:\\Program Files\\Zamtre_Driver\\FenwarrSetup.exe", Dir},
                                           Cut{"C:\\dir\\", "C:\\dir"}, Cut{"C:\\a\\b\\\\", "C:\\a\\b\\"},
                                           Cut{"\\setup.exe", ""}, Cut{"\\", ""}, Cut{"C:\\setup.exe", "C:"},
                                           Cut{"setup.exe", std::nullopt}, Cut{"", std::nullopt}));

using Transf2PathEdgeTest = SimTest;

TEST_F(Transf2PathEdgeTest, NullIsTracedAndRefused) {
    EXPECT_EQ(Transf2Path(nullptr), 0);
    EXPECT_EQ(Traced(), Lines{"Transf2Path is null, line: 451"});
}

TEST_F(Transf2PathEdgeTest, UnterminatedBufferIsNeverReadPastItsEnd) {
    std::vector<char> buf(MAX_PATH, 'a'); // exactly 260 bytes on the heap: the sanitizer sees any overread
    buf[100] = '\\';
    EXPECT_EQ(Transf2Path(buf.data()), 1);
    EXPECT_EQ(std::string(buf.begin(), buf.end()), std::string(100, 'a') + std::string(MAX_PATH - 100, '\0'));
}

class OpenApWaitTest : public SimTest, public ::testing::WithParamInterface<int> {};

TEST_P(OpenApWaitTest, PassesItsArgumentsAndClosesBothHandles) {
    sim::AddFile("C:\\Tools\\child.exe");
    char command[] = "child.exe /q";
    OpenAP("C:\\Tools\\child.exe", "C:\\Work", command, GetParam());
    EXPECT_EQ(ArgsOf("CreateProcessA"),
              (std::vector<Lines>{{"C:\\Tools\\child.exe", "child.exe /q", "NULL", "NULL", "1", "16", "NULL",
                                   "C:\\Work", Startup, "ptr"}}));
    EXPECT_EQ(Traced(), OpenApLines("C:\\Tools\\child.exe", "C:\\Work", "child.exe /q"));
    Lines steps = {"CreateProcessA", "CloseHandle", "CloseHandle"};
    std::vector<Lines> waits;
    if (GetParam()) {
        steps.insert(steps.begin() + 1, "WaitForSingleObject");
        waits.push_back({"process", "4294967295"});
    }
    EXPECT_EQ(Sequence({"CreateProcessA", "WaitForSingleObject", "CloseHandle"}), steps);
    EXPECT_EQ(ArgsOf("WaitForSingleObject"), waits);
    EXPECT_EQ(ArgsOf("CloseHandle"), (std::vector<Lines>{{"process"}, {"thread"}}));
    EXPECT_EQ(sim::M().out, "");
}

INSTANTIATE_TEST_SUITE_P(WaitOrNot, OpenApWaitTest, ::testing::Values(1, 0));

struct StartFailure {
    const char* module;
    DWORD injected; // 0: none, the platform's own answer
    const char* out;
};

void PrintTo(const StartFailure& f, std::ostream* os) {
    *os << f.module;
    if (f.injected)
        *os << ", error " << f.injected;
}

class OpenApFailureTest : public SimTest, public ::testing::WithParamInterface<StartFailure> {};

TEST_P(OpenApFailureTest, ReportsTheErrorAndNeitherWaitsNorCloses) {
    if (GetParam().injected)
        sim::FailAt("CreateProcessA", 1, GetParam().injected);
    sim::AddFile("C:\\Tools\\child.exe");
    OpenAP(GetParam().module, nullptr, nullptr, 1);
    EXPECT_EQ(sim::M().out, GetParam().out);
    Lines expected = OpenApLines(GetParam().module);
    expected.push_back("<untagged>CreateProcess failed");
    EXPECT_EQ(Traced(), expected);
    EXPECT_EQ(Sequence({"WaitForSingleObject", "CloseHandle"}), Lines{});
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, OpenApFailureTest,
    ::testing::Values(StartFailure{"C:\\Tools\\missing.exe", 0, "CreateProcess failed (2).\n"},
                      StartFailure{"C:\\Nowhere\\child.exe", 0, "CreateProcess failed (3).\n"},
                      StartFailure{"C:\\Tools\\child.exe", ERROR_ACCESS_DENIED,
                                   "CreateProcess failed (5).\n"}));

class StepOrderTest : public SimTest, public ::testing::WithParamInterface<BOOL> {};

TEST_P(StepOrderTest, CoInstallersThenInfsThenCompanionOrDevices) {
    sim::M().wow64 = GetParam();
    sim::AddFile(Companion);
    EXPECT_EQ(RunSetup(), 1);
    Lines expected(2, "CopyFileA");
    expected.insert(expected.end(), 7, "SetupCopyOEMInfA");
    if (GetParam())
        expected.push_back("CreateProcessA");
    else
        expected.insert(expected.end(), {"SetupDiGetClassDevsA", "CM_Locate_DevNode_ExA"});
    EXPECT_EQ(Sequence({"CopyFileA", "SetupCopyOEMInfA", "CreateProcessA", "SetupDiGetClassDevsA",
                        "CM_Locate_DevNode_ExA"}),
              expected);
    EXPECT_EQ(sim::M().runs.size(), GetParam() ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Hosts, StepOrderTest, ::testing::Values(TRUE, FALSE));

class CompanionExitTest : public SimTest, public ::testing::WithParamInterface<std::optional<DWORD>> {};

TEST_P(CompanionExitTest, SetupExitsWithOneWhateverTheCompanionDoes) {
    sim::M().wow64 = TRUE;
    sim::AddFile(sim::M().modulePath);
    if (GetParam()) {
        sim::AddFile(Companion);
        DWORD code = *GetParam();
        sim::M().programs[sim::Lower(Companion)] = [code] { return code; };
    }
    EXPECT_EQ(RunSetup(), 1);
    EXPECT_EQ(sim::M().out, GetParam() ? "" : "CreateProcess failed (2).\n");
}

INSTANTIATE_TEST_SUITE_P(Outcomes, CompanionExitTest,
                         ::testing::Values(std::optional<DWORD>(0), std::optional<DWORD>(1),
                                           std::optional<DWORD>(7), std::nullopt));

struct ModuleCase {
    std::string modulePath;
    std::string dir; // what the hand-off takes as the setup program's folder
    bool fits;       // dir + "\Fenwarr64.exe" fits a path buffer
};

// The path with each run of more than three equal characters written as "a{200}".
void PrintTo(const ModuleCase& c, std::ostream* os) {
    const std::string& p = c.modulePath;
    for (size_t i = 0, n = 0; i < p.size(); i += n) {
        for (n = 1; i + n < p.size() && p[i + n] == p[i];)
            ++n;
        if (n > 3)
            *os << p[i] << '{' << n << '}';
        else
            *os << p.substr(i, n);
    }
}

class HandOffTest : public SimTest, public ::testing::WithParamInterface<ModuleCase> {};

TEST_P(HandOffTest, StartsTheCompanionNextToTheSetupProgramAndWaits) {
    const ModuleCase& c = GetParam();
    sim::M().wow64 = TRUE;
    sim::M().modulePath = c.modulePath;
    const std::string full = c.dir + "\\Fenwarr64.exe";
    sim::AddFile(full);
    EXPECT_EQ(RunSetup(), 1);
    // The hand-off is the run's last step: its lines end the trace.
    Lines tail = {"Setup for 64bit OS, line: 1715", "Module path: [" + c.dir + "], line: 1718",
                  c.fits ? "Setup64 full name: [" + full + "], line: 1720"
                         : "Setup64 full name too long, module path: [" + c.dir + "], line: 1720"};
    std::vector<Lines> starts, waits;
    if (c.fits) {
        for (const std::string& line : OpenApLines(full))
            tail.push_back(line);
        starts.push_back({full, "NULL", "NULL", "NULL", "1", "16", "NULL", "NULL", Startup, "ptr"});
        waits.push_back({"process", "4294967295"});
    }
    Lines traced = Traced();
    ASSERT_GE(traced.size(), tail.size());
    EXPECT_EQ(Lines(traced.end() - tail.size(), traced.end()), tail);
    EXPECT_EQ(ArgsOf("GetModuleFileNameA"), (std::vector<Lines>{{"NULL", "260"}}));
    EXPECT_EQ(ArgsOf("CreateProcessA"), starts);
    EXPECT_EQ(ArgsOf("WaitForSingleObject"), waits);
    EXPECT_EQ(sim::M().runs, c.fits ? Lines{full} : Lines{});
}

INSTANTIATE_TEST_SUITE_P(
    ModulePaths, HandOffTest,
    ::testing::Values(
        ModuleCase{Dir + "\\FenwarrSetup.exe", Dir, true}, ModuleCase{"D:\\FenwarrSetup.exe", "D:", true},
        // A folder of 245 characters gives a full name of 259: the longest that fits; one more does not.
        ModuleCase{"C:\\" + std::string(242, 'a') + "\\S.exe", "C:\\" + std::string(242, 'a'), true},
        ModuleCase{"C:\\" + std::string(243, 'a') + "\\S.exe", "C:\\" + std::string(243, 'a'), false}));

} // namespace
