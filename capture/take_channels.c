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

/* Another monitor's, or anyone's: the NAME of the set exists already. */
static int SayHeld(Capture* pCapture, int set, int name) {
    pCapture->heldSets |= set == GLOBAL ? CAPTURE_SET_GLOBAL : CAPTURE_SET_PLAIN;
    CaptureSay(pCapture, "another debug-output monitor holds the ", 0);
    CaptureSayMore(pCapture, g_label[set]);
    CaptureSayMore(pCapture, " names (");
    CaptureSayMore(pCapture, g_names[set][name]);
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

/* Whether an object of that name exists: opening it works, or is refused (another account's object). Only
   asked after a creation was refused, and the handle is closed at once. */
static int ObjectExists(int name, const char* pName) {
    HANDLE object = name == BUFFER ? OpenFileMappingA(FILE_MAP_READ, FALSE, pName)
                                   : OpenEventA(SYNCHRONIZE, FALSE, pName);
    if (object) {
        CloseHandle(object);
        return 1;
    }
    return GetLastError() == ERROR_ACCESS_DENIED;
}

/* The channels' security: SYSTEM and the Administrators, nobody else. The senders that matter run as one
   of them (an elevated program, or an installer's custom action as SYSTEM); a standard user can neither
   read the buffer nor signal its events. */
typedef struct {
    SECURITY_ATTRIBUTES attributes;
    SECURITY_DESCRIPTOR descriptor;
    DWORD acl[32]; /* the ACL and its two entries: 52 bytes */
} OwnersOnly;

static int AllowSid(PACL pAcl, BYTE count, DWORD first, DWORD second) {
    SID_IDENTIFIER_AUTHORITY nt = {SECURITY_NT_AUTHORITY};
    PSID pSid = NULL;
    BOOL added;

    if (!AllocateAndInitializeSid(&nt, count, first, second, 0, 0, 0, 0, 0, 0, &pSid))
        return 0;
    added = AddAccessAllowedAce(pAcl, ACL_REVISION, GENERIC_ALL, pSid);
    FreeSid(pSid);
    return added;
}

static SECURITY_ATTRIBUTES* MakeOwnersOnly(OwnersOnly* pOurs) {
    PACL pAcl = (PACL)pOurs->acl;

    if (!InitializeAcl(pAcl, sizeof(pOurs->acl), ACL_REVISION) ||
        !AllowSid(pAcl, 1, SECURITY_LOCAL_SYSTEM_RID, 0) ||
        !AllowSid(pAcl, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS) ||
        !InitializeSecurityDescriptor(&pOurs->descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&pOurs->descriptor, TRUE, pAcl, FALSE))
        return NULL;
    pOurs->attributes.nLength = sizeof(pOurs->attributes);
    pOurs->attributes.lpSecurityDescriptor = &pOurs->descriptor;
    pOurs->attributes.bInheritHandle = FALSE;
    return &pOurs->attributes;
}

/* Creates object NAME of the set for SYSTEM and the Administrators alone. */
static HANDLE CreateObject(int name, const char* pName, SECURITY_ATTRIBUTES* pOurs) {
    if (name == BUFFER)
        return CreateFileMappingA(INVALID_HANDLE_VALUE, pOurs, PAGE_READWRITE, 0, DBWIN_SIZE, pName);
    return CreateEventA(pOurs, FALSE, FALSE, pName);
}

/* Creates one set, each of its three objects new and ours: any of them existing already, made by whoever,
   means the set is held, and the capture then uses none of it. A stranger's DATA_READY could otherwise take
   the strings, and a stranger's buffer feed the record. */
static int TakeSet(Capture* pCapture, int set) {
    CaptureChannel* pChannel = &pCapture->channels[set];
    const char* const* ppNames = g_names[set];
    HANDLE* const pSlots[3] = {&pChannel->bufferReady, &pChannel->dataReady, &pChannel->mapping};
    OwnersOnly security;
    SECURITY_ATTRIBUTES* pOurs = MakeOwnersOnly(&security);
    int name;

    if (!pOurs)
        return SetFailure(pCapture, set, GetLastError(), "cannot make the security descriptor of",
                          ppNames[BUFFER]);
    for (name = BUFFER_READY; name <= BUFFER; name++) {
        HANDLE object = CreateObject(name, ppNames[name], pOurs);
        DWORD error = GetLastError();
        if (object && error == ERROR_ALREADY_EXISTS) {
            CloseHandle(object);
            CloseChannel(pChannel);
            return SayHeld(pCapture, set, name);
        }
        if (!object) {
            if (error == ERROR_ACCESS_DENIED && ObjectExists(name, ppNames[name])) {
                CloseChannel(pChannel);
                return SayHeld(pCapture, set, name);
            }
            return SetFailure(pCapture, set, error,
                              name == BUFFER ? "cannot create the file mapping" : "cannot create the event",
                              ppNames[name]);
        }
        *pSlots[name] = object;
    }
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
