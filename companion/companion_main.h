// The 64-bit companion: the part of the setup that a 32-bit process cannot do on 64-bit Windows.
#pragma once

// Copies the co-installers of the package's 64-bit half into the native system directory, removes
// the listed driverless device nodes and refreshes the device tree. Returns 1 when it could do its
// work, 0 when an early step failed.
int CompanionMain();
