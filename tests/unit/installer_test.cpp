// The MSI custom action's own decisions: the install's verdict on real records, the log's escaping,
// its data, and which records it keeps.
#include "installer/action_data.h"
#include "installer/msi_text.h"
#include "installer/record_header.h"
#include "installer/record_names.h"
#include "installer/run_event.h"
#include "reader/install_judgement.h"
#include "report_records.h"

#include <gtest/gtest.h>

using namespace report_records;

namespace {

InstallJudgement JudgeFile(const std::string& Path) {
    RecordVerdict Verdict;
    FillVerdict(*StateOf(ReadAll(Path)), &Verdict);
    return JudgeInstall(Verdict);
}

} // namespace

// Device removal and the refresh never fail an install; a missing co-installer copy (on 64-bit Windows,
// the companion's) or INF does.
TEST(InstallJudgement, DriversArrivedOrNamedOnGoldenRecords) {
    struct Case {
        const char* pRecord;
        InstallOutcome Outcome;
        const char* pWhat;
    } const Cases[] = {
        {"wine-full-32", InstallArrived, "the drivers arrived: 2 co-installers copied, 7 INF files staged"},
        {"wine-full-64", InstallArrived, "the drivers arrived"},
        {"ghosts-removed-and-kept", InstallArrived, "the drivers arrived"},
        {"missing-coinstaller-and-inf", InstallNotArrived,
         "not copied: WdfCoInstaller01009.dll; not staged: cdc-acm.inf, usbvcom.inf"},
        {"wine-missing-coinstaller-and-inf-64", InstallNotArrived,
         "not copied: WdfCoInstaller01009.dll; not staged: usbvcom_brom.inf"},
        {"wine-missing-companion-64", InstallNotArrived, "Fenwarr64.exe did not run; not copied: WinUSB"},
        {"module-path-failed-64", InstallNotArrived, "Fenwarr64.exe did not run"},
        {"header-win10-64", InstallNotArrived, "the drivers did not arrive: not staged: usbvcom.inf"},
        {"debugview-full-64", InstallArrived, "the drivers arrived"},
        {"install-then-uninstall-win2000", InstallArrived, "the drivers arrived"},
        {"debugview-early-failure", InstallEarlyStop, "early steps"},
        {"early-failure", InstallEarlyStop, "early steps"},
        {"no-run", InstallNoRun, "no run of FenwarrSetup.exe"},
        {"wine-uninstall-32", InstallNoRun, "no run of FenwarrSetup.exe"},
        {"uninstall-refused", InstallNoRun, "no run of FenwarrSetup.exe"},
    };
    for (const Case& C : Cases) {
        const InstallJudgement J = JudgeFile(GoldenDir + C.pRecord + ".txt");
        EXPECT_EQ(J.Outcome, C.Outcome) << C.pRecord;
        EXPECT_TRUE(Contains(J.What, C.pWhat)) << C.pRecord << ": " << J.What;
    }
    const InstallJudgement Arm =
        JudgeFile(std::string(FENWARR_SOURCE_DIR) + "/tests/fuzz/corpus/fuzz_report/no-half-arm64");
    EXPECT_EQ(Arm.Outcome, InstallNoHalf) << Arm.What;
}

TEST(InstallerText, BracketsAndBracesReachTheLogAsTheyAre) {
    const std::string Line = "Found! [USB\\VID_0E8D&PID_2000] {x}";
    EXPECT_EQ(MsiLiteral(Line.data(), Line.size()), "Found! [\\[]USB\\VID_0E8D&PID_2000[\\]] [\\{]x[\\}]");
}

TEST(InstallerText, ActionDataTakesItsThreeFieldsOrNothing) {
    ActionData Data;
    ASSERT_TRUE(ParseActionData("C:\\Program Files\\Zamtre_Driver|1.0.0|1", &Data));
    EXPECT_STREQ(Data.Folder, "C:\\Program Files\\Zamtre_Driver\\");
    EXPECT_STREQ(Data.Version, "1.0.0");
    EXPECT_TRUE(Data.AllowPartial);
    ASSERT_TRUE(ParseActionData("C:\\Zamtre_Driver\\|1.0.0|", &Data));
    EXPECT_STREQ(Data.Folder, "C:\\Zamtre_Driver\\");
    EXPECT_FALSE(Data.AllowPartial);
    const std::string Long(300, 'x');
    for (const std::string& Bad :
         {std::string(""), std::string("|1.0|"), std::string("C:\\x|1.0"), std::string("C:\\x|1.0|1|more"),
          Long + "|1.0|", std::string("C:\\x|") + Long + "|"})
        EXPECT_FALSE(ParseActionData(Bad.c_str(), &Data)) << Bad;
}

TEST(InstallerRecords, NamedByProgramAndTimeAndOnlyOursPruned) {
    const LocalStamp When = {2026, 12, 10, 14, 3, 7};
    EXPECT_EQ(RecordFileName("FenwarrSetup", "install", When, 1), "FenwarrSetup-install-20261210-140307.log");
    EXPECT_EQ(RecordFileName("FenwarrUninstall", "rollback", When, 2),
              "FenwarrUninstall-rollback-20261210-140307-2.log");
    EXPECT_EQ(RecordsToDelete({"FenwarrSetup-restage-20261210-140307.log"}, 0).size(), 1u);

    // 25 of ours across programs and days, and names that are not ours: the 5 oldest go, nothing else.
    std::vector<std::string> Names = {"notes.log", "FenwarrSetup-install-2026121-140307.log",
                                      "FenwarrSetup-upgrade-20200101-000000.log",
                                      "FenwarrSetup-install-20200101-000000.txt"};
    for (unsigned Day = 1; Day <= 25; ++Day)
        Names.push_back(RecordFileName(Day % 2 ? "FenwarrSetup" : "FenwarrUninstall",
                                       Day % 3 ? "install" : "removal",
                                       {2026, 11, static_cast<uint16_t>(Day), 9, 0, 0}, Day == 25 ? 3 : 1));
    Names.push_back("FenwarrSetup-install-20261101-090000-2.log"); // after day 1's first attempt
    const std::vector<std::string> Gone = RecordsToDelete(Names, RecordsKept);
    ASSERT_EQ(Gone.size(), 6u);
    EXPECT_EQ(Gone[0], "FenwarrSetup-install-20261101-090000.log");
    EXPECT_EQ(Gone[1], "FenwarrSetup-install-20261101-090000-2.log");
    EXPECT_EQ(Gone[5], RecordFileName("FenwarrSetup", "install", {2026, 11, 5, 9, 0, 0}, 1));
}

