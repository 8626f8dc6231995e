/*
 * odsburst: sends known debugger strings, for testing dbgmon.
 *
 *   odsburst N                 the standard sequence with N burst strings; exit code 7
 *   odsburst --child N [EXE]   "parent pid=P", starts EXE (default: this program) as
 *                              "EXE --as-child P N", waits until the child has sent its first
 *                              string, sends "parent exit" and exits with 7 without waiting for it
 *   odsburst --as-child P N    "child of P", then the standard sequence; exit code 3
 *   odsburst --args ARGS...    "argc=K", then "arg[i]=<ARGS[i]>" for each; exit code 0
 *   odsburst --sleep MS        "sleeping", sleeps MS milliseconds, "awake"; exit code 0
 *   odsburst --global N        the standard sequence as a process of session 0 sends it; exit code 7
 *   odsburst --both N          the standard sequence beside a copy's "--global N"; exit code 7
 *   odsburst --every MS        prints "sending" on standard output, then sends "stranger 1",
 *                              "stranger 2", ... every MS milliseconds, until it is killed
 *   odsburst --every-global MS the same as a process of session 0 sends it
 *   odsburst --hold-global MS  creates the Global\ names as another monitor would, prints "holding" on
 *                              standard output, sleeps MS milliseconds; exit code 0
 *   odsburst --plant NAME MS   creates the one object NAME as anyone may (a file mapping for a name ending
 *                              in BUFFER, else a manual-reset event left signalled), prints "holding",
 *                              sleeps MS milliseconds; exit code 0
 *
 * The standard sequence, one OutputDebugStringA call each:
 *   "pid=<own pid>", "", "cr\r lf\n tab\t bs\\ end", "ctl\x01 latin1\xe9 del\x7f high\xff",
 *   4000 characters 'a'..'z' repeated, "burst 00000" ... "burst <N-1, five digits>", "end".
 * Any other use prints a usage line and exits with 2.
 */

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { LONG_LENGTH = 4000 };

static int g_global; /* --global: send through the Global\ names */

/* Session 0's OutputDebugStringA: its plain names are the Global\ ones seen from another session. Like
   OutputDebugStringA it opens them for each string, so that it holds none of them between strings. */
static void SendGlobal(const char* pText) {
    HANDLE bufferReady = OpenEventA(SYNCHRONIZE, FALSE, "Global\\DBWIN_BUFFER_READY");
    HANDLE dataReady = OpenEventA(EVENT_MODIFY_STATE, FALSE, "Global\\DBWIN_DATA_READY");
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, "Global\\DBWIN_BUFFER");
    char* pView = mapping ? (char*)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0) : NULL;
    DWORD pid = GetCurrentProcessId();

    /* No monitor: the string is dropped, as OutputDebugStringA drops it. */
    if (pView && bufferReady && dataReady && WaitForSingleObject(bufferReady, 10000) == WAIT_OBJECT_0) {
        memcpy(pView, &pid, sizeof(pid));
        lstrcpynA(pView + sizeof(pid), pText, 4096 - sizeof(pid));
        SetEvent(dataReady);
    }
    if (pView)
        UnmapViewOfFile(pView);
    if (mapping)
        CloseHandle(mapping);
    if (dataReady)
        CloseHandle(dataReady);
    if (bufferReady)
        CloseHandle(bufferReady);
}

static void Send(const char* pText) {
    if (g_global)
        SendGlobal(pText);
    else
        OutputDebugStringA(pText);
}

static void SendSequence(long count) {
    char text[64];
    static char longText[LONG_LENGTH + 1];
    long i;

    sprintf(text, "pid=%lu", (unsigned long)GetCurrentProcessId());
    Send(text);
    Send("");
    Send("cr\r lf\n tab\t bs\\ end");
    Send("ctl\x01 latin1\xe9 del\x7f high\xff");
    for (i = 0; i < LONG_LENGTH; i++)
        longText[i] = (char)('a' + i % 26);
    longText[LONG_LENGTH] = 0;
    Send(longText);
    for (i = 0; i < count; i++) {
        sprintf(text, "burst %05ld", i);
        Send(text);
    }
    Send("end");
}

/* A stranger to the monitored command: sends until it is killed. */
static void SendForever(long interval) {
    char text[32];
    unsigned long i;
    puts("sending");
    fflush(stdout);
    for (i = 1;; i++) {
        sprintf(text, "stranger %lu", i);
        Send(text);
        Sleep((DWORD)interval);
    }
}

/* Another monitor's Global\ names, held until MS have passed. */
static int HoldGlobal(long ms) {
    HANDLE bufferReady = CreateEventA(NULL, FALSE, FALSE, "Global\\DBWIN_BUFFER_READY");
    HANDLE dataReady = CreateEventA(NULL, FALSE, FALSE, "Global\\DBWIN_DATA_READY");
    HANDLE mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, 4096, "Global\\DBWIN_BUFFER");
    if (!bufferReady || !dataReady || !mapping) {
        fprintf(stderr, "odsburst: cannot create the Global\\ names: %lu\n", GetLastError());
        return 2;
    }
    puts("holding");
    fflush(stdout);
    Sleep((DWORD)ms);
    return 0;
}

static int Plant(const char* pName, long ms) {
    size_t length = strlen(pName);
    HANDLE object = length >= 6 && strcmp(pName + length - 6, "BUFFER") == 0
                        ? CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, 4096, pName)
                        : CreateEventA(NULL, TRUE, TRUE, pName);
    if (!object) {
        fprintf(stderr, "odsburst: cannot create %s: %lu\n", pName, GetLastError());
        return 2;
    }
    puts("holding");
    fflush(stdout);
    Sleep((DWORD)ms);
    return 0;
}

