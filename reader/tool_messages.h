// The tool's programs and their trace messages, as tables: what each message is and how to take its
// values apart. A new program of the package adds a row to ProgramTable and its messages to the
// message table; the run reader and the verdict only see the identifiers.
#pragma once

#include <cstddef>
#include <cstdint>

// The string that precedes every message of the tool's programs on the debugger channel.
extern const char ToolTag[];
extern const size_t ToolTagLength;
// The one string the setup program and the uninstaller send without the tag: the companion could not
// be started.
extern const char CreateProcessFailed[];

enum ProgramRole {
    RoleNone,
    RoleSetup,              // FenwarrSetup.exe: starts an install run
    RoleCompanion,          // Fenwarr64.exe: started by the setup program on 64-bit Windows
    RoleUninstall,          // FenwarrUninstall.exe: starts an uninstall run
    RoleUninstallCompanion, // Fenwarr64.exe /uninstall: started by the uninstaller on 64-bit Windows
};

struct ProgramKind {
    ProgramRole Role;
    const char* pName;
    const char* pStartMessage; // the first message the program traces
    ProgramRole StartedBy;     // RoleNone: it starts a run; else it joins a run of that program
    bool Uninstall;            // its run takes the package out again
    const char* pLabel;        // how the report introduces it
};

// The program whose first message is `pText`, or null.
const ProgramKind* FindProgramByStart(const char* pText, size_t Length);
const ProgramKind* FindProgramByRole(ProgramRole Role);

enum MessageId {
    MsgNone,
    // Start and early steps (setup run and companion)
    MsgSetupStart,
    MsgCompanionStart,
    MsgNoVersion,
    MsgMallocSysDir,
    MsgNoSysDir,
    MsgSysPath,
    MsgMallocSourceDir,
    MsgMajor,
    MsgMinor,
    MsgOtherOs,
    MsgPlatform,
    MsgNoHalf, // a processor without a package half: the setup runs stop, the uninstall runs go on
    // Co-installer copy
    MsgMallocExisting,
    MsgExistingTooLong,
    MsgExisting,
    MsgMallocSysPath,
    MsgNoSysPath,
    MsgMallocNew,
    MsgNewTooLong,
    MsgNew,
    MsgCopyFailed,
    MsgCoInstallFailed,
    // INF staging
    MsgMallocFullName,
    MsgFullNameTooLong,
    MsgFullName,
    MsgInfFailed,
    MsgInfStaged,
    // Devices and refresh
    MsgMallocDriver,
    MsgFound,
    MsgDriverKept,
    MsgRemoved,
    MsgRemoveFailed,
    MsgDriverUnreadable,
    MsgDeviceSkipped,
    MsgWalkEndedEarly,
    MsgRootNotFound,
    MsgRefresh,
    // Hand-off to the companion
    MsgHandoff,
    MsgTransfNull,
    MsgModulePath,
    MsgModulePathFailed,
    MsgCompanionTooLong,
    MsgCompanionPath,
    MsgOpenAp,
    MsgOpenModule,
    MsgOpenPath,
    MsgOpenCommand,
    // Uninstall: start, hand-off, devices
    MsgUninstallStart,
    MsgUninstallCompanionStart,
    MsgUninstallHandoff,
    MsgNodeUninstalled,
    MsgNodeUninstallFailed,
    MsgNoDeviceSet,
    // Uninstall: the driver store
    MsgNoStoreUninstall,
    MsgPackageInfTooLong,
    MsgPackageInfMissing,
    MsgNoPackageInf,
    MsgStorePathFailed,
    MsgFindFirstFailed,
    MsgFindNextFailed,
    MsgStoreNameTooLong,
    MsgOpenFailed,
    MsgReadFailed,
    MsgStoreFile,
    MsgStoreRemoved,
    MsgStoreRefused,
    // Uninstall: the end
    MsgCoInstallersKept,
    MsgNothingToUninstall,
};

// The step of the programs a message belongs to: applying a message is its step's routine.
enum StepKind {
    KindStart, // a program's first message: the caller's
    KindEarly, // version, system directory, platform
    KindCopy,  // the co-installer copy
    KindInf,   // the INF staging
    KindWalk,  // the device walk, and the refresh after it
    KindHandoff,
    KindStore, // uninstall: the driver store, the co-installers, the end
    StepKindCount,
};

// The uninstall steps run in a fixed order (devices, driver store, co-installers, refresh): a message of
// one step shows that the steps before it have ended.
enum StepOrder {
    OrderOwn,      // it shows nothing of the other steps
    OrderPastWalk, // the device walk has ended
    OrderAtStore,  // the device walk has ended and the store step is reached
};

struct MessageStep {
    StepKind Step;
    bool Begins; // it begins its step's next file: the file before it has ended
    StepOrder Order;
};

// The step of a message (KindStart for MsgNone: no step's).
MessageStep StepOfMessage(MessageId Id);

// A value taken from a message: the text a conversion matched.
struct MessageValue {
    const char* p;
    size_t Length;
};

struct MessageMatch {
    MessageId Id;
    bool Cut; // the message reached the formatter's 1024-character limit and lost its end
    MessageValue Values[2];
};

// Which message `pText` is (MsgNone when none), with its values. `pText` must stay alive while the
// values are used.
bool MatchToolMessage(const char* pText, size_t Length, MessageMatch* pMatch);

// True for a message that tells of a failed step; false for the others and for MsgNone.
bool IsFailureMessage(MessageId Id);

// A %d value as the tool printed it (a DWORD through %d may be negative), or false.
bool ValueAsDecimal(const MessageValue& Value, uint32_t* pNumber);
// A %x value (lower-case hex without 0x), or false.
bool ValueAsHex(const MessageValue& Value, uint32_t* pNumber);
