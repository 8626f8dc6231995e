#include "reader/problem_kinds.h"

namespace {

// By ProblemKind.
constexpr ProblemWords ProblemTable[ProblemKindCount] = {
    {ProblemRecordEnds, "record-ends", SeverityFailure, "the record ends before %s"},
    {ProblemCoInstallerNotCopied, "co-installer-not-copied", SeverityFailure, "co-installer %s not copied"},
    {ProblemCoInstallerNotConfirmed, "co-installer-not-confirmed", SeverityFailure,
     "co-installer %s not confirmed"},
    {ProblemInfNotStaged, "inf-not-staged", SeverityFailure, "INF %s not staged"},
    {ProblemInfNotConfirmed, "inf-not-confirmed", SeverityFailure, "INF %s not confirmed"},
    {ProblemNodesPassedOver, "nodes-passed-over", SeverityWarning, "node(s) passed over unread"},
    {ProblemWalkEndedEarly, "device-walk-ended-early", SeverityWarning, "device walk ended early"},
    {ProblemListedNodesNotRemoved, "listed-nodes-not-removed", SeverityWarning, "listed node(s) not removed"},
    {ProblemDriverlessNodesNotRemoved, "driverless-nodes-not-removed", SeverityWarning,
     "driverless node(s) not removed"},
    {ProblemNodeDriverUnreadable, "node-driver-unreadable", SeverityWarning,
     "node(s) whose driver could not be read"},
    {ProblemNodeWithoutOutcome, "node-without-outcome", SeverityFailure, "a node without outcome"},
    {ProblemNodesSkippedNoMemory, "nodes-skipped-no-memory", SeverityWarning,
     "node(s) skipped for lack of memory"},
    {ProblemDeviceSetFailed, "device-set-failed", SeverityWarning,
     "device set not obtained, no node removed"},
    {ProblemRefreshNotDone, "refresh-not-done", SeverityWarning, "device tree not refreshed"},
    {ProblemPackageInfsNotFound, "package-infs-not-found", SeverityFailure, "package INF(s) not found"},
    {ProblemStoreUninstallMissing, "store-uninstall-missing", SeverityFailure,
     "no SetupUninstallOEMInfA, driver store left alone"},
    {ProblemStoreNoPackageInf, "store-no-package-inf", SeverityFailure,
     "driver store left alone: no package INF to compare with"},
    {ProblemStorePathFailed, "store-path-failed", SeverityFailure,
     "driver store path failed, store left alone"},
    {ProblemStoreNotListed, "store-not-listed", SeverityFailure, "driver store not listed"},
    {ProblemStoreFilesKept, "store-files-kept", SeverityFailure, "store file(s) kept by Windows"},
    {ProblemStoreFileWithoutOutcome, "store-file-without-outcome", SeverityFailure,
     "a store file without outcome"},
    {ProblemStoreListedInPart, "store-listed-in-part", SeverityWarning, "driver store listed only in part"},
    {ProblemFilesSkipped, "files-skipped", SeverityWarning, "file(s) skipped unread"},
    {ProblemNoPackageHalf, "no-package-half", SeverityFailure, "no package half for %s, nothing changed"},
    {ProblemEarlyFailure, "early-failure", SeverityFailure, "early failure, nothing %s"},
    {ProblemOwnPathNotRead, "own-path-not-read", SeverityFailure, "companion not started: own path not read"},
    {ProblemCompanionPathTooLong, "companion-path-too-long", SeverityFailure,
     "companion not started: path too long"},
    {ProblemCompanionNotStarted, "companion-not-started", SeverityFailure,
     "companion Fenwarr64.exe not started"},
    {ProblemCompanionLeftNoRecord, "companion-left-no-record", SeverityFailure, "companion left no record"},
};

constexpr bool RowsInKindOrder() {
    for (int i = 0; i < ProblemKindCount; ++i) {
        if (ProblemTable[i].Kind != static_cast<ProblemKind>(i))
            return false;
    }
    return true;
}
static_assert(RowsInKindOrder(), "the problem table is in the order of ProblemKind");

} // namespace

const ProblemWords& WordsOfProblem(ProblemKind Kind) {
    return ProblemTable[Kind];
}
