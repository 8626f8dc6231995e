#include "reader/verdict.h"

#include "reader/error_meanings.h"
#include "reader/processors.h"
#include "reader/report_text.h"
#include "reader/verdict_lines.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// How many problems the overall line names before it only counts them.
enum { OverallProblemsNamed = 3 };

bool IsUninstall(const ProcessState& P) {
    const ProgramKind* pKind = FindProgramByRole(P.Role);
    return pKind != nullptr && pKind->Uninstall;
}

const char* ProgramName(const ProcessState& P) {
    const ProgramKind* pKind = FindProgramByRole(P.Role);
    return pKind != nullptr ? pKind->pName : "?";
}

// True when the uninstall steps could not look at every node and every store file.
bool SearchIncomplete(const ProcessState& P) {
    return WalkIncomplete(P) || StoreIncomplete(P);
}

// The uninstall steps, in the process that did them: devices, driver store, co-installers, refresh.
void UninstallStepLines(const ProcessState& P, Speaker Who, bool Windows2000, RunVerdict* pVerdict,
                        std::string* pOut) {
    NodeLines(P, Who, pVerdict, pOut);
    StoreLines(P, Who, Windows2000, pVerdict, pOut);
    UninstallEndLines(P, Who, SearchIncomplete(P), pVerdict, pOut);
    RefreshLines(P, Who, pVerdict, pOut);
}

// A time of day from a DebugView log, "11:27:48" or "11:27:48.120".
void AppendClock(std::string* pOut, uint64_t Ms, bool WithMs) {
    const uint64_t Fields[3] = {Ms / 3600000 % 24, Ms / 60000 % 60, Ms / 1000 % 60};
    for (int i = 0; i < 3; ++i) {
        pOut->append(i == 0 ? "" : ":").push_back(static_cast<char>('0' + Fields[i] / 10));
        pOut->push_back(static_cast<char>('0' + Fields[i] % 10));
    }
    if (WithMs) {
        pOut->push_back('.');
        for (uint64_t Unit = 100; Unit > 0; Unit /= 10)
            pOut->push_back(static_cast<char>('0' + Ms % 1000 / Unit % 10));
    }
}

void ProcessHeader(const ReportState& State, const ProcessState& P, std::string* pOut) {
    const ProgramKind* pKind = FindProgramByRole(P.Role);
    pOut->append("  ").append(pKind != nullptr ? pKind->pLabel : "").append(ProgramName(P));
    if (P.HasPid) {
        pOut->append(", pid ");
        AppendNumber(pOut, P.Pid);
    }
    pOut->append(", from line ");
    AppendNumber(pOut, P.FirstLine);
    if (P.HasTime && State.Format == FormatDebugView && State.ViewTime == TimeClock) {
        pOut->append(", ");
        AppendClock(pOut, P.FirstMs, State.ViewClockMs);
        pOut->append(" to ");
        AppendClock(pOut, P.LastMs, State.ViewClockMs);
    } else if (P.HasTime) {
        pOut->append(", ");
        AppendNumber(pOut, P.FirstMs);
        pOut->append(" to ");
        AppendNumber(pOut, P.LastMs);
        pOut->append(" ms");
    }
    pOut->append("\n");
}

void ExampleList(const std::vector<std::string>& Examples, std::string* pOut) {
    for (size_t i = 0; i < Examples.size(); ++i)
        pOut->append(i == 0 ? " (first: \"" : ", \"").append(Examples[i]).append("\"");
    if (!Examples.empty())
        pOut->append(")");
    pOut->append("\n");
}

