#include "reader/steps/store_cleanup.h"

#include "reader/steps/step_values.h"

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
