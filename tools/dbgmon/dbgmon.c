/*
 * dbgmon: records the debugger strings of one command and of the processes it starts.
 *
 * Usage: dbgmon [--time] [--all] [--no-job] [--out FILE] COMMAND [ARGS...]
 *
 * dbgmon takes the debug-output buffer (the named file mapping "DBWIN_BUFFER" with the events
 * "DBWIN_BUFFER_READY" and "DBWIN_DATA_READY") twice: under the plain names, which this session's processes
 * open, and under the "Global\" names, which are the plain names of session 0, where services and an
 * installer's deferred custom actions run. It starts COMMAND with ARGS in a job object and writes one record
 * per OutputDebugStringA call of the command's process tree, in arrival order: the command and every process
 * it starts, also one that outlives it. Strings of other processes are left out (--all records every sender,
 * to record a whole "msiexec", whose custom actions run in the installer service's processes). It stops when
 * the whole tree has ended, after taking the strings still in the buffers: at most a second later, however
 * chatty other processes are. Where the command cannot join a job (a monitor that is itself in a job, before
 * Windows 8) or with --no-job, it follows the tree by parent process ids in process snapshots.
 * The capture itself lives in capture/ (capture.h describes it); dbgmon reads its arguments, prints, and maps
 * the outcome to its exit code. On standard error it ends with one line: the strings recorded and left out,
 * how the tree was followed, and how long after the tree's end the capture ended.
 *
 * Record format, one line each, ended by a single LF:
 *     <sender pid in decimal> TAB <escaped string>
 * Escapes: backslash -> \\, LF -> \n, CR -> \r, TAB -> \t, any other byte outside 0x20..0x7E -> \xNN
 * (two lower-case hex digits). The records go to FILE (created or truncated) or to standard output.
 * With --time each record starts with one more column, the milliseconds from the monitor's start to the
 * string's arrival, then a TAB:
 *     <milliseconds> TAB <sender pid in decimal> TAB <escaped string>
 *
 * Options (before COMMAND): --out FILE, --out=FILE or -o FILE; --time; --all; --no-job; -- ends the
 * options; -h/--help prints usage.
 *
 * Each of the six objects is created new, for SYSTEM and the Administrators only: programs that are not
 * elevated cannot send to it, and any of them existing already means 252, naming it.
 * Its manifest asks for administrator rights: the command (a setup program that demands them) inherits
 * the monitor's elevation, so one prompt covers both. Creating the Global\ names needs them too; without
 * them (access denied, and nobody holds the names) dbgmon says so in one line on standard error and records
 * this session's strings.
 *
 * Exit codes:
 *     the command's own exit code, when it was started and the records were written;
 *     250  usage error;
 *     251  the command could not be started;
 *     252  another debug-output monitor already holds the buffer (its plain or its Global\ names: the
 *          message says which);
 *     253  any other failure: the buffer or its events could not be created, the output file could not be
 *          opened, or writing the records failed.
 */

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "capture/capture.h"

enum {
    EXIT_USAGE = 250,
    EXIT_NOT_STARTED = 251,
    EXIT_MONITOR_BUSY = 252,
    EXIT_SETUP_FAILED = 253,
};

