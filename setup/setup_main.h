// The setup run: system facts, the driver source directory and the fixed order of the steps.
#pragma once

// Drive letter of the system directory, written once by the setup run.
extern char SystemDriveLetter;

// The whole run. The arguments are accepted and ignored; the result is the process exit code:
// 1 when the run got past its early steps, 0 when one of them failed.
int SetupMain(int argc, char** argv, char** envp);