TEST(InstallerRecords, HeaderNamesMachineWindowsPackageAndTime) {
    HeaderFacts Facts = {"PC-0042", 10, 0, 19045, "", 0x8664, {2026, 12, 10, 14, 3, 7}, 60, {2026, 12, 10, 13, 3, 7}};
    EXPECT_EQ(RecordHeader(Facts, "1.0.0", "FenwarrSetup.exe", "install"),
              "# Fenwarr record\n# computer: PC-0042\n# windows: 10.0 build 19045\n# processor: x64\n"
              "# package: 1.0.0\n# program: FenwarrSetup.exe\n# action: install\n"
              "# started: 2026-12-10 14:03:07 +0100\n");
    Facts = {"PC\n1", 6, 1, 7601, "Service Pack 1", 0xaa64, {2026, 1, 2, 3, 4, 5}, -330, {2026, 1, 2, 8, 34, 5}};
    const std::string Header = RecordHeader(Facts, "1.0.0", "FenwarrUninstall.exe", "rollback");
    EXPECT_TRUE(Contains(
        Header, "# computer: PC?1\n# windows: 6.1 build 7601; Service Pack 1\n# processor: ARM64\n"));
    EXPECT_TRUE(Contains(Header, "# started: 2026-01-02 03:04:05 -0530\n"));

    // What the action writes, the reader reads: every fact, and none of the lines is a bad one.
    const std::unique_ptr<ReportState> State = StateOf(Header + "12\t4000\t" + Tag + "\n");
    const MachineFacts& Read = State->Machine;
    EXPECT_EQ(State->BadLines, 0u);
    EXPECT_TRUE(Read.Marked);
    EXPECT_EQ(Read.Computer, "PC?1");
    EXPECT_EQ(Read.Windows, "6.1 build 7601; Service Pack 1");
    EXPECT_EQ(Read.Processor, "ARM64");
    EXPECT_EQ(Read.Package, "1.0.0");
    EXPECT_EQ(Read.Program, "FenwarrUninstall.exe");
    EXPECT_EQ(Read.Action, "rollback");
    EXPECT_EQ(Read.Started, "2026-01-02 03:04:05 -0530");
}

// One event per run: its ID by the run, its type by the verdict, the record named in its text.
TEST(InstallerEvents, IdTypeAndTextFollowTheRun) {
    const char* const Record = "C:\\Windows\\Logs\\Fenwarr\\x.log";
    const InstallJudgement Arrived = {InstallArrived, "the drivers arrived"};
    const InstallJudgement Missing = {InstallNotArrived, "the drivers did not arrive"};
    RecordVerdict Removal;
    Removal.Runs.resize(1);
    Removal.Runs[0].Uninstall = true;
    Removal.Runs[0].CompanionAlone = false;
    struct Case {
        RunEvent Event;
        RunEventType Type;
        uint32_t Id;
        const char* pText;
    } Cases[] = {
        {InstallEvent(Arrived, ReportAllSucceeded, "Overall: OK", Record), EventInformation, 100,
         "FenwarrSetup.exe: the drivers arrived. Overall: OK. Record: C:\\Windows\\Logs\\Fenwarr\\x.log"},
        {InstallEvent(Arrived, ReportStepFailed, "Overall: FAILED", Record), EventWarning, 100,
         "arrived. Overall"},
        {InstallEvent(Missing, ReportStepFailed, "Overall: FAILED", Record), EventError, 100,
         "did not arrive"},
        {InstallEvent(Missing, ReportStepFailed, "Overall: FAILED", Record, EventRestageRun), EventError, 400,
         "FenwarrSetup.exe: the drivers did not arrive"},
        {RemovalEvent(true, RecordVerdict(), "Overall: NO RUN", Record), EventError, 300,
         "FenwarrUninstall.exe. "},
        {UnrecordedEvent(EventRemovalRun, false, "not recorded"), EventWarning, 200,
         "not recorded. No record"},
        {UnrecordedEvent(EventInstallRun, true, "could not be started"), EventError, 100,
         "started. No record"},
    };
    for (RunResult Result : {ResultOk, ResultClean, ResultWarning, ResultFailed}) {
        Removal.Runs[0].Result = Result;
        const RunEvent Event = RemovalEvent(false, Removal, "Overall: x", Record);
        EXPECT_EQ(Event.Id, 200u);
        EXPECT_EQ(Event.Type, Result == ResultFailed    ? EventError
                              : Result == ResultWarning ? EventWarning
                                                        : EventInformation);
    }
    for (const Case& C : Cases) {
        EXPECT_EQ(C.Event.Type, C.Type) << C.Event.Text;
        EXPECT_EQ(C.Event.Id, C.Id) << C.Event.Text;
        EXPECT_TRUE(Contains(C.Event.Text, C.pText)) << C.Event.Text;
    }
}
