#include "reader/tool_messages.h"

#include <cstring>

const char ToolTag[] = "..Install or Uninstall - Vostrel";
const size_t ToolTagLength = sizeof(ToolTag) - 1;
const char CreateProcessFailed[] = "CreateProcess failed";

namespace {

// wsprintfA stops at 1024 characters: a message of that length may have lost its end.
enum { FormatterLimit = 1024 };

constexpr ProgramKind ProgramTable[] = {
    {RoleSetup, "FenwarrSetup.exe", "Setup Device\n", RoleNone, false, "Setup program: "},
    {RoleCompanion, "Fenwarr64.exe", "Setup Device, 64bit companion\n", RoleSetup, false, "Companion: "},
    {RoleUninstall, "FenwarrUninstall.exe", "Uninstall Device\n", RoleNone, true, "Uninstaller: "},
    {RoleUninstallCompanion, "Fenwarr64.exe", "Uninstall Device, 64bit companion\n", RoleUninstall, true,
     "Companion: "},
};

// In the order a row reads best; a few padding bytes per row do not matter.
struct MessageFormat { // NOLINT(clang-analyzer-optin.performance.Padding)
    MessageId Id;
    const char* pFormat; // the tool's own format string: %s, %d and %x conversions
    bool Failure;        // it tells of a step that did not do its work (on Windows 2000, a store left
                         // alone is by design)
    StepKind Step;       // the step whose routine applies it
    bool Begins;         // it begins its step's next file: the file before it has ended
    StepOrder Order;     // the uninstall steps it shows to have ended
};

// The formats exactly as the programs trace them.
constexpr MessageFormat MessageTable[] = {
    {MsgSetupStart, "Setup Device\n", false, KindStart, false, OrderOwn},
    {MsgCompanionStart, "Setup Device, 64bit companion\n", false, KindStart, false, OrderOwn},
    {MsgNoVersion, "Can't get system version\n", true, KindEarly, false, OrderOwn},
    {MsgMallocSysDir, "Malloc for system dir failed!\n", true, KindEarly, false, OrderOwn},
    {MsgNoSysDir, "Get system dir failed!\n", true, KindEarly, false, OrderOwn},
    {MsgSysPath, "System path: %s", false, KindEarly, false, OrderOwn},
    {MsgMallocSourceDir, "Malloc failed!\n", true, KindEarly, false, OrderOwn},
    {MsgMajor, "VerInf.dwMajorVersion: %d", false, KindEarly, false, OrderOwn},
    {MsgMinor, "VerInf.dwMinorVersion: %d", false, KindEarly, false, OrderOwn},
    {MsgOtherOs, "It is other OS, win2k or win8, do continue \n", false, KindEarly, false, OrderOwn},
    {MsgPlatform, "Setup device for Windows%s\n", false, KindEarly, false, OrderOwn},
    // Not a failure of its own: an uninstall run goes on there. The setup runs' stop is their early end.
    {MsgNoHalf, "No package half for native machine 0x%x\n", false, KindEarly, false, OrderOwn},
    {MsgMallocExisting, "Malloc for pExistingFileName failed!\n", true, KindCopy, true, OrderOwn},
    {MsgExistingTooLong, "ExistingFileName too long: %s\\%s\n", true, KindCopy, true, OrderOwn},
    {MsgExisting, "ExistingFileName: %s\n", false, KindCopy, true, OrderOwn},
    {MsgMallocSysPath, "Malloc for pSysPath failed!\n", true, KindCopy, false, OrderOwn},
    {MsgNoSysPath, "Get system path failed!\n", true, KindCopy, false, OrderOwn},
    {MsgMallocNew, "Malloc for pNewFileName failed!\n", true, KindCopy, false, OrderOwn},
    {MsgNewTooLong, "NewFileName too long: %s\\%s\n", true, KindCopy, false, OrderOwn},
    {MsgNew, "NewFileName: %s\n", false, KindCopy, false, OrderOwn},
    {MsgCopyFailed, "CopyFile failed!, code is %d \n", true, KindCopy, false, OrderOwn},
    {MsgCoInstallFailed, "Copy CoInstall %s failed!\n", true, KindCopy, false, OrderOwn},
    {MsgMallocFullName, "Malloc for pFullName failed!\n", true, KindInf, true, OrderOwn},
    {MsgFullNameTooLong, "Full name too long: %s\\%s\n", true, KindInf, true, OrderOwn},
    {MsgFullName, "Full name: %s\n", false, KindInf, true, OrderOwn},
    {MsgInfFailed, "SetupCopyOEMInf failed, error code: 0x%x\n", true, KindInf, false, OrderOwn},
    {MsgInfStaged, "SetupCopyOEMInf success, destpath is %s\n", false, KindInf, false, OrderOwn},
    {MsgMallocDriver, "Malloc failed\n", true, KindWalk, false, OrderOwn},
    {MsgFound, "Found! [%s]\n", false, KindWalk, false, OrderOwn},
    {MsgDriverKept, "Driver inf is %s!\n", false, KindWalk, false, OrderOwn},
    {MsgRemoved, "SetupDiCallClassInstaller successful, line: %d\n", false, KindWalk, false, OrderOwn},
    {MsgRemoveFailed, "Remove failed!\n", true, KindWalk, false, OrderOwn},
    {MsgDriverUnreadable, "remove driver failed getlasterror is not  ERROR_INVALID_DATA, is %d, line: %d\n",
     true, KindWalk, false, OrderOwn},
    {MsgDeviceSkipped, "Device skipped, code is %d\n", true, KindWalk, false, OrderOwn},
    {MsgWalkEndedEarly, "Device walk ended early, code is %d\n", true, KindWalk, false, OrderPastWalk},
    {MsgRootNotFound, "Get device node failed, return", true, KindWalk, false, OrderAtStore},
    {MsgRefresh, "Refresh device node", false, KindWalk, false, OrderAtStore},
    {MsgHandoff, "Setup for 64bit OS, line: %d", false, KindHandoff, false, OrderOwn},
    {MsgTransfNull, "Transf2Path is null, line: %d", true, KindHandoff, false, OrderOwn},
    {MsgModulePath, "Module path: [%s], line: %d", false, KindHandoff, false, OrderOwn},
    {MsgModulePathFailed, "Module path failed, code is %d\n", true, KindHandoff, false, OrderOwn},
    {MsgCompanionTooLong, "Setup64 full name too long, module path: [%s], line: %d", true, KindHandoff, false,
     OrderOwn},
    {MsgCompanionPath, "Setup64 full name: [%s], line: %d", false, KindHandoff, false, OrderOwn},
    {MsgOpenAp, "---OpenAP---", false, KindHandoff, false, OrderOwn},
    {MsgOpenModule, "pModule: %s\n", false, KindHandoff, false, OrderOwn},
    {MsgOpenPath, "pPath: %s\n", false, KindHandoff, false, OrderOwn},
    {MsgOpenCommand, "pCommand: %s\n", false, KindHandoff, false, OrderOwn},
    {MsgUninstallStart, "Uninstall Device\n", false, KindStart, false, OrderOwn},
    {MsgUninstallCompanionStart, "Uninstall Device, 64bit companion\n", false, KindStart, false, OrderOwn},
    {MsgUninstallHandoff, "Uninstall for 64bit OS\n", false, KindHandoff, false, OrderOwn},
    {MsgNodeUninstalled, "SetupDiCallClassInstaller DIF_REMOVE successful\n", false, KindWalk, false,
     OrderOwn},
    {MsgNodeUninstallFailed, "SetupDiCallClassInstaller DIF_REMOVE failed, error code: 0x%x\n", true,
     KindWalk, false, OrderOwn},
    {MsgNoDeviceSet, "SetupDiGetClassDevs failed, error code: 0x%x\n", true, KindWalk, false, OrderPastWalk},
    {MsgNoStoreUninstall, "SetupUninstallOEMInf not found, code is %d, driver store left alone\n", true,
     KindStore, false, OrderAtStore},
    {MsgPackageInfTooLong, "Package INF name too long: %s\\%s\n", true, KindStore, false, OrderAtStore},
    {MsgPackageInfMissing, "Package INF not found, code is %d, %s\n", true, KindStore, false, OrderAtStore},
    {MsgNoPackageInf, "No package INF to compare with, driver store left alone\n", true, KindStore, false,
     OrderAtStore},
    {MsgStorePathFailed, "Driver store path failed, system path: %s\n", true, KindStore, false, OrderAtStore},
    {MsgFindFirstFailed, "FindFirstFile failed, code is %d, %s\n", true, KindStore, false, OrderAtStore},
    {MsgFindNextFailed, "FindNextFile failed, code is %d\n", true, KindStore, false, OrderAtStore},
    {MsgStoreNameTooLong, "Store file name too long: %s\\%s\n", true, KindStore, false, OrderAtStore},
    {MsgOpenFailed, "CreateFile failed, code is %d, %s\n", true, KindStore, false, OrderAtStore},
    {MsgReadFailed, "ReadFile failed, code is %d, %s\n", true, KindStore, false, OrderAtStore},
    {MsgStoreFile, "Store file: %s\n", false, KindStore, false, OrderAtStore},
    {MsgStoreRemoved, "SetupUninstallOEMInf success, %s\n", false, KindStore, false, OrderAtStore},
    {MsgStoreRefused, "SetupUninstallOEMInf failed, error code: 0x%x\n", true, KindStore, false,
     OrderAtStore},
    {MsgCoInstallersKept, "Co-installers kept: shared with other drivers\n", false, KindStore, false,
     OrderAtStore},
    {MsgNothingToUninstall, "Nothing to uninstall\n", false, KindStore, false, OrderAtStore},
};

// The rows stand in the order of MessageId, from MsgNone + 1: a message's row is found by its number.
constexpr bool RowsInIdOrder() {
    for (size_t i = 0; i < sizeof(MessageTable) / sizeof(MessageTable[0]); ++i) {
        if (MessageTable[i].Id != static_cast<MessageId>(i + 1))
            return false;
    }
    return true;
}
static_assert(RowsInIdOrder(), "the message table is in the order of MessageId");
constexpr size_t MessageRows = sizeof(MessageTable) / sizeof(MessageTable[0]);

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f');
}

