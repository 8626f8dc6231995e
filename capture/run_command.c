/* Running the command under the capture: started suspended in its tree, the channels read until the tree
   has ended, then what is still in the buffers taken for a bounded time. */
#include "capture/capture_internal.h"

#include <string.h>

enum {
    POLL_MS = 50,         /* the tree is looked at this often */
    DRAIN_QUIET_MS = 100, /* after the tree's end, a quiet spell this long ends the capture */
};

/* What WaitForString returns besides a channel's index. */
enum { STRING_QUIET = -1, STRING_ROOT_ENDED = -2, STRING_FAILED = -3 };

typedef HWND(WINAPI* GetDesktopWindowFn)(void);

/* Under Wine the first process that needs the desktop's window starts the desktop's own process
   (explorer.exe /desktop), which lives as long as the Wine server does. Started by the command it would join
   the job and never end, and the server would in turn wait for the capture. Asking for the window first
   starts it here, outside the job; on Windows the desktop is there already. user32 is loaded, not imported:
   the capture imports from kernel32 alone. */
static void TouchDesktop(void) {
    HMODULE user32 = LoadLibraryA("user32.dll");
    GetDesktopWindowFn pGetDesktopWindow =
        user32 ? (GetDesktopWindowFn)(void (*)(void))GetProcAddress(user32, "GetDesktopWindow") : NULL;
    if (pGetDesktopWindow)
        pGetDesktopWindow();
}

static int StartCommand(const Capture* pCapture, const wchar_t* pApplication, wchar_t* pCommandLine,
                        const wchar_t* pDirectory, PROCESS_INFORMATION* pInfo) {
    STARTUPINFOW startup;
    BOOL share = (pCapture->flags & CAPTURE_SHARE_CONSOLE) != 0;
    DWORD flags = CREATE_SUSPENDED | (share ? 0 : CREATE_NO_WINDOW);

    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    if (!share) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
    }
    memset(pInfo, 0, sizeof(*pInfo));
    /* Out of the caller's job where it lets the command go, so that it can join ours before Windows 8 too. */
    if (!(pCapture->flags & CAPTURE_NO_JOB) &&
        CreateProcessW(pApplication, pCommandLine, NULL, NULL, share, flags | CREATE_BREAKAWAY_FROM_JOB, NULL,
                       pDirectory, &startup, pInfo))
        return 1;
    return CreateProcessW(pApplication, pCommandLine, NULL, NULL, share, flags, NULL, pDirectory, &startup,
                          pInfo);
}

/* Waits for a string on any channel, or for the command itself to end while it runs. Strings come first
   (WaitForMultipleObjects reports the lowest signalled index), and channel FIRST before the other, so that
   a busy channel cannot starve the other one: a sender waits only so long for its buffer. */
static int WaitForString(const Capture* pCapture, int first, DWORD timeout) {
    HANDLE waits[3];
    DWORD count = (DWORD)pCapture->channelCount;
    DWORD n = 0;
    DWORD i;
    DWORD r;

    for (i = 0; i < count; i++)
        waits[n++] = pCapture->channels[(first + i) % count].dataReady;
    if (!pCapture->rootEnded)
        waits[n++] = pCapture->members[0].process;
    if (n == 0) {
        Sleep(timeout);
        return STRING_QUIET;
    }
    r = WaitForMultipleObjects(n, waits, FALSE, timeout);
    if (r < count)
        return (int)((first + r) % count);
    if (r == count && !pCapture->rootEnded)
        return STRING_ROOT_ENDED;
    return r == WAIT_TIMEOUT ? STRING_QUIET : STRING_FAILED;
}

/* Copies the string out, hands the buffer back before the slow part, then records it or drops it. */
static void ReadString(Capture* pCapture, int index) {
    const CaptureChannel* pChannel = &pCapture->channels[index];
    const volatile unsigned char* pView = pChannel->pView;
    DWORD arrival = GetTickCount();
    DWORD pid;
    size_t length = 0;

    memcpy(&pid, (const void*)pView, sizeof(pid));
    while (length < CAPTURE_TEXT_MAX - 1 && pView[sizeof(DWORD) + length] != 0) {
        pCapture->text[length] = pView[sizeof(DWORD) + length];
        length++;
    }
    SetEvent(pChannel->bufferReady);
    if (!(pCapture->flags & CAPTURE_ALL_SENDERS) && !CaptureTreeHolds(pCapture, pid)) {
        pCapture->dropped++;
    } else if (pCapture->output != INVALID_HANDLE_VALUE) {
        CaptureWriteRecord(pCapture, arrival, pid, pCapture->text, length);
        pCapture->written++;
    }
}

