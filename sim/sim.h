// The simulated platform: a Win32 machine in memory for host tests.
//
// Tests describe the machine (version, system directory, files, driver store, device tree, programs),
// run the system's routines, and then read what happened: the debugger channel, standard output, the
// calls made with their arguments, and what is still allocated or open. Any call, and any allocation,
// can be made to fail at its n-th occurrence.
#pragma once

#include "win32/platform.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sim {

// One platform call as the system made it; arguments rendered as text: numbers in decimal, strings
// as their text, absent pointers as "NULL".
struct Call {
    std::string name;
    std::vector<std::string> args;
};

// Makes the `occurrence`-th call of `point` (1-based; 0 = every one) fail with `error`.
struct Fault {
    std::string point;
    int occurrence;
    DWORD error;
};

struct File {
    std::string data;
    bool readOnly = false;
    std::string path;    // as it was given, the case kept
    bool locked = false; // held open by another program: cannot be opened for reading
};

// A listing of FindFirstFileA, read on by FindNextFileA.
struct Listing {
    std::vector<std::string> paths; // what matched, as given
    size_t next = 0;
};

// A file opened for reading: its content as it was when opened, and how far it has been read.
struct OpenFile {
    std::string data;
    size_t position = 0;
};

struct StagedInf {
    std::string source;    // the path it was staged from
    std::string data;      // its content
    std::string mediaPath; // the source location recorded with it
    std::string name;      // the driver store's name, e.g. C:\Windows\INF\oem3.inf
};

struct Device {
    std::string instanceId;
    std::optional<std::string> hardwareIds; // raw REG_MULTI_SZ bytes, as the registry holds them
    std::optional<std::string> driver;      // the driver key name, without terminator
    bool present = false;                   // attached now
    bool removed = false;
    // A list that grows while it is being fetched: the first fetch that offers a buffer finds this
    // list instead, so the size it was given is already too small.
    std::optional<std::string> hardwareIdsLater;
    // The size the platform reports for the list, when it reports something other than the truth.
    std::optional<DWORD> hardwareIdsReportedSize;
};

// A program the simulated machine can start: what it does when run, and its exit code.
using Program = std::function<DWORD()>;

struct Machine {
    // System facts.
    DWORD major = 6, minor = 1, build = 7601;
    std::string systemDir = "C:\\Windows\\system32";
    bool hasIsWow64Process = true;
    bool hasSetupUninstallOEMInf = true; // false: Windows 2000
    BOOL wow64 = FALSE;
    // IsWow64Process2 (Windows 10 version 1511 and later) and the processor it names.
    bool hasIsWow64Process2 = false;
    USHORT nativeMachine = IMAGE_FILE_MACHINE_I386;
    std::string modulePath = "C:\\Program Files\\Zamtre_Driver\\FenwarrSetup.exe";

    // What the system said.
    std::vector<std::string> debug; // every OutputDebugStringA string, in order
    std::string out;                // standard output

    // What the system did.
    std::vector<Call> calls;
    std::vector<Fault> faults;
    std::map<std::string, int> counts; // occurrences seen per fault point
    DWORD lastError = 0;

    // Accounting: every block and handle still held, with the size or kind.
    std::map<const void*, size_t> heap;
    std::map<const void*, size_t> local;
    std::map<HANDLE, std::string> handles;
    std::vector<size_t> localSizes;  // every LocalAlloc size asked for, in order
    std::vector<std::string> misuse; // frees of unknown blocks, closes of unknown handles

    // Files, keyed by lower-cased path; directories as a set of lower-cased paths.
    std::map<std::string, File> files;
    std::set<std::string> dirs;
    std::map<HANDLE, Listing> listings;
    std::map<HANDLE, OpenFile> openFiles;

    // Driver store.
    std::vector<StagedInf> store;
    // Store names (lower-cased, e.g. oem3.inf) that a device still uses: not uninstalled without force.
    std::set<std::string> infsInUse;

    // Device tree. A set holds indexes into `devices`; removal leaves the member in place.
    std::vector<Device> devices;
    std::map<HDEVINFO, std::vector<size_t>> sets;
    bool rootLocatable = true;
    CONFIGRET reenumerateResult = CR_SUCCESS;

    // Programs by lower-cased path, and the runs of them, in order.
    std::map<std::string, Program> programs;
    std::vector<std::string> runs;
    std::map<HANDLE, DWORD> exitCodes;

    ULONG_PTR nextHandle = 0x1000;
};

// The largest block LocalAlloc hands out; larger requests fail with ERROR_NOT_ENOUGH_MEMORY.
extern const size_t LargestBlock;

// The current machine. Reset() gives a fresh default one: Windows 7, 32-bit, drive C, empty disk.
Machine& M();
void Reset();

// Fault injection. Points are call names ("CopyFileA", "GetSystemDirectoryA", "ReadFile", ...), "malloc",
// "LocalAlloc", and the two property fetches "SetupDiGetDeviceRegistryPropertyA.HardwareID" and
// "SetupDiGetDeviceRegistryPropertyA.Driver".
void FailAt(const std::string& point, int occurrence, DWORD error);
// Called by each simulated call: counts the occurrence; true (with the last error set) when it fails.
bool Injected(const std::string& point);

// Recording helpers for the simulated calls.
void Record(const std::string& name, std::vector<std::string> args);
std::string Str(const char* text);
std::string Num(unsigned long long value);
std::string Ptr(const void* pointer); // "NULL" or "ptr"
std::vector<Call> CallsTo(const std::string& name);

// Handles.
HANDLE NewHandle(const std::string& kind);
bool CloseHandleOf(HANDLE handle, const std::string& kind);

// Machine description helpers.
std::string Lower(const std::string& path);
void AddDir(const std::string& path); // with its parents
void AddFile(const std::string& path, const std::string& data = "", bool readOnly = false);
bool FileExists(const std::string& path);
const File* FindFile(const std::string& path);
std::string ParentDir(const std::string& path);
// The driver store's folder: <Windows folder>\INF.
std::string InfDir();
// A REG_MULTI_SZ list from strings: each terminated, then the empty string.
std::string MultiSz(const std::vector<std::string>& ids);
size_t AddDevice(const std::string& instanceId, std::optional<std::string> hardwareIds,
                 std::optional<std::string> driver, bool present = false);

// The debugger strings as messages: each tag string and the message behind it become the message;
// a string not sent behind a tag comes back as "<untagged>" followed by the string.
std::vector<std::string> Messages();
// Anything still allocated or open, as readable lines; empty when all was released.
std::vector<std::string> Leaks();

} // namespace sim
