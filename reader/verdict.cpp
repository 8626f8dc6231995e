#include "reader/verdict.h"

#include "reader/error_meanings.h"

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

// The line under a list cut to its first entries: how many more there were.
void AppendMore(std::string* pOut, size_t Total, size_t Shown) {
    if (Total <= Shown)
        return;
    pOut->append("    ... and ");
    AppendNumber(pOut, Total - Shown);
    pOut->append(" more\n");
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

// "error 2 ERROR_FILE_NOT_FOUND: meaning", in the base the tool printed it in; without the meaning
// when `WithMeaning` is false (a list that gave it already).
void AppendError(std::string* pOut, uint32_t Code, bool Hex, bool WithMeaning = true) {
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
        pOut->append(" ").append(pMeaning->pName);
        if (WithMeaning)
            pOut->append(": ").append(pMeaning->pMeaning);
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

// The prefix of a problem of the companion's ("" for the program that starts the run).
std::string ProblemWho(const char* pWho) {
    return *pWho ? "companion: " : "";
}

bool IsUninstall(const ProcessState& P) {
    const ProgramKind* pKind = FindProgramByRole(P.Role);
    return pKind != nullptr && pKind->Uninstall;
}

const char* ProgramName(const ProcessState& P) {
    const ProgramKind* pKind = FindProgramByRole(P.Role);
    return pKind != nullptr ? pKind->pName : "?";
}

void Missing(RunVerdict* pVerdict, std::string* pOut, const char* pStep) {
    pOut->append("not in the record (it ends before this step)\n");
    if (!pVerdict->Incomplete)
        Problem(pVerdict, std::string("the record ends before ") + pStep);
    pVerdict->Incomplete = true;
}

// A processor as IsWow64Process2 names it: "ARM64 (0xaa64)".
std::string MachineName(uint32_t Machine) {
    std::string Name;
    switch (Machine) {
    case 0xaa64:
        Name = "ARM64";
        break;
    case 0x1c4:
        Name = "ARM";
        break;
    case 0x200:
        Name = "Itanium";
        break;
    default:
        Name = "machine";
        break;
    }
    Name.append(" (");
    AppendHex(&Name, Machine);
    Name.append(")");
    return Name;
}

// The processor without a package half: a setup run's stop, an uninstall run's note.
void MachineLine(const ProcessState& P, const char* pWho, std::string* pOut) {
    pOut->append("  ").append(pWho).append(*pWho ? "machine: " : "Machine: ").append(MachineName(P.Machine));
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
            Problem(pVerdict, ProblemWho(pWho) + "co-installer " + CoInstallerNames[i] + " not copied");
        } else if (Step.State == StepPending) {
            pOut->append("no outcome recorded (the record ends during the copy)\n");
            Problem(pVerdict, ProblemWho(pWho) + "co-installer " + CoInstallerNames[i] + " not confirmed");
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

// "  Devices: " or "  Companion devices: ", and the like.
void StepLabel(std::string* pOut, const char* pWho, const char* pStep) {
    pOut->append("  ").append(pWho);
    if (*pWho == '\0') {
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
void CutShortLine(std::string* pOut, const char* pWho, const char* pStep, const char* pWhat, uint32_t Error,
                  RunVerdict* pVerdict, const std::string& ProblemText) {
    StepLabel(pOut, pWho, pStep);
    pOut->append(pWhat);
    AppendError(pOut, Error, false);
    pOut->append("\n");
    Problem(pVerdict, ProblemText);
}

// The nodes the walk could not read, and an end before the last node: a node of the handset among them
// is neither removed nor reported.
void WalkGapLines(const ProcessState& P, const char* pWho, RunVerdict* pVerdict, std::string* pOut) {
    const std::string Who = ProblemWho(pWho);
    if (P.NodesPassedOver > 0) {
        StepLabel(pOut, pWho, "devices passed over: ");
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
        Problem(pVerdict, Who + std::to_string(P.NodesPassedOver) + " node(s) passed over unread");
    }
    if (P.WalkCut)
        CutShortLine(pOut, pWho, "device walk: ",
                     "FAILED: it ended early, the nodes after it were not looked at: ", P.WalkCutError,
                     pVerdict, Who + "device walk ended early");
}

void NodeLines(const ProcessState& P, const char* pWho, RunVerdict* pVerdict, std::string* pOut) {
    StepLabel(pOut, pWho, "devices: ");
    if (P.NodeCount == 0 && !P.DevicesWalked) {
        Missing(pVerdict, pOut, *pWho ? "the companion's device walk" : "the device walk");
        return;
    }
    if (P.DeviceSetFailed) {
        pOut->append("FAILED: the device set could not be obtained, no node was looked at: ");
        AppendError(pOut, P.DeviceSetError, true);
        pOut->append("\n");
        Problem(pVerdict, ProblemWho(pWho) + "device set not obtained, no node removed");
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
    const std::string Who = ProblemWho(pWho);
    if (P.NodeOutcomes[NodeUninstallFailed] > 0)
        Problem(pVerdict,
                Who + std::to_string(P.NodeOutcomes[NodeUninstallFailed]) + " listed node(s) not removed");
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
    WalkGapLines(P, pWho, pVerdict, pOut);
}

void RefreshLines(const ProcessState& P, const char* pWho, RunVerdict* pVerdict, std::string* pOut) {
    const std::string Who = ProblemWho(pWho);
    StepLabel(pOut, pWho, "refresh: ");
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

void DeviceLines(const ProcessState& P, const char* pWho, RunVerdict* pVerdict, std::string* pOut) {
    NodeLines(P, pWho, pVerdict, pOut);
    RefreshLines(P, pWho, pVerdict, pOut);
}

// Uninstall: the package INFs the store is compared with, when some are missing. A list of seven with
// the same error gives its meaning once.
void PackageInfLines(const ProcessState& P, const char* pWho, RunVerdict* pVerdict, std::string* pOut) {
    size_t Missed = 0;
    for (const FileStep& Step : P.PackageInfs)
        Missed += Step.State == StepFailed ? 1 : 0;
    if (Missed == 0)
        return;
    StepLabel(pOut, pWho, "package INFs: ");
    AppendNumber(pOut, Missed);
    pOut->append(" of ");
    AppendNumber(pOut, InfCount);
    pOut->append(" NOT FOUND, no store file is compared with them\n");
    bool Explained = false;
    uint32_t LastError = 0;
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
        } else {
            pOut->append(InfNames[i]).append(": ");
            AppendFailReason(pOut, Step, false);
        }
        pOut->append("\n");
    }
    Problem(pVerdict, ProblemWho(pWho) + std::to_string(Missed) + " package INF(s) not found");
}

// Why the store was left alone: what the engineer reads, and the verdict's words (null: not a failure).
void StoreLeftAloneLine(const ProcessState& P, bool Windows2000, std::string* pOut, const char** ppProblem) {
    switch (P.StoreLeftAlone) {
    case MsgNoStoreUninstall:
        pOut->append(Windows2000 ? "left alone, as on every Windows 2000: " : "FAILED: left alone: ");
        pOut->append("setupapi has no SetupUninstallOEMInfA (");
        AppendError(pOut, P.StoreError, false, false);
        pOut->append("); the package's INF files stay in ");
        pOut->append(Windows2000 ? "the INF folder\n" : "the store\n");
        *ppProblem = Windows2000 ? nullptr : "no SetupUninstallOEMInfA, driver store left alone";
        break;
    case MsgNoPackageInf:
        pOut->append("LEFT ALONE: none of the package's INF files is there to compare with, so no store "
                     "file can be shown to be ours\n");
        *ppProblem = "driver store left alone: no package INF to compare with";
        break;
    case MsgStorePathFailed:
        pOut->append("FAILED: its folder could not be made from the system directory ");
        AppendEscaped(pOut, P.StoreDetail);
        pOut->append("; left alone\n");
        *ppProblem = "driver store path failed, store left alone";
        break;
    default: // MsgFindFirstFailed
        pOut->append("FAILED: it could not be listed (");
        AppendEscaped(pOut, P.StoreDetail);
        pOut->append("): ");
        AppendError(pOut, P.StoreError, false);
        pOut->append("\n");
        *ppProblem = "driver store not listed";
        break;
    }
}

void StoreFileLines(const ProcessState& P, const char* pWho, RunVerdict* pVerdict, std::string* pOut) {
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
    const std::string Who = ProblemWho(pWho);
    if (P.StoreOutcomes[StoreRefused] > 0)
        Problem(pVerdict,
                Who + std::to_string(P.StoreOutcomes[StoreRefused]) + " store file(s) kept by Windows");
    if (P.StoreOutcomes[StorePending] > 0)
        Problem(pVerdict, Who + "a store file without outcome");
    if (P.StoreListCut)
        CutShortLine(pOut, pWho, "driver store listing: ",
                     "FAILED part way, the files after it were not looked at: ", P.StoreListError, pVerdict,
                     Who + "driver store listed only in part");
}

// Files the store step could not read or name: never removed, whoever they belong to.
void SkippedFileLines(const ProcessState& P, const char* pWho, RunVerdict* pVerdict, std::string* pOut) {
    if (P.SkippedFileCount == 0)
        return;
    StepLabel(pOut, pWho, "files skipped: ");
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
    Problem(pVerdict, ProblemWho(pWho) + std::to_string(P.SkippedFileCount) + " file(s) skipped unread");
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
void UninstallStepLines(const ProcessState& P, const char* pWho, bool Windows2000, RunVerdict* pVerdict,
                        std::string* pOut) {
    NodeLines(P, pWho, pVerdict, pOut);
    PackageInfLines(P, pWho, pVerdict, pOut);
    StepLabel(pOut, pWho, "driver store: ");
    if (P.StoreLeftAlone != MsgNone) {
        const char* pProblem = nullptr;
        StoreLeftAloneLine(P, Windows2000, pOut, &pProblem);
        if (pProblem != nullptr)
            Problem(pVerdict, ProblemWho(pWho) + pProblem);
    } else if (!P.StoreReached) {
        Missing(pVerdict, pOut, *pWho ? "the companion's driver store step" : "the driver store step");
    } else {
        StoreFileLines(P, pWho, pVerdict, pOut);
    }
    SkippedFileLines(P, pWho, pVerdict, pOut);
    StepLabel(pOut, pWho, "co-installers: ");
    if (P.CoInstallersKept) {
        pOut->append("kept in the system directory on purpose: other drivers' installs share them\n");
    } else {
        Missing(pVerdict, pOut, *pWho ? "the companion's co-installer step" : "the co-installer step");
    }
    if (P.NothingToUninstall && SearchIncomplete(P)) {
        // As an older uninstaller traced it: what was skipped may still be there.
        pOut->append("  ").append(*pWho ? "Companion: \"" : "\"");
        pOut->append("Nothing to uninstall\" traced after an incomplete search (see above): what it skipped "
                     "may still be there\n");
    } else if (P.NothingToUninstall) {
        pOut->append("  ").append(*pWho ? "Companion: n" : "N");
        pOut->append(
            "othing to uninstall: neither a listed node nor a store file of ours was found, the machine "
            "is clean\n");
    }
    RefreshLines(P, pWho, pVerdict, pOut);
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
    if (P.EarlyFailure == MsgNoHalf) {
        MachineLine(P, pWho, pOut);
        Problem(pVerdict,
                ProblemWho(pWho) + "no package half for " + MachineName(P.Machine) + ", nothing changed");
        return false;
    }
    pOut->append("  ").append(pWho).append(*pWho ? "early failure: " : "Early failure: ");
    pOut->append(EarlyFailureMeaning(P.EarlyFailure));
    pOut->append(IsUninstall(P) ? "; nothing was removed, exit code 0\n"
                                : "; nothing was installed, exit code 0\n");
    Problem(pVerdict, ProblemWho(pWho) + (IsUninstall(P) ? "early failure, nothing removed"
                                                         : "early failure, nothing installed"));
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
    if (C.NoHalf)
        MachineLine(C, "Companion ", pOut);
    if (IsUninstall(C)) {
        UninstallStepLines(C, "Companion ", false, pVerdict, pOut);
    } else {
        CoInstallerLines(C, "Companion ", pVerdict, pOut);
        DeviceLines(C, "Companion ", pVerdict, pOut);
    }
}

void HandoffLines(const ReportState& State, const ProcessState& S, RunVerdict* pVerdict, std::string* pOut) {
    pOut->append("  Hand-off: ");
    const std::string Path = S.CompanionPath.empty() ? std::string("Fenwarr64.exe") : S.CompanionPath;
    switch (S.Handoff) {
    case HandoffNotReached:
        Missing(pVerdict, pOut, "the hand-off");
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
        Problem(pVerdict, "companion not started: own path not read");
        break;
    case HandoffPathTooLong:
        pOut->append("FAILED: the companion's path does not fit in 260 bytes (folder ");
        AppendEscaped(pOut, S.ModulePath);
        pOut->append("); Fenwarr64.exe was not started\n");
        Problem(pVerdict, "companion not started: path too long");
        break;
    case HandoffStartFailed:
        AppendEscaped(pOut, Path);
        pOut->append(": FAILED: it could not be started (\"CreateProcess failed\"); Fenwarr64.exe must sit "
                     "next to ")
            .append(ProgramName(S))
            .append("\n");
        Problem(pVerdict, "companion Fenwarr64.exe not started");
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
        } else {
            AppendEscaped(pOut, Path);
            pOut->append(": FAILED: no record of the companion: it did not run, or ended before its first "
                         "message\n");
            Problem(pVerdict, "companion left no record");
        }
        break;
    }
}

// The road the starting program took. False when the record does not reach it.
bool RoadLine(const ProcessState& S, RunVerdict* pVerdict, std::string* pOut) {
    pOut->append("  Road: ");
    if (S.Bits == 0) {
        Missing(pVerdict, pOut, "the platform line");
        return false;
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
    return true;
}

void SetupLines(const ReportState& State, const ProcessState& S, RunVerdict* pVerdict, std::string* pOut) {
    if (!EarlyLines(S, "", pVerdict, pOut) || !RoadLine(S, pVerdict, pOut))
        return;
    if (IsUninstall(S)) {
        if (S.NoHalf)
            MachineLine(S, "", pOut);
        // Windows 2000 (5.0) has no store uninstall: its INF files stay by design.
        const bool Windows2000 = S.HasMajor && S.HasMinor && S.Major == 5 && S.Minor == 0;
        if (S.Bits == 32)
            UninstallStepLines(S, "", Windows2000, pVerdict, pOut);
        else
            HandoffLines(State, S, pVerdict, pOut);
        if (S.Bits == 32 && S.Handoff != HandoffNotReached)
            pOut->append("  Hand-off: traced on 32-bit Windows, where it has no place\n");
        return;
    }
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
    const ProcessState* pSetup = R.Starter >= 0 ? &State.Processes[R.Starter] : nullptr;
    const ProcessState* pCompanion = R.Companion >= 0 ? &State.Processes[R.Companion] : nullptr;
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
    pOut->append("  Verdict: ");
    const bool Clean =
        (pSetup != nullptr && pSetup->NothingToUninstall && !SearchIncomplete(*pSetup)) ||
        (pCompanion != nullptr && pCompanion->NothingToUninstall && !SearchIncomplete(*pCompanion));
    if (pVerdict->Problems.empty() && Clean) {
        pOut->append("OK, nothing to uninstall: the machine was clean already\n");
    } else if (pVerdict->Problems.empty()) {
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
        pOut->append("Overall: NO RUN: the record holds no run of FenwarrSetup.exe, FenwarrUninstall.exe or "
                     "Fenwarr64.exe\n");
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
