// The 64-bit companion: the part of the setup, and of the uninstall, that a 32-bit process cannot do on
// 64-bit Windows.
#pragma once

// Copies the co-installers of the package's 64-bit half into the native system directory, removes
// the listed driverless device nodes and refreshes the device tree. Returns 1 when it could do its
// work, 0 when an early step failed.
int CompanionMain();

// The uninstall steps in the 64-bit process: every listed device node, our INF files in the driver store
// (compared with the package's 64-bit half), and the device tree refresh. Returns 1 when it could do its
// work, 0 when an early step failed.
int CompanionUninstallMain();

// Picks the mode from the command line: the uninstall word selects CompanionUninstallMain, anything
// else (the setup run passes nothing) CompanionMain. The result is the process exit code.
int CompanionRun(int argc, char** argv);
