// fenwarr-report: the golden records, the record parser, the message tables, and what bad input gives.
#include "reader/error_meanings.h"
#include "reader/processors.h"
#include "reader/record/record.h"
#include "reader/record/record_header.h"
#include "reader/report_file.h"
#include "reader/tool_messages.h"
#include "reader/verdict.h"

#include "report_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace report_records;

// ---- Golden records -------------------------------------------------------------------------------

std::vector<std::string> GoldenNames() {
    std::vector<std::string> names;
    DIR* dir = opendir(GoldenDir.c_str());
    if (dir == nullptr)
        return names;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0)
            names.push_back(name.substr(0, name.size() - 4));
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

class Golden : public testing::TestWithParam<std::string> {};

// Each record gives its expected exit status, and every required line appears in the report.
TEST_P(Golden, ReportHoldsWhatTheEngineerReliesOn) {
    const std::string base = GoldenDir + GetParam();
    std::ifstream expected(base + ".expected");
    ASSERT_TRUE(expected) << base << ".expected is missing: every golden record needs one";
    std::string report, error;
    const int status = ReportFile((base + ".txt").c_str(), &report, &error);
    EXPECT_EQ(error, "");
    int wanted = -1;
    size_t required = 0;
    std::string line;
    while (std::getline(expected, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line.rfind("exit ", 0) == 0) {
            wanted = std::stoi(line.substr(5));
            continue;
        }
        ++required;
        EXPECT_TRUE(Contains(report, line)) << "missing: " << line;
    }
    EXPECT_NE(wanted, -1) << "no exit line in " << base << ".expected";
    EXPECT_EQ(status, wanted);
    EXPECT_GT(required, 0u);
    if (HasFailure())
        std::cout << report;
}

