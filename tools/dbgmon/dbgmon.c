/*
 * dbgmon: records the debugger strings sent while a command runs.
 *
 * Usage: dbgmon [--time] [--out FILE] COMMAND [ARGS...]
 *
 * dbgmon takes the debug-output buffer (the named file mapping "DBWIN_BUFFER", 4096 bytes: the sender's
 * process id as a DWORD, then the NUL-terminated string, and the auto-reset events "DBWIN_BUFFER_READY" and
 * "DBWIN_DATA_READY") twice: under the plain names, which this session's processes open, and under the
 * "Global\" names, which are the plain names of session 0, where services and an installer's deferred
 * custom actions run. It starts COMMAND with ARGS and writes one record per OutputDebugStringA call that
 * reaches either buffer while the command runs, in arrival order. That includes the strings of the
 * processes the command starts. After the command has ended it keeps reading until no string
 * has arrived for DRAIN_QUIET_MS milliseconds, so late strings of its descendants are kept too.
 *
 * Record format, one line each, ended by a single LF:
 *     <sender pid in decimal> TAB <escaped string>
 * Escapes: backslash -> \\, LF -> \n, CR -> \r, TAB -> \t, any other byte outside 0x20..0x7E -> \xNN
 * (two lower-case hex digits). The records go to FILE (created or truncated) or to standard output.
 * With --time each record starts with one more column, the milliseconds from the monitor's start to the
 * string's arrival, then a TAB:
 *     <milliseconds> TAB <sender pid in decimal> TAB <escaped string>
 *
 * Options (before COMMAND): --out FILE, --out=FILE or -o FILE; --time; -- ends the options; -h/--help
 * prints usage.
 *
 * Its manifest asks for administrator rights: the command (a setup program that demands them) inherits
 * the monitor's elevation, so one prompt covers both. Creating the Global\ names needs them too; without
 * them (access denied) dbgmon says so in one line on standard error and records this session's strings.
 *
 * Exit codes:
 *     the command's own exit code, when it was started and the records were written;
 *     250  usage error;
 *     251  the command could not be started;
 *     252  another debug-output monitor already holds the buffer (its plain or its Global\ names);
 *     253  any other failure: the buffer or its events could not be created, the output file could not be
 *          opened, or writing the records failed.
 */

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

enum {
    EXIT_USAGE = 250,
    EXIT_NOT_STARTED = 251,
    EXIT_MONITOR_BUSY = 252,
    EXIT_SETUP_FAILED = 253,
};

enum {
    DBWIN_SIZE = 4096,
    DBWIN_TEXT_MAX = DBWIN_SIZE - sizeof(DWORD), /* room for the string and its terminator */
    DRAIN_QUIET_MS = 300,
    OUT_BUFFER_SIZE = 65536,
};

/* msvcrt's own argument parser, in its wide form; dbgmon reads its arguments the way the C run-time does. */
typedef struct {
    int newmode;
} CrtStartupInfo;
extern int __cdecl __wgetmainargs(int* pArgc, wchar_t*** pArgv, wchar_t*** pEnv, int expandWildcards,
                                  CrtStartupInfo* pInfo);

/* Buffered writer for the records. A failed write is remembered and reported once at the end. */
typedef struct {
    HANDLE handle;
    size_t used;
    int failed;
    DWORD error;
    char data[OUT_BUFFER_SIZE];
} Output;

static Output g_out;
static int g_timed;       /* --time: the first column is the arrival time */
static DWORD g_startTick; /* GetTickCount() at the monitor's start */

static void OutFlush(Output* pOut) {
    size_t done = 0;
    while (!pOut->failed && done < pOut->used) {
        DWORD written = 0;
        if (!WriteFile(pOut->handle, pOut->data + done, (DWORD)(pOut->used - done), &written, NULL) ||
            written == 0) {
            pOut->failed = 1;
            pOut->error = GetLastError();
            break;
        }
        done += written;
    }
    pOut->used = 0;
}