// What the process sent that the reader could not place.
void NoiseLines(const ProcessState& P, const char* pLabel, std::string* pOut) {
    if (P.UnknownMessages > 0) {
        pOut->append("  ").append(pLabel).append("messages not understood: ");
        AppendNumber(pOut, P.UnknownMessages);
        ExampleList(P.UnknownExamples, pOut);
    }
    if (P.UntaggedStrings > 0) {
        pOut->append("  ").append(pLabel).append("untagged strings: ");
        AppendNumber(pOut, P.UntaggedStrings);
        ExampleList(P.UntaggedExamples, pOut);
    }
    if (P.CutMessages > 0) {
        pOut->append("  ").append(pLabel).append("messages cut at 1024 characters: ");
        AppendNumber(pOut, P.CutMessages);
        pOut->append("\n");
    }
}

void CompanionLines(const ProcessState& C, RunVerdict* pVerdict, std::string* pOut) {
    if (!EarlyLines(C, SpeakerCompanion, pVerdict, pOut))
        return;
    pOut->append("  Companion system directory: ");
    if (C.SysPath.empty()) {
        Missing(pVerdict, SpeakerCompanion, pOut, RunStepSystemDirectory);
        return;
    }
    AppendEscaped(pOut, C.SysPath);
    pOut->append("\n");
    if (C.NoHalf)
        MachineLine(C, SpeakerCompanion, pOut);
    if (IsUninstall(C)) {
        UninstallStepLines(C, SpeakerCompanion, false, pVerdict, pOut);
    } else {
        CoInstallerLines(C, SpeakerCompanion, pVerdict, pOut);
        DeviceLines(C, SpeakerCompanion, pVerdict, pOut);
    }
}

// The companion that joined the run of `S`, as its hand-off's line names it.
CompanionSeen CompanionOf(const ReportState& State, const ProcessState& S) {
    if (S.CompanionProcess < 0)
        return CompanionSeen{false, false, 0};
    const ProcessState& C = State.Processes[S.CompanionProcess];
    return CompanionSeen{true, C.HasPid, C.Pid};
}

void SetupLines(const ReportState& State, const ProcessState& S, RunVerdict* pVerdict, std::string* pOut) {
    if (!EarlyLines(S, SpeakerStarter, pVerdict, pOut) || !RoadLine(S, pVerdict, pOut))
        return;
    if (IsUninstall(S)) {
        if (S.NoHalf)
            MachineLine(S, SpeakerStarter, pOut);
        // Windows 2000 (5.0) has no store uninstall: its INF files stay by design.
        const bool Windows2000 = S.HasMajor && S.HasMinor && S.Major == 5 && S.Minor == 0;
        if (S.Bits == 32)
            UninstallStepLines(S, SpeakerStarter, Windows2000, pVerdict, pOut);
        else
            HandoffLines(S, ProgramName(S), CompanionOf(State, S), pVerdict, pOut);
        if (S.Bits == 32 && S.Handoff != HandoffNotReached)
            pOut->append("  Hand-off: traced on 32-bit Windows, where it has no place\n");
        return;
    }
    CoInstallerLines(S, SpeakerStarter, pVerdict, pOut);
    InfLines(S, pVerdict, pOut);
    if (S.Bits == 32) {
        DeviceLines(S, SpeakerStarter, pVerdict, pOut);
        if (S.Handoff != HandoffNotReached)
            pOut->append("  Hand-off: traced on 32-bit Windows, where it has no place\n");
    } else {
        HandoffLines(S, ProgramName(S), CompanionOf(State, S), pVerdict, pOut);
    }
}

