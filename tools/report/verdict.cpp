#include "tools/report/verdict.h"

#include "tools/report/error_meanings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// How many problems the overall line names before it only counts them.
enum { OverallProblemsNamed = 3 };

void AppendNumber(std::string* pOut, uint64_t Value) {
    char Digits[24];
    size_t n = 0;
    do {
        Digits[n++] = static_cast<char>('0' + Value % 10);
        Value /= 10;
    } while (Value != 0);
    while (n > 0)
        pOut->push_back(Digits[--n]);
}

void AppendHex(std::string* pOut, uint32_t Value) {
    static const char Hex[] = "0123456789abcdef";
    char Digits[8];
    size_t n = 0;
    do {
        Digits[n++] = Hex[Value & 15];
        Value >>= 4;
    } while (Value != 0);
    pOut->append("0x");
    while (n > 0)
        pOut->push_back(Digits[--n]);
}

// "1 run", "2 runs".
void AppendCount(std::string* pOut, size_t Count, const char* pOne, const char* pMany) {
    AppendNumber(pOut, Count);
    pOut->append(" ").append(Count == 1 ? pOne : pMany);
}

// Text from the record, with anything unprintable escaped.
void AppendEscaped(std::string* pOut, const std::string& Text) {
    char Buffer[256];
    size_t Done = 0;
    while (Done < Text.size()) {
        const size_t Chunk = Text.size() - Done < 64 ? Text.size() - Done : 64;
        pOut->append(Buffer, EscapeText(Text.data() + Done, Chunk, Buffer, sizeof(Buffer), false, nullptr));
        Done += Chunk;
    }
}

// "error 2 ERROR_FILE_NOT_FOUND: meaning", in the base the tool printed it in.
void AppendError(std::string* pOut, uint32_t Code, bool Hex) {
    pOut->append("error ");
    if (Hex) {
        AppendHex(pOut, Code);
    } else if (Code >= 0x80000000u) {
        // %d printed it negative; the hex form is the one found in the headers.
        pOut->push_back('-');
        AppendNumber(pOut, 0x100000000ull - Code);
        pOut->append(" (");
        AppendHex(pOut, Code);
        pOut->push_back(')');
    } else {
        AppendNumber(pOut, Code);
    }
    const ErrorMeaning* pMeaning = FindErrorMeaning(Code);
    if (pMeaning != nullptr) {
        pOut->append(" ").append(pMeaning->pName).append(": ").append(pMeaning->pMeaning);
    } else {
        pOut->append(" (unknown)");
    }
}

struct RunVerdict {
    std::vector<std::string> Problems;
    bool Incomplete = false;
};

void Problem(RunVerdict* pVerdict, std::string Text) {
    pVerdict->Problems.push_back(std::move(Text));
}

void Missing(RunVerdict* pVerdict, std::string* pOut, const char* pStep) {
    pOut->append("not in the record (it ends before this step)\n");
    if (!pVerdict->Incomplete)
        Problem(pVerdict, std::string("the record ends before ") + pStep);
    pVerdict->Incomplete = true;
}

const char* EarlyFailureMeaning(MessageId Id) {
    switch (Id) {
    case MsgNoVersion:
        return "\"Can't get system version\": Windows did not give its version";
    case MsgMallocSysDir:
        return "\"Malloc for system dir failed!\": out of memory for the system directory";
    case MsgNoSysDir:
        return "\"Get system dir failed!\": the system directory could not be read";
    case MsgMallocSourceDir:
        return "\"Malloc failed!\": out of memory for the package folder";
    default:
        return "unknown";
    }
}

void AppendFailReason(std::string* pOut, const FileStep& Step, bool Hex) {
    switch (Step.Reason) {
    case ReasonError:
        AppendError(pOut, Step.Error, Hex);
        break;
    case ReasonNoMemory:
        pOut->append("out of memory");
        break;
    case ReasonNoSystemPath:
        pOut->append("the system directory could not be read");
        break;
    case ReasonTooLong:
        pOut->append("the path does not fit in 260 bytes: ");
        AppendEscaped(pOut, Step.Detail);
        break;
    default:
        pOut->append("no cause recorded");
        break;
    }
}

