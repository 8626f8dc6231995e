// What the MSI's custom action concludes from the record of one run: whether the drivers arrived. The
// install fails only on that; device removal and the tree refresh are warnings (a node that could not be
// removed goes at the next plug-in).
#pragma once

#include "reader/run_reader.h"

#include <string>

enum InstallOutcome {
    InstallArrived,    // both co-installers in the native system directory, all seven INF files staged
    InstallNotArrived, // some of them did not arrive: What names them
    InstallNoHalf,     // the processor has no half of the package: nothing was installed
    InstallEarlyStop,  // the run stopped in its early steps: nothing was installed
    InstallNoRun,      // the record holds no run of the setup program
};

struct InstallJudgement {
    InstallOutcome Outcome;
    std::string What; // one line for the MSI log, without a line end
};

// Judges the first install run of a finished record.
InstallJudgement JudgeInstall(const ReportState& State);
