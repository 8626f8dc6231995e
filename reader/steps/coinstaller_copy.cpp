#include "reader/steps/coinstaller_copy.h"

#include "reader/steps/step_values.h"

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
