// The co-installer copy: each co-installer from the package into the system directory. A copy has no
// success message: it succeeded when the next step begins without a failure.
#pragma once

#include "reader/run_steps.h"
#include "reader/steps/package_files.h"
#include "reader/tool_messages.h"

#include <cstdint>
#include <string>

struct RunVerdict;

struct CopyStep {
    FileStep CoInstallers[CoInstallerCount];
    int CurrentCoInstaller = -1;        // the copy begun last, -1 for none
    bool CopyOpen = false;              // the current copy has no outcome yet
    FailReason CopyReason = ReasonNone; // the cause seen for the current copy's failure
    uint32_t CopyError = 0;
    std::string CopyDetail;
};

// Applies a message of the copy; false when it does not fit.
bool ApplyCopyMessage(CopyStep* pStep, const MessageMatch& Match);
// The current copy succeeded: a message of another step, or the next copy, came without a failure.
void CloseCopy(CopyStep* pStep);

// The co-installer copies' lines and steps, of the program that starts the run or of its companion.
void CoInstallerLines(const CopyStep& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut);