/* msvcrt's own argument parser, in its wide form; dbgmon reads its arguments the way the C run-time does. */
typedef struct {
    int newmode;
} CrtStartupInfo;
extern int __cdecl __wgetmainargs(int* pArgc, wchar_t*** pArgv, wchar_t*** pEnv, int expandWildcards,
                                  CrtStartupInfo* pInfo);

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
    fputs("usage: dbgmon [--time] [--all] [--no-job] [--out FILE] COMMAND [ARGS...]\n"
          "Runs COMMAND and records the OutputDebugStringA strings of it and of every\n"
          "process it starts as \"pid<TAB>escaped text\" lines, until the last of them\n"
          "has ended. --time: each line starts with the milliseconds since the monitor\n"
          "started and a TAB. --all: record every sender, not only the command's own\n"
          "processes. --no-job: follow the command's processes by snapshots instead of\n"
          "a job object.\n"
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

/* The last line on stderr: what was recorded and how the capture ended, for the person reading the record. */
static void PrintSummary(const Capture* pCapture) {
    if (pCapture->jobError)
        PrintError("the command could not join a job object; its processes are followed by process snapshots",
                   NULL, pCapture->jobError);
    if (pCapture->treeCut)
        fputs("dbgmon: the command's processes were still running when the capture ended\n", stderr);
    if (pCapture->jobStaleCount)
        fprintf(stderr,
                "dbgmon: the job object still counted %lu processes when it listed none running; the tree "
                "ended\n",
                (unsigned long)pCapture->jobStaleCount);
    fprintf(stderr, "dbgmon: %lu strings recorded", pCapture->written);
    if (pCapture->flags & CAPTURE_ALL_SENDERS)
        fputs(" from every sender", stderr);
    else
        fprintf(stderr, ", %lu from other processes left out", pCapture->dropped);
    fprintf(stderr,
            "; processes followed by %s; ended %lu ms after the last of them, %lu ms after the command\n",
            CaptureMethodText(pCapture->method), (unsigned long)pCapture->drainMs,
            (unsigned long)pCapture->afterCommandMs);
}

/* Prints the capture's message, with its Windows error when it has one. */
static void PrintCaptureMessage(const Capture* pCapture) {
    if (pCapture->error)
        PrintError(pCapture->message, NULL, pCapture->error);
    else
        fprintf(stderr, "dbgmon: %s\n", pCapture->message);
}

int main(void) {
    static Capture capture;
    int argc = 0;
    wchar_t** argv = NULL;
    wchar_t** env = NULL;
    CrtStartupInfo startInfo = {0};
    const wchar_t* pOutName = NULL;
    unsigned flags = CAPTURE_SHARE_CONSOLE;
    int first;
    HANDLE output;
    wchar_t* pCommandLine;
    int result;
    DWORD exitCode = 0;

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
            flags |= CAPTURE_TIME_COLUMN;
        } else if (wcscmp(pArg, L"--all") == 0) {
            flags |= CAPTURE_ALL_SENDERS;
        } else if (wcscmp(pArg, L"--no-job") == 0) {
            flags |= CAPTURE_NO_JOB;
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
    result = CaptureOpen(&capture, flags);
    if (result != CAPTURE_OK || capture.message[0])
        PrintCaptureMessage(&capture);
    if (result != CAPTURE_OK)
        return result == CAPTURE_HELD ? EXIT_MONITOR_BUSY : EXIT_SETUP_FAILED;

    if (pOutName) {
        output = CreateFileW(pOutName, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (output == INVALID_HANDLE_VALUE) {
            PrintError("cannot create the output file", pOutName, GetLastError());
            return EXIT_SETUP_FAILED;
        }
    } else {
        /* WriteFile on the handle itself: no text-mode translation, LF stays LF. */
        output = GetStdHandle(STD_OUTPUT_HANDLE);
        if (output == NULL || output == INVALID_HANDLE_VALUE) {
            fputs("dbgmon: no standard output; use --out FILE\n", stderr);
            return EXIT_SETUP_FAILED;
        }
    }

    pCommandLine = BuildCommandLine(argc - first, argv + first);
    if (!pCommandLine) {
        fputs("dbgmon: out of memory\n", stderr);
        return EXIT_SETUP_FAILED;
    }
    /* The command shares our console and standard handles; ours are all non-inheritable. */
    result = CaptureRun(&capture, NULL, pCommandLine, NULL, output, &exitCode);
    free(pCommandLine);
    switch (result) {
    case CAPTURE_RUN_DONE:
        PrintSummary(&capture);
        result = (int)exitCode;
        break;
    case CAPTURE_RUN_NOT_STARTED:
        PrintError("cannot start the command", argv[first], capture.error);
        result = EXIT_NOT_STARTED;
        break;
    case CAPTURE_RUN_WRITE_FAILED:
        PrintError("writing the records failed", pOutName, capture.error);
        result = EXIT_SETUP_FAILED;
        break;
    default:
        PrintCaptureMessage(&capture);
        result = EXIT_SETUP_FAILED;
    }
    if (pOutName)
        CloseHandle(output);
    CaptureClose(&capture);
    return result;
}
