// The package's files the steps handle one by one (the co-installers copied, the INF files staged and,
// uninstalling, compared with the store), and the state of a step on one of them.
#pragma once

#include <cstdint>
#include <string>

enum { CoInstallerCount = 2, InfCount = 7 };
extern const char* const CoInstallerNames[CoInstallerCount];
extern const char* const InfNames[InfCount];

enum StepState {
    StepNotReached, // no message of the step in the record
    StepPending,    // begun, outcome not (yet) recorded
    StepDone,
    StepFailed,
};

// Why a co-installer copy or an INF staging failed, when no error number says it.
enum FailReason {
    ReasonNone,
    ReasonError,        // the Windows or setup error in Error
    ReasonNoMemory,     // a buffer could not be allocated
    ReasonNoSystemPath, // the system directory could not be read
    ReasonTooLong,      // a path did not fit in 260 bytes
    ReasonUnknown,      // the failure message came without a cause before it
};

struct FileStep {
    StepState State = StepNotReached;
    FailReason Reason = ReasonNone;
    uint32_t Error = 0;
    std::string Detail; // INF: the driver-store name; otherwise the path that was too long
};