/* Appends one record. Worst case: twice 10 digits and a TAB, 4 bytes per input byte, the LF. */
static void OutRecord(Output* pOut, DWORD arrival, DWORD pid, const unsigned char* pText, size_t length) {
    static const char hexDigits[] = "0123456789abcdef";
    char* p;
    size_t i;

    if (pOut->used + 32 + 4 * length > sizeof(pOut->data))
        OutFlush(pOut);
    p = pOut->data + pOut->used;
    if (g_timed)
        p += sprintf(p, "%lu\t", (unsigned long)(arrival - g_startTick));
    p += sprintf(p, "%lu\t", (unsigned long)pid);
    for (i = 0; i < length; i++) {
        unsigned char c = pText[i];
        switch (c) {
        case '\\':
            *p++ = '\\';
            *p++ = '\\';
            break;
        case '\n':
            *p++ = '\\';
            *p++ = 'n';
            break;
        case '\r':
            *p++ = '\\';
            *p++ = 'r';
            break;
        case '\t':
            *p++ = '\\';
            *p++ = 't';
            break;
        default:
            if (c < 0x20 || c > 0x7e) {
                *p++ = '\\';
                *p++ = 'x';
                *p++ = hexDigits[c >> 4];
                *p++ = hexDigits[c & 15];
            } else {
                *p++ = (char)c;
            }
        }
    }
    *p++ = '\n';
    pOut->used = (size_t)(p - pOut->data);
}

/* Prints a wide string to stderr in the ANSI code page. */
static void PrintWide(const wchar_t* pText) {
    char narrow[1024];
    if (!WideCharToMultiByte(CP_ACP, 0, pText, -1, narrow, sizeof(narrow), NULL, NULL))
        strcpy(narrow, "?");
    fputs(narrow, stderr);
}

/* Prints "dbgmon: <what>: error N (system text)" to stderr, <what> ending with an optional wide name. */
static void PrintError(const char* pWhat, const wchar_t* pName, DWORD error) {
    char text[512];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error, 0, text,
                             sizeof(text), NULL);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' ' || text[n - 1] == '.'))
        n--;
    text[n] = 0;
    fprintf(stderr, "dbgmon: %s", pWhat);
    if (pName) {
        fputs(" \"", stderr);
        PrintWide(pName);
        fputs("\"", stderr);
    }
    fprintf(stderr, ": error %lu%s%s%s\n", (unsigned long)error, n ? " (" : "", text, n ? ")" : "");
}

static void PrintUsage(FILE* pStream) {
    fputs("usage: dbgmon [--time] [--out FILE] COMMAND [ARGS...]\n"
          "Runs COMMAND and records every OutputDebugStringA string sent while it runs\n"
          "(its child processes included) as \"pid<TAB>escaped text\" lines; with --time\n"
          "each line starts with the milliseconds since the monitor started and a TAB.\n"
          "Exit code: the command's, or 250 usage, 251 not started, 252 buffer taken by\n"
          "another monitor, 253 other failure.\n",
          pStream);
}

/* Appends the program name: quoted when it holds blanks; a file name cannot hold a quote. */
static wchar_t* AppendProgram(wchar_t* p, const wchar_t* pName) {
    int quote = *pName == 0 || wcspbrk(pName, L" \t") != NULL;
    if (quote)
        *p++ = L'"';
    while (*pName)
        *p++ = *pName++;
    if (quote)
        *p++ = L'"';
    return p;
}

/* Appends one argument so that the C run-time's parser gives it back unchanged. */
static wchar_t* AppendArgument(wchar_t* p, const wchar_t* pArg) {
    if (*pArg && !wcspbrk(pArg, L" \t\n\v\"")) {
        while (*pArg)
            *p++ = *pArg++;
        return p;
    }
    *p++ = L'"';
    for (;;) {
        size_t slashes = 0;
        while (*pArg == L'\\') {
            slashes++;
            pArg++;
        }
        if (*pArg == 0) {
            /* Doubled so that the closing quote stays a quote. */
            for (slashes *= 2; slashes > 0; slashes--)
                *p++ = L'\\';
            break;
        }
        if (*pArg == L'"') {
            for (slashes = slashes * 2 + 1; slashes > 0; slashes--)
                *p++ = L'\\';
        } else {
            for (; slashes > 0; slashes--)
                *p++ = L'\\';
        }
        *p++ = *pArg++;
    }
    *p++ = L'"';
    return p;
}

