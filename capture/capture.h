/*
 * The debug-output capture: records the OutputDebugStringA strings of one command's process tree.
 *
 * The channels. The debug-output buffer is the named file mapping "DBWIN_BUFFER" (4096 bytes: the sender's
 * process id as a DWORD, then the NUL-terminated string) with the auto-reset events "DBWIN_BUFFER_READY" and
 * "DBWIN_DATA_READY". CaptureOpen takes it under the plain names, which this session's processes open, and,
 * outside session 0, under the "Global\" names too, which are the plain names of session 0, where services
 * and an installer's deferred custom actions run. In session 0 the plain names are the Global\ ones. Each
 * object is created new, for SYSTEM and the Administrators alone (the senders of interest are elevated
 * programs and custom actions running as SYSTEM): one of a set that exists already, whoever made it, means
 * the set is held, and nothing of it is used, so a stranger can cost the trace but never feed or read it.
 *
 * The tree. CaptureRun first asks for the desktop's window, so that under Wine the desktop's own process,
 * which lives as long as the Wine server, is started outside the tree. It starts the command suspended, puts
 * it in a job object whose completion port names each descendant as it starts and says when the last one has
 * ended, then lets it run. Where the system refuses a second job (a process already in a job before Windows
 * 8, such as an installer's custom action) it follows the tree by parent process id in Toolhelp snapshots
 * instead, taken when an unknown process sends and every quarter second, holding a handle of each process
 * found. A string is recorded only when its sender is in the tree; the others' strings are read, dropped and
 * counted (CAPTURE_ALL_SENDERS records every sender). The job has ended when its port or its count says so,
 * or, once the command itself has ended, when no process it lists still runs (a port's messages are not
 * promised, and a job that lost count of a process would otherwise hold the capture for good). The capture
 * ends when the whole tree has ended: then it takes the strings still in the buffers and stops after at most
 * CAPTURE_DRAIN_LIMIT_MS, however chatty other processes are.
 *
 * Records, one line each, ended by a single LF:
 *     <sender pid in decimal> TAB <escaped string>
 * Escapes: backslash -> \\, LF -> \n, CR -> \r, TAB -> \t, any other byte outside 0x20..0x7E -> \xNN (two
 * lower-case hex digits). With CAPTURE_TIME_COLUMN each line starts with the milliseconds from CaptureOpen
 * to the string's arrival, then a TAB.
 *
 * Use:
 *     static Capture capture;                       about 42 KB: static or on the heap, not on a small stack
 *     int open = CaptureOpen(&capture, flags);      CAPTURE_OK, CAPTURE_HELD or CAPTURE_FAILED
 *     ... log capture.message when it is not empty ...
 *     int run = CaptureRun(&capture, NULL, commandLine, NULL, output, &exitCode);
 *     ... log run, capture.message, CaptureMethodText(capture.method), capture.written, capture.dropped,
 *         capture.drainMs ...
 *     CaptureClose(&capture);
 * After CAPTURE_HELD or CAPTURE_FAILED the capture holds no channels, and CaptureRun still starts the
 * command in its job and waits for its tree, writing no record: the same code runs it either way.
 * CaptureOpen with CAPTURE_NO_CHANNELS prepares such a capture on purpose. Nothing is allocated beyond
 * the handles the system gives; CaptureClose gives them back and is safe after any CaptureOpen result.
 * One thread at a time per capture; CaptureRun may be called again for the next command.
 */
#ifndef FENWARR_CAPTURE_H
#define FENWARR_CAPTURE_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* CaptureOpen's flags. */
enum {
    CAPTURE_TIME_COLUMN = 0x01,   /* each record starts with the milliseconds since CaptureOpen and a TAB */
    CAPTURE_ALL_SENDERS = 0x02,   /* record every sender on the channels, not only the command's tree */
    CAPTURE_SHARE_CONSOLE = 0x04, /* the command shares the caller's console and inherits its inheritable
                                     handles; without it the command gets CREATE_NO_WINDOW, SW_HIDE and no
                                     handles */
    CAPTURE_NO_JOB = 0x08,        /* follow the tree by process snapshots only, for a command that needs a job
                                     of its own on Windows 7 or older */
    CAPTURE_NO_CHANNELS = 0x10,   /* take no channels: CaptureRun runs the command and waits for its tree */
};

/* What CaptureOpen returns. */
enum {
    CAPTURE_OK = 0,     /* the channels are taken; message may still say what was left out (Global\ denied) */
    CAPTURE_HELD = 1,   /* another monitor holds the names; heldSets and message say which */
    CAPTURE_FAILED = 2, /* a channel could not be created; message and error say why */
};

/* Which set of names another monitor holds (heldSets). */
enum { CAPTURE_SET_PLAIN = 0x1, CAPTURE_SET_GLOBAL = 0x2 };