// The length of the literal part of `pFormat` up to its next conversion (or its end).
size_t LiteralLength(const char* pFormat) {
    const char* pPercent = strchr(pFormat, '%');
    return pPercent == nullptr ? strlen(pFormat) : static_cast<size_t>(pPercent - pFormat);
}

// The last occurrence of the `n` bytes at pNeedle in [p, p + Length), or null.
const char* FindLast(const char* p, size_t Length, const char* pNeedle, size_t n) {
    const char* pFound = nullptr;
    if (n <= Length) {
        for (size_t i = Length - n + 1; i-- > 0 && pFound == nullptr;) {
            if (memcmp(p + i, pNeedle, n) == 0)
                pFound = p + i;
        }
    }
    return pFound;
}

// A %s (`pFormat` is what follows it): the longest text that lets the next literal follow; *pp moves past
// it. False when that literal is not there and the text was not cut, or when a conversion follows at once.
bool MatchString(const char* pFormat, const char** pp, const char* pEnd, bool MayBeCut, bool* pCut) {
    const size_t Next = LiteralLength(pFormat);
    if (Next == 0 && *pFormat == '\0') {
        *pp = pEnd;
        return true;
    }
    if (Next == 0)
        return false; // two conversions in a row: none of the tool's formats has one
    const char* pNext = FindLast(*pp, static_cast<size_t>(pEnd - *pp), pFormat, Next);
    if (pNext != nullptr) {
        *pp = pNext;
        return true;
    }
    if (!MayBeCut)
        return false;
    *pCut = true;
    *pp = pEnd;
    return true;
}

