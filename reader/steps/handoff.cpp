#include "reader/steps/handoff.h"

#include "reader/steps/step_values.h"

bool ApplyHandoffMessage(HandoffStep* pStep, const MessageMatch& Match) {
    const MessageValue& V0 = Match.Values[0];
    switch (Match.Id) {
    case MsgHandoff:
    case MsgUninstallHandoff:
        pStep->Handoff = HandoffBegun;
        return true;
    case MsgModulePath:
        pStep->ModulePath = ValueText(V0);
        return true;
    case MsgModulePathFailed:
        pStep->Handoff = HandoffNoPath;
        pStep->ModulePathError = DecimalError(V0);
        return true;
    case MsgCompanionTooLong:
        pStep->ModulePath = ValueText(V0);
        pStep->Handoff = HandoffPathTooLong;
        return true;
    case MsgCompanionPath:
        pStep->CompanionPath = ValueText(V0);
        return true;
    case MsgOpenAp:
        pStep->Handoff = HandoffStarting;
        return true;
    case MsgOpenModule:
        if (pStep->CompanionPath.empty())
            pStep->CompanionPath = ValueText(V0);
        return true;
    case MsgTransfNull: // the module path line that follows tells what was used
    case MsgOpenPath:
    case MsgOpenCommand:
        return true;
    default:
        return false;
    }
}