/* Reads the channels until the tree has ended, then until they are quiet for DRAIN_QUIET_MS or
   CAPTURE_DRAIN_LIMIT_MS have passed: the tree's last strings are in the buffers by then. */
static int Record(Capture* pCapture) {
    int next = 0;
    int ended = 0;
    DWORD endTick = 0;
    DWORD lastPoll = GetTickCount();
    DWORD stop;

    for (;;) {
        DWORD now = GetTickCount();
        DWORD timeout;
        int got;

        if (!ended && now - lastPoll >= POLL_MS) {
            lastPoll = now;
            ended = CaptureTreePoll(pCapture, now);
            endTick = now;
        }
        if (!ended) {
            timeout = POLL_MS - (now - lastPoll);
        } else if (now - endTick >= CAPTURE_DRAIN_LIMIT_MS || pCapture->channelCount == 0) {
            break; /* nothing left to drain */
        } else {
            timeout = CAPTURE_DRAIN_LIMIT_MS - (now - endTick);
            if (timeout > DRAIN_QUIET_MS)
                timeout = DRAIN_QUIET_MS;
        }
        got = WaitForString(pCapture, next, 0);
        if (got == STRING_QUIET) {
            CaptureFlush(pCapture);
            got = WaitForString(pCapture, next, timeout);
        }
        if (got >= 0) {
            ReadString(pCapture, got);
            next = (got + 1) % pCapture->channelCount;
        } else if (got == STRING_ROOT_ENDED) {
            lastPoll = now - POLL_MS; /* look at the tree at once */
        } else if (got == STRING_QUIET) {
            if (ended)
                break;
        } else {
            CaptureSay(pCapture, "waiting for debug output failed", GetLastError());
            return CAPTURE_RUN_WAIT_FAILED;
        }
    }
    stop = GetTickCount();
    pCapture->drainMs = stop - endTick;
    pCapture->afterCommandMs = stop - pCapture->rootEnd;
    return CAPTURE_RUN_DONE;
}

int CaptureRun(Capture* pCapture, const wchar_t* pApplication, wchar_t* pCommandLine,
               const wchar_t* pDirectory, HANDLE output, DWORD* pExitCode) {
    PROCESS_INFORMATION info;
    int status;
    int i;

    pCapture->message[0] = 0;
    pCapture->error = 0;
    pCapture->method = CAPTURE_TREE_NONE;
    pCapture->jobError = 0;
    pCapture->treeCut = 0;
    pCapture->jobStaleCount = 0;
    pCapture->written = pCapture->dropped = 0;
    pCapture->drainMs = 0;
    pCapture->afterCommandMs = 0;
    pCapture->output = output ? output : INVALID_HANDLE_VALUE;
    pCapture->outUsed = 0;
    pCapture->outFailed = 0;
    pCapture->outError = 0;

    TouchDesktop();
    if (!StartCommand(pCapture, pApplication, pCommandLine, pDirectory, &info)) {
        CaptureSay(pCapture, "cannot start the command", GetLastError());
        return CAPTURE_RUN_NOT_STARTED;
    }
    CaptureTreeStart(pCapture, info.hProcess, info.dwProcessId);
    /* The buffers are free: writers may go. */
    for (i = 0; i < pCapture->channelCount; i++)
        SetEvent(pCapture->channels[i].bufferReady);
    if (ResumeThread(info.hThread) == (DWORD)-1) {
        CaptureSay(pCapture, "cannot start the command", GetLastError());
        TerminateProcess(info.hProcess, ERROR_GEN_FAILURE);
        CloseHandle(info.hThread);
        CaptureTreeEnd(pCapture);
        return CAPTURE_RUN_NOT_STARTED;
    }
    CloseHandle(info.hThread);

    status = Record(pCapture);
    CaptureFlush(pCapture);
    if (status == CAPTURE_RUN_DONE) {
        if (!GetExitCodeProcess(pCapture->members[0].process, pExitCode)) {
            CaptureSay(pCapture, "cannot read the command's exit code", GetLastError());
            status = CAPTURE_RUN_WAIT_FAILED;
        } else if (pCapture->outFailed) {
            CaptureSay(pCapture, "writing the records failed", pCapture->outError);
            status = CAPTURE_RUN_WRITE_FAILED;
        }
    }
    CaptureTreeEnd(pCapture);
    return status;
}
