/* Taking the debug-output buffer: the plain names, and the Global\ names outside session 0. */
#include "capture/capture_internal.h"

#include <string.h>

enum { DBWIN_SIZE = 4096 };

/* How taking one set of names went. */
enum { SET_OK, SET_HELD, SET_DENIED, SET_FAILED };

enum { PLAIN = 0, GLOBAL = 1 };
static const char* const g_label[2] = {"plain", "Global\\"};
enum { BUFFER_READY, DATA_READY, BUFFER };
static const char* const g_names[2][3] = {
    {"DBWIN_BUFFER_READY", "DBWIN_DATA_READY", "DBWIN_BUFFER"},
    {"Global\\DBWIN_BUFFER_READY", "Global\\DBWIN_DATA_READY", "Global\\DBWIN_BUFFER"},
};

static void CloseChannel(CaptureChannel* pChannel) {
    if (pChannel->pView)
        UnmapViewOfFile((const void*)pChannel->pView);
    if (pChannel->mapping)
        CloseHandle(pChannel->mapping);
    if (pChannel->dataReady)
        CloseHandle(pChannel->dataReady);
    if (pChannel->bufferReady)
        CloseHandle(pChannel->bufferReady);
    memset(pChannel, 0, sizeof(*pChannel));
}

/* Whether an event of that name exists: opening it works, or is refused (another account's object). */
static int EventExists(const char* pName) {
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, pName);
    if (event) {
        CloseHandle(event);
        return 1;
    }
    return GetLastError() == ERROR_ACCESS_DENIED;
}

static int SayHeld(Capture* pCapture, int set) {
    pCapture->heldSets |= set == GLOBAL ? CAPTURE_SET_GLOBAL : CAPTURE_SET_PLAIN;
    CaptureSay(pCapture, "another debug-output monitor holds the ", 0);
    CaptureSayMore(pCapture, g_label[set]);
    CaptureSayMore(pCapture, " names (");
    CaptureSayMore(pCapture, g_names[set][BUFFER_READY]);
    CaptureSayMore(pCapture, " exists already)");
    return SET_HELD;
}

/* Gives up on the set after a failed step. Access denied to the Global\ names, which nobody holds, is no
   failure: creating them needs administrator rights, and only session 0's strings are lost. */
static int SetFailure(Capture* pCapture, int set, DWORD error, const char* pWhat, const char* pName) {
    CloseChannel(&pCapture->channels[set]);
    if (set == GLOBAL && error == ERROR_ACCESS_DENIED) {
        CaptureSay(pCapture,
                   "no administrator rights for the Global\\ names: session 0's strings (services, installer "
                   "custom actions) are not recorded",
                   0);
        return SET_DENIED;
    }
    CaptureSay(pCapture, pWhat, error);
    CaptureSayMore(pCapture, " ");
    CaptureSayMore(pCapture, pName);
    return SET_FAILED;
}

/* Creates one set: its BUFFER_READY existing already, before or during the creation, means another monitor.
 */
static int TakeSet(Capture* pCapture, int set) {
    CaptureChannel* pChannel = &pCapture->channels[set];
    const char* const* ppNames = g_names[set];
    DWORD error;

    if (EventExists(ppNames[BUFFER_READY]))
        return SayHeld(pCapture, set);
    pChannel->bufferReady = CreateEventA(NULL, FALSE, FALSE, ppNames[BUFFER_READY]);
    if (!pChannel->bufferReady) {
        error = GetLastError();
        if (error == ERROR_ACCESS_DENIED && EventExists(ppNames[BUFFER_READY]))
            return SayHeld(pCapture, set);
        return SetFailure(pCapture, set, error, "cannot create the event", ppNames[BUFFER_READY]);
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseChannel(pChannel);
        return SayHeld(pCapture, set);
    }
    pChannel->dataReady = CreateEventA(NULL, FALSE, FALSE, ppNames[DATA_READY]);
    if (!pChannel->dataReady)
        return SetFailure(pCapture, set, GetLastError(), "cannot create the event", ppNames[DATA_READY]);
    pChannel->mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, DBWIN_SIZE, ppNames[BUFFER]);
    if (!pChannel->mapping)
        return SetFailure(pCapture, set, GetLastError(), "cannot create the file mapping", ppNames[BUFFER]);
    pChannel->pView = (const volatile unsigned char*)MapViewOfFile(pChannel->mapping, FILE_MAP_READ, 0, 0, 0);
    if (!pChannel->pView)
        return SetFailure(pCapture, set, GetLastError(), "cannot map", ppNames[BUFFER]);
    return SET_OK;
}

static int TakeGlobal(Capture* pCapture) {
    int status = TakeSet(pCapture, GLOBAL);
    if (status == SET_OK) {
        pCapture->channelCount = 2;
        pCapture->globalTaken = 1;
    }
    return status;
}

/* The session is unknown. In session 0 the Global\ names are the plain ones just taken, so existing Global\
   names cannot be told from another monitor's: they are left alone rather than refused for. */
static int TakeGlobalBlind(Capture* pCapture, DWORD sessionError) {
    int status = TakeGlobal(pCapture);
    if (status == SET_OK) {
        CaptureSay(pCapture, "the session is unknown: the Global\\ names were free and are taken",
                   sessionError);
    } else if (status == SET_HELD) {
        pCapture->heldSets = 0;
        CaptureSay(
            pCapture,
            "the session is unknown and the Global\\ names exist already (this session's own names in "
            "session 0, or another monitor's): session 0's strings are recorded only if this is session 0",
            sessionError);
    } else if (status == SET_FAILED) {
        return CAPTURE_FAILED;
    }
    return CAPTURE_OK;
}

typedef BOOL(WINAPI* ProcessIdToSessionIdFn)(DWORD, DWORD*);

/* The session of this process; looked up at run time, as its reference page gives Windows Vista. */
static BOOL OwnSession(DWORD* pSession) {
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    ProcessIdToSessionIdFn pSessionOf =
        kernel32 != NULL ? (ProcessIdToSessionIdFn)(void*)GetProcAddress(kernel32, "ProcessIdToSessionId")
                         : NULL;
    if (pSessionOf == NULL) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    return pSessionOf(GetCurrentProcessId(), pSession);
}

int CaptureOpen(Capture* pCapture, unsigned flags) {
    DWORD session = 0;
    int status;
    int result = CAPTURE_OK;

    memset(pCapture, 0, sizeof(*pCapture));
    pCapture->flags = flags;
    pCapture->startTick = GetTickCount();
    pCapture->descendantWaitMs = INFINITE;
    pCapture->output = INVALID_HANDLE_VALUE;
    if (flags & CAPTURE_NO_CHANNELS)
        return CAPTURE_OK;

    status = TakeSet(pCapture, PLAIN);
    if (status != SET_OK)
        return status == SET_HELD ? CAPTURE_HELD : CAPTURE_FAILED;
    pCapture->channelCount = 1;

    if (!OwnSession(&session)) {
        result = TakeGlobalBlind(pCapture, GetLastError());
    } else if (session != 0) { /* in session 0 (started by a service) the plain names are session 0's */
        status = TakeGlobal(pCapture);
        if (status == SET_HELD)
            result = CAPTURE_HELD;
        else if (status == SET_FAILED)
            result = CAPTURE_FAILED;
    }
    if (result != CAPTURE_OK)
        CaptureClose(pCapture);
    return result;
}

void CaptureClose(Capture* pCapture) {
    CloseChannel(&pCapture->channels[PLAIN]);
    CloseChannel(&pCapture->channels[GLOBAL]);
    pCapture->channelCount = 0;
    pCapture->globalTaken = 0;
}