// What the run is: its program, its road, the Windows version it traced. A run has the program that
// started it, or the companion alone.
void RunFacts(const ProcessState* pSetup, const ProcessState* pCompanion, bool Uninstall,
              RunVerdict* pVerdict) {
    const ProcessState* pFirst = pSetup != nullptr ? pSetup : pCompanion;
    pVerdict->pProgram = "?";
    pVerdict->CompanionAlone = pSetup == nullptr;
    pVerdict->HasCompanion = pCompanion != nullptr;
    pVerdict->Uninstall = Uninstall;
    pVerdict->Road = RoadUnknown;
    pVerdict->Machine = 0;
    pVerdict->HasVersion = false;
    pVerdict->Major = pVerdict->Minor = 0;
    if (pFirst != nullptr) {
        const ProcessState& First = *pFirst;
        pVerdict->pProgram = ProgramName(First);
        if (First.EarlyFailure == MsgNoHalf || (First.Bits == 0 && First.NoHalf))
            pVerdict->Road = RoadNoHalf;
        else if (First.Bits != 0)
            pVerdict->Road = First.Bits == 64 ? Road64 : Road32;
        pVerdict->Machine = First.NoHalf ? First.Machine : 0;
        pVerdict->HasVersion = First.HasMajor && First.HasMinor;
        pVerdict->Major = First.Major;
        pVerdict->Minor = First.Minor;
    }
    pVerdict->Result = ResultOk;
    pVerdict->Steps.clear();
    pVerdict->Problems.clear();
    pVerdict->Incomplete = false;
}

RunResult ResultOf(const RunVerdict& Verdict, bool Clean) {
    RunResult Result = Clean ? ResultClean : ResultOk;
    for (const ProblemVerdict& Problem : Verdict.Problems) {
        if (Problem.Severity == SeverityFailure)
            return ResultFailed;
        Result = ResultWarning;
    }
    return Result;
}

// The run's lines, as its verdict is found: they cannot say otherwise than the verdict.
void RunLines(const ReportState& State, size_t Index, RunVerdict* pVerdict, std::string* pOut) {
    const Run& R = State.Runs[Index];
    const ProcessState* pSetup = R.Starter >= 0 ? &State.Processes[R.Starter] : nullptr;
    const ProcessState* pCompanion = R.Companion >= 0 ? &State.Processes[R.Companion] : nullptr;
    RunFacts(pSetup, pCompanion, R.Uninstall, pVerdict);
    pOut->append("\nRun ");
    AppendNumber(pOut, Index + 1);
    if (R.Uninstall)
        pOut->append(": uninstall,");
    pOut->append(R.Uninstall ? " " : ": ");
    if (pSetup == nullptr)
        pOut->append(R.Uninstall ? "the companion alone (no uninstaller before it in the record)\n"
                                 : "the companion alone (no setup program before it in the record)\n");
    else if (pSetup->EarlyFailure == MsgNoHalf)
        pOut->append("no package half for ").append(MachineName(pSetup->Machine)).append("\n");
    else if (pSetup->EarlyFailure != MsgNone)
        pOut->append("early failure\n");
    else if (pSetup->Bits != 0)
        pOut->append(pSetup->Bits == 64 ? "64-bit Windows\n" : "32-bit Windows\n");
    else
        pOut->append("road not recorded\n");
    if (pSetup != nullptr)
        ProcessHeader(State, *pSetup, pOut);
    if (pCompanion != nullptr)
        ProcessHeader(State, *pCompanion, pOut);
    if (pSetup != nullptr) {
        SetupLines(State, *pSetup, pVerdict, pOut);
        NoiseLines(*pSetup, R.Uninstall ? "Uninstaller " : "Setup program ", pOut);
    }
    if (pCompanion != nullptr) {
        CompanionLines(*pCompanion, pVerdict, pOut);
        NoiseLines(*pCompanion, "Companion ", pOut);
    }
    const bool Clean =
        (pSetup != nullptr && pSetup->NothingToUninstall && !SearchIncomplete(*pSetup)) ||
        (pCompanion != nullptr && pCompanion->NothingToUninstall && !SearchIncomplete(*pCompanion));
    pVerdict->Result = ResultOf(*pVerdict, Clean);
    pOut->append("  Verdict: ");
    if (pVerdict->Result == ResultClean) {
        pOut->append("OK, nothing to uninstall: the machine was clean already\n");
    } else if (pVerdict->Result == ResultOk) {
        pOut->append("OK, every step succeeded\n");
    } else {
        pOut->append("FAILED: ");
        for (size_t i = 0; i < pVerdict->Problems.size(); ++i)
            pOut->append(i == 0 ? "" : "; ").append(pVerdict->Problems[i].Text);
        pOut->append("\n");
    }
}