static int Usage(void) {
    fputs("usage: odsburst N | --child N [EXE] | --as-child PID N | --args ARGS... | --sleep MS\n"
          "       | --global N | --both N | --every MS | --every-global MS | --hold-global MS\n"
          "       | --plant NAME MS\n",
          stderr);
    return 2;
}

static int ParseCount(const char* pText, long* pValue) {
    char* pEnd;
    long value = strtol(pText, &pEnd, 10);
    if (*pText == 0 || *pEnd != 0 || value < 0)
        return 0;
    *pValue = value;
    return 1;
}

/* Starts the child copy and waits until it has sent its first string (it then sets the named event). */
static int RunParent(long count, const char* pExe) {
    char self[MAX_PATH];
    char eventName[64];
    char* pCommandLine;
    char text[64];
    HANDLE go;
    HANDLE waits[2];
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    DWORD r;
    DWORD pid = GetCurrentProcessId();

    sprintf(text, "parent pid=%lu", (unsigned long)pid);
    OutputDebugStringA(text);
    if (!pExe) {
        if (!GetModuleFileNameA(NULL, self, sizeof(self))) {
            fprintf(stderr, "odsburst: GetModuleFileName failed: %lu\n", GetLastError());
            return 2;
        }
        pExe = self;
    }
    sprintf(eventName, "odsburst-go-%lu", (unsigned long)pid);
    go = CreateEventA(NULL, TRUE, FALSE, eventName);
    pCommandLine = (char*)malloc(strlen(pExe) + 64);
    if (!go || !pCommandLine) {
        fputs("odsburst: cannot set up the child\n", stderr);
        return 2;
    }
    sprintf(pCommandLine, "\"%s\" --as-child %lu %ld", pExe, (unsigned long)pid, count);
    memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    if (!CreateProcessA(pExe, pCommandLine, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        fprintf(stderr, "odsburst: cannot start %s: %lu\n", pExe, GetLastError());
        return 2;
    }
    waits[0] = go;
    waits[1] = pi.hProcess;
    r = WaitForMultipleObjects(2, waits, FALSE, 60000);
    if (r != WAIT_OBJECT_0) {
        fprintf(stderr, "odsburst: the child did not report (wait result %lu)\n", r);
        return 2;
    }
    OutputDebugStringA("parent exit");
    return 7;
}

static int RunChild(const char* pParent, long count) {
    char text[64];
    HANDLE go;

    sprintf(text, "child of %s", pParent);
    OutputDebugStringA(text);
    sprintf(text, "odsburst-go-%s", pParent);
    go = OpenEventA(EVENT_MODIFY_STATE, FALSE, text);
    if (go)
        SetEvent(go);
    SendSequence(count);
    return 3;
}

/* Sends the standard sequence while a copy of this program sends it through the Global\ names. */
static int RunBoth(long count) {
    char commandLine[MAX_PATH + 40] = "\"";
    STARTUPINFOA si = {.cb = sizeof(si)};
    PROCESS_INFORMATION pi;

    GetModuleFileNameA(NULL, commandLine + 1, MAX_PATH);
    sprintf(commandLine + strlen(commandLine), "\" --global %ld", count);
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return 2;
    SendSequence(count);
    WaitForSingleObject(pi.hProcess, INFINITE);
    return 7;
}

int main(int argc, char** argv) {
    long value;
    int i;

    if (argc == 2 && ParseCount(argv[1], &value)) {
        SendSequence(value);
        return 7;
    }
    if ((argc == 3 || argc == 4) && strcmp(argv[1], "--child") == 0 && ParseCount(argv[2], &value))
        return RunParent(value, argc == 4 ? argv[3] : NULL);
    if (argc == 4 && strcmp(argv[1], "--as-child") == 0 && ParseCount(argv[3], &value))
        return RunChild(argv[2], value);
    if (argc >= 2 && strcmp(argv[1], "--args") == 0) {
        char* pText;
        char head[32];
        sprintf(head, "argc=%d", argc - 2);
        OutputDebugStringA(head);
        for (i = 2; i < argc; i++) {
            pText = (char*)malloc(strlen(argv[i]) + 32);
            if (!pText)
                return 2;
            sprintf(pText, "arg[%d]=%s", i - 2, argv[i]);
            OutputDebugStringA(pText);
            free(pText);
        }
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "--global") == 0 && ParseCount(argv[2], &value)) {
        g_global = 1;
        SendSequence(value);
        return 7;
    }
    if (argc == 3 && strcmp(argv[1], "--both") == 0 && ParseCount(argv[2], &value))
        return RunBoth(value);
    if (argc == 3 && strcmp(argv[1], "--sleep") == 0 && ParseCount(argv[2], &value)) {
        OutputDebugStringA("sleeping");
        Sleep((DWORD)value);
        OutputDebugStringA("awake");
        return 0;
    }
    if (argc == 3 && (strcmp(argv[1], "--every") == 0 || strcmp(argv[1], "--every-global") == 0) &&
        ParseCount(argv[2], &value)) {
        g_global = argv[1][7] != 0;
        SendForever(value);
    }
    if (argc == 3 && strcmp(argv[1], "--hold-global") == 0 && ParseCount(argv[2], &value))
        return HoldGlobal(value);
    if (argc == 4 && strcmp(argv[1], "--plant") == 0 && ParseCount(argv[3], &value))
        return Plant(argv[2], value);
    return Usage();
}
