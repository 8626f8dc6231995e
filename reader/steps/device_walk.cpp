#include "reader/steps/device_walk.h"

#include "reader/report_text.h"
#include "reader/steps/step_values.h"
#include "reader/verdict_lines.h"

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

namespace {

// What each node outcome reads as, in the count and on the node's own line.
struct NodeOutcomeText {
    const char* pCount;
    const char* pLine;
};
constexpr NodeOutcomeText NodeOutcomeTexts[NodeOutcomeCount] = {
    {"without outcome", "no outcome recorded"},
    {"removed", "removed (it had no driver)"},
    {"left (removal failed)", "LEFT: it has no driver but its removal failed"},
    {"kept (driver installed)", "kept, it has a driver: "},
    {"left (driver unreadable)", "LEFT: its driver could not be read: "},
    {"removed", "removed"},
    {"left (removal failed)", "LEFT: its removal failed: "},
};

// The nodes the walk could not read, and an end before the last node: a node of the handset among them
// is neither removed nor reported.
void WalkGapLines(const WalkStep& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
    if (P.NodesPassedOver > 0) {
        StepLabel(pOut, Who, "devices passed over: ");
        AppendNumber(pOut, P.NodesPassedOver);
        pOut->append(" node(s) whose hardware IDs could not be read (\"Device skipped\"); a node of the "
                     "handset among them stays\n");
        bool Explained = false;
        uint32_t LastError = 0;
        for (uint32_t Error : P.PassedOverErrors) {
            pOut->append("    ");
            AppendError(pOut, Error, false, !Explained || Error != LastError);
            pOut->append("\n");
            Explained = true;
            LastError = Error;
        }
        AppendMore(pOut, P.NodesPassedOver, P.PassedOverErrors.size());
        ProblemVerdict* pProblem = Problem(pVerdict, Who, ProblemNodesPassedOver, P.NodesPassedOver);
        if (!P.PassedOverErrors.empty())
            ProblemError(pProblem, P.PassedOverErrors[0], false);
    }
    if (P.WalkCut)
        CutShortLine(pOut, Who, "device walk: ",
                     "FAILED: it ended early, the nodes after it were not looked at: ", P.WalkCutError,
                     pVerdict, ProblemWalkEndedEarly);
}

// The error of the first node listed with `Outcome`, for the problem that counts them.
void FirstNodeError(const WalkStep& P, NodeOutcome Outcome, bool Hex, ProblemVerdict* pProblem) {
    for (const DeviceNode& Node : P.Nodes) {
        if (Node.Outcome == Outcome) {
            ProblemError(pProblem, Node.Error, Hex);
            return;
        }
    }
}

void NodeProblems(const WalkStep& P, Speaker Who, RunVerdict* pVerdict) {
    if (P.NodeOutcomes[NodeUninstallFailed] > 0)
        FirstNodeError(
            P, NodeUninstallFailed, true,
            Problem(pVerdict, Who, ProblemListedNodesNotRemoved, P.NodeOutcomes[NodeUninstallFailed]));
    if (P.NodeOutcomes[NodeRemoveFailed] > 0)
        Problem(pVerdict, Who, ProblemDriverlessNodesNotRemoved, P.NodeOutcomes[NodeRemoveFailed]);
    if (P.NodeOutcomes[NodeDriverUnreadable] > 0)
        FirstNodeError(
            P, NodeDriverUnreadable, false,
            Problem(pVerdict, Who, ProblemNodeDriverUnreadable, P.NodeOutcomes[NodeDriverUnreadable]));
    if (P.NodeOutcomes[NodePending] > 0)
        Problem(pVerdict, Who, ProblemNodeWithoutOutcome);
}

} // namespace