// Every run of the record: its lines appended to *pOut, its verdict in *pVerdict.
void RecordRuns(const ReportState& State, RecordVerdict* pVerdict, std::string* pOut) {
    pVerdict->Machine = State.Machine;
    pVerdict->Format = State.Format;
    pVerdict->Lines = State.Lines;
    pVerdict->Strings = State.Records;
    pVerdict->BadLines = State.BadLines;
    pVerdict->Utf16 = State.Utf16;
    pVerdict->FailedRuns = 0;
    pVerdict->Runs.resize(State.Runs.size());
    for (size_t i = 0; i < State.Runs.size(); ++i) {
        RunLines(State, i, &pVerdict->Runs[i], pOut);
        if (!pVerdict->Runs[i].Problems.empty())
            ++pVerdict->FailedRuns;
    }
    if (State.Runs.empty())
        pVerdict->Status = ReportNoRun;
    else
        pVerdict->Status = pVerdict->FailedRuns == 0 ? ReportAllSucceeded : ReportStepFailed;
}

void RecordLines(const ReportState& State, std::string* pOut) {
    if (State.ForeignStrings > 0) {
        pOut->append("Other processes: ");
        AppendCount(pOut, State.ForeignStrings, "string", "strings");
        pOut->append(" from ");
        AppendCount(pOut, State.ForeignProcesses, "process", "processes");
        ExampleList(State.ForeignExamples, pOut);
    }
    if (State.UnknownSenderStrings > 0) {
        pOut->append("Other strings, sender unknown (no process id): ");
        AppendNumber(pOut, State.UnknownSenderStrings);
        ExampleList(State.UnknownSenderExamples, pOut);
    }
    if (State.StrayMessages > 0) {
        pOut->append("Tool messages outside any run: ");
        AppendNumber(pOut, State.StrayMessages);
        ExampleList(State.StrayExamples, pOut);
    }
    if (State.LoneTags > 0) {
        pOut->append("Tags without their message: ");
        AppendNumber(pOut, State.LoneTags);
        pOut->append("\n");
    }
    if (State.DroppedProcesses > 0) {
        pOut->append("Programs not read (over ");
        AppendNumber(pOut, MaxProcesses);
        pOut->append(" in one record): ");
        AppendNumber(pOut, State.DroppedProcesses);
        pOut->append("\n");
    }
    if (State.BadLines > 0) {
        pOut->append("Unreadable lines: ");
        AppendNumber(pOut, State.BadLines);
        ExampleList(State.BadExamples, pOut);
    }
    if (State.LastLineCut)
        pOut->append("The last line has no line end: the record may have been cut off\n");
    if (State.Utf16)
        pOut->append(
            "The file is UTF-16 (\"Unicode\") text, which is not read: save it again as ANSI or UTF-8 "
            "text\n");
}

void JoinFact(std::string* pGroup, const char* pSeparator, const char* pBefore, const std::string& Value) {
    if (Value.empty())
        return;
    pGroup->append(pGroup->empty() ? "" : pSeparator).append(pBefore);
    AppendEscaped(pGroup, Value);
}

// What the record's header says of the machine and the run, on one line: "Machine: PC-0042, Windows 10.0
// build 19045, x64; package 1.0.0; FenwarrSetup.exe install started 2026-12-10 14:03:07 +0100".
void MachineFactsLine(const MachineFacts& Facts, std::string* pOut) {
    if (!HasMachineFacts(Facts))
        return;
    std::string Groups[3];
    JoinFact(&Groups[0], ", ", "", Facts.Computer);
    JoinFact(&Groups[0], ", ", "Windows ", Facts.Windows);
    JoinFact(&Groups[0], ", ", "", Facts.Processor);
    JoinFact(&Groups[1], " ", "package ", Facts.Package);
    JoinFact(&Groups[2], " ", "", Facts.Program);
    JoinFact(&Groups[2], " ", "", Facts.Action);
    JoinFact(&Groups[2], " ", "started ", Facts.Started);
    pOut->append("Machine: ");
    bool First = true;
    for (const std::string& Group : Groups) {
        if (Group.empty())
            continue;
        pOut->append(First ? "" : "; ").append(Group);
        First = false;
    }
    pOut->append("\n");
}