/* Builds "COMMAND ARGS..." on the heap; NULL when out of memory. */
static wchar_t* BuildCommandLine(int count, wchar_t** ppArgs) {
    size_t size = 1;
    int i;
    wchar_t* pLine;
    wchar_t* p;

    for (i = 0; i < count; i++)
        size += 2 * wcslen(ppArgs[i]) + 3;
    pLine = (wchar_t*)malloc(size * sizeof(wchar_t));
    if (!pLine)
        return NULL;
    p = AppendProgram(pLine, ppArgs[0]);
    for (i = 1; i < count; i++) {
        *p++ = L' ';
        p = AppendArgument(p, ppArgs[i]);
    }
    *p = 0;
    return pLine;
}

/* One set of the buffer's names: the plain ones (this session) or the Global\ ones (session 0). */
typedef struct {
    const char* pPrefix; /* put before each name */
    const char* pLabel;  /* how messages call the set */
    HANDLE bufferReady;
    HANDLE dataReady;
    HANDLE mapping;
    const volatile unsigned char* pView;
} Channel;

enum { CHANNEL_OK, CHANNEL_BUSY, CHANNEL_DENIED, CHANNEL_FAILED };

/* What WaitForString returns besides a channel's index. */
enum { STRING_EXITED = -1, STRING_QUIET = -2, STRING_FAILED = -3 };

static void CloseChannel(Channel* pChannel) {
    if (pChannel->pView)
        UnmapViewOfFile((const void*)pChannel->pView);
    if (pChannel->mapping)
        CloseHandle(pChannel->mapping);
    if (pChannel->dataReady)
        CloseHandle(pChannel->dataReady);
    if (pChannel->bufferReady)
        CloseHandle(pChannel->bufferReady);
    pChannel->pView = NULL;
    pChannel->mapping = pChannel->dataReady = pChannel->bufferReady = NULL;
}

/* Gives up on the channel after a failed step. Access denied to the Global\ names is no failure: it only
   means that session 0's strings cannot be recorded. */
static int ChannelFailure(Channel* pChannel, const char* pWhat, const char* pName) {
    DWORD error = GetLastError();
    char what[128];

    CloseChannel(pChannel);
    if (pChannel->pPrefix[0] && error == ERROR_ACCESS_DENIED) {
        fputs("dbgmon: no administrator rights for the Global\\ names: session 0's strings (services, "
              "installer custom actions) are not recorded\n",
              stderr);
        return CHANNEL_DENIED;
    }
    sprintf(what, "%s %s", pWhat, pName);
    PrintError(what, NULL, error);
    return CHANNEL_FAILED;
}

/* Creates the channel's buffer and events; its own BUFFER_READY existing already means another monitor. */
static int CreateChannel(Channel* pChannel) {
    char name[64];

    sprintf(name, "%sDBWIN_BUFFER_READY", pChannel->pPrefix);
    pChannel->bufferReady = CreateEventA(NULL, FALSE, FALSE, name);
    if (!pChannel->bufferReady)
        return ChannelFailure(pChannel, "cannot create the event", name);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        fprintf(
            stderr,
            "dbgmon: another debug-output monitor is running: it holds the %s names (%s already exists)\n",
            pChannel->pLabel, name);
        CloseChannel(pChannel);
        return CHANNEL_BUSY;
    }
    sprintf(name, "%sDBWIN_DATA_READY", pChannel->pPrefix);
    pChannel->dataReady = CreateEventA(NULL, FALSE, FALSE, name);
    if (!pChannel->dataReady)
        return ChannelFailure(pChannel, "cannot create the event", name);
    sprintf(name, "%sDBWIN_BUFFER", pChannel->pPrefix);
    pChannel->mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, DBWIN_SIZE, name);
    if (!pChannel->mapping)
        return ChannelFailure(pChannel, "cannot create the file mapping", name);
    pChannel->pView = (const volatile unsigned char*)MapViewOfFile(pChannel->mapping, FILE_MAP_READ, 0, 0, 0);
    if (!pChannel->pView)
        return ChannelFailure(pChannel, "cannot map", name);
    return CHANNEL_OK;
}

