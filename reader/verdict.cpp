#include "reader/verdict.h"

#include "reader/error_meanings.h"
#include "reader/processors.h"
#include "reader/report_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// How many problems the overall line names before it only counts them.
enum { OverallProblemsNamed = 3 };

// The line under a list cut to its first entries: how many more there were.
void AppendMore(std::string* pOut, size_t Total, size_t Shown) {
    if (Total <= Shown)
        return;
    pOut->append("    ... and ");
    AppendNumber(pOut, Total - Shown);
    pOut->append(" more\n");
}

// What stands before a line of the companion's ("" for the program that starts the run).
const char* WhoPrefix(Speaker Who) {
    return Who == SpeakerCompanion ? "Companion " : "";
}

// The prefix of a problem of the companion's ("" for the program that starts the run).
std::string ProblemWho(Speaker Who) {
    return Who == SpeakerCompanion ? "companion: " : "";
}

// A problem's words with its subject in place of "%s".
std::string Worded(const char* pWords, const std::string& Subject) {
    std::string Words = pWords;
    const size_t At = Words.find("%s");
    if (At != std::string::npos)
        Words.replace(At, 2, Subject);
    return Words;
}

// A problem of the run; a companion's problems say so first. `Count`, when not 0, stands before the words.
ProblemVerdict* Problem(RunVerdict* pVerdict, Speaker Who, ProblemKind Kind, size_t Count = 0,
                        const std::string& Subject = std::string()) {
    const ProblemWords& Row = WordsOfProblem(Kind);
    const std::string Words = Worded(Row.pWords, Subject);
    pVerdict->Problems.emplace_back();
    ProblemVerdict* pProblem = &pVerdict->Problems.back();
    pProblem->Companion = Who == SpeakerCompanion;
    pProblem->Kind = Kind;
    pProblem->pKey = Row.pKey;
    pProblem->Severity = Row.Severity;
    pProblem->Count = Count;
    pProblem->Label = ProblemWho(Who) + Words;
    pProblem->Text = Count == 0 ? pProblem->Label : ProblemWho(Who) + std::to_string(Count) + " " + Words;
    pProblem->HasError = false;
    pProblem->Error = 0;
    pProblem->ErrorHex = false;
    return pProblem;
}

void ProblemError(ProblemVerdict* pProblem, uint32_t Error, bool Hex) {
    pProblem->HasError = true;
    pProblem->Error = Error;
    pProblem->ErrorHex = Hex;
}

void AddStep(RunVerdict* pVerdict, Speaker Who, RunStep Step, const char* pSubject, StepOutcome Outcome,
             bool HasError = false, uint32_t Error = 0) {
    pVerdict->Steps.push_back(StepVerdict{Who == SpeakerCompanion, Step, pSubject, Outcome, HasError, Error});
}

// What a step's problems made of it: done, or ended with a part undone.
StepOutcome OutcomeSince(const RunVerdict& Verdict, size_t ProblemsBefore) {
    return Verdict.Problems.size() > ProblemsBefore ? OutcomeIncomplete : OutcomeDone;
}

StepOutcome FileStepOutcome(const FileStep& Step) {
    switch (Step.State) {
    case StepDone:
        return OutcomeDone;
    case StepFailed:
        return OutcomeFailed;
    case StepPending:
        return OutcomePending;
    default:
        return OutcomeNotReached;
    }
}

bool IsUninstall(const ProcessState& P) {
    const ProgramKind* pKind = FindProgramByRole(P.Role);
    return pKind != nullptr && pKind->Uninstall;
}

const char* ProgramName(const ProcessState& P) {
    const ProgramKind* pKind = FindProgramByRole(P.Role);
    return pKind != nullptr ? pKind->pName : "?";
}