void NodeLines(const WalkStep& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
    StepLabel(pOut, Who, "devices: ");
    if (P.NodeCount == 0 && !P.DevicesWalked) {
        Missing(pVerdict, Who, pOut, RunStepDevices);
        return;
    }
    const size_t ProblemsBefore = pVerdict->Problems.size();
    if (P.DeviceSetFailed) {
        pOut->append("FAILED: the device set could not be obtained, no node was looked at: ");
        AppendError(pOut, P.DeviceSetError, true);
        pOut->append("\n");
        ProblemError(Problem(pVerdict, Who, ProblemDeviceSetFailed), P.DeviceSetError, true);
    } else if (P.NodeCount == 0 && (P.WalkCut || P.NodesPassedOver > 0 || P.NodesSkippedNoMemory > 0)) {
        pOut->append("no node of the handset found among the nodes read\n");
    } else if (P.NodeCount == 0) {
        pOut->append("no node of the handset found, nothing to remove\n");
    } else {
        AppendCount(pOut, P.NodeCount, "node", "nodes");
        pOut->append(" of the handset found: ");
        bool First = true;
        for (int o = NodeRemoved; o < NodeOutcomeCount + 1; ++o) {
            const int Outcome = o == NodeOutcomeCount ? NodePending : o; // "without outcome" last
            if (P.NodeOutcomes[Outcome] == 0)
                continue;
            pOut->append(First ? "" : ", ");
            AppendNumber(pOut, P.NodeOutcomes[Outcome]);
            pOut->append(" ").append(NodeOutcomeTexts[Outcome].pCount);
            First = false;
        }
        pOut->append("\n");
    }
    for (const DeviceNode& Node : P.Nodes) {
        pOut->append("    ");
        AppendEscaped(pOut, Node.Id);
        pOut->append(": ").append(NodeOutcomeTexts[Node.Outcome].pLine);
        if (Node.Outcome == NodeKept)
            AppendEscaped(pOut, Node.DriverKey);
        else if (Node.Outcome == NodeDriverUnreadable || Node.Outcome == NodeUninstallFailed)
            AppendError(pOut, Node.Error, Node.Outcome == NodeUninstallFailed);
        pOut->append("\n");
    }
    AppendMore(pOut, P.NodeCount, P.Nodes.size());
    NodeProblems(P, Who, pVerdict);
    if (P.NodesSkippedNoMemory > 0) {
        StepLabel(pOut, Who, "devices skipped: ");
        AppendNumber(pOut, P.NodesSkippedNoMemory);
        pOut->append(" listed node(s) not handled, out of memory (\"Malloc failed\")\n");
        Problem(pVerdict, Who, ProblemNodesSkippedNoMemory);
    }
    WalkGapLines(P, Who, pVerdict, pOut);
    AddStep(pVerdict, Who, RunStepDevices, "",
            P.DeviceSetFailed ? OutcomeFailed : OutcomeSince(*pVerdict, ProblemsBefore), P.DeviceSetFailed,
            P.DeviceSetError);
}

void RefreshLines(const WalkStep& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
    StepLabel(pOut, Who, "refresh: ");
    if (P.Refresh == RefreshRequested) {
        pOut->append("requested\n");
        AddStep(pVerdict, Who, RunStepRefresh, "", OutcomeDone);
    } else if (P.Refresh == RefreshRootNotFound) {
        pOut->append(
            "FAILED: the root device node could not be located, the device tree was not re-enumerated "
            "(always so under Wine)\n");
        AddStep(pVerdict, Who, RunStepRefresh, "", OutcomeFailed);
        Problem(pVerdict, Who, ProblemRefreshNotDone);
    } else {
        Missing(pVerdict, Who, pOut, RunStepRefresh);
    }
}

void DeviceLines(const WalkStep& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
    NodeLines(P, Who, pVerdict, pOut);
    RefreshLines(P, Who, pVerdict, pOut);
}

bool WalkIncomplete(const WalkStep& P) {
    return P.DeviceSetFailed || P.WalkCut || P.NodesPassedOver > 0 || P.NodesSkippedNoMemory > 0;
}
