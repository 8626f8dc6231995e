#include "reader/steps/early_steps.h"

#include "reader/processors.h"
#include "reader/report_text.h"
#include "reader/steps/step_values.h"
#include "reader/verdict_lines.h"

#include <cstring>

namespace {

// The platform lines the setup program traces, after "Setup device for Windows", and the road each takes.
struct PlatformLine {
    const char* pName;
    int Bits;
};
constexpr PlatformLine PlatformLines[] = {
    {" XP32", 32}, {" XP64", 64}, {" Vista32", 32},  {" Vista64", 64},
    {"7 32", 32},  {"7 64", 64},  {" os is 32", 32}, {" os is 64", 64},
};

bool ApplyPlatform(EarlySteps* pStep, const MessageValue& Name) {
    for (const PlatformLine& Line : PlatformLines) {
        if (strlen(Line.pName) == Name.Length && memcmp(Line.pName, Name.p, Name.Length) == 0) {
            pStep->PlatformLine = "Setup device for Windows" + ValueText(Name);
            pStep->Bits = Line.Bits;
            return true;
        }
    }
    return false;
}

} // namespace

bool ApplyEarlyMessage(EarlySteps* pStep, const MessageMatch& Match) {
    const MessageValue& V0 = Match.Values[0];
    switch (Match.Id) {
    case MsgNoVersion:
    case MsgMallocSysDir:
    case MsgNoSysDir:
    case MsgMallocSourceDir:
        pStep->EarlyFailure = Match.Id;
        return true;
    case MsgSysPath:
        pStep->SysPath = ValueText(V0);
        return true;
    case MsgMajor:
        pStep->HasMajor = ValueAsDecimal(V0, &pStep->Major);
        return true;
    case MsgMinor:
        pStep->HasMinor = ValueAsDecimal(V0, &pStep->Minor);
        return true;
    case MsgOtherOs:
        pStep->OtherOs = true;
        return true;
    case MsgNoHalf:
        pStep->NoHalf = ValueAsHex(V0, &pStep->Machine);
        if (pStep->NoHalf && !pStep->Uninstalling)
            pStep->EarlyFailure = MsgNoHalf;
        return pStep->NoHalf;
    case MsgPlatform:
        return ApplyPlatform(pStep, V0);
    default:
        return false;
    }
}

namespace {

const char* EarlyFailureMeaning(MessageId Id) {
    switch (Id) {
    case MsgNoVersion:
        return "\"Can't get system version\": Windows did not give its version";
    case MsgMallocSysDir:
        return "\"Malloc for system dir failed!\": out of memory for the system directory";
    case MsgNoSysDir:
        return "\"Get system dir failed!\": the system directory could not be read";
    case MsgMallocSourceDir:
        return "\"Malloc failed!\": out of memory for the package folder";
    default:
        return "unknown";
    }
}

} // namespace

// The processor without a package half: a setup run's stop, an uninstall run's note.
void MachineLine(const EarlySteps& P, Speaker Who, std::string* pOut) {
    StepLabel(pOut, Who, "machine: ");
    pOut->append(MachineName(P.Machine));
    pOut->append(": the package has halves for x86 and x64 only, and drivers must match the processor");
    pOut->append(P.Uninstalling ? "; the uninstall goes on: what is ours is taken away on any machine\n"
                                : "; nothing was changed, exit code 0\n");
}

// The early steps: an early failure ends the process's part of the run.
bool EarlyLines(const EarlySteps& P, Speaker Who, RunVerdict* pVerdict, std::string* pOut) {
    if (P.EarlyFailure == MsgNone)
        return true;
    AddStep(pVerdict, Who, RunStepStart, "", OutcomeFailed);
    if (P.EarlyFailure == MsgNoHalf) {
        MachineLine(P, Who, pOut);
        Problem(pVerdict, Who, ProblemNoPackageHalf, 0, MachineName(P.Machine).c_str());
        return false;
    }
    StepLabel(pOut, Who, "early failure: ");
    pOut->append(EarlyFailureMeaning(P.EarlyFailure));
    pOut->append(P.Uninstalling ? "; nothing was removed, exit code 0\n"
                                : "; nothing was installed, exit code 0\n");
    Problem(pVerdict, Who, ProblemEarlyFailure, 0, P.Uninstalling ? "removed" : "installed");
    return false;
}

// The road the starting program took. False when the record does not reach it.
bool RoadLine(const EarlySteps& S, RunVerdict* pVerdict, std::string* pOut) {
    pOut->append("  Road: ");
    if (S.Bits == 0) {
        Missing(pVerdict, SpeakerStarter, pOut, RunStepPlatform);
        return false;
    }
    AddStep(pVerdict, SpeakerStarter, RunStepPlatform, "", OutcomeDone);
    pOut->append(S.Bits == 64 ? "64-bit Windows, \"" : "32-bit Windows, \"")
        .append(S.PlatformLine)
        .append("\"");
    if (S.HasMajor && S.HasMinor) {
        pOut->append(" (version ");
        AppendNumber(pOut, S.Major);
        pOut->append(".");
        AppendNumber(pOut, S.Minor);
        pOut->append(S.OtherOs ? ", a version without a line of its own)" : ")");
    }
    pOut->append(", system directory ");
    AppendEscaped(pOut, S.SysPath);
    pOut->append("\n");
    return true;
}
