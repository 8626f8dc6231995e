#include "sim_test.h"

#include "deploy/deploy.h"

#include <algorithm>

namespace {

const std::string Dir = "C:\\Program Files\\Zamtre_Driver\\fenwarr\\Win32";
const std::string LongDir = "C:\\" + std::string(252, 'd'); // 255 characters: no name fits behind it
const std::string Sys = "C:\\Windows\\system32";
const std::string Dll = "WinUSBCoInstaller2.dll";
const std::string Inf = "usbvcom.inf";
const std::string Existing = "ExistingFileName: " + Dir + "\\" + Dll + "\n";
const std::string New = "NewFileName: " + Sys + "\\" + Dll + "\n";
const std::string Full = "Full name: " + Dir + "\\" + Inf + "\n";
const std::string Pattern(DestNameSize, '#');

// The platform calls made, in order, without the trace channel.
Lines Called() {
    Lines names;
    for (const sim::Call& call : sim::M().calls)
        if (call.name != "OutputDebugStringA" && call.name != "printf")
            names.push_back(call.name);
    return names;
}

// `count` traced messages from the first one that starts with `first`.
Lines From(const std::string& first, size_t count) {
    Lines all = Traced();
    auto it =
        std::find_if(all.begin(), all.end(), [&](const std::string& m) { return m.rfind(first, 0) == 0; });
    return Lines(it, it + std::min<size_t>(count, all.end() - it));
}

// A failure case: how the machine is arranged, the directory passed, the exact trace, and how many of
// the routine's steps (allocations and platform calls, in their order) were reached.
struct Failure {
    const char* label;
    const char* arrange;
    std::string dir;
    Lines trace;
    size_t reached;
};

void PrintTo(const Failure& f, std::ostream* os) {
    *os << f.label;
}

void Package() {
    sim::AddFile(Dir + "\\" + Dll, "dll");
    sim::AddFile(Dir + "\\" + Inf, "[Version]\nSignature=\"$Windows NT$\"\n");
}

// "point#n" fails that occurrence; "sysN" is a system directory of N characters; "dir" an empty
// source directory; "package" the package's files; "readonly" those and a read-only system copy;
// "unsigned" an INF without a signature; "" an empty disk.
void Arrange(const std::string& how) {
    size_t hash = how.find('#');
    if (hash != std::string::npos)
        return Package(),
               sim::FailAt(how.substr(0, hash), std::stoi(how.substr(hash + 1)), ERROR_SHARING_VIOLATION);
    if (how.rfind("sys", 0) == 0) {
        sim::M().systemDir = "C:\\" + std::string(std::stoul(how.substr(3)) - 3, 's');
        sim::AddDir(sim::M().systemDir);
    }
    if (how == "dir")
        sim::AddDir(Dir);
    if (how == "unsigned")
        sim::AddFile(Dir + "\\" + Inf, "[Version]\n");
    if (how == "package" || how == "readonly" || how.rfind("sys", 0) == 0)
        Package();
    if (how == "readonly")
        sim::AddFile(Sys + "\\" + Dll, "old", true);
}

// Checks the platform calls and allocations made against the first `reached` steps of `steps`.
void ExpectReached(const Lines& steps, size_t reached) {
    Lines calls;
    int mallocs = 0;
    for (size_t i = 0; i < reached; ++i)
        steps[i] == "malloc" ? void(++mallocs) : calls.push_back(steps[i]);
    EXPECT_EQ(Called(), calls);
    EXPECT_EQ(sim::M().counts["malloc"], mallocs);
}

std::string Label(const ::testing::TestParamInfo<Failure>& info) {
    return info.param.label;
}

class CopyCoInstallerFailure : public SimTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(CopyCoInstallerFailure, TracesItsStepStopsThereAndReturnsZero) {
    const Failure& f = GetParam();
    Arrange(f.arrange);
    EXPECT_EQ(CopyCoInstaller(f.dir.c_str(), Dll.c_str()), 0);
    EXPECT_EQ(Traced(), f.trace);
    ExpectReached({"malloc", "malloc", "GetSystemDirectoryA", "malloc", "CopyFileA"}, f.reached);
}

const std::string GetFailed = "Get system path failed!\n";
const std::string LongExisting = "ExistingFileName too long: " + LongDir + "\\" + Dll + "\n";
const std::string LongNew = "NewFileName too long: C:\\" + std::string(256, 's') + "\\" + Dll + "\n";
const std::string LongFull = "Full name too long: " + LongDir + "\\" + Inf + "\n";

INSTANTIATE_TEST_SUITE_P(
    Steps, CopyCoInstallerFailure,
    ::testing::Values(
        Failure{"FirstMalloc", "malloc#1", Dir, {"Malloc for pExistingFileName failed!\n"}, 1},
        Failure{"SecondMalloc", "malloc#2", Dir, {Existing, "Malloc for pSysPath failed!\n"}, 2},
        Failure{"SystemDirectoryFails", "GetSystemDirectoryA#1", Dir, {Existing, GetFailed}, 3},
        Failure{"SystemDirectoryOf260", "sys260", Dir, {Existing, GetFailed}, 3},
        Failure{"SystemDirectoryOf300", "sys300", Dir, {Existing, GetFailed}, 3},
        Failure{"ThirdMalloc", "malloc#3", Dir, {Existing, "Malloc for pNewFileName failed!\n"}, 4},
        Failure{"MissingSource", "dir", Dir, {Existing, New, "CopyFile failed!, code is 2 \n"}, 5},
        Failure{
            "SharingViolation", "CopyFileA#1", Dir, {Existing, New, "CopyFile failed!, code is 32 \n"}, 5},
        Failure{"MissingSourceDir", "", Dir, {Existing, New, "CopyFile failed!, code is 3 \n"}, 5},
        Failure{"ReadOnlyDestination", "readonly", Dir, {Existing, New, "CopyFile failed!, code is 5 \n"}, 5},
        Failure{"SourceNameTooLong", "package", LongDir, {LongExisting}, 1},
        Failure{"NewNameTooLong", "sys259", Dir, {Existing, LongNew}, 4}),
    Label);

using CopyCoInstallerTest = SimTest;

TEST_F(CopyCoInstallerTest, OverwritesTheSystemCopyAndTracesBothNames) {
    Package();
    sim::AddFile(Sys + "\\" + Dll, "old");
    EXPECT_EQ(CopyCoInstaller(Dir.c_str(), Dll.c_str()), 1);
    EXPECT_EQ(CopyCoInstaller(Dir.c_str(), Dll.c_str()), 1);
    EXPECT_EQ(Traced(), (Lines{Existing, New, Existing, New}));
    EXPECT_EQ(sim::CallsTo("GetSystemDirectoryA")[0].args, (Lines{"260"}));
    EXPECT_EQ(sim::CallsTo("CopyFileA")[1].args, (Lines{Dir + "\\" + Dll, Sys + "\\" + Dll, "0"}));
    EXPECT_EQ(sim::FindFile(Sys + "\\" + Dll)->data, "dll");
}

class InstallInfFailure : public SimTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(InstallInfFailure, TracesItsStepAndLeavesTheCallerBufferAlone) {
    const Failure& f = GetParam();
    Arrange(f.arrange);
    std::string dest = Pattern;
    EXPECT_EQ(InstallInf(f.dir.c_str(), Inf.c_str(), &dest[0]), 0);
    EXPECT_EQ(dest, Pattern);
    EXPECT_EQ(Traced(), f.trace);
    ExpectReached({"malloc", "SetupCopyOEMInfA"}, f.reached);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, InstallInfFailure,
    ::testing::Values(
        Failure{"Malloc", "malloc#1", Dir, {"Malloc for pFullName failed!\n"}, 1},
        Failure{"Unsigned", "unsigned", Dir, {Full, "SetupCopyOEMInf failed, error code: 0xe0000100\n"}, 2},
        Failure{"MissingFile", "dir", Dir, {Full, "SetupCopyOEMInf failed, error code: 0x2\n"}, 2},
        Failure{"SharingViolation",
                "SetupCopyOEMInfA#1",
                Dir,
                {Full, "SetupCopyOEMInf failed, error code: 0x20\n"},
                2},
        Failure{"MissingDir", "", Dir, {Full, "SetupCopyOEMInf failed, error code: 0x3\n"}, 2},
        Failure{"FullNameTooLong", "package", LongDir, {LongFull}, 1}),
    Label);

using InstallInfTest = SimTest;

TEST_F(InstallInfTest, PassesTheDirectoryAsMediaAndHandsBackTheTracedName) {
    Package();
    std::string dest = Pattern;
    EXPECT_EQ(InstallInf(Dir.c_str(), Inf.c_str(), &dest[0]), 1);
    EXPECT_EQ(std::string(dest.c_str()), "C:\\Windows\\INF\\oem0.inf");
    EXPECT_EQ(Traced(),
              (Lines{Full, "SetupCopyOEMInf success, destpath is " + std::string(dest.c_str()) + "\n"}));
    EXPECT_EQ(sim::CallsTo("SetupCopyOEMInfA")[0].args,
              (Lines{Dir + "\\" + Inf, Dir, "1", "0", "ptr", "256", "NULL", "NULL"}));
    EXPECT_EQ(InstallInf(Dir.c_str(), Inf.c_str(), nullptr), 1);
    EXPECT_EQ(Traced().back(), "SetupCopyOEMInf success, destpath is C:\\Windows\\INF\\oem0.inf\n");
}

TEST_F(InstallInfTest, TrailingBackslashIsDoubledAndPassedOn) {
    InstallInf("C:\\pkg\\", Inf.c_str(), nullptr);
    EXPECT_EQ(Traced()[0], "Full name: C:\\pkg\\\\" + Inf + "\n");
    EXPECT_EQ(sim::CallsTo("SetupCopyOEMInfA")[0].args[0], "C:\\pkg\\\\" + Inf);
    EXPECT_EQ(sim::CallsTo("SetupCopyOEMInfA")[0].args[1], "C:\\pkg\\");
}

// The whole run's deployment: co-installers first, every INF after them, whatever failed.
class DeployRunTest : public SimTest {
  protected:
    static int Run() {
        char arg0[] = "FenwarrSetup.exe";
        char* argv[] = {arg0, nullptr};
        char* envp[] = {nullptr};
        return SetupMain(1, argv, envp);
    }
    static Lines Expected(bool present) {
        Lines lines;
        for (const char* name : CoInstallerList) {
            lines.push_back("ExistingFileName: " + Dir + "\\" + name + "\n");
            lines.push_back("NewFileName: " + Sys + "\\" + name + "\n");
            if (!present) {
                lines.push_back("CopyFile failed!, code is 3 \n");
                lines.push_back("Copy CoInstall " + std::string(name) + " failed!\n");
            }
        }
        int oem = 0;
        for (const char* name : InfList) {
            lines.push_back("Full name: " + Dir + "\\" + name + "\n");
            lines.push_back(present ? "SetupCopyOEMInf success, destpath is C:\\Windows\\INF\\oem" +
                                          std::to_string(oem++) + ".inf\n"
                                    : "SetupCopyOEMInf failed, error code: 0x3\n");
        }
        return lines;
    }
};

TEST_F(DeployRunTest, MissingPackageFailsEveryFileAndTheRunGoesOn) {
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(From("ExistingFileName", 22), Expected(false));
}

TEST_F(DeployRunTest, FullPackageStagesEveryInfInOrderAndAgainUnderTheSameNames) {
    for (const char* name : CoInstallerList)
        sim::AddFile(Dir + "\\" + name, std::string("library ") + name);
    for (const char* name : InfList)
        sim::AddFile(Dir + "\\" + name, std::string("Signature ") + name);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(From("ExistingFileName", 18), Expected(true));
    ASSERT_EQ(sim::M().store.size(), size_t{InfCount});
    for (int i = 0; i < InfCount; ++i) {
        EXPECT_EQ(sim::M().store[i].source, Dir + "\\" + InfList[i]);
        EXPECT_EQ(sim::M().store[i].mediaPath, Dir);
    }
    for (const char* name : CoInstallerList)
        EXPECT_EQ(sim::FindFile(Sys + "\\" + name)->data, std::string("library ") + name);

    sim::M().debug.clear();
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(From("ExistingFileName", 18), Expected(true));
    EXPECT_EQ(sim::M().store.size(), size_t{InfCount});
}

} // namespace
