#include "reader/steps/inf_staging.h"

#include "reader/report_text.h"
#include "reader/steps/step_values.h"
#include "reader/verdict_lines.h"

namespace {

// The INF a message names: it becomes the current one, in `State` for `Reason`.
bool NamedInf(InfStep* pStep, const MessageValue& Name, StepState State, FailReason Reason,
              std::string Detail) {
    const int Index = NameIndex(Name, InfNames, InfCount);
    if (Index < 0)
        return false;
    pStep->CurrentInf = Index;
    FileStep& Inf = pStep->Infs[Index];
    Inf.State = State;
    Inf.Reason = Reason;
    Inf.Error = 0;
    Inf.Detail = std::move(Detail);
    return true;
}

// "Malloc for pFullName failed!" names no INF: the INFs go in a fixed order, so it is the one after the
// last seen.
bool NextInfNoMemory(InfStep* pStep) {
    if (pStep->CurrentInf + 1 >= InfCount)
        return false;
    ++pStep->CurrentInf;
    pStep->Infs[pStep->CurrentInf] = FileStep{StepFailed, ReasonNoMemory, 0, std::string()};
    return true;
}

bool InfOutcome(InfStep* pStep, const MessageMatch& Match) {
    FileStep* pInf = pStep->CurrentInf >= 0 ? &pStep->Infs[pStep->CurrentInf] : nullptr;
    uint32_t Number = 0;
    if (pInf == nullptr || pInf->State != StepPending)
        return false;
    if (Match.Id == MsgInfStaged)
        *pInf = FileStep{StepDone, ReasonNone, 0, ValueText(Match.Values[0])};
    else if (ValueAsHex(Match.Values[0], &Number))
        *pInf = FileStep{StepFailed, ReasonError, Number, std::string()};
    else
        *pInf = FileStep{StepFailed, ReasonUnknown, 0, std::string()};
    return true;
}

} // namespace

bool ApplyInfMessage(InfStep* pStep, const MessageMatch& Match) {
    const MessageValue& V0 = Match.Values[0];
    const MessageValue& V1 = Match.Values[1];
    switch (Match.Id) {
    case MsgFullName:
        return NamedInf(pStep, V0, StepPending, ReasonNone, std::string());
    case MsgMallocFullName:
        return NextInfNoMemory(pStep);
    case MsgFullNameTooLong:
        return NamedInf(pStep, V1, StepFailed, ReasonTooLong, JoinedPath(V0, V1));
    case MsgInfFailed:
    case MsgInfStaged:
        return InfOutcome(pStep, Match);
    default:
        return false;
    }
}

void InfLines(const InfStep& P, RunVerdict* pVerdict, std::string* pOut) {
    for (int i = 0; i < InfCount; ++i) {
        const FileStep& Step = P.Infs[i];
        pOut->append("  INF ").append(InfNames[i]).append(": ");
        if (Step.State == StepNotReached) {
            Missing(pVerdict, SpeakerStarter, pOut, RunStepInf, InfNames[i]);
            continue;
        }
        AddStep(pVerdict, SpeakerStarter, RunStepInf, InfNames[i], FileStepOutcome(Step),
                Step.Reason == ReasonError, Step.Error);
        if (Step.State == StepDone) {
            pOut->append("staged as ");
            AppendEscaped(pOut, Step.Detail);
            pOut->append("\n");
        } else if (Step.State == StepFailed) {
            pOut->append("FAILED: ");
            AppendFailReason(pOut, Step, true);
            pOut->append("\n");
            ProblemVerdict* pProblem = Problem(pVerdict, SpeakerStarter, ProblemInfNotStaged, 0, InfNames[i]);
            if (Step.Reason == ReasonError)
                ProblemError(pProblem, Step.Error, true);
        } else {
            pOut->append("no outcome recorded (the record ends during the staging)\n");
            Problem(pVerdict, SpeakerStarter, ProblemInfNotConfirmed, 0, InfNames[i]);
        }
    }
}