/* What CaptureRun returns. */
enum {
    CAPTURE_RUN_DONE = 0,         /* started, its tree ended, every record written; *pExitCode is set */
    CAPTURE_RUN_NOT_STARTED = 1,  /* the command could not be started; error says why */
    CAPTURE_RUN_WRITE_FAILED = 2, /* the tree ran to its end but writing the records failed (error);
                                   *pExitCode is set */
    CAPTURE_RUN_WAIT_FAILED = 3,  /* waiting failed (error); the command may still run */
};

/* How the command's tree was followed (method). */
typedef enum {
    CAPTURE_TREE_NONE = 0,      /* not started */
    CAPTURE_TREE_JOB = 1,       /* a job object with a completion port */
    CAPTURE_TREE_SNAPSHOTS = 2, /* parent process ids in Toolhelp snapshots */
} CaptureTreeMethod;

enum {
    CAPTURE_DRAIN_LIMIT_MS = 1000, /* the longest the capture goes on after the tree has ended */
    CAPTURE_TREE_MAX = 256,        /* processes of the tree followed by pid and handle */
    CAPTURE_STRANGERS = 32,        /* senders recently found outside the tree, not looked up again */
    CAPTURE_TEXT_MAX = 4092,       /* a string's room in the buffer, its terminator included */
    CAPTURE_OUT_SIZE = 32768,      /* the record writer's buffer */
    CAPTURE_MESSAGE_SIZE = 256,
};

typedef struct {
    HANDLE bufferReady;
    HANDLE dataReady;
    HANDLE mapping;
    const volatile unsigned char* pView;
} CaptureChannel;

typedef struct {
    DWORD pid;
    HANDLE process; /* keeps the pid from being reused while the capture runs; NULL when it could not be
                       opened */
    FILETIME created;
} CaptureMember;

typedef struct Capture {
    /* Set by CaptureOpen and CaptureRun. */
    char message[CAPTURE_MESSAGE_SIZE]; /* one line, empty when there is nothing to say */
    DWORD error;                        /* the Windows error behind message, 0 when none */

    /* Set by CaptureOpen. */
    int channelCount;  /* channels taken: 0, 1 (plain) or 2 (plain and Global\) */
    int globalTaken;   /* the Global\ names are among them */
    unsigned heldSets; /* CAPTURE_SET_ bits of the names another monitor holds */

    /* May be changed between CaptureOpen and CaptureRun: how long to wait for the rest of the tree once the
       command itself has ended (INFINITE, the default, waits for every process of the tree). */
    DWORD descendantWaitMs;

    /* Set by CaptureRun. */
    CaptureTreeMethod method;
    DWORD jobError;        /* why the job object could not be used, 0 when it was used or not tried */
    int treeCut;           /* the tree was still running when descendantWaitMs ran out */
    DWORD jobStaleCount;   /* the processes the job still counted when its list showed none running, 0
                              when its count or its port said it was empty */
    unsigned long written; /* records written */
    unsigned long dropped; /* strings from outside the tree, not written */
    DWORD drainMs;         /* milliseconds from the tree's end to the capture's end */
    DWORD afterCommandMs;  /* milliseconds from the command's own end to the capture's end */

    /* The capture's own. */
    unsigned flags;
    DWORD startTick;
    CaptureChannel channels[2];
    HANDLE job;
    HANDLE port;
    int jobEmpty;
    int rootEnded;
    DWORD rootEnd;
    DWORD lastSweep;
    int memberCount;
    CaptureMember members[CAPTURE_TREE_MAX];
    DWORD strangerPid[CAPTURE_STRANGERS];
    DWORD strangerTick[CAPTURE_STRANGERS];
    int strangerNext;
    HANDLE output;
    size_t outUsed;
    int outFailed;
    DWORD outError;
    unsigned char text[CAPTURE_TEXT_MAX];
    char out[CAPTURE_OUT_SIZE];
} Capture;

/* Takes the channels (see CAPTURE_ flags). The plain names are required; the Global\ ones are taken
   outside session 0, and, when their creation is denied (no administrator rights), left out with a word
   in message. When the session cannot be read, the Global\ names are taken only if nobody has created
   them yet, and left out otherwise: they may then be this very session's plain names. Always initialises
   the whole capture first. */
int CaptureOpen(Capture* pCapture, unsigned flags);

/* Starts pCommandLine (CreateProcessW: pApplication and pDirectory may be NULL; the line may be changed),
   records the strings of its tree into output until the tree has ended and the buffers are drained,
   flushes, and sets *pExitCode to the command's own exit code. output may be INVALID_HANDLE_VALUE or NULL:
   the strings are then read and dropped. Returns a CAPTURE_RUN_ value. */
int CaptureRun(Capture* pCapture, const wchar_t* pApplication, wchar_t* pCommandLine,
               const wchar_t* pDirectory, HANDLE output, DWORD* pExitCode);

/* Gives the channels back. */
void CaptureClose(Capture* pCapture);

/* "job object", "process snapshots" or "none", for a log line. */
const char* CaptureMethodText(CaptureTreeMethod method);

#ifdef __cplusplus
}
#endif

#endif
