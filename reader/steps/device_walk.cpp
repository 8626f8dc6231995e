#include "reader/steps/device_walk.h"

#include "reader/steps/step_values.h"

namespace {

void NodeFound(WalkStep* pStep, const MessageValue& Id) {
    ++pStep->NodeCount;
    ++pStep->NodeOutcomes[NodePending];
    pStep->NodeOpen = true;
    if (pStep->Nodes.size() < MaxNodesKept)
        pStep->Nodes.push_back(DeviceNode{ValueText(Id), NodePending, std::string(), 0});
}

// The outcome of the node found last; false for an outcome without a node before it.
bool NodeResult(WalkStep* pStep, NodeOutcome Outcome, std::string DriverKey, uint32_t Error) {
    if (!pStep->NodeOpen)
        return false;
    pStep->NodeOpen = false;
    --pStep->NodeOutcomes[NodePending];
    ++pStep->NodeOutcomes[Outcome];
    if (pStep->Nodes.size() == pStep->NodeCount) {
        DeviceNode& Node = pStep->Nodes.back();
        Node.Outcome = Outcome;
        Node.DriverKey = std::move(DriverKey);
        Node.Error = Error;
    }
    return true;
}

// The nodes' outcomes.
bool ApplyNodeMessage(WalkStep* pStep, const MessageMatch& Match) {
    const MessageValue& V0 = Match.Values[0];
    switch (Match.Id) {
    case MsgDriverKept:
        return NodeResult(pStep, NodeKept, ValueText(V0), 0);
    case MsgRemoved:
        return NodeResult(pStep, NodeRemoved, std::string(), 0);
    case MsgRemoveFailed:
        return NodeResult(pStep, NodeRemoveFailed, std::string(), 0);
    case MsgDriverUnreadable:
        return NodeResult(pStep, NodeDriverUnreadable, std::string(), DecimalError(V0));
    case MsgNodeUninstalled:
        return NodeResult(pStep, NodeUninstalled, std::string(), 0);
    case MsgNodeUninstallFailed:
        return NodeResult(pStep, NodeUninstallFailed, std::string(), HexError(V0));
    default:
        return false;
    }
}

} // namespace

bool ApplyWalkMessage(WalkStep* pStep, const MessageMatch& Match) {
    const MessageValue& V0 = Match.Values[0];
    switch (Match.Id) {
    case MsgMallocDriver:
        ++pStep->NodesSkippedNoMemory;
        return true;
    case MsgDeviceSkipped:
        if (pStep->PassedOverErrors.size() < MaxNodesKept)
            pStep->PassedOverErrors.push_back(DecimalError(V0));
        ++pStep->NodesPassedOver;
        return true;
    case MsgWalkEndedEarly:
        pStep->WalkCut = true;
        pStep->WalkCutError = DecimalError(V0);
        return true;
    case MsgFound:
        NodeFound(pStep, V0);
        return true;
    case MsgRootNotFound:
    case MsgRefresh:
        pStep->Refresh = Match.Id == MsgRefresh ? RefreshRequested : RefreshRootNotFound;
        return true;
    case MsgNoDeviceSet:
        pStep->DeviceSetFailed = true;
        pStep->DeviceSetError = HexError(V0);
        return true;
    default:
        return ApplyNodeMessage(pStep, Match);
    }
}
