#include "reader/steps/handoff.h"

#include "reader/report_text.h"
#include "reader/steps/step_values.h"
#include "reader/verdict_lines.h"

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

void HandoffLines(const HandoffStep& S, const char* pProgram, const CompanionSeen& Companion,
                  RunVerdict* pVerdict, std::string* pOut) {
    pOut->append("  Hand-off: ");
    const std::string Path = S.CompanionPath.empty() ? std::string("Fenwarr64.exe") : S.CompanionPath;
    switch (S.Handoff) {
    case HandoffNotReached:
        Missing(pVerdict, SpeakerStarter, pOut, RunStepHandoff);
        break;
    case HandoffNoPath:
        // 122 and 161 are the program's own verdicts on what GetModuleFileNameA gave; others are its error.
        pOut->append("FAILED: the program's own path could not be read whole: ");
        AppendError(pOut, S.ModulePathError, false, S.ModulePathError != 122 && S.ModulePathError != 161);
        if (S.ModulePathError == 122)
            pOut->append(": it fills the 260-byte buffer, so it may be cut short");
        else if (S.ModulePathError == 161)
            pOut->append(": it names no folder");
        pOut->append("; Fenwarr64.exe was not started, so that no program from another folder runs\n");
        AddStep(pVerdict, SpeakerStarter, RunStepHandoff, "", OutcomeFailed, true, S.ModulePathError);
        ProblemError(Problem(pVerdict, SpeakerStarter, ProblemOwnPathNotRead), S.ModulePathError, false);
        break;
    case HandoffPathTooLong:
        pOut->append("FAILED: the companion's path does not fit in 260 bytes (folder ");
        AppendEscaped(pOut, S.ModulePath);
        pOut->append("); Fenwarr64.exe was not started\n");
        AddStep(pVerdict, SpeakerStarter, RunStepHandoff, "", OutcomeFailed);
        Problem(pVerdict, SpeakerStarter, ProblemCompanionPathTooLong);
        break;
    case HandoffStartFailed:
        AppendEscaped(pOut, Path);
        pOut->append(": FAILED: it could not be started (\"CreateProcess failed\"); Fenwarr64.exe must sit "
                     "next to ")
            .append(pProgram)
            .append("\n");
        AddStep(pVerdict, SpeakerStarter, RunStepHandoff, "", OutcomeFailed);
        Problem(pVerdict, SpeakerStarter, ProblemCompanionNotStarted);
        break;
    default:
        if (Companion.Ran) {
            AppendEscaped(pOut, Path);
            pOut->append(": started");
            if (Companion.HasPid) {
                pOut->append(", pid ");
                AppendNumber(pOut, Companion.Pid);
            }
            pOut->append("\n");
            AddStep(pVerdict, SpeakerStarter, RunStepHandoff, "", OutcomeDone);
        } else {
            AppendEscaped(pOut, Path);
            pOut->append(": FAILED: no record of the companion: it did not run, or ended before its first "
                         "message\n");
            AddStep(pVerdict, SpeakerStarter, RunStepHandoff, "", OutcomeFailed);
            Problem(pVerdict, SpeakerStarter, ProblemCompanionLeftNoRecord);
        }
        break;
    }
}
