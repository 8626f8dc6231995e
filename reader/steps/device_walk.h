// The device walk: each device node of the handset found, and what became of it; the walk's gaps; and the
// refresh of the device tree after it. Uninstalling, the walk removes every listed node.
#pragma once

#include "reader/run_steps.h"
#include "reader/tool_messages.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct RunVerdict;

enum NodeOutcome {
    NodePending,          // found, no outcome recorded
    NodeRemoved,          // had no driver and was removed
    NodeRemoveFailed,     // had no driver, removal failed
    NodeKept,             // has a driver: kept, by design
    NodeDriverUnreadable, // its driver value could not be read: kept
    NodeUninstalled,      // uninstall: removed, driver or none
    NodeUninstallFailed,  // uninstall: its removal failed
    NodeOutcomeCount,
};

struct DeviceNode {
    std::string Id;
    NodeOutcome Outcome;
    std::string DriverKey;
    uint32_t Error;
};

enum RefreshState { RefreshNotReached, RefreshRequested, RefreshRootNotFound };

struct WalkStep {
    std::vector<DeviceNode> Nodes; // the first MaxNodesKept
    size_t NodeCount = 0;
    size_t NodeOutcomes[NodeOutcomeCount] = {};
    size_t NodesSkippedNoMemory = 0;
    bool NodeOpen = false;      // the node found last has no outcome yet
    bool DevicesWalked = false; // a message after the walk shows it ended

    // Gaps in the walk: nodes whose hardware IDs could not be read (their errors, the first
    // MaxNodesKept), and an end before the last node.
    size_t NodesPassedOver = 0;
    std::vector<uint32_t> PassedOverErrors;
    bool WalkCut = false;
    uint32_t WalkCutError = 0;

    RefreshState Refresh = RefreshNotReached;

    // Uninstall: no device set, so no node was looked at.
    bool DeviceSetFailed = false;
    uint32_t DeviceSetError = 0;
};

// Applies a message of the walk or the refresh; false when it does not fit.
bool ApplyWalkMessage(WalkStep* pStep, const MessageMatch& Match);

// The walk's lines, steps and problems.
void NodeLines(const WalkStep& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut);
void RefreshLines(const WalkStep& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut);
// The install's device steps: the walk, then the refresh.
void DeviceLines(const WalkStep& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut);
// True when the walk could not look at every node.
bool WalkIncomplete(const WalkStep& P);