// Matches `pText` against one format. A %s takes the longest text that lets the next literal follow
// (paths may hold anything, and the tool's literals after a %s are rare in paths). A text cut at the
// formatter's limit matches when everything up to the cut does.
bool MatchFormat(const char* pFormat, const char* pText, size_t Length, MessageMatch* pMatch) {
    const bool MayBeCut = Length == FormatterLimit;
    const char* p = pText;
    const char* pEnd = pText + Length;
    size_t ValueCount = 0;
    bool Matched = true;
    pMatch->Cut = false;
    while (Matched && *pFormat != '\0') {
        const size_t Literal = LiteralLength(pFormat);
        const size_t Left = static_cast<size_t>(pEnd - p);
        if (Literal > 0) {
            if (Literal <= Left && memcmp(p, pFormat, Literal) == 0) {
                p += Literal;
                pFormat += Literal;
            } else if (MayBeCut && Literal > Left && memcmp(p, pFormat, Left) == 0) {
                pMatch->Cut = true;
                p = pEnd;
                break;
            } else {
                Matched = false;
            }
            continue;
        }
        // A conversion.
        const char Conversion = pFormat[1];
        pFormat += 2;
        const char* pStart = p;
        if (Conversion == 's') {
            Matched = MatchString(pFormat, &p, pEnd, MayBeCut, &pMatch->Cut);
        } else if (Conversion == 'd') {
            if (p < pEnd && *p == '-')
                ++p;
            while (p < pEnd && IsDigit(*p))
                ++p;
            Matched = p > pStart && IsDigit(p[-1]);
        } else if (Conversion == 'x') {
            while (p < pEnd && IsHexDigit(*p))
                ++p;
            Matched = p > pStart;
        } else {
            Matched = false;
        }
        if (Matched && ValueCount < 2) {
            pMatch->Values[ValueCount].p = pStart;
            pMatch->Values[ValueCount].Length = static_cast<size_t>(p - pStart);
            ++ValueCount;
        }
        if (pMatch->Cut)
            break;
    }
    return Matched && p == pEnd && (pMatch->Cut || *pFormat == '\0');
}

} // namespace

