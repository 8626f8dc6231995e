#include "reader/steps/store_cleanup.h"

#include "reader/report_text.h"
#include "reader/steps/step_values.h"
#include "reader/verdict_lines.h"

namespace {

void StoreFileFound(StoreStep* pStep, const MessageValue& Path) {
    ++pStep->StoreFileCount;
    ++pStep->StoreOutcomes[StorePending];
    pStep->StoreFileOpen = true;
    if (pStep->StoreFiles.size() < MaxNodesKept)
        pStep->StoreFiles.push_back(StoreFile{ValueText(Path), StorePending, 0});
}

// The outcome of the store file found last; false for an outcome without a store file before it.
bool StoreResult(StoreStep* pStep, StoreOutcome Outcome, uint32_t Error) {
    if (!pStep->StoreFileOpen)
        return false;
    pStep->StoreFileOpen = false;
    --pStep->StoreOutcomes[StorePending];
    ++pStep->StoreOutcomes[Outcome];
    if (pStep->StoreFiles.size() == pStep->StoreFileCount) {
        pStep->StoreFiles.back().Outcome = Outcome;
        pStep->StoreFiles.back().Error = Error;
    }
    return true;
}

void SkipFile(StoreStep* pStep, MessageId Why, uint32_t Error, std::string Path) {
    ++pStep->SkippedFileCount;
    if (pStep->SkippedFiles.size() < MaxNodesKept)
        pStep->SkippedFiles.push_back(SkippedFile{Why, Error, std::move(Path)});
}

// Why the store is left alone, with the error and the path its message gives.
void LeftAlone(StoreStep* pStep, const MessageMatch& Match) {
    const MessageId Id = Match.Id;
    pStep->StoreLeftAlone = Id;
    pStep->StoreError =
        Id == MsgNoStoreUninstall || Id == MsgFindFirstFailed ? DecimalError(Match.Values[0]) : 0;
    pStep->StoreDetail = ValueText(Match.Values[Id == MsgFindFirstFailed ? 1 : 0]);
}

// A package INF the store is compared with that is missing or too long.
bool PackageInfMissed(StoreStep* pStep, const MessageMatch& Match) {
    const MessageValue& V0 = Match.Values[0];
    const MessageValue& V1 = Match.Values[1];
    const int Index = NameIndex(V1, InfNames, InfCount);
    if (Index < 0)
        return false;
    if (Match.Id == MsgPackageInfTooLong)
        pStep->PackageInfs[Index] = FileStep{StepFailed, ReasonTooLong, 0, JoinedPath(V0, V1)};
    else
        pStep->PackageInfs[Index] = FileStep{StepFailed, ReasonError, DecimalError(V0), ValueText(V1)};
    return true;
}

} // namespace

bool ApplyStoreMessage(StoreStep* pStep, const MessageMatch& Match) {
    const MessageValue& V0 = Match.Values[0];
    const MessageValue& V1 = Match.Values[1];
    switch (Match.Id) {
    case MsgNoStoreUninstall:
    case MsgNoPackageInf:
    case MsgStorePathFailed:
    case MsgFindFirstFailed:
        LeftAlone(pStep, Match);
        return true;
    case MsgFindNextFailed:
        pStep->StoreListCut = true;
        pStep->StoreListError = DecimalError(V0);
        return true;
    case MsgPackageInfTooLong:
    case MsgPackageInfMissing:
        return PackageInfMissed(pStep, Match);
    case MsgStoreNameTooLong:
        SkipFile(pStep, Match.Id, 0, JoinedPath(V0, V1));
        return true;
    case MsgOpenFailed:
    case MsgReadFailed:
        SkipFile(pStep, Match.Id, DecimalError(V0), ValueText(V1));
        return true;
    case MsgStoreFile:
        StoreFileFound(pStep, V0);
        return true;
    case MsgStoreRemoved:
        return StoreResult(pStep, StoreRemoved, 0);
    case MsgStoreRefused:
        return StoreResult(pStep, StoreRefused, HexError(V0));
    case MsgCoInstallersKept:
        pStep->CoInstallersKept = true;
        return true;
    case MsgNothingToUninstall:
        pStep->NothingToUninstall = true;
        return true;
    default:
        return false;
    }
}

namespace {

// Uninstall: the package INFs the store is compared with, when some are missing. A list of seven with
// the same error gives its meaning once.
void PackageInfLines(const StoreStep& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
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
void StoreLeftAloneLine(const StoreStep& P, Speaker Who, bool Windows2000, RunVerdict* pVerdict,
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

void StoreFileLines(const StoreStep& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
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
void SkippedFileLines(const StoreStep& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
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

} // namespace

bool StoreIncomplete(const StoreStep& P) {
    bool PackageInfMissing = false;
    for (const FileStep& Step : P.PackageInfs)
        PackageInfMissing = PackageInfMissing || Step.State == StepFailed;
    return PackageInfMissing || P.StoreLeftAlone != MsgNone || P.StoreListCut || P.SkippedFileCount > 0;
}

void StoreLines(const StoreStep& P, Speaker Who, bool Windows2000, RunVerdict* pVerdict, std::string* pOut) {
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
}

void UninstallEndLines(const StoreStep& P, Speaker Who, bool SearchIncomplete, RunVerdict* pVerdict,
                       std::string* pOut) {
    StepLabel(pOut, Who, "co-installers: ");
    if (P.CoInstallersKept) {
        pOut->append("kept in the system directory on purpose: other drivers' installs share them\n");
        AddStep(pVerdict, Who, RunStepCoInstallers, "", OutcomeDone);
    } else {
        Missing(pVerdict, Who, pOut, RunStepCoInstallers);
    }
    if (P.NothingToUninstall && SearchIncomplete) {
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
}
