// Uninstall: the driver store cleanup (each store file that is a byte copy of a package INF, taken out),
// the co-installers kept, and the end of the run.
#pragma once

#include "reader/run_steps.h"
#include "reader/steps/package_files.h"
#include "reader/tool_messages.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct RunVerdict;

enum StoreOutcome { StorePending, StoreRemoved, StoreRefused, StoreOutcomeCount };

struct StoreFile {
    std::string Path;
    StoreOutcome Outcome;
    uint32_t Error;
};

// A file the store step could not read or name, skipped.
struct SkippedFile {
    MessageId Why; // MsgOpenFailed, MsgReadFailed or MsgStoreNameTooLong
    uint32_t Error;
    std::string Path;
};

struct StoreStep {
    bool StoreReached = false;          // a message of the store step, or of a later step
    FileStep PackageInfs[InfCount];     // StepFailed for one that is missing or too long
    MessageId StoreLeftAlone = MsgNone; // why the store was not walked, or MsgNone
    uint32_t StoreError = 0;            // the error that came with it
    std::string StoreDetail;            // the path that came with it
    bool StoreListCut = false;          // the listing ended on an error part way
    uint32_t StoreListError = 0;
    std::vector<StoreFile> StoreFiles; // the first MaxNodesKept
    size_t StoreFileCount = 0;
    size_t StoreOutcomes[StoreOutcomeCount] = {};
    bool StoreFileOpen = false;            // the store file found last has no outcome yet
    std::vector<SkippedFile> SkippedFiles; // the first MaxNodesKept
    size_t SkippedFileCount = 0;
    bool CoInstallersKept = false;
    bool NothingToUninstall = false;
};

// Applies a message of the store step or of the uninstall's end; false when it does not fit.
bool ApplyStoreMessage(StoreStep* pStep, const MessageMatch& Match);

// The package INFs and the driver store: lines, steps and problems.
void StoreLines(const StoreStep& P, Speaker Who, bool Windows2000, RunVerdict* pVerdict, std::string* pOut);
// The co-installers kept, and "Nothing to uninstall" (doubtful after `SearchIncomplete`).
void UninstallEndLines(const StoreStep& P, Speaker Who, bool SearchIncomplete, RunVerdict* pVerdict,
                       std::string* pOut);
// True when the store step could not look at every store file.
bool StoreIncomplete(const StoreStep& P);