// A step the record does not reach.
void Missing(RunVerdict* pVerdict, Speaker Who, std::string* pOut, RunStep Step, const char* pSubject = "") {
    pOut->append("not in the record (it ends before this step)\n");
    AddStep(pVerdict, Who, Step, pSubject, OutcomeNotReached);
    if (!pVerdict->Incomplete) {
        // The words name the companion's step already.
        const std::string Words =
            (Who == SpeakerCompanion ? "the companion's " : "the ") + std::string(StepWords(Step));
        Problem(pVerdict, SpeakerStarter, ProblemRecordEnds, 0, Words)->Companion = Who == SpeakerCompanion;
    }
    pVerdict->Incomplete = true;
}

// The processor without a package half: a setup run's stop, an uninstall run's note.
void MachineLine(const ProcessState& P, Speaker Who, std::string* pOut) {
    pOut->append("  ")
        .append(WhoPrefix(Who))
        .append(Who == SpeakerCompanion ? "machine: " : "Machine: ")
        .append(MachineName(P.Machine));
    pOut->append(": the package has halves for x86 and x64 only, and drivers must match the processor");
    pOut->append(IsUninstall(P) ? "; the uninstall goes on: what is ours is taken away on any machine\n"
                                : "; nothing was changed, exit code 0\n");
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

// The co-installer copies, of the program that starts the run or of its companion.
void CoInstallerLines(const ProcessState& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
    for (int i = 0; i < CoInstallerCount; ++i) {
        const FileStep& Step = P.CoInstallers[i];
        pOut->append("  ")
            .append(WhoPrefix(Who))
            .append(Who == SpeakerCompanion ? "co-installer " : "Co-installer ");
        pOut->append(CoInstallerNames[i]).append(": ");
        if (Step.State == StepNotReached) {
            Missing(pVerdict, Who, pOut, RunStepCoInstaller, CoInstallerNames[i]);
            continue;
        }
        AddStep(pVerdict, Who, RunStepCoInstaller, CoInstallerNames[i], FileStepOutcome(Step),
                Step.Reason == ReasonError, Step.Error);
        if (Step.State == StepDone) {
            pOut->append("copied\n");
        } else if (Step.State == StepFailed) {
            pOut->append("FAILED: ");
            AppendFailReason(pOut, Step, false);
            pOut->append("\n");
            ProblemVerdict* pProblem =
                Problem(pVerdict, Who, ProblemCoInstallerNotCopied, 0, CoInstallerNames[i]);
            if (Step.Reason == ReasonError)
                ProblemError(pProblem, Step.Error, false);
        } else {
            pOut->append("no outcome recorded (the record ends during the copy)\n");
            Problem(pVerdict, Who, ProblemCoInstallerNotConfirmed, 0, CoInstallerNames[i]);
        }
    }
}

void InfLines(const ProcessState& P, RunVerdict* pVerdict, std::string* pOut) {
    for (int i = 0; i < InfCount; ++i) {
        const FileStep& Step = P.Infs[i];
        pOut->append("  INF ").append(InfNames[i]).append(": ");
        if (Step.State == StepNotReached) {
            Missing(pVerdict, SpeakerStarter, pOut, RunStepInf, InfNames[i]);
            continue;
        }
        AddStep(pVerdict, SpeakerStarter, RunStepInf, InfNames[i], FileStepOutcome(Step),
                Step.Reason == ReasonError, Step.Error);
        if (Step.State == StepDone) {
            pOut->append("staged as ");
            AppendEscaped(pOut, Step.Detail);
            pOut->append("\n");
        } else if (Step.State == StepFailed) {
            pOut->append("FAILED: ");
            AppendFailReason(pOut, Step, true);
            pOut->append("\n");
            ProblemVerdict* pProblem = Problem(pVerdict, SpeakerStarter, ProblemInfNotStaged, 0, InfNames[i]);
            if (Step.Reason == ReasonError)
                ProblemError(pProblem, Step.Error, true);
        } else {
            pOut->append("no outcome recorded (the record ends during the staging)\n");
            Problem(pVerdict, SpeakerStarter, ProblemInfNotConfirmed, 0, InfNames[i]);
        }
    }
}

// "  Devices: " or "  Companion devices: ", and the like.
void StepLabel(std::string* pOut, Speaker Who, const char* pStep) {
    pOut->append("  ").append(WhoPrefix(Who));
    if (Who == SpeakerStarter) {
        pOut->push_back(static_cast<char>(pStep[0] - 'a' + 'A'));
        ++pStep;
    }
    pOut->append(pStep);
}

// What each node outcome reads as, in the count and on the node's own line.
struct NodeOutcomeText {
    const char* pCount;
    const char* pLine;
};
constexpr NodeOutcomeText NodeOutcomeTexts[NodeOutcomeCount] = {
    {"without outcome", "no outcome recorded"},
    {"removed", "removed (it had no driver)"},
    {"left (removal failed)", "LEFT: it has no driver but its removal failed"},
    {"kept (driver installed)", "kept, it has a driver: "},
    {"left (driver unreadable)", "LEFT: its driver could not be read: "},
    {"removed", "removed"},
    {"left (removal failed)", "LEFT: its removal failed: "},
};

// A step that stopped on an error before it had looked at everything: its line, and the run's problem.
void CutShortLine(std::string* pOut, Speaker Who, const char* pStep, const char* pWhat, uint32_t Error,
                  RunVerdict* pVerdict, ProblemKind Kind) {
    StepLabel(pOut, Who, pStep);
    pOut->append(pWhat);
    AppendError(pOut, Error, false);
    pOut->append("\n");
    ProblemError(Problem(pVerdict, Who, Kind), Error, false);
}

// The nodes the walk could not read, and an end before the last node: a node of the handset among them
// is neither removed nor reported.
void WalkGapLines(const ProcessState& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
    if (P.NodesPassedOver > 0) {
        StepLabel(pOut, Who, "devices passed over: ");
        AppendNumber(pOut, P.NodesPassedOver);
        pOut->append(" node(s) whose hardware IDs could not be read (\"Device skipped\"); a node of the "
                     "handset among them stays\n");
        bool Explained = false;
        uint32_t LastError = 0;
        for (uint32_t Error : P.PassedOverErrors) {
            pOut->append("    ");
            AppendError(pOut, Error, false, !Explained || Error != LastError);
            pOut->append("\n");
            Explained = true;
            LastError = Error;
        }
        AppendMore(pOut, P.NodesPassedOver, P.PassedOverErrors.size());
        ProblemVerdict* pProblem = Problem(pVerdict, Who, ProblemNodesPassedOver, P.NodesPassedOver);
        if (!P.PassedOverErrors.empty())
            ProblemError(pProblem, P.PassedOverErrors[0], false);
    }
    if (P.WalkCut)
        CutShortLine(pOut, Who, "device walk: ",
                     "FAILED: it ended early, the nodes after it were not looked at: ", P.WalkCutError,
                     pVerdict, ProblemWalkEndedEarly);
}

// The error of the first node listed with `Outcome`, for the problem that counts them.
void FirstNodeError(const ProcessState& P, NodeOutcome Outcome, bool Hex, ProblemVerdict* pProblem) {
    for (const DeviceNode& Node : P.Nodes) {
        if (Node.Outcome == Outcome) {
            ProblemError(pProblem, Node.Error, Hex);
            return;
        }
    }
}

void NodeProblems(const ProcessState& P, Speaker Who, RunVerdict* pVerdict) {
    if (P.NodeOutcomes[NodeUninstallFailed] > 0)
        FirstNodeError(
            P, NodeUninstallFailed, true,
            Problem(pVerdict, Who, ProblemListedNodesNotRemoved, P.NodeOutcomes[NodeUninstallFailed]));
    if (P.NodeOutcomes[NodeRemoveFailed] > 0)
        Problem(pVerdict, Who, ProblemDriverlessNodesNotRemoved, P.NodeOutcomes[NodeRemoveFailed]);
    if (P.NodeOutcomes[NodeDriverUnreadable] > 0)
        FirstNodeError(
            P, NodeDriverUnreadable, false,
            Problem(pVerdict, Who, ProblemNodeDriverUnreadable, P.NodeOutcomes[NodeDriverUnreadable]));
    if (P.NodeOutcomes[NodePending] > 0)
        Problem(pVerdict, Who, ProblemNodeWithoutOutcome);
}

void NodeLines(const ProcessState& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
    StepLabel(pOut, Who, "devices: ");
    if (P.NodeCount == 0 && !P.DevicesWalked) {
        Missing(pVerdict, Who, pOut, RunStepDevices);
        return;
    }
    const size_t ProblemsBefore = pVerdict->Problems.size();
    if (P.DeviceSetFailed) {
        pOut->append("FAILED: the device set could not be obtained, no node was looked at: ");
        AppendError(pOut, P.DeviceSetError, true);
        pOut->append("\n");
        ProblemError(Problem(pVerdict, Who, ProblemDeviceSetFailed), P.DeviceSetError, true);
    } else if (P.NodeCount == 0 && (P.WalkCut || P.NodesPassedOver > 0 || P.NodesSkippedNoMemory > 0)) {
        pOut->append("no node of the handset found among the nodes read\n");
    } else if (P.NodeCount == 0) {
        pOut->append("no node of the handset found, nothing to remove\n");
    } else {
        AppendCount(pOut, P.NodeCount, "node", "nodes");
        pOut->append(" of the handset found: ");
        bool First = true;
        for (int o = NodeRemoved; o < NodeOutcomeCount + 1; ++o) {
            const int Outcome = o == NodeOutcomeCount ? NodePending : o; // "without outcome" last
            if (P.NodeOutcomes[Outcome] == 0)
                continue;
            pOut->append(First ? "" : ", ");
            AppendNumber(pOut, P.NodeOutcomes[Outcome]);
            pOut->append(" ").append(NodeOutcomeTexts[Outcome].pCount);
            First = false;
        }
        pOut->append("\n");
    }
    for (const DeviceNode& Node : P.Nodes) {
        pOut->append("    ");
        AppendEscaped(pOut, Node.Id);
        pOut->append(": ").append(NodeOutcomeTexts[Node.Outcome].pLine);
        if (Node.Outcome == NodeKept)
            AppendEscaped(pOut, Node.DriverKey);
        else if (Node.Outcome == NodeDriverUnreadable || Node.Outcome == NodeUninstallFailed)
            AppendError(pOut, Node.Error, Node.Outcome == NodeUninstallFailed);
        pOut->append("\n");
    }
    AppendMore(pOut, P.NodeCount, P.Nodes.size());
    NodeProblems(P, Who, pVerdict);
    if (P.NodesSkippedNoMemory > 0) {
        StepLabel(pOut, Who, "devices skipped: ");
        AppendNumber(pOut, P.NodesSkippedNoMemory);
        pOut->append(" listed node(s) not handled, out of memory (\"Malloc failed\")\n");
        Problem(pVerdict, Who, ProblemNodesSkippedNoMemory);
    }
    WalkGapLines(P, Who, pVerdict, pOut);
    AddStep(pVerdict, Who, RunStepDevices, "",
            P.DeviceSetFailed ? OutcomeFailed : OutcomeSince(*pVerdict, ProblemsBefore), P.DeviceSetFailed,
            P.DeviceSetError);
}

void RefreshLines(const ProcessState& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
    StepLabel(pOut, Who, "refresh: ");
    if (P.Refresh == RefreshRequested) {
        pOut->append("requested\n");
        AddStep(pVerdict, Who, RunStepRefresh, "", OutcomeDone);
    } else if (P.Refresh == RefreshRootNotFound) {
        pOut->append(
            "FAILED: the root device node could not be located, the device tree was not re-enumerated "
            "(always so under Wine)\n");
        AddStep(pVerdict, Who, RunStepRefresh, "", OutcomeFailed);
        Problem(pVerdict, Who, ProblemRefreshNotDone);
    } else {
        Missing(pVerdict, Who, pOut, RunStepRefresh);
    }
}

void DeviceLines(const ProcessState& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
    NodeLines(P, Who, pVerdict, pOut);
    RefreshLines(P, Who, pVerdict, pOut);
}

// Uninstall: the package INFs the store is compared with, when some are missing. A list of seven with
// the same error gives its meaning once.
void PackageInfLines(const ProcessState& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
    size_t Missed = 0;
    for (const FileStep& Step : P.PackageInfs)
        Missed += Step.State == StepFailed ? 1 : 0;
    if (Missed == 0)
        return;
    StepLabel(pOut, Who, "package INFs: ");
    AppendNumber(pOut, Missed);
    pOut->append(" of ");
    AppendNumber(pOut, InfCount);
    pOut->append(" NOT FOUND, no store file is compared with them\n");
    bool Explained = false;
    uint32_t LastError = 0;
    const FileStep* pFirstError = nullptr;
    for (int i = 0; i < InfCount; ++i) {
        const FileStep& Step = P.PackageInfs[i];
        if (Step.State != StepFailed)
            continue;
        pOut->append("    ");
        if (Step.Reason == ReasonError) {
            AppendEscaped(pOut, Step.Detail);
            pOut->append(": ");
            AppendError(pOut, Step.Error, false, !Explained || Step.Error != LastError);
            Explained = true;
            LastError = Step.Error;
            pFirstError = pFirstError == nullptr ? &Step : pFirstError;
        } else {
            pOut->append(InfNames[i]).append(": ");
            AppendFailReason(pOut, Step, false);
        }
        pOut->append("\n");
    }
    ProblemVerdict* pProblem = Problem(pVerdict, Who, ProblemPackageInfsNotFound, Missed);
    if (pFirstError != nullptr)
        ProblemError(pProblem, pFirstError->Error, false);
    AddStep(pVerdict, Who, RunStepPackageInfs, "", OutcomeIncomplete, pFirstError != nullptr,
            pFirstError != nullptr ? pFirstError->Error : 0);
}

// Why the store was left alone: what the engineer reads, the step and its problem (none on Windows 2000).
void StoreLeftAloneLine(const ProcessState& P, Speaker Who, bool Windows2000, RunVerdict* pVerdict,
                        std::string* pOut) {
    bool HasProblem = true;
    ProblemKind Kind = ProblemStoreNotListed;
    bool HasError = false;
    switch (P.StoreLeftAlone) {
    case MsgNoStoreUninstall:
        pOut->append(Windows2000 ? "left alone, as on every Windows 2000: " : "FAILED: left alone: ");
        pOut->append("setupapi has no SetupUninstallOEMInfA (");
        AppendError(pOut, P.StoreError, false, false);
        pOut->append("); the package's INF files stay in ");
        pOut->append(Windows2000 ? "the INF folder\n" : "the store\n");
        HasProblem = !Windows2000;
        Kind = ProblemStoreUninstallMissing;
        HasError = true;
        break;
    case MsgNoPackageInf:
        pOut->append("LEFT ALONE: none of the package's INF files is there to compare with, so no store "
                     "file can be shown to be ours\n");
        Kind = ProblemStoreNoPackageInf;
        break;
    case MsgStorePathFailed:
        pOut->append("FAILED: its folder could not be made from the system directory ");
        AppendEscaped(pOut, P.StoreDetail);
        pOut->append("; left alone\n");
        Kind = ProblemStorePathFailed;
        break;
    default: // MsgFindFirstFailed
        pOut->append("FAILED: it could not be listed (");
        AppendEscaped(pOut, P.StoreDetail);
        pOut->append("): ");
        AppendError(pOut, P.StoreError, false);
        pOut->append("\n");
        Kind = ProblemStoreNotListed;
        HasError = true;
        break;
    }
    AddStep(pVerdict, Who, RunStepDriverStore, "", !HasProblem ? OutcomeLeftAlone : OutcomeFailed, HasError,
            HasError ? P.StoreError : 0);
    if (HasProblem) {
        ProblemVerdict* pProblem = Problem(pVerdict, Who, Kind);
        if (HasError)
            ProblemError(pProblem, P.StoreError, false);
    }
}

void StoreFileLines(const ProcessState& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
    if (P.StoreFileCount == 0) {
        pOut->append("no file of ours found\n");
    } else {
        AppendCount(pOut, P.StoreFileCount, "file", "files");
        pOut->append(" of ours found: ");
        static const char* const CountTexts[StoreOutcomeCount] = {"without outcome", "taken out",
                                                                  "kept by Windows"};
        bool First = true;
        for (int o = StoreRemoved; o <= StoreOutcomeCount; ++o) {
            const int Outcome = o == StoreOutcomeCount ? StorePending : o; // "without outcome" last
            if (P.StoreOutcomes[Outcome] == 0)
                continue;
            pOut->append(First ? "" : ", ");
            AppendNumber(pOut, P.StoreOutcomes[Outcome]);
            pOut->append(" ").append(CountTexts[Outcome]);
            First = false;
        }
        pOut->append("\n");
    }
    for (const StoreFile& File : P.StoreFiles) {
        pOut->append("    ");
        AppendEscaped(pOut, File.Path);
        if (File.Outcome == StoreRemoved) {
            pOut->append(": taken out by Windows\n");
        } else if (File.Outcome == StoreRefused) {
            pOut->append(": KEPT: Windows refused to take it out: ");
            AppendError(pOut, File.Error, true);
            pOut->append("\n");
        } else {
            pOut->append(": no outcome recorded\n");
        }
    }
    AppendMore(pOut, P.StoreFileCount, P.StoreFiles.size());
    if (P.StoreOutcomes[StoreRefused] > 0) {
        ProblemVerdict* pProblem =
            Problem(pVerdict, Who, ProblemStoreFilesKept, P.StoreOutcomes[StoreRefused]);
        for (size_t i = 0; i < P.StoreFiles.size() && !pProblem->HasError; ++i) {
            if (P.StoreFiles[i].Outcome == StoreRefused)
                ProblemError(pProblem, P.StoreFiles[i].Error, true);
        }
    }
    if (P.StoreOutcomes[StorePending] > 0)
        Problem(pVerdict, Who, ProblemStoreFileWithoutOutcome);
    if (P.StoreListCut)
        CutShortLine(pOut, Who, "driver store listing: ",
                     "FAILED part way, the files after it were not looked at: ", P.StoreListError, pVerdict,
                     ProblemStoreListedInPart);
}

// Files the store step could not read or name: never removed, whoever they belong to.
void SkippedFileLines(const ProcessState& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
    if (P.SkippedFileCount == 0)
        return;
    StepLabel(pOut, Who, "files skipped: ");
    AppendNumber(pOut, P.SkippedFileCount);
    pOut->append(" could not be read or named; a store file among them stays\n");
    for (const SkippedFile& File : P.SkippedFiles) {
        pOut->append("    ");
        AppendEscaped(pOut, File.Path);
        if (File.Why == MsgStoreNameTooLong) {
            pOut->append(": the path does not fit in 260 bytes\n");
            continue;
        }
        pOut->append(File.Why == MsgOpenFailed ? ": not opened: " : ": not read: ");
        AppendError(pOut, File.Error, false);
        pOut->append("\n");
    }
    AppendMore(pOut, P.SkippedFileCount, P.SkippedFiles.size());
    ProblemVerdict* pProblem = Problem(pVerdict, Who, ProblemFilesSkipped, P.SkippedFileCount);
    for (size_t i = 0; i < P.SkippedFiles.size() && !pProblem->HasError; ++i) {
        if (P.SkippedFiles[i].Why != MsgStoreNameTooLong)
            ProblemError(pProblem, P.SkippedFiles[i].Error, false);
    }
}

// True when the uninstall steps could not look at every node and every store file.
bool SearchIncomplete(const ProcessState& P) {
    bool PackageInfMissing = false;
    for (const FileStep& Step : P.PackageInfs)
        PackageInfMissing = PackageInfMissing || Step.State == StepFailed;
    return P.DeviceSetFailed || P.WalkCut || P.NodesPassedOver > 0 || P.NodesSkippedNoMemory > 0 ||
           PackageInfMissing || P.StoreLeftAlone != MsgNone || P.StoreListCut || P.SkippedFileCount > 0;
}

// The uninstall steps, in the process that did them: devices, driver store, co-installers, refresh.
void UninstallStepLines(const ProcessState& P, Speaker Who, bool Windows2000, RunVerdict* pVerdict,
                        std::string* pOut) {
    NodeLines(P, Who, pVerdict, pOut);
    PackageInfLines(P, Who, pVerdict, pOut);
    StepLabel(pOut, Who, "driver store: ");
    const size_t ProblemsBefore = pVerdict->Problems.size();
    if (P.StoreLeftAlone != MsgNone) {
        StoreLeftAloneLine(P, Who, Windows2000, pVerdict, pOut);
        SkippedFileLines(P, Who, pVerdict, pOut);
    } else if (!P.StoreReached) {
        Missing(pVerdict, Who, pOut, RunStepDriverStore);
        SkippedFileLines(P, Who, pVerdict, pOut);
    } else {
        StoreFileLines(P, Who, pVerdict, pOut);
        SkippedFileLines(P, Who, pVerdict, pOut);
        AddStep(pVerdict, Who, RunStepDriverStore, "", OutcomeSince(*pVerdict, ProblemsBefore));
    }
    StepLabel(pOut, Who, "co-installers: ");
    if (P.CoInstallersKept) {
        pOut->append("kept in the system directory on purpose: other drivers' installs share them\n");
        AddStep(pVerdict, Who, RunStepCoInstallers, "", OutcomeDone);
    } else {
        Missing(pVerdict, Who, pOut, RunStepCoInstallers);
    }
    if (P.NothingToUninstall && SearchIncomplete(P)) {
        // As an older uninstaller traced it: what was skipped may still be there.
        pOut->append("  ").append(Who == SpeakerCompanion ? "Companion: \"" : "\"");
        pOut->append("Nothing to uninstall\" traced after an incomplete search (see above): what it skipped "
                     "may still be there\n");
    } else if (P.NothingToUninstall) {
        pOut->append("  ").append(Who == SpeakerCompanion ? "Companion: n" : "N");
        pOut->append(
            "othing to uninstall: neither a listed node nor a store file of ours was found, the machine "
            "is clean\n");
    }
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

// The early steps: an early failure ends the process's part of the run.
bool EarlyLines(const ProcessState& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
    if (P.EarlyFailure == MsgNone)
        return true;
    AddStep(pVerdict, Who, RunStepStart, "", OutcomeFailed);
    if (P.EarlyFailure == MsgNoHalf) {
        MachineLine(P, Who, pOut);
        Problem(pVerdict, Who, ProblemNoPackageHalf, 0, MachineName(P.Machine));
        return false;
    }
    pOut->append("  ")
        .append(WhoPrefix(Who))
        .append(Who == SpeakerCompanion ? "early failure: " : "Early failure: ");
    pOut->append(EarlyFailureMeaning(P.EarlyFailure));
    pOut->append(IsUninstall(P) ? "; nothing was removed, exit code 0\n"
                                : "; nothing was installed, exit code 0\n");
    Problem(pVerdict, Who, ProblemEarlyFailure, 0, IsUninstall(P) ? "removed" : "installed");
    return false;
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

void HandoffLines(const ReportState& State, const ProcessState& S, RunVerdict* pVerdict, std::string* pOut) {
    pOut->append("  Hand-off: ");
    const std::string Path = S.CompanionPath.empty() ? std::string("Fenwarr64.exe") : S.CompanionPath;
    switch (S.Handoff) {
    case HandoffNotReached:
        Missing(pVerdict, SpeakerStarter, pOut, RunStepHandoff);
        break;
    case HandoffNoPath:
        // 122 and 161 are the program's own verdicts on what GetModuleFileNameA gave; others are its error.
        pOut->append("FAILED: the program's own path could not be read whole: ");
        AppendError(pOut, S.ModulePathError, false, S.ModulePathError != 122 && S.ModulePathError != 161);
        if (S.ModulePathError == 122)
            pOut->append(": it fills the 260-byte buffer, so it may be cut short");
        else if (S.ModulePathError == 161)
            pOut->append(": it names no folder");
        pOut->append("; Fenwarr64.exe was not started, so that no program from another folder runs\n");
        AddStep(pVerdict, SpeakerStarter, RunStepHandoff, "", OutcomeFailed, true, S.ModulePathError);
        ProblemError(Problem(pVerdict, SpeakerStarter, ProblemOwnPathNotRead), S.ModulePathError, false);
        break;
    case HandoffPathTooLong:
        pOut->append("FAILED: the companion's path does not fit in 260 bytes (folder ");
        AppendEscaped(pOut, S.ModulePath);
        pOut->append("); Fenwarr64.exe was not started\n");
        AddStep(pVerdict, SpeakerStarter, RunStepHandoff, "", OutcomeFailed);
        Problem(pVerdict, SpeakerStarter, ProblemCompanionPathTooLong);
        break;
    case HandoffStartFailed:
        AppendEscaped(pOut, Path);
        pOut->append(": FAILED: it could not be started (\"CreateProcess failed\"); Fenwarr64.exe must sit "
                     "next to ")
            .append(ProgramName(S))
            .append("\n");
        AddStep(pVerdict, SpeakerStarter, RunStepHandoff, "", OutcomeFailed);
        Problem(pVerdict, SpeakerStarter, ProblemCompanionNotStarted);
        break;
    default:
        if (S.CompanionProcess >= 0) {
            const ProcessState& C = State.Processes[S.CompanionProcess];
            AppendEscaped(pOut, Path);
            pOut->append(": started");
            if (C.HasPid) {
                pOut->append(", pid ");
                AppendNumber(pOut, C.Pid);
            }
            pOut->append("\n");
            AddStep(pVerdict, SpeakerStarter, RunStepHandoff, "", OutcomeDone);
        } else {
            AppendEscaped(pOut, Path);
            pOut->append(": FAILED: no record of the companion: it did not run, or ended before its first "
                         "message\n");
            AddStep(pVerdict, SpeakerStarter, RunStepHandoff, "", OutcomeFailed);
            Problem(pVerdict, SpeakerStarter, ProblemCompanionLeftNoRecord);
        }
        break;
    }
}

// The road the starting program took. False when the record does not reach it.
bool RoadLine(const ProcessState& S, RunVerdict* pVerdict, std::string* pOut) {
    pOut->append("  Road: ");
    if (S.Bits == 0) {
        Missing(pVerdict, SpeakerStarter, pOut, RunStepPlatform);
        return false;
    }
    AddStep(pVerdict, SpeakerStarter, RunStepPlatform, "", OutcomeDone);
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
    return true;
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
            HandoffLines(State, S, pVerdict, pOut);
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
        HandoffLines(State, S, pVerdict, pOut);
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
