// The machines and roads of the fault sweep, shared by the sweep and by the check of the report against
// every trace the sweep makes.
#pragma once

#include "win32/platform.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sweep {

enum class Road { Setup32, Setup64, Companion, Uninstall32, Uninstall64, CompanionUninstall };

// What the machine holds for an uninstall run to find. Each has something: whatever a fault hides, no
// run may call it clean.
enum class Machine {
    Stocked,    // two listed nodes, and our seven INF files in the driver store
    GhostsOnly, // two listed nodes; the store holds nothing of ours
    CopyOnly,   // no listed node; the store holds one copy of ours
    Arm64,      // Stocked, on an ARM64 processor: the setup runs change nothing, the uninstall runs go on
};

// The trace's line for a processor without a package half, as the Arm64 machine has it.
extern const char* const NoHalfLine;
// The calls that change the machine: none of them on a processor without a half, outside uninstall.
extern const char* const ChangingCalls[5];

bool IsUninstall(Road road);

extern const char* const Dlls[2];
extern const char* const Infs[7];

// Devices, in walk order. On the CopyOnly machine the two listed ones carry other IDs.
enum { Unlisted, ListedDriverless, NoHardwareIds, ListedWithDriver, DeviceCount };

extern const std::string StoreDir;
// What the uninstall roads find in the driver store besides ours: another vendor's INF under one of our
// names, another under an oemN.inf name, the system's own; each of the same size as one of ours.
extern const char* const ForeignStoreFiles[3];

// How many of our INF files the machine's store holds (oem0.inf ...).
int StoreCopies(Road road, Machine machine);
bool HasListedNodes(Machine machine);

// A fresh simulated machine for the road: the package half, the companion where the road starts it,
// the devices, and on the uninstall roads the driver store.
void DescribeMachine(Road road, Machine machine);

// The run on the road to the lookup of IsWow64Process (the setup roads) and of the store's uninstall call
// (the uninstall roads): the how-manieth GetModuleHandleA and GetProcAddress each is.
int WowLookup(Road road);
int StoreLookup(Road road);

// Runs the road's program as its process would; the result is the exit code.
int RunRoad(Road road);

// The failures the system tells apart at each fault point.
std::vector<DWORD> ErrorsFor(const std::string& point);

struct Fault {
    std::string point;
    int occurrence;
    DWORD error;
};

// Every (point, occurrence, error) of a clean run's fault points, in a fixed order.
std::vector<Fault> FaultsOf(const std::map<std::string, int>& counts);

} // namespace sweep
