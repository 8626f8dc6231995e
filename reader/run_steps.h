// The steps a run's verdict lists, by their stable names (the JSON document's).
#pragma once

// Who a step or a problem is of: the program that starts the run, or its 64-bit companion.
enum Speaker { SpeakerStarter, SpeakerCompanion };

enum RunStep {
    RunStepStart,           // the early steps, listed only when they failed
    RunStepPlatform,        // the platform line that chooses the road
    RunStepSystemDirectory, // the companion's system directory
    RunStepCoInstaller,     // one co-installer copied
    RunStepInf,             // one INF file staged
    RunStepDevices,
    RunStepRefresh,
    RunStepHandoff,
    RunStepPackageInfs, // uninstall: the package INFs the store is compared with
    RunStepDriverStore,
    RunStepCoInstallers, // uninstall: the co-installers kept
    RunStepCount,
};

// Its stable name, from the step table.
const char* StepName(RunStep Step);
// The step in the words of "the record ends before the ...": "co-installer copy", "device walk", ...
const char* StepWords(RunStep Step);