INSTANTIATE_TEST_SUITE_P(Records, Golden, testing::ValuesIn(GoldenNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(GoldenFolder, HoldsTheRecords) {
    EXPECT_GE(GoldenNames().size(), 23u);
}

// ---- Record lines ---------------------------------------------------------------------------------

struct LineCase {
    const char* label;
    std::string line; // without its LF
    RecordFormat format;
    RecordStatus status;
    unsigned pid;
    uint64_t ms;
    std::string text;
};

TEST(RecordLine, ParsesOrNamesTheDamage) {
    const LineCase cases[] = {
        {"plain", "1234\tSetup Device\\n", FormatPlain, RecordOk, 1234, 0, "Setup Device\n"},
        {"timed", "17\t1234\tRefresh device node", FormatTimed, RecordOk, 1234, 17, "Refresh device node"},
        {"every escape", "1\ta\\\\b\\tc\\rd\\x01\\xffe\\n", FormatPlain, RecordOk, 1, 0,
         std::string("a\\b\tc\rd\x01\xff"
                     "e\n")},
        {"upper-case hex taken", "1\t\\x4A", FormatPlain, RecordOk, 1, 0, "J"},
        {"empty string", "1\t", FormatPlain, RecordOk, 1, 0, ""},
        {"CR LF line end", "1\tabc\r", FormatPlain, RecordOk, 1, 0, "abc"},
        {"raw non-ASCII kept", "1\tcaf\xc3\xa9", FormatPlain, RecordOk, 1, 0, "caf\xc3\xa9"},
        {"largest pid", "4294967295\tx", FormatPlain, RecordOk, 4294967295u, 0, "x"},
        {"pid too large", "4294967296\tx", FormatPlain, RecordBadNumber, 0, 0, ""},
        {"blank", "", FormatPlain, RecordEmpty, 0, 0, ""},
        {"no tab", "1234", FormatPlain, RecordNoTab, 0, 0, ""},
        {"cut in the pid", "12", FormatPlain, RecordNoTab, 0, 0, ""},
        {"letters for a pid", "pid\tx", FormatPlain, RecordBadNumber, 0, 0, ""},
        {"timed line without pid", "17\tx", FormatTimed, RecordNoTab, 0, 0, ""},
        {"cut in an escape", "1\tabc\\x4", FormatPlain, RecordBadEscape, 0, 0, ""},
        {"trailing backslash", "1\tabc\\", FormatPlain, RecordBadEscape, 0, 0, ""},
        {"unknown escape", "1\t\\q", FormatPlain, RecordBadEscape, 0, 0, ""},
        {"NUL byte", std::string("1\tab\0c", 6), FormatPlain, RecordBadByte, 0, 0, ""},
        {"raw TAB in the string", "1\ta\tb", FormatPlain, RecordBadByte, 0, 0, ""},
        {"longer than a debugger string", "1\t" + std::string(RecordTextMax + 1, 'a'), FormatPlain,
         RecordTooLong, 0, 0, ""},
        {"longest debugger string", "1\t" + std::string(RecordTextMax, 'a'), FormatPlain, RecordOk, 1, 0,
         std::string(RecordTextMax, 'a')},
    };
    std::unique_ptr<Record> record(new Record());
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(ParseRecord(c.line.data(), c.line.size(), c.format, record.get()), c.status);
        if (c.status == RecordOk) {
            EXPECT_EQ(record->Pid, c.pid);
            EXPECT_EQ(record->Ms, c.ms);
            EXPECT_EQ(std::string(record->Text, record->TextLength), c.text);
        }
    }
}

TEST(RecordLine, FormatFollowsTheFirstParseableLine) {
    const struct {
        std::string line;
        RecordFormat format;
    } cases[] = {
        {"1234\tSetup Device\\n", FormatPlain},
        {"0\t1234\tSetup Device\\n", FormatTimed},
        {"1234\t", FormatPlain},
        {"x\t1234\tSetup", FormatUnknown},
        {"no tab at all", FormatUnknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GuessRecordFormat(c.line.data(), c.line.size()), c.format) << c.line;
}

// ---- Messages and errors --------------------------------------------------------------------------

TEST(ToolMessages, EachFormatTakesItsValuesApart) {
    const struct {
        std::string text;
        MessageId id;
        std::string first, second;
    } cases[] = {
        {"Setup device for Windows7 64\n", MsgPlatform, "7 64", ""},
        {"Setup device for Windows XP32\n", MsgPlatform, " XP32", ""},
        {"CopyFile failed!, code is 5 \n", MsgCopyFailed, "5", ""},
        {"SetupCopyOEMInf failed, error code: 0xe000022f\n", MsgInfFailed, "e000022f", ""},
        {"Module path: [C:\\a], line: 9], line: 1718", MsgModulePath, "C:\\a], line: 9", "1718"},
        {"Full name too long: C:\\x\\y\\usbvcom.inf\n", MsgFullNameTooLong, "C:\\x\\y", "usbvcom.inf"},
        {"remove driver failed getlasterror is not  ERROR_INVALID_DATA, is 122, line: 1232\n",
         MsgDriverUnreadable, "122", "1232"},
        {"Driver inf is {k}\\0003!\n", MsgDriverKept, "{k}\\0003", ""},
        {"Malloc failed!\n", MsgMallocSourceDir, "", ""},
        {"Malloc failed\n", MsgMallocDriver, "", ""},
        {"Refresh device node", MsgRefresh, "", ""},
        {"Refresh device node\n", MsgNone, "", ""},
        {"SetupDiCallClassInstaller DIF_REMOVE failed, error code: 0xe0000232\n", MsgNodeUninstallFailed,
         "e0000232", ""},
        {"SetupDiCallClassInstaller successful, line: 1228\n", MsgRemoved, "1228", ""},
        {"Package INF not found, code is 2, C:\\p\\usbvcom.inf\n", MsgPackageInfMissing, "2",
         "C:\\p\\usbvcom.inf"},
        {"Store file name too long: C:\\W\\inf\\x.inf\n", MsgStoreNameTooLong, "C:\\W\\inf", "x.inf"},
        {"Store file: C:\\W\\inf\\oem7.inf\n", MsgStoreFile, "C:\\W\\inf\\oem7.inf", ""},
        {"SetupUninstallOEMInf not found, code is 127, driver store left alone\n", MsgNoStoreUninstall, "127",
         ""},
        {"FindFirstFile failed, code is 3, C:\\W\\inf\\*.inf\n", MsgFindFirstFailed, "3",
         "C:\\W\\inf\\*.inf"},
        {"CopyFile failed!, code is x \n", MsgNone, "", ""},
    };
    for (const auto& c : cases) {
        MessageMatch match;
        MatchToolMessage(c.text.data(), c.text.size(), &match);
        EXPECT_EQ(match.Id, c.id) << c.text;
        if (c.id != MsgNone) {
            EXPECT_EQ(std::string(match.Values[0].p, match.Values[0].Length), c.first) << c.text;
            EXPECT_EQ(std::string(match.Values[1].p, match.Values[1].Length), c.second) << c.text;
        }
    }
    // A message the formatter cut at 1024 characters is still recognised.
    const std::string cut = "Found! [" + std::string(1024 - 8, 'A');
    MessageMatch match;
    EXPECT_TRUE(MatchToolMessage(cut.data(), cut.size(), &match));
    EXPECT_EQ(match.Id, MsgFound);
    EXPECT_TRUE(match.Cut);
}

// Each message is applied by its step's routine: only the programs' first messages belong to none.
TEST(ToolMessages, EachMessageNamesItsStep) {
    const MessageId starts[] = {MsgSetupStart, MsgCompanionStart, MsgUninstallStart,
                                MsgUninstallCompanionStart};
    for (int id = MsgSetupStart; id <= MsgNothingToUninstall; ++id) {
        const bool start = std::find(std::begin(starts), std::end(starts), id) != std::end(starts);
        EXPECT_EQ(StepOfMessage(static_cast<MessageId>(id)).Step == KindStart, start) << id;
    }
    EXPECT_EQ(StepOfMessage(MsgNone).Step, KindStart);
    EXPECT_EQ(StepOfMessage(MsgCopyFailed).Step, KindCopy);
    EXPECT_FALSE(StepOfMessage(MsgCopyFailed).Begins); // the copy stays open over its failure
    EXPECT_TRUE(StepOfMessage(MsgExisting).Begins);
    EXPECT_EQ(StepOfMessage(MsgNoDeviceSet).Order, OrderPastWalk);
    EXPECT_EQ(StepOfMessage(MsgStoreFile).Order, OrderAtStore);
    EXPECT_EQ(StepOfMessage(MsgFound).Order, OrderOwn);
}

// Each platform line the setup program traces takes its road; another is a message not understood.
TEST(Runs, PlatformLineNamesTheRoad) {
    const struct {
        const char* line;
        int bits;
    } cases[] = {{" XP32", 32}, {" XP64", 64},     {" Vista32", 32},  {" Vista64", 64}, {"7 32", 32},
                 {"7 64", 64},  {" os is 32", 32}, {" os is 64", 64}, {" 11 64", 0}};
    for (const auto& c : cases) {
        const auto state = StateOf(Msg(7, "Setup Device\n") +
                                   Msg(7, std::string("Setup device for Windows") + c.line + "\n"));
        ASSERT_EQ(state->Processes.size(), 1u) << c.line;
        EXPECT_EQ(state->Processes[0].Bits, c.bits) << c.line;
        EXPECT_EQ(state->Processes[0].UnknownMessages, c.bits == 0 ? 1u : 0u) << c.line;
    }
}

// A state read again for the next file of a rollout keeps nothing of the one before.
TEST(Runs, AStateReadAgainStartsOver) {
    std::unique_ptr<ReportState> state = StateOf("# computer: PC-1\nnot a record\n" + Line(9, "other") +
                                                 Msg(7, "Setup Device\n") + Msg(7, "Odd\n"));
    EXPECT_EQ(state->BadLines, 1u);
    InitReport(state.get());
    FeedReport(state.get(), "", 0);
    FinishReport(state.get());
    EXPECT_EQ(state->Lines, 0u);
    EXPECT_TRUE(state->Machine.Computer.empty());
    EXPECT_TRUE(state->BadExamples.empty() && state->ForeignExamples.empty());
    EXPECT_EQ(state->BadLines + state->ForeignStrings, 0u);
    EXPECT_TRUE(state->Processes.empty() && state->Runs.empty() && state->Pids.empty());
}

// The JSON document and the summary group by these: no two problems or steps share a name.
TEST(Vocabulary, EachProblemAndStepHasANameOfItsOwn) {
    std::set<std::string> keys;
    for (int kind = 0; kind < ProblemKindCount; ++kind)
        keys.insert(WordsOfProblem(static_cast<ProblemKind>(kind)).pKey);
    EXPECT_EQ(keys.size(), static_cast<size_t>(ProblemKindCount));
    std::set<std::string> steps;
    for (int step = 0; step < RunStepCount; ++step)
        steps.insert(StepName(static_cast<RunStep>(step)));
    EXPECT_EQ(steps.size(), static_cast<size_t>(RunStepCount));
}

// One table names the processors in the record's header, the verdict and a rollout's summary.
TEST(Vocabulary, ProcessorsByOneTable) {
    EXPECT_EQ(MachineWord(0x014c), "x86");
    EXPECT_EQ(MachineWord(0x01c4), "0x1c4");
    EXPECT_EQ(MachineName(0xaa64), "ARM64 (0xaa64)");
    EXPECT_EQ(MachineName(0x0200), "Itanium (0x200)");
    EXPECT_EQ(MachineName(0x5032), "machine (0x5032)");
    EXPECT_EQ(ProcessorName(0x01c4), "ARM");
    EXPECT_EQ(ProcessorName(0x0200), "0x200");
    EXPECT_EQ(MachineOfArchitecture(9), 0x8664);
    EXPECT_EQ(MachineOfArchitecture(6), 0);
}

TEST(ToolMessages, DecimalValuesAsTheToolPrintedThem) {
    const struct {
        const char* text;
        bool ok;
        uint32_t value;
    } cases[] = {{"5", true, 5},
                 {"-536870351", true, 0xE0000231u},
                 {"4294967295", true, 0xFFFFFFFFu},
                 {"4294967296", false, 0},
                 {"", false, 0}};
    for (const auto& c : cases) {
        uint32_t value = 0;
        EXPECT_EQ(ValueAsDecimal(MessageValue{c.text, strlen(c.text)}, &value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST(ErrorMeanings, NamesTheNumbersStepsProduce) {
    const struct {
        uint32_t code;
        const char* name;
    } cases[] = {
        {2, "ERROR_FILE_NOT_FOUND"},
        {3, "ERROR_PATH_NOT_FOUND"},
        {5, "ERROR_ACCESS_DENIED"},
        {13, "ERROR_INVALID_DATA"},
        {32, "ERROR_SHARING_VIOLATION"},
        {122, "ERROR_INSUFFICIENT_BUFFER"},
        {740, "ERROR_ELEVATION_REQUIRED"},
        {1223, "ERROR_CANCELLED"},
        {0x800B0100u, "TRUST_E_NOSIGNATURE"},
        {0x800B0109u, "CERT_E_UNTRUSTEDROOT"},
        {0xE0000000u, "ERROR_EXPECTED_SECTION_NAME"},
        {0xE0000100u, "ERROR_WRONG_INF_STYLE"},
        {0xE000020Bu, "ERROR_NO_SUCH_DEVINST"},
        {0xE000022Fu, "ERROR_NO_CATALOG_FOR_OEM_INF"},
        {0xE0000235u, "ERROR_IN_WOW64"},
        {0xE0000247u, "ERROR_DRIVER_STORE_ADD_FAILED"},
        {0xE000024Bu, "ERROR_FILE_HASH_NOT_IN_CATALOG"},
    };
    for (const auto& c : cases) {
        const ErrorMeaning* meaning = FindErrorMeaning(c.code);
        ASSERT_NE(meaning, nullptr) << c.name;
        EXPECT_STREQ(meaning->pName, c.name);
        EXPECT_GT(strlen(meaning->pMeaning), 10u) << c.name;
    }
    EXPECT_EQ(FindErrorMeaning(0), nullptr);
    EXPECT_EQ(FindErrorMeaning(0xE0000999u), nullptr);
}

TEST(ErrorMeanings, UnknownNumbersStandAsTheyAre) {
    const Outcome out = ReportOf(Msg(7, "Setup Device\n") + Msg(7, "System path: C:\\W") +
                                 Msg(7, "Setup device for Windows7 32\n") +
                                 Msg(7, "ExistingFileName: C:\\p\\WinUSBCoInstaller2.dll\n") +
                                 Msg(7, "CopyFile failed!, code is 4242 \n") +
                                 Msg(7, "Copy CoInstall WinUSBCoInstaller2.dll failed!\n") +
                                 Msg(7, "Full name: C:\\p\\Halvex_mdm.inf\n") +
                                 Msg(7, "SetupCopyOEMInf failed, error code: 0xe0000999\n"));
    EXPECT_TRUE(Contains(out.report, "Co-installer WinUSBCoInstaller2.dll: FAILED: error 4242 (unknown)"));
    EXPECT_TRUE(Contains(out.report, "INF Halvex_mdm.inf: FAILED: error 0xe0000999 (unknown)"));
}

// ---- Runs -----------------------------------------------------------------------------------------

// The companion belongs to the run whose hand-off it follows, even with other strings in between.
TEST(Runs, CompanionJoinsTheRunItFollows) {
    const std::string handoff = Msg(10, "Setup for 64bit OS, line: 1715") +
                                Msg(10, "Setup64 full name: [C:\\t\\Fenwarr64.exe], line: 1720") +
                                Msg(10, "---OpenAP---");
    const std::string setup32 = Msg(20, "Setup Device\n") + Msg(20, "Setup device for Windows7 32\n");
    const Outcome out = ReportOf(Msg(10, "Setup Device\n") + Msg(10, "Setup device for Windows7 64\n") +
                                 setup32 + handoff + Line(99, "noise") +
                                 Msg(11, "Setup Device, 64bit companion\n") + Msg(11, "System path: C:\\W"));
    EXPECT_TRUE(Contains(out.report, "Record: 19 lines, 19 debugger strings, 9 tool messages, 2 runs"));
    EXPECT_TRUE(Contains(out.report, "Run 1: 64-bit Windows\n  Setup program: FenwarrSetup.exe, pid 10"));
    EXPECT_TRUE(Contains(out.report, "  Companion: Fenwarr64.exe, pid 11"));
    EXPECT_TRUE(Contains(out.report, "Hand-off: C:\\t\\Fenwarr64.exe: started, pid 11"));
    EXPECT_TRUE(Contains(out.report, "Run 2: 32-bit Windows\n  Setup program: FenwarrSetup.exe, pid 20"));
}

// Each companion joins the run of the program that starts it in its own mode, even when another run is
// handing off too.
TEST(Runs, CompanionJoinsTheRunOfItsKind) {
    const std::string road64 = "Setup device for Windows7 64\n";
    const Outcome out =
        ReportOf(Msg(10, "Setup Device\n") + Msg(10, road64) + Msg(10, "Setup for 64bit OS, line: 1715") +
                 Msg(20, "Uninstall Device\n") + Msg(20, road64) + Msg(20, "Uninstall for 64bit OS\n") +
                 Msg(21, "Uninstall Device, 64bit companion\n") + Msg(11, "Setup Device, 64bit companion\n"));
    EXPECT_TRUE(Contains(out.report,
                         "Run 1: 64-bit Windows\n  Setup program: FenwarrSetup.exe, pid 10, from line 2\n"
                         "  Companion: Fenwarr64.exe, pid 11"));
    EXPECT_TRUE(Contains(out.report,
                         "Run 2: uninstall, 64-bit Windows\n  Uninstaller: FenwarrUninstall.exe, pid 20, "
                         "from line 8\n  Companion: Fenwarr64.exe, pid 21"));
}

TEST(Runs, CompanionWithoutSetupIsARunOfItsOwn) {
    const Outcome out =
        ReportOf(Msg(11, "Setup Device, 64bit companion\n") + Msg(11, "Get system dir failed!\n"));
    EXPECT_EQ(out.status, ReportStepFailed);
    EXPECT_TRUE(Contains(out.report, "Run 1: the companion alone"));
    EXPECT_TRUE(Contains(out.report, "Companion early failure: \"Get system dir failed!\""));
}

// Steps the record never reaches are reported as missing, not as done.
TEST(Runs, RecordEndingMidRunIsIncomplete) {
    const Outcome out = ReportOf(Msg(7, "Setup Device\n") + Msg(7, "Setup device for Windows7 32\n") +
                                 Msg(7, "ExistingFileName: C:\\p\\WinUSBCoInstaller2.dll\n"));
    EXPECT_EQ(out.status, ReportStepFailed);
    EXPECT_TRUE(Contains(out.report, "Co-installer WinUSBCoInstaller2.dll: no outcome recorded"));
    EXPECT_TRUE(Contains(out.report, "Co-installer WdfCoInstaller01009.dll: not in the record"));
    EXPECT_TRUE(Contains(out.report, "the record ends before the co-installer copy"));
}

// Tagged strings that are not the tool's, lone tags and other processes never stop the reading.
TEST(Runs, StrangersAreCountedAndNamed) {
    const Outcome out =
        ReportOf(Msg(5, "Refresh device node") + Msg(7, "Setup Device\n") + Msg(7, "Some future message\n") +
                 Line(7, "plain string") + Line(7, Tag) + Line(8, "other"));
    EXPECT_TRUE(Contains(out.report, "Tool messages outside any run: 1 (first: \"Refresh device node\")"));
    EXPECT_TRUE(
        Contains(out.report, "Setup program messages not understood: 1 (first: \"Some future message\\n\")"));
    EXPECT_TRUE(Contains(out.report, "Setup program untagged strings: 1 (first: \"plain string\")"));
    EXPECT_TRUE(Contains(out.report, "Tags without their message: 1"));
    EXPECT_TRUE(Contains(out.report, "Other processes: 1 string from 1 process (first: \"8: other\")"));
}

// ---- Uninstall steps -----------------------------------------------------------------------------

// What each step of an uninstall run on 32-bit Windows 7 reads as, and whether it fails the run.
TEST(UninstallRuns, EachStepOutcomeAndItsVerdict) {
    const std::string start = Msg(7, "Uninstall Device\n") + Msg(7, "System path: C:\\W\\system32") +
                              Msg(7, "VerInf.dwMajorVersion: 6") + Msg(7, "VerInf.dwMinorVersion: 1") +
                              Msg(7, "Setup device for Windows7 32\n");
    const std::string node = Msg(7, "Found! [USB\\VID_0E8D&PID_2000]\n");
    const std::string kept = Msg(7, "Co-installers kept: shared with other drivers\n");
    const std::string end = kept + Msg(7, "Refresh device node");
    const struct {
        const char* label;
        std::string steps;
        RunResult result;
        const char* key; // the run's first problem: a failure leaves the package in the store
        const char* says;
    } cases[] = {
        {"clean machine", kept + Msg(7, "Nothing to uninstall\n") + Msg(7, "Refresh device node"),
         ResultClean, "", "Verdict: OK, nothing to uninstall: the machine was clean already"},
        {"node and store file out",
         node + Msg(7, "SetupDiCallClassInstaller DIF_REMOVE successful\n") +
             Msg(7, "Store file: C:\\W\\inf\\oem7.inf\n") +
             Msg(7, "SetupUninstallOEMInf success, oem7.inf\n") + end,
         ResultOk, "", "C:\\W\\inf\\oem7.inf: taken out by Windows"},
        {"no device set", Msg(7, "SetupDiGetClassDevs failed, error code: 0x5\n") + end, ResultWarning,
         "device-set-failed",
         "Devices: FAILED: the device set could not be obtained, no node was looked at: error 0x5 "
         "ERROR_ACCESS_DENIED"},
        {"store refused",
         Msg(7, "Store file: C:\\W\\inf\\oem9.inf\n") +
             Msg(7, "SetupUninstallOEMInf failed, error code: 0xe000023d\n") + end,
         ResultFailed, "store-files-kept",
         "oem9.inf: KEPT: Windows refused to take it out: error 0xe000023d"},
        {"store without SetupUninstallOEMInfA on Windows 7",
         Msg(7, "SetupUninstallOEMInf not found, code is 127, driver store left alone\n") + end, ResultFailed,
         "store-uninstall-missing",
         "Driver store: FAILED: left alone: setupapi has no SetupUninstallOEMInfA"},
        {"package INF path too long", Msg(7, "Package INF name too long: C:\\deep\\usbvcom.inf\n") + end,
         ResultFailed, "package-infs-not-found",
         "usbvcom.inf: the path does not fit in 260 bytes: C:\\deep\\usbvcom.inf"},
        {"store folder not made", Msg(7, "Driver store path failed, system path: C:\n") + end, ResultFailed,
         "store-path-failed",
         "Driver store: FAILED: its folder could not be made from the system directory C:"},
        {"store not listed", Msg(7, "FindFirstFile failed, code is 3, C:\\W\\inf\\*.inf\n") + end,
         ResultFailed, "store-not-listed",
         "it could not be listed (C:\\W\\inf\\*.inf): error 3 ERROR_PATH_NOT_FOUND"},
        {"listing cut", Msg(7, "FindNextFile failed, code is 21\n") + end, ResultWarning,
         "store-listed-in-part",
         "Driver store listing: FAILED part way, the files after it were not looked at: error 21"},
        {"file unread", Msg(7, "ReadFile failed, code is 23, C:\\W\\inf\\oem4.inf\n") + end, ResultWarning,
         "files-skipped", "C:\\W\\inf\\oem4.inf: not read: error 23 ERROR_CRC"},
        {"store name too long", Msg(7, "Store file name too long: C:\\W\\inf\\long.inf\n") + end,
         ResultWarning, "files-skipped", "C:\\W\\inf\\long.inf: the path does not fit in 260 bytes"},
        {"record ends on a store file", Msg(7, "Store file: C:\\W\\inf\\oem7.inf\n"), ResultFailed,
         "store-file-without-outcome", "oem7.inf: no outcome recorded"},
        {"record ends after the devices", node + Msg(7, "SetupDiCallClassInstaller DIF_REMOVE successful\n"),
         ResultFailed, "record-ends", "Driver store: not in the record"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const Outcome out = ReportOf(start + c.steps);
        EXPECT_EQ(out.status, c.result <= ResultClean ? ReportAllSucceeded : ReportStepFailed) << out.report;
        EXPECT_TRUE(Contains(out.report, c.says)) << out.report;
        const RecordVerdict verdict = VerdictOf(start + c.steps);
        ASSERT_EQ(verdict.Runs.size(), 1u);
        EXPECT_EQ(verdict.Runs[0].Result, c.result);
        EXPECT_STREQ(verdict.Runs[0].Problems.empty() ? "" : verdict.Runs[0].Problems[0].pKey, c.key);
    }
}

TEST(UninstallRuns, EarlyFailureRemovesNothing) {
    const Outcome out = ReportOf(Msg(7, "Uninstall Device\n") + Msg(7, "Can't get system version\n"));
    EXPECT_EQ(out.status, ReportStepFailed);
    EXPECT_TRUE(Contains(out.report, "Run 1: uninstall, early failure"));
    EXPECT_TRUE(Contains(out.report, "nothing was removed, exit code 0"));
}

// On 64-bit Windows a companion that cannot start is named beside the program that started it.
TEST(UninstallRuns, MissingCompanionNamesTheUninstaller) {
    const Outcome out = ReportOf(Msg(7, "Uninstall Device\n") + Msg(7, "Setup device for Windows7 64\n") +
                                 Msg(7, "Uninstall for 64bit OS\n") + Msg(7, "---OpenAP---") +
                                 Line(7, "CreateProcess failed"));
    EXPECT_EQ(out.status, ReportStepFailed);
    EXPECT_TRUE(Contains(out.report, "Fenwarr64.exe must sit next to FenwarrUninstall.exe"));
}

// ---- Bad input ------------------------------------------------------------------------------------

TEST(BadInput, ClearResultNoCrash) {
    const std::string full = ReadAll(GoldenDir + "full-32.txt");
    ASSERT_FALSE(full.empty());
    const struct {
        const char* label;
        std::string bytes;
        int status;
        std::string says;
    } cases[] = {
        {"empty file", "", ReportNoRun, "Overall: NO RUN"},
        {"only LFs", "\n\n\n", ReportNoRun, "Unreadable lines: 3 (first: \"line 1, empty line: \""},
        {"not a record", "hello world\nfoo\tbar\n", ReportNoRun, "Unreadable lines: 2"},
        {"truncated lines in the middle", full.substr(0, 200) + "\n12\n" + full.substr(200),
         ReportAllSucceeded, "no TAB after the first column"},
        {"cut-off last record", full.substr(0, full.size() - 1), ReportAllSucceeded,
         "The last line has no line end"},
        {"cut inside the run", full.substr(0, full.size() / 2), ReportStepFailed, "not in the record"},
        {"NUL byte", full + std::string("7\tab\0c\n", 7), ReportAllSucceeded, "a NUL byte"},
        {"non-ASCII strings", full + "7\t\xe4\xf6\xfc\n", ReportAllSucceeded, "Other processes: 3 strings"},
        {"CR LF line ends",
         [&] {
             std::string crlf;
             for (char c : full)
                 crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
             return crlf;
         }(),
         ReportAllSucceeded, "Overall: OK: 1 run"},
        {"100,000-character line", full + "7\t" + std::string(100000, 'x') + "\n", ReportAllSucceeded,
         "longer than any debugger string"},
        {"100,000-character last line", full + std::string(100000, 'x'), ReportAllSucceeded,
         "The last line has no line end"},
        // The installer's header: read only above the first record line, never counted as unreadable.
        {"header alone", "# Fenwarr record\n# computer: PC-1\n", ReportNoRun,
         "0 runs\nMachine: PC-1\n\nOverall: NO RUN"},
        {"header with CR LF and an unknown key",
         "# Fenwarr record\r\n# future: x\r\n# processor: ARM64\r\n" + full, ReportAllSucceeded,
         "1 run\nMachine: ARM64\n\nRun 1"},
        {"header value cut", "# computer: " + std::string(300, 'x') + "\n" + full, ReportAllSucceeded,
         "Machine: " + std::string(HeaderValueMax, 'x') + "\n"},
        {"header line below a record line", full.substr(0, full.find('\n') + 1) + "# computer: PC-9\n" + full,
         ReportAllSucceeded, "Unreadable lines: 1"},
        {"no space after the #", "#computer: PC-1\n" + full, ReportAllSucceeded, "Unreadable lines: 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const Outcome out = ReportOf(c.bytes);
        EXPECT_EQ(out.status, c.status) << out.report;
        EXPECT_TRUE(Contains(out.report, c.says)) << out.report;
    }
}

// A record of millions of process ids: the reader follows MaxSenders of them and counts the strings of
// the rest, so its memory stays bounded; the programs among the first are read as ever.
TEST(BadInput, SendersBeyondTheBoundAreCounted) {
    std::string bytes = ReadAll(GoldenDir + "full-32.txt");
    const size_t Own = StateOf(bytes)->Pids.size();
    for (unsigned pid = 100000; pid < 100000 + MaxSenders + 5; ++pid)
        bytes += Line(pid, "x");
    const std::unique_ptr<ReportState> state = StateOf(bytes);
    EXPECT_EQ(state->Pids.size(), static_cast<size_t>(MaxSenders));
    EXPECT_EQ(state->DroppedSenderStrings, Own + 5);
    const Outcome out = ReportOf(bytes);
    EXPECT_EQ(out.status, ReportAllSucceeded);
    EXPECT_TRUE(Contains(out.report, "Strings not read (their senders over 10000 in one record): " +
                                         std::to_string(Own + 5)))
        << out.report;
}

TEST(BadInput, FileThatCannotBeRead) {
    const char* paths[] = {FENWARR_SOURCE_DIR "/tests/report/golden",
                           FENWARR_SOURCE_DIR "/tests/report/absent.txt"};
    for (const char* path : paths) {
        std::string report, error;
        EXPECT_EQ(ReportFile(path, &report, &error), ReportNoRun) << path;
        EXPECT_TRUE(Contains(error, path)) << error;
    }
}

// A million records of other processes around one run, fed in blocks that split lines anywhere.
TEST(BadInput, ManyRecordsInOddBlocks) {
    std::string bytes = ReadAll(GoldenDir + "full-64.txt");
    std::string noise;
    for (int i = 0; i < 1000000; ++i)
        noise += Line(4000 + i % 50, "heartbeat " + std::to_string(i) + "\n");
    bytes = noise + bytes;
    std::unique_ptr<ReportState> state(new ReportState());
    InitReport(state.get());
    for (size_t at = 0; at < bytes.size(); at += 4093)
        FeedReport(state.get(), bytes.data() + at, std::min<size_t>(4093, bytes.size() - at));
    FinishReport(state.get());
    std::string report;
    EXPECT_EQ(WriteReport(*state, "record", &report), ReportAllSucceeded) << report;
    EXPECT_TRUE(Contains(report, "Other processes: 1000001 strings from 51 processes"));
    EXPECT_TRUE(
        Contains(report, "Hand-off: C:\\Program Files\\Zamtre_Driver\\Fenwarr64.exe: started, pid 3188"));
}

} // namespace