/* Takes this session's names, then session 0's. Sets *pCount to the channels taken (the plain one first);
   returns 0 or dbgmon's exit code. */
static int TakeChannels(Channel* pChannels, int* pCount) {
    DWORD session = 1;
    int status = CreateChannel(&pChannels[0]);

    /* In session 0 itself (started by a service) the plain names are the Global\ ones. */
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    *pCount = 1;
    if (status == CHANNEL_OK && session != 0) {
        status = CreateChannel(&pChannels[1]);
        *pCount = status == CHANNEL_DENIED ? 1 : 2;
    }
    if (status == CHANNEL_BUSY)
        return EXIT_MONITOR_BUSY;
    if (status == CHANNEL_FAILED)
        return EXIT_SETUP_FAILED;
    return 0;
}

/* Waits for a string on any channel, or, while PROCESS is not NULL, for it to end. Strings come first
   (WaitForMultipleObjects reports the lowest signalled index), and channel FIRST before the others, so that
   a busy channel cannot starve the other one: a sender waits only so long for its buffer. Returns the
   channel's index or a STRING_ value. */
static int WaitForString(const Channel* pChannels, int count, int first, HANDLE process, DWORD timeout) {
    HANDLE waits[3];
    int n = 0;
    int i;
    DWORD r;

    for (i = 0; i < count; i++)
        waits[n++] = pChannels[(first + i) % count].dataReady;
    if (process)
        waits[n++] = process;
    r = WaitForMultipleObjects((DWORD)n, waits, FALSE, timeout);
    if (r < (DWORD)count)
        return (first + (int)r) % count;
    if (process && r == (DWORD)count)
        return STRING_EXITED;
    return r == WAIT_TIMEOUT ? STRING_QUIET : STRING_FAILED;
}

/* Copies the string out of the channel's buffer, hands the buffer back before the slow part, records it. */
static void ReadString(Channel* pChannel) {
    static unsigned char text[DBWIN_TEXT_MAX + 1];
    const volatile unsigned char* pView = pChannel->pView;
    DWORD arrival = GetTickCount();
    DWORD pid;
    size_t length = 0;

    memcpy(&pid, (const void*)pView, sizeof(pid));
    while (length < DBWIN_TEXT_MAX - 1 && pView[sizeof(DWORD) + length] != 0) {
        text[length] = pView[sizeof(DWORD) + length];
        length++;
    }
    SetEvent(pChannel->bufferReady);
    OutRecord(&g_out, arrival, pid, text, length);
}

/* Records the channels' strings until PROCESS has ended and no string has arrived for DRAIN_QUIET_MS, so that
   late strings of its descendants are kept too. Returns 0, or EXIT_SETUP_FAILED when waiting failed. */
static int Monitor(Channel* pChannels, int count, HANDLE process) {
    int next = 0;

    for (;;) {
        int got = WaitForString(pChannels, count, next, process, 0);
        if (got == STRING_QUIET) {
            OutFlush(&g_out);
            got = WaitForString(pChannels, count, next, process, process ? INFINITE : DRAIN_QUIET_MS);
        }
        if (got >= 0) {
            ReadString(&pChannels[got]);
            next = (got + 1) % count;
        } else if (got == STRING_EXITED) {
            process = NULL; /* keep draining the strings of descendants and in-flight ones */
        } else if (got == STRING_QUIET) {
            return 0;
        } else {
            PrintError("waiting for debug output failed", NULL, GetLastError());
            return EXIT_SETUP_FAILED;
        }
    }
}

