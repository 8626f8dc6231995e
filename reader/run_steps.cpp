#include "reader/run_steps.h"

namespace {

struct RunStepRow {
    RunStep Step;
    const char* pName;
    const char* pWords; // after "the " or "the companion's ": what a record may end before
};

// By RunStep.
constexpr RunStepRow RunSteps[RunStepCount] = {
    {RunStepStart, "start", "early steps"},
    {RunStepPlatform, "platform", "platform line"},
    {RunStepSystemDirectory, "system-directory", "system directory"},
    {RunStepCoInstaller, "co-installer", "co-installer copy"},
    {RunStepInf, "inf", "INF staging"},
    {RunStepDevices, "devices", "device walk"},
    {RunStepRefresh, "refresh", "refresh"},
    {RunStepHandoff, "hand-off", "hand-off"},
    {RunStepPackageInfs, "package-infs", "package INF check"},
    {RunStepDriverStore, "driver-store", "driver store step"},
    {RunStepCoInstallers, "co-installers", "co-installer step"},
};

constexpr bool RowsInStepOrder() {
    for (int i = 0; i < RunStepCount; ++i) {
        if (RunSteps[i].Step != static_cast<RunStep>(i))
            return false;
    }
    return true;
}
static_assert(RowsInStepOrder(), "the step table is in the order of RunStep");

} // namespace

const char* StepName(RunStep Step) {
    return Step >= 0 && Step < RunStepCount ? RunSteps[Step].pName : "?";
}

const char* StepWords(RunStep Step) {
    return Step >= 0 && Step < RunStepCount ? RunSteps[Step].pWords : "?";
}
