#include "uninstall/uninstall.h"

#include "handoff/handoff.h"
#include "trace/trace.h"

void StartUninstallCompanion() {
    // The first word of a command line names the program, as the companion's start-up code expects.
    char CommandLine[64];
    wsprintfA(CommandLine, "%s %s", CompanionName, UninstallWord);
    TraceMsg("Uninstall for 64bit OS\n", 0, 0);
    RunCompanion(CommandLine);
}