int main(void) {
    int argc = 0;
    wchar_t** argv = NULL;
    wchar_t** env = NULL;
    CrtStartupInfo startInfo = {0};
    const wchar_t* pOutName = NULL;
    int first;
    int i;
    Channel channels[2] = {{.pPrefix = "", .pLabel = "plain"}, {.pPrefix = "Global\\", .pLabel = "Global\\"}};
    int channelCount = 0;
    wchar_t* pCommandLine;
    STARTUPINFOW si;
    PROCESS_INFORMATION pi;
    int result;
    DWORD exitCode = 0;

    g_startTick = GetTickCount();
    if (__wgetmainargs(&argc, &argv, &env, 0, &startInfo) < 0 || argc < 1) {
        fputs("dbgmon: cannot read the command line\n", stderr);
        return EXIT_USAGE;
    }

    /* Options come before COMMAND. */
    for (first = 1; first < argc; first++) {
        const wchar_t* pArg = argv[first];
        if (wcscmp(pArg, L"--") == 0) {
            first++;
            break;
        } else if (wcscmp(pArg, L"-h") == 0 || wcscmp(pArg, L"--help") == 0) {
            PrintUsage(stdout);
            return 0;
        } else if (wcscmp(pArg, L"--out") == 0 || wcscmp(pArg, L"-o") == 0) {
            if (first + 1 >= argc || argv[first + 1][0] == 0) {
                fputs("dbgmon: --out needs a file name\n", stderr);
                PrintUsage(stderr);
                return EXIT_USAGE;
            }
            pOutName = argv[++first];
        } else if (wcsncmp(pArg, L"--out=", 6) == 0 && pArg[6] != 0) {
            pOutName = pArg + 6;
        } else if (wcscmp(pArg, L"--time") == 0) {
            g_timed = 1;
        } else if (pArg[0] == L'-' && pArg[1] != 0) {
            fputs("dbgmon: unknown option ", stderr);
            PrintWide(pArg);
            fputs("\n", stderr);
            PrintUsage(stderr);
            return EXIT_USAGE;
        } else {
            break;
        }
    }
    if (first >= argc || argv[first][0] == 0) {
        fputs("dbgmon: no command given\n", stderr);
        PrintUsage(stderr);
        return EXIT_USAGE;
    }

    /* Take the buffers first, so that a second monitor neither truncates our output file nor starts anything.
     */
    result = TakeChannels(channels, &channelCount);
    if (result != 0)
        return result;

    if (pOutName) {
        g_out.handle = CreateFileW(pOutName, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (g_out.handle == INVALID_HANDLE_VALUE) {
            PrintError("cannot create the output file", pOutName, GetLastError());
            return EXIT_SETUP_FAILED;
        }
    } else {
        /* WriteFile on the handle itself: no text-mode translation, LF stays LF. */
        g_out.handle = GetStdHandle(STD_OUTPUT_HANDLE);
        if (g_out.handle == NULL || g_out.handle == INVALID_HANDLE_VALUE) {
            fputs("dbgmon: no standard output; use --out FILE\n", stderr);
            return EXIT_SETUP_FAILED;
        }
    }

    pCommandLine = BuildCommandLine(argc - first, argv + first);
    if (!pCommandLine) {
        fputs("dbgmon: out of memory\n", stderr);
        return EXIT_SETUP_FAILED;
    }
    memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    memset(&pi, 0, sizeof(pi));
    /* Inherit handles so that the command shares our standard handles; ours are all non-inheritable. */
    if (!CreateProcessW(NULL, pCommandLine, NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi)) {
        PrintError("cannot start the command", argv[first], GetLastError());
        return EXIT_NOT_STARTED;
    }
    CloseHandle(pi.hThread);
    free(pCommandLine);

    /* The buffers are free: writers may go. */
    for (i = 0; i < channelCount; i++)
        SetEvent(channels[i].bufferReady);
    result = Monitor(channels, channelCount, pi.hProcess);
    OutFlush(&g_out);

    if (result == 0) {
        if (g_out.failed) {
            PrintError("writing the records failed", pOutName, g_out.error);
            result = EXIT_SETUP_FAILED;
        } else if (!GetExitCodeProcess(pi.hProcess, &exitCode)) {
            PrintError("cannot read the command's exit code", NULL, GetLastError());
            result = EXIT_SETUP_FAILED;
        } else {
            result = (int)exitCode;
        }
    }
    if (pOutName)
        CloseHandle(g_out.handle);
    CloseHandle(pi.hProcess);
    for (i = 0; i < channelCount; i++)
        CloseChannel(&channels[i]);
    return result;
}
