// The problems a run's verdict can name: each with its stable key (the JSON document's, the summary's),
// how grave it is, and its words.
#pragma once

#include <cstddef>

// A failure: the drivers did not arrive (or, uninstalling, the package did not leave the store). A
// warning: the steps that matter ended, something around them did not (a node left, a gap in a walk, no
// refresh).
enum VerdictSeverity { SeverityWarning, SeverityFailure };

enum ProblemKind {
    ProblemRecordEnds,
    ProblemCoInstallerNotCopied,
    ProblemCoInstallerNotConfirmed,
    ProblemInfNotStaged,
    ProblemInfNotConfirmed,
    ProblemNodesPassedOver,
    ProblemWalkEndedEarly,
    ProblemListedNodesNotRemoved,
    ProblemDriverlessNodesNotRemoved,
    ProblemNodeDriverUnreadable,
    ProblemNodeWithoutOutcome,
    ProblemNodesSkippedNoMemory,
    ProblemDeviceSetFailed,
    ProblemRefreshNotDone,
    ProblemPackageInfsNotFound,
    ProblemStoreUninstallMissing,
    ProblemStoreNoPackageInf,
    ProblemStorePathFailed,
    ProblemStoreNotListed,
    ProblemStoreFilesKept,
    ProblemStoreFileWithoutOutcome,
    ProblemStoreListedInPart,
    ProblemFilesSkipped,
    ProblemNoPackageHalf,
    ProblemEarlyFailure,
    ProblemOwnPathNotRead,
    ProblemCompanionPathTooLong,
    ProblemCompanionNotStarted,
    ProblemCompanionLeftNoRecord,
    ProblemKindCount,
};

// In the order a row reads best; a few padding bytes per row do not matter.
struct ProblemWords { // NOLINT(clang-analyzer-optin.performance.Padding)
    ProblemKind Kind;
    const char* pKey;
    VerdictSeverity Severity;
    const char* pWords; // "%s" stands for the problem's subject (a file, a step, a processor)
};

const ProblemWords& WordsOfProblem(ProblemKind Kind);
