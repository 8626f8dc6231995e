#include "installer/event_source.h"

#include "installer/run_event.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char MessageFile[] = "FenwarrEvents.dll";
const char SourcesKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
const DWORD TypesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

std::string Failure(const char* pWhat, const char* pPath, DWORD Error) {
    char Text[MAX_PATH + 96];
    snprintf(Text, sizeof(Text), "%s %s (error %lu)", pWhat, pPath, static_cast<unsigned long>(Error));
    return Text;
}

// The source's two values: its message file and the event types it writes.
LONG Register(const char* pMessageFile) {
    std::string Key = std::string(SourcesKey) + EventSource;
    HKEY Source = NULL;
    LONG Error =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, Key.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &Source, NULL);
    if (Error != ERROR_SUCCESS)
        return Error;
    Error = RegSetValueExA(Source, "EventMessageFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(pMessageFile),
                           static_cast<DWORD>(strlen(pMessageFile) + 1));
    if (Error == ERROR_SUCCESS)
        Error = RegSetValueExA(Source, "TypesSupported", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&TypesSupported), sizeof(TypesSupported));
    RegCloseKey(Source);
    return Error;
}

} // namespace

bool KeepEventSource(const char* pInstalledFolder, const char* pRecordFolder, std::string* pWhy) {
    char From[MAX_PATH];
    char To[MAX_PATH];
    if (snprintf(From, sizeof(From), "%s%s", pInstalledFolder, MessageFile) >=
            static_cast<int>(sizeof(From)) ||
        snprintf(To, sizeof(To), "%s\\%s", pRecordFolder, MessageFile) >= static_cast<int>(sizeof(To))) {
        *pWhy = "the message file's path is too long";
        return false;
    }
    if (!CopyFileA(From, To, FALSE)) {
        const DWORD Error = GetLastError();
        if (GetFileAttributesA(To) == INVALID_FILE_ATTRIBUTES) {
            *pWhy = Failure("cannot copy the message file to", To, Error);
            return false;
        }
    }
    const LONG Error = Register(To);
    if (Error != ERROR_SUCCESS) {
        *pWhy = Failure("cannot register the event source with", To, static_cast<DWORD>(Error));
        return false;
    }
    return true;
}
