// What the trace says of an install: whether the drivers arrived, from the verdict on its first install
// run. The install fails only on that; device removal and the tree refresh are warnings (a node that
// could not be removed goes at the next plug-in). What the MSI does with it is the custom action's.
#pragma once

#include "reader/verdict.h"

#include <string>

enum InstallOutcome {
    InstallArrived,    // every co-installer in the native system directory, every INF file staged
    InstallNotArrived, // some of them did not arrive: What names them
    InstallNoHalf,     // the processor has no half of the package: nothing was installed
    InstallEarlyStop,  // the run stopped in its early steps: nothing was installed
    InstallNoRun,      // the record holds no run of the setup program
};

struct InstallJudgement {
    InstallOutcome Outcome;
    std::string What; // one line for the MSI log, without a line end
};

// Judges the first install run of a record's verdict.
InstallJudgement JudgeInstall(const RecordVerdict& Verdict);
