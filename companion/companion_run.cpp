#include "companion/companion_main.h"

#include "uninstall/uninstall.h"

int CompanionRun(int argc, char** argv) {
    // Only the uninstaller passes the word; the setup run passes no command line at all.
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], UninstallWord) == 0)
            return CompanionUninstallMain();
    }
    return CompanionMain();
}