// How the DebugView log was saved, and what reading it without process ids cannot know.
void DebugViewLines(const ReportState& State, std::string* pOut) {
    pOut->append("Log: ");
    pOut->append(State.ViewTime == TimeClock ? "times of day" : "times in seconds since the first line");
    if (State.ViewPidLines == 0) {
        pOut->append(", no process ids");
    } else {
        pOut->append(", process ids on ");
        AppendCount(pOut, State.ViewPidLines, "line", "lines");
    }
    if (State.ViewJoinedLines == 0) {
        pOut->append(", each string on a line of its own\n");
    } else {
        pOut->append(", strings joined on ");
        AppendCount(pOut, State.ViewJoinedLines, "line", "lines");
        pOut->append(" (\"Force Carriage Returns\" off)\n");
    }
    if (State.NoPidTags > 0)
        pOut->append(
            "One process: this log has no process ids (DebugView's \"Win32 PIDs\" was off), so it is read "
            "as one process, each program from its start message to the next; it cannot tell apart "
            "programs that ran at the same time, nor who sent a string without the tag\n");
}

} // namespace

ReportStatus WriteReport(const ReportState& State, const char* pName, std::string* pOut) {
    std::unique_ptr<RecordVerdict> pVerdict(new RecordVerdict());
    return WriteReport(State, pName, pOut, pVerdict.get());
}

ReportStatus WriteReport(const ReportState& State, const char* pName, std::string* pOut,
                         RecordVerdict* pVerdict) {
    pOut->append("fenwarr-report: ");
    AppendEscaped(pOut, pName);
    pOut->append("\nRecord: ");
    AppendNumber(pOut, State.Lines);
    if (State.Format == FormatDebugView)
        pOut->append(" lines of a DebugView log, ");
    else
        pOut->append(State.Format == FormatTimed ? " lines with times, " : " lines, ");
    AppendNumber(pOut, State.Records);
    pOut->append(" debugger strings, ");
    AppendNumber(pOut, State.ToolMessages);
    pOut->append(" tool messages, ");
    AppendCount(pOut, State.Runs.size(), "run", "runs");
    pOut->append("\n");
    MachineFactsLine(State.Machine, pOut);
    if (State.Format == FormatDebugView)
        DebugViewLines(State, pOut);

    RecordRuns(State, pVerdict, pOut);
    pOut->append("\n");
    RecordLines(State, pOut);
    AppendOverallLine(State, *pVerdict, pOut);
    pOut->append("\n");
    return pVerdict->Status;
}

void AppendOverallLine(const ReportState& State, const RecordVerdict& Verdict, std::string* pOut) {
    if (State.Runs.empty()) {
        pOut->append("Overall: NO RUN: the record holds no run of FenwarrSetup.exe, FenwarrUninstall.exe or "
                     "Fenwarr64.exe");
    } else if (Verdict.FailedRuns == 0) {
        pOut->append("Overall: OK: ");
        AppendCount(pOut, State.Runs.size(), "run", "runs");
        pOut->append(", every step succeeded");
    } else {
        // One line: each failed run with its first few problems.
        pOut->append("Overall: FAILED: ");
        AppendNumber(pOut, Verdict.FailedRuns);
        pOut->append(" of ");
        AppendCount(pOut, State.Runs.size(), "run", "runs");
        for (size_t i = 0; i < Verdict.Runs.size(); ++i) {
            const std::vector<ProblemVerdict>& Problems = Verdict.Runs[i].Problems;
            if (Problems.empty())
                continue;
            pOut->append("; run ");
            AppendNumber(pOut, i + 1);
            pOut->append(": ");
            for (size_t k = 0; k < Problems.size() && k < OverallProblemsNamed; ++k)
                pOut->append(k == 0 ? "" : ", ").append(Problems[k].Text);
            if (Problems.size() > OverallProblemsNamed) {
                pOut->append(" and ");
                AppendNumber(pOut, Problems.size() - OverallProblemsNamed);
                pOut->append(" more");
            }
        }
    }
}

