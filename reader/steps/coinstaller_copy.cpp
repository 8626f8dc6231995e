#include "reader/steps/coinstaller_copy.h"

#include "reader/steps/step_values.h"
#include "reader/verdict_lines.h"

namespace {

void CopyCause(CopyStep* pStep, FailReason Reason, std::string Detail) {
    pStep->CopyReason = Reason;
    pStep->CopyDetail = std::move(Detail);
}

bool BeginCopy(CopyStep* pStep, const MessageValue& Path) {
    const int Index = NameIndex(Path, CoInstallerNames, CoInstallerCount);
    if (Index < 0)
        return false;
    pStep->CurrentCoInstaller = Index;
    pStep->CoInstallers[Index].State = StepPending;
    pStep->CopyOpen = true;
    CopyCause(pStep, ReasonNone, std::string());
    return true;
}

// "Copy CoInstall ... failed!": the copy fails with the cause seen before it.
bool CopyFailed(CopyStep* pStep, const MessageValue& Name) {
    const int Index = NameIndex(Name, CoInstallerNames, CoInstallerCount);
    if (Index < 0)
        return false;
    FileStep& Step = pStep->CoInstallers[Index];
    Step.State = StepFailed;
    Step.Reason = pStep->CopyReason == ReasonNone ? ReasonUnknown : pStep->CopyReason;
    Step.Error = pStep->CopyError;
    Step.Detail = pStep->CopyDetail;
    pStep->CurrentCoInstaller = Index;
    pStep->CopyOpen = false;
    CopyCause(pStep, ReasonNone, std::string());
    return true;
}

} // namespace

void CloseCopy(CopyStep* pStep) {
    FileStep& Step = pStep->CoInstallers[pStep->CurrentCoInstaller];
    if (Step.State == StepPending)
        Step.State = StepDone;
    pStep->CopyOpen = false;
}

bool ApplyCopyMessage(CopyStep* pStep, const MessageMatch& Match) {
    const MessageValue& V0 = Match.Values[0];
    uint32_t Number = 0;
    switch (Match.Id) {
    case MsgExisting:
        return BeginCopy(pStep, V0);
    case MsgMallocExisting:
    case MsgMallocSysPath:
    case MsgMallocNew:
        CopyCause(pStep, ReasonNoMemory, std::string());
        return true;
    case MsgNoSysPath:
        CopyCause(pStep, ReasonNoSystemPath, std::string());
        return true;
    case MsgExistingTooLong:
    case MsgNewTooLong:
        CopyCause(pStep, ReasonTooLong, JoinedPath(V0, Match.Values[1]));
        return true;
    case MsgNew:
        return true;
    case MsgCopyFailed:
        if (ValueAsDecimal(V0, &Number)) {
            CopyCause(pStep, ReasonError, std::string());
            pStep->CopyError = Number;
        } else {
            CopyCause(pStep, ReasonUnknown, std::string());
        }
        return true;
    case MsgCoInstallFailed:
        return CopyFailed(pStep, V0);
    default:
        return false;
    }
}

// The co-installer copies, of the program that starts the run or of its companion.
void CoInstallerLines(const CopyStep& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
    for (int i = 0; i < CoInstallerCount; ++i) {
        const FileStep& Step = P.CoInstallers[i];
        StepLabel(pOut, Who, "co-installer ");
        pOut->append(CoInstallerNames[i]).append(": ");
        if (Step.State == StepNotReached) {
            Missing(pVerdict, Who, pOut, RunStepCoInstaller, CoInstallerNames[i]);
            continue;
        }
        AddStep(pVerdict, Who, RunStepCoInstaller, CoInstallerNames[i], FileStepOutcome(Step),
                Step.Reason == ReasonError, Step.Error);
        if (Step.State == StepDone) {
            pOut->append("copied\n");
        } else if (Step.State == StepFailed) {
            pOut->append("FAILED: ");
            AppendFailReason(pOut, Step, false);
            pOut->append("\n");
            ProblemVerdict* pProblem =
                Problem(pVerdict, Who, ProblemCoInstallerNotCopied, 0, CoInstallerNames[i]);
            if (Step.Reason == ReasonError)
                ProblemError(pProblem, Step.Error, false);
        } else {
            pOut->append("no outcome recorded (the record ends during the copy)\n");
            Problem(pVerdict, Who, ProblemCoInstallerNotConfirmed, 0, CoInstallerNames[i]);
        }
    }
}
