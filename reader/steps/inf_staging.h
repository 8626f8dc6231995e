// The INF staging: each of the package's INF files into the driver store, in a fixed order.
#pragma once

#include "reader/steps/package_files.h"
#include "reader/tool_messages.h"

struct InfStep {
    FileStep Infs[InfCount];
    int CurrentInf = -1; // the staging begun last, -1 for none
};

// Applies a message of the staging; false when it does not fit.
bool ApplyInfMessage(InfStep* pStep, const MessageMatch& Match);