const ProgramKind* FindProgramByStart(const char* pText, size_t Length) {
    const ProgramKind* pFound = nullptr;
    for (const ProgramKind& Kind : ProgramTable) {
        if (strlen(Kind.pStartMessage) == Length && memcmp(Kind.pStartMessage, pText, Length) == 0)
            pFound = &Kind;
    }
    return pFound;
}

const ProgramKind* FindProgramByRole(ProgramRole Role) {
    const ProgramKind* pFound = nullptr;
    for (const ProgramKind& Kind : ProgramTable) {
        if (Kind.Role == Role)
            pFound = &Kind;
    }
    return pFound;
}

bool MatchToolMessage(const char* pText, size_t Length, MessageMatch* pMatch) {
    pMatch->Id = MsgNone;
    pMatch->Cut = false;
    for (MessageValue& Value : pMatch->Values) {
        Value.p = pText;
        Value.Length = 0;
    }
    for (const MessageFormat& Format : MessageTable) {
        MessageMatch Candidate = *pMatch;
        if (MatchFormat(Format.pFormat, pText, Length, &Candidate)) {
            *pMatch = Candidate;
            pMatch->Id = Format.Id;
            break;
        }
    }
    return pMatch->Id != MsgNone;
}

bool IsFailureMessage(MessageId Id) {
    return Id > MsgNone && static_cast<size_t>(Id) <= MessageRows && MessageTable[Id - 1].Failure;
}

MessageStep StepOfMessage(MessageId Id) {
    if (Id <= MsgNone || static_cast<size_t>(Id) > MessageRows)
        return MessageStep{KindStart, false, OrderOwn};
    const MessageFormat& Row = MessageTable[Id - 1];
    return MessageStep{Row.Step, Row.Begins, Row.Order};
}

bool ValueAsDecimal(const MessageValue& Value, uint32_t* pNumber) {
    const char* p = Value.p;
    size_t n = Value.Length;
    const bool Negative = n > 0 && *p == '-';
    if (Negative) {
        ++p;
        --n;
    }
    uint64_t Number = 0;
    bool Ok = n > 0 && n <= 10;
    for (size_t i = 0; Ok && i < n; ++i) {
        Ok = IsDigit(p[i]);
        Number = Number * 10 + static_cast<unsigned>(p[i] - '0');
    }
    Ok = Ok && Number <= (Negative ? 0x80000000ull : 0xFFFFFFFFull);
    if (Ok)
        *pNumber = static_cast<uint32_t>(Negative ? 0x100000000ull - Number : Number);
    return Ok;
}

bool ValueAsHex(const MessageValue& Value, uint32_t* pNumber) {
    uint32_t Number = 0;
    bool Ok = Value.Length > 0 && Value.Length <= 8;
    for (size_t i = 0; Ok && i < Value.Length; ++i) {
        const char c = Value.p[i];
        Ok = IsHexDigit(c);
        Number = Number * 16 + static_cast<uint32_t>(IsDigit(c) ? c - '0' : c - 'a' + 10);
    }
    if (Ok)
        *pNumber = Number;
    return Ok;
}