// The co-installer copies. `pWho` prefixes each line ("" or "Companion ").
void CoInstallerLines(const ProcessState& P, const char* pWho, RunVerdict* pVerdict, std::string* pOut) {
    for (int i = 0; i < CoInstallerCount; ++i) {
        const FileStep& Step = P.CoInstallers[i];
        pOut->append("  ").append(pWho).append(*pWho ? "co-installer " : "Co-installer ");
        pOut->append(CoInstallerNames[i]).append(": ");
        if (Step.State == StepDone) {
            pOut->append("copied\n");
        } else if (Step.State == StepFailed) {
            pOut->append("FAILED: ");
            AppendFailReason(pOut, Step, false);
            pOut->append("\n");
            Problem(pVerdict, std::string(*pWho ? "companion: " : "") + "co-installer " +
                                  CoInstallerNames[i] + " not copied");
        } else if (Step.State == StepPending) {
            pOut->append("no outcome recorded (the record ends during the copy)\n");
            Problem(pVerdict, std::string(*pWho ? "companion: " : "") + "co-installer " +
                                  CoInstallerNames[i] + " not confirmed");
        } else {
            Missing(pVerdict, pOut, *pWho ? "the companion's co-installer copy" : "the co-installer copy");
        }
    }
}

void InfLines(const ProcessState& P, RunVerdict* pVerdict, std::string* pOut) {
    for (int i = 0; i < InfCount; ++i) {
        const FileStep& Step = P.Infs[i];
        pOut->append("  INF ").append(InfNames[i]).append(": ");
        if (Step.State == StepDone) {
            pOut->append("staged as ");
            AppendEscaped(pOut, Step.Detail);
            pOut->append("\n");
        } else if (Step.State == StepFailed) {
            pOut->append("FAILED: ");
            AppendFailReason(pOut, Step, true);
            pOut->append("\n");
            Problem(pVerdict, std::string("INF ") + InfNames[i] + " not staged");
        } else if (Step.State == StepPending) {
            pOut->append("no outcome recorded (the record ends during the staging)\n");
            Problem(pVerdict, std::string("INF ") + InfNames[i] + " not confirmed");
        } else {
            Missing(pVerdict, pOut, "the INF staging");
        }
    }
}

void DeviceLines(const ProcessState& P, const char* pWho, RunVerdict* pVerdict, std::string* pOut) {
    pOut->append("  ").append(pWho).append(*pWho ? "devices: " : "Devices: ");
    if (P.NodeCount == 0 && !P.DevicesWalked) {
        Missing(pVerdict, pOut, *pWho ? "the companion's device walk" : "the device walk");
        return;
    }
    if (P.NodeCount == 0) {
        pOut->append("no node of the handset found, nothing to remove\n");
    } else {
        AppendCount(pOut, P.NodeCount, "node", "nodes");
        pOut->append(" of the handset found: ");
        static const char* const OutcomeTexts[NodeOutcomeCount] = {
            "without outcome", "removed", "left (removal failed)", "kept (driver installed)",
            "left (driver unreadable)"};
        bool First = true;
        for (int o = NodeRemoved; o < NodeOutcomeCount + 1; ++o) {
            const int Outcome = o == NodeOutcomeCount ? NodePending : o; // "without outcome" last
            if (P.NodeOutcomes[Outcome] == 0)
                continue;
            pOut->append(First ? "" : ", ");
            AppendNumber(pOut, P.NodeOutcomes[Outcome]);
            pOut->append(" ").append(OutcomeTexts[Outcome]);
            First = false;
        }
        pOut->append("\n");
    }
    for (const DeviceNode& Node : P.Nodes) {
        pOut->append("    ");
        AppendEscaped(pOut, Node.Id);
        pOut->append(": ");
        switch (Node.Outcome) {
        case NodeRemoved:
            pOut->append("removed (it had no driver)\n");
            break;
        case NodeRemoveFailed:
            pOut->append("LEFT: it has no driver but its removal failed\n");
            break;
        case NodeKept:
            pOut->append("kept, it has a driver: ");
            AppendEscaped(pOut, Node.DriverKey);
            pOut->append("\n");
            break;
        case NodeDriverUnreadable:
            pOut->append("LEFT: its driver could not be read: ");
            AppendError(pOut, Node.Error, false);
            pOut->append("\n");
            break;
        default:
            pOut->append("no outcome recorded\n");
            break;
        }
    }
    if (P.NodeCount > P.Nodes.size()) {
        pOut->append("    ... and ");
        AppendNumber(pOut, P.NodeCount - P.Nodes.size());
        pOut->append(" more\n");
    }
    const std::string Who = *pWho ? "companion: " : "";
    if (P.NodeOutcomes[NodeRemoveFailed] > 0)
        Problem(pVerdict,
                Who + std::to_string(P.NodeOutcomes[NodeRemoveFailed]) + " driverless node(s) not removed");
    if (P.NodeOutcomes[NodeDriverUnreadable] > 0)
        Problem(pVerdict, Who + std::to_string(P.NodeOutcomes[NodeDriverUnreadable]) +
                              " node(s) whose driver could not be read");
    if (P.NodeOutcomes[NodePending] > 0)
        Problem(pVerdict, Who + "a node without outcome");
    if (P.NodesSkippedNoMemory > 0) {
        pOut->append("  ").append(pWho).append(*pWho ? "devices" : "Devices").append(" skipped: ");
        AppendNumber(pOut, P.NodesSkippedNoMemory);
        pOut->append(" listed node(s) not handled, out of memory (\"Malloc failed\")\n");
        Problem(pVerdict, Who + "node(s) skipped for lack of memory");
    }

    pOut->append("  ").append(pWho).append(*pWho ? "refresh: " : "Refresh: ");
    if (P.Refresh == RefreshRequested) {
        pOut->append("requested\n");
    } else if (P.Refresh == RefreshRootNotFound) {
        pOut->append(
            "FAILED: the root device node could not be located, the device tree was not re-enumerated "
            "(always so under Wine)\n");
        Problem(pVerdict, Who + "device tree not refreshed");
    } else {
        Missing(pVerdict, pOut, *pWho ? "the companion's refresh" : "the refresh");
    }
}

