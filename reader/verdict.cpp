#include "reader/verdict.h"

#include "reader/process_lines.h"
#include "reader/processors.h"
#include "reader/report_text.h"
#include "reader/verdict_lines.h"

namespace {

// How many problems the overall line names before it only counts them.
enum { OverallProblemsNamed = 3 };

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

} // namespace

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

void FillVerdictWithLines(const ReportState& State, RecordVerdict* pVerdict, std::string* pOut) {
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

void FillVerdict(const ReportState& State, RecordVerdict* pVerdict) {
    std::string Lines; // the report's run lines, found with the verdict: not needed here
    FillVerdictWithLines(State, pVerdict, &Lines);
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
