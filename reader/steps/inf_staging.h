// The INF staging: each of the package's INF files into the driver store, in a fixed order.
#pragma once

#include "reader/run_steps.h"
#include "reader/steps/package_files.h"
#include "reader/tool_messages.h"

#include <string>

struct RunVerdict;

struct InfStep {
    FileStep Infs[InfCount];
    int CurrentInf = -1; // the staging begun last, -1 for none
};

// Applies a message of the staging; false when it does not fit.
bool ApplyInfMessage(InfStep* pStep, const MessageMatch& Match);

// The INF staging's lines and steps: the program that starts the run stages them.
void InfLines(const InfStep& P, RunVerdict* pVerdict, std::string* pOut);
