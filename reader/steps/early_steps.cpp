#include "reader/steps/early_steps.h"

#include "reader/steps/step_values.h"

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