void FillVerdict(const ReportState& State, RecordVerdict* pVerdict) {
    std::string Lines; // the report's run lines, found with the verdict: not needed here
    RecordRuns(State, pVerdict, &Lines);
}

const char* SeverityName(VerdictSeverity Severity) {
    return Severity == SeverityFailure ? "failure" : "warning";
}

const char* OutcomeName(StepOutcome Outcome) {
    static const char* const Names[OutcomeCount] = {"done",    "incomplete",  "failed",
                                                    "pending", "not-reached", "left-alone"};
    return Outcome >= 0 && Outcome < OutcomeCount ? Names[Outcome] : "?";
}

const char* RoadName(VerdictRoad Road) {
    static const char* const Names[RoadCount] = {"unknown", "32-bit", "64-bit", "no-half"};
    return Road >= 0 && Road < RoadCount ? Names[Road] : "?";
}

const char* ResultName(RunResult Result) {
    static const char* const Names[ResultCount] = {"ok", "clean", "warning", "failed"};
    return Result >= 0 && Result < ResultCount ? Names[Result] : "?";
}

ReportStatus ReportBuffer(const char* pData, size_t Size, const char* pName, std::string* pOut) {
    std::unique_ptr<ReportState> pState(new ReportState());
    InitReport(pState.get());
    FeedReport(pState.get(), pData, Size);
    FinishReport(pState.get());
    return WriteReport(*pState, pName, pOut);
}

bool ReadReportFile(const char* pPath, bool GiveUpOnOther, ReportState* pState, std::string* pError) {
    enum { ChunkSize = 1 << 16 };
    std::unique_ptr<char[]> pChunk(new char[ChunkSize]);
    InitReport(pState);
    FILE* pFile = fopen(pPath, "rb");
    if (pFile == nullptr) {
        pError->append("cannot open: ").append(strerror(errno));
        return false;
    }
    bool ReadFailed = false;
    bool Other = false;
    while (!Other) {
        const size_t n = fread(pChunk.get(), 1, ChunkSize, pFile);
        FeedReport(pState, pChunk.get(), n);
        if (n < ChunkSize) {
            // A directory opens on some systems and fails on the first read.
            ReadFailed = ferror(pFile) != 0;
            break;
        }
        // Whole lines, and not one of them a record's: another kind of file.
        Other = GiveUpOnOther && pState->Lines > 0 && pState->Records == 0 && pState->HeaderLines == 0;
    }
    const int ReadErrno = errno;
    fclose(pFile);
    if (ReadFailed) {
        pError->append("cannot read: ").append(strerror(ReadErrno));
        return false;
    }
    FinishReport(pState);
    return true;
}

ReportStatus ReportFile(const char* pPath, std::string* pOut, std::string* pError) {
    std::unique_ptr<ReportState> pState(new ReportState());
    std::string Why;
    if (!ReadReportFile(pPath, false, pState.get(), &Why)) {
        // "cannot open PATH: reason"
        const size_t Colon = Why.find(':');
        pError->append(Why, 0, Colon).append(" ").append(pPath).append(Why, Colon, std::string::npos);
        return ReportNoRun;
    }
    return WriteReport(*pState, pPath, pOut);
}