void ProcessHeader(const ProcessState& P, const char* pLabel, std::string* pOut) {
    const ProgramKind* pKind = FindProgramByRole(P.Role);
    pOut->append("  ").append(pLabel).append(pKind != nullptr ? pKind->pName : "?").append(", pid ");
    AppendNumber(pOut, P.Pid);
    pOut->append(", from line ");
    AppendNumber(pOut, P.FirstLine);
    if (P.HasTime) {
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
void NoiseLines(const ProcessState& P, const char* pWho, std::string* pOut) {
    if (P.UnknownMessages > 0) {
        pOut->append("  ").append(pWho).append("messages not understood: ");
        AppendNumber(pOut, P.UnknownMessages);
        ExampleList(P.UnknownExamples, pOut);
    }
    if (P.UntaggedStrings > 0) {
        pOut->append("  ").append(pWho).append("untagged strings: ");
        AppendNumber(pOut, P.UntaggedStrings);
        ExampleList(P.UntaggedExamples, pOut);
    }
    if (P.CutMessages > 0) {
        pOut->append("  ").append(pWho).append("messages cut at 1024 characters: ");
        AppendNumber(pOut, P.CutMessages);
        pOut->append("\n");
    }
}

// The early steps: an early failure ends the process's part of the run.
bool EarlyLines(const ProcessState& P, const char* pWho, RunVerdict* pVerdict, std::string* pOut) {
    if (P.EarlyFailure == MsgNone)
        return true;
    pOut->append("  ").append(pWho).append(*pWho ? "early failure: " : "Early failure: ");
    pOut->append(EarlyFailureMeaning(P.EarlyFailure));
    pOut->append("; nothing was installed, exit code 0\n");
    Problem(pVerdict, std::string(pWho) + "early failure, nothing installed");
    return false;
}

void CompanionLines(const ProcessState& C, RunVerdict* pVerdict, std::string* pOut) {
    if (!EarlyLines(C, "Companion ", pVerdict, pOut))
        return;
    pOut->append("  Companion system directory: ");
    if (C.SysPath.empty()) {
        Missing(pVerdict, pOut, "the companion's system directory");
        return;
    }
    AppendEscaped(pOut, C.SysPath);
    pOut->append("\n");
    CoInstallerLines(C, "Companion ", pVerdict, pOut);
    DeviceLines(C, "Companion ", pVerdict, pOut);
}

void HandoffLines(const ReportState& State, const ProcessState& S, RunVerdict* pVerdict, std::string* pOut) {
    pOut->append("  Hand-off: ");
    const std::string Path = S.CompanionPath.empty() ? std::string("Fenwarr64.exe") : S.CompanionPath;
    switch (S.Handoff) {
    case HandoffNotReached:
        Missing(pVerdict, pOut, "the hand-off");
        break;
    case HandoffPathTooLong:
        pOut->append("FAILED: the companion's path does not fit in 260 bytes (folder ");
        AppendEscaped(pOut, S.ModulePath);
        pOut->append("); Fenwarr64.exe was not started\n");
        Problem(pVerdict, "companion not started: path too long");
        break;
    case HandoffStartFailed:
        AppendEscaped(pOut, Path);
        pOut->append(
            ": FAILED: it could not be started (\"CreateProcess failed\"); Fenwarr64.exe must sit next to "
            "FenwarrSetup.exe\n");
        Problem(pVerdict, "companion Fenwarr64.exe not started");
        break;
    default:
        if (S.CompanionProcess >= 0) {
            AppendEscaped(pOut, Path);
            pOut->append(": started, pid ");
            AppendNumber(pOut, State.Processes[S.CompanionProcess].Pid);
            pOut->append("\n");
        } else {
            AppendEscaped(pOut, Path);
            pOut->append(": FAILED: no record of the companion: it did not run, or ended before its first "
                         "message\n");
            Problem(pVerdict, "companion left no record");
        }
        break;
    }
}

void SetupLines(const ReportState& State, const ProcessState& S, RunVerdict* pVerdict, std::string* pOut) {
    if (!EarlyLines(S, "", pVerdict, pOut))
        return;
    pOut->append("  Road: ");
    if (S.Bits == 0) {
        Missing(pVerdict, pOut, "the platform line");
        return;
    }
    pOut->append(S.Bits == 64 ? "64-bit Windows, \"" : "32-bit Windows, \"")
        .append(S.PlatformLine)
        .append("\"");
    if (S.HasMajor && S.HasMinor) {
        pOut->append(" (version ");
        AppendNumber(pOut, S.Major);
        pOut->append(".");
        AppendNumber(pOut, S.Minor);
        pOut->append(S.OtherOs ? ", a version without a line of its own)" : ")");
    }
    pOut->append(", system directory ");
    AppendEscaped(pOut, S.SysPath);
    pOut->append("\n");
    CoInstallerLines(S, "", pVerdict, pOut);
    InfLines(S, pVerdict, pOut);
    if (S.Bits == 32) {
        DeviceLines(S, "", pVerdict, pOut);
        if (S.Handoff != HandoffNotReached)
            pOut->append("  Hand-off: traced on 32-bit Windows, where it has no place\n");
    } else {
        HandoffLines(State, S, pVerdict, pOut);
    }
}

void RunLines(const ReportState& State, size_t Index, RunVerdict* pVerdict, std::string* pOut) {
    const Run& R = State.Runs[Index];
    const ProcessState* pSetup = R.Setup >= 0 ? &State.Processes[R.Setup] : nullptr;
    const ProcessState* pCompanion = R.Companion >= 0 ? &State.Processes[R.Companion] : nullptr;
    pOut->append("\nRun ");
    AppendNumber(pOut, Index + 1);
    if (pSetup == nullptr)
        pOut->append(": the companion alone (no setup program before it in the record)\n");
    else if (pSetup->EarlyFailure != MsgNone)
        pOut->append(": early failure\n");
    else if (pSetup->Bits != 0)
        pOut->append(pSetup->Bits == 64 ? ": 64-bit Windows\n" : ": 32-bit Windows\n");
    else
        pOut->append(": road not recorded\n");
    if (pSetup != nullptr)
        ProcessHeader(*pSetup, "Setup program: ", pOut);
    if (pCompanion != nullptr)
        ProcessHeader(*pCompanion, "Companion: ", pOut);
    if (pSetup != nullptr) {
        SetupLines(State, *pSetup, pVerdict, pOut);
        NoiseLines(*pSetup, "Setup program ", pOut);
    }
    if (pCompanion != nullptr) {
        CompanionLines(*pCompanion, pVerdict, pOut);
        NoiseLines(*pCompanion, "Companion ", pOut);
    }
    pOut->append("  Verdict: ");
    if (pVerdict->Problems.empty()) {
        pOut->append("OK, every step succeeded\n");
    } else {
        pOut->append("FAILED: ");
        for (size_t i = 0; i < pVerdict->Problems.size(); ++i)
            pOut->append(i == 0 ? "" : "; ").append(pVerdict->Problems[i]);
        pOut->append("\n");
    }
}

void RecordLines(const ReportState& State, std::string* pOut) {
    if (State.ForeignStrings > 0) {
        pOut->append("Other processes: ");
        AppendCount(pOut, State.ForeignStrings, "string", "strings");
        pOut->append(" from ");
        AppendCount(pOut, State.ForeignProcesses, "process", "processes");
        ExampleList(State.ForeignExamples, pOut);
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
}

} // namespace

ReportStatus WriteReport(const ReportState& State, const char* pName, std::string* pOut) {
    pOut->append("fenwarr-report: ");
    AppendEscaped(pOut, pName);
    pOut->append("\nRecord: ");
    AppendNumber(pOut, State.Lines);
    pOut->append(State.Format == FormatTimed ? " lines with times, " : " lines, ");
    AppendNumber(pOut, State.Records);
    pOut->append(" debugger strings, ");
    AppendNumber(pOut, State.ToolMessages);
    pOut->append(" tool messages, ");
    AppendCount(pOut, State.Runs.size(), "run", "runs");
    pOut->append("\n");

    std::vector<RunVerdict> Verdicts(State.Runs.size());
    size_t FailedRuns = 0;
    for (size_t i = 0; i < State.Runs.size(); ++i) {
        RunLines(State, i, &Verdicts[i], pOut);
        if (!Verdicts[i].Problems.empty())
            ++FailedRuns;
    }
    pOut->append("\n");
    RecordLines(State, pOut);

    ReportStatus Status = ReportAllSucceeded;
    if (State.Runs.empty()) {
        pOut->append("Overall: NO RUN: the record holds no run of FenwarrSetup.exe or Fenwarr64.exe\n");
        Status = ReportNoRun;
    } else if (FailedRuns == 0) {
        pOut->append("Overall: OK: ");
        AppendCount(pOut, State.Runs.size(), "run", "runs");
        pOut->append(", every step succeeded\n");
    } else {
        // One line: each failed run with its first few problems.
        pOut->append("Overall: FAILED: ");
        AppendNumber(pOut, FailedRuns);
        pOut->append(" of ");
        AppendCount(pOut, State.Runs.size(), "run", "runs");
        for (size_t i = 0; i < Verdicts.size(); ++i) {
            const std::vector<std::string>& Problems = Verdicts[i].Problems;
            if (Problems.empty())
                continue;
            pOut->append("; run ");
            AppendNumber(pOut, i + 1);
            pOut->append(": ");
            for (size_t k = 0; k < Problems.size() && k < OverallProblemsNamed; ++k)
                pOut->append(k == 0 ? "" : ", ").append(Problems[k]);
            if (Problems.size() > OverallProblemsNamed) {
                pOut->append(" and ");
                AppendNumber(pOut, Problems.size() - OverallProblemsNamed);
                pOut->append(" more");
            }
        }
        pOut->append("\n");
        Status = ReportStepFailed;
    }
    return Status;
}

ReportStatus ReportBuffer(const char* pData, size_t Size, const char* pName, std::string* pOut) {
    std::unique_ptr<ReportState> pState(new ReportState());
    InitReport(pState.get());
    FeedReport(pState.get(), pData, Size);
    FinishReport(pState.get());
    return WriteReport(*pState, pName, pOut);
}

ReportStatus ReportFile(const char* pPath, std::string* pOut, std::string* pError) {
    enum { ChunkSize = 1 << 16 };
    ReportStatus Status = ReportNoRun;
    std::unique_ptr<ReportState> pState(new ReportState());
    std::unique_ptr<char[]> pChunk(new char[ChunkSize]);
    InitReport(pState.get());
    FILE* pFile = fopen(pPath, "rb");
    if (pFile == nullptr) {
        pError->append("cannot open ").append(pPath).append(": ").append(strerror(errno));
        return Status;
    }
    bool ReadFailed = false;
    for (;;) {
        const size_t n = fread(pChunk.get(), 1, ChunkSize, pFile);
        FeedReport(pState.get(), pChunk.get(), n);
        if (n < ChunkSize) {
            // A directory opens on some systems and fails on the first read.
            ReadFailed = ferror(pFile) != 0;
            break;
        }
    }
    const int ReadErrno = errno;
    fclose(pFile);
    if (ReadFailed) {
        pError->append("cannot read ").append(pPath).append(": ").append(strerror(ReadErrno));
    } else {
        FinishReport(pState.get());
        Status = WriteReport(*pState, pPath, pOut);
    }
    return Status;
}
