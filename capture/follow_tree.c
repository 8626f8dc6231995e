/* Following the command's process tree: a job object with a completion port where the system lets the
   command join one, otherwise parent process ids in Toolhelp snapshots. */
#include "capture/capture_internal.h"
#include "capture/job_list.h"

#include <stddef.h>
#include <string.h>
#include <tlhelp32.h>

#ifndef PROCESS_QUERY_LIMITED_INFORMATION
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
#endif

enum {
    SWEEP_MS = 250,         /* snapshots are taken at least this often while the tree runs */
    STRANGER_KEEP_MS = 250, /* a sender found outside the tree is looked up again after this long */
};

static int FindMember(const Capture* pCapture, DWORD pid) {
    int i;
    for (i = 0; i < pCapture->memberCount; i++)
        if (pCapture->members[i].pid == pid)
            return i;
    return -1;
}

/* A handle to wait for the process and read its start: the limited right first, which protected processes
   grant, then the one of the systems before Vista. NULL when the process is gone or closed to us. */
static HANDLE OpenMember(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    return process;
}

static int ReadStart(HANDLE process, FILETIME* pCreated) {
    FILETIME unused[3];
    return GetProcessTimes(process, pCreated, &unused[0], &unused[1], &unused[2]);
}

/* Adds PID to the tree; the table then owns PROCESS (may be NULL). 0 when the table is full. */
static int AddMember(Capture* pCapture, DWORD pid, HANDLE process) {
    CaptureMember* pMember;
    int i;

    if (pCapture->memberCount >= CAPTURE_TREE_MAX) {
        if (process)
            CloseHandle(process);
        return 0;
    }
    pMember = &pCapture->members[pCapture->memberCount++];
    pMember->pid = pid;
    pMember->process = process;
    memset(&pMember->created, 0, sizeof(pMember->created));
    if (process)
        ReadStart(process, &pMember->created);
    for (i = 0; i < CAPTURE_STRANGERS; i++)
        if (pCapture->strangerPid[i] == pid)
            pCapture->strangerPid[i] = 0;
    return 1;
}

/* Puts the suspended ROOT in a new job whose port names each process that joins it and says when the last
   one has ended. Returns 0, or the error: before Windows 8 a process already in a job cannot join another. */
static DWORD JoinJob(Capture* pCapture, HANDLE root) {
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT port;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
    DWORD error;

    pCapture->job = CreateJobObjectW(NULL, NULL);
    if (pCapture->job)
        pCapture->port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, NULL, 0, 1);
    if (pCapture->port) {
        port.CompletionKey = pCapture->job;
        port.CompletionPort = pCapture->port;
        /* A descendant that asks to leave the job may: the command runs as it would without the capture. */
        memset(&limits, 0, sizeof(limits));
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
        if (SetInformationJobObject(pCapture->job, JobObjectAssociateCompletionPortInformation, &port,
                                    sizeof(port)) &&
            SetInformationJobObject(pCapture->job, JobObjectExtendedLimitInformation, &limits,
                                    sizeof(limits)) &&
            AssignProcessToJobObject(pCapture->job, root))
            return 0;
    }
    error = GetLastError();
    if (pCapture->port)
        CloseHandle(pCapture->port);
    if (pCapture->job)
        CloseHandle(pCapture->job);
    pCapture->port = pCapture->job = NULL;
    return error ? error : ERROR_GEN_FAILURE;
}

/* Takes what the job's port has said so far, without waiting. */
static void DrainPort(Capture* pCapture) {
    DWORD message;
    ULONG_PTR key;
    LPOVERLAPPED pOverlapped;

    while (GetQueuedCompletionStatus(pCapture->port, &message, &key, &pOverlapped, 0)) {
        DWORD pid = (DWORD)(ULONG_PTR)pOverlapped;
        if (message == JOB_OBJECT_MSG_NEW_PROCESS && FindMember(pCapture, pid) < 0)
            AddMember(pCapture, pid, OpenMember(pid));
        else if (message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO)
            pCapture->jobEmpty = 1;
    }
}

/* Whether PID is among the job's live processes: the port's messages are not guaranteed to arrive. */
static int JobHolds(const Capture* pCapture, DWORD pid) {
    ULONG_PTR ids[CAPTURE_TREE_MAX + 2];
    const JOBOBJECT_BASIC_PROCESS_ID_LIST* pList = (const JOBOBJECT_BASIC_PROCESS_ID_LIST*)ids;
    const ULONG_PTR* pIds =
        ids + offsetof(JOBOBJECT_BASIC_PROCESS_ID_LIST, ProcessIdList) / sizeof(ULONG_PTR);
    DWORD i;

    memset(ids, 0, sizeof(ids));
    if (!QueryInformationJobObject(pCapture->job, JobObjectBasicProcessIdList, ids, sizeof(ids), NULL) &&
        GetLastError() != ERROR_MORE_DATA)
        return 0;
    for (i = 0; i < pList->NumberOfProcessIdsInList && i < CAPTURE_TREE_MAX; i++)
        if (pIds[i] == pid)
            return 1;
    return 0;
}

static int MembersEnded(const Capture* pCapture) {
    int i;
    for (i = 0; i < pCapture->memberCount; i++)
        if (pCapture->members[i].process &&
            WaitForSingleObject(pCapture->members[i].process, 0) == WAIT_TIMEOUT)
            return 0;
    return 1;
}

typedef BOOL(WINAPI* IsProcessInJobFn)(HANDLE, HANDLE, BOOL*);

/* Whether PID is a process of the job that still runs. A member's own handle answers for it; another pid,
   or a member whose handle could not be had, is opened, and counts only while it runs inside the job
   (Windows XP on can say so): a pid the job lists for a process gone since may already name someone else.
   One that runs in the job keeps the handle, as a member. */
static int ListedAlive(void* pContext, uint32_t pid) {
    Capture* pCapture = (Capture*)pContext;
    IsProcessInJobFn pInJob =
        (IsProcessInJobFn)(void (*)(void))GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsProcessInJob");
    int member = FindMember(pCapture, pid);
    HANDLE process;
    BOOL inJob = TRUE;

    if (member >= 0 && pCapture->members[member].process)
        return WaitForSingleObject(pCapture->members[member].process, 0) == WAIT_TIMEOUT;
    process = OpenMember(pid);
    if (!process)
        return 0;
    if (WaitForSingleObject(process, 0) != WAIT_TIMEOUT ||
        (pInJob && pInJob(process, pCapture->job, &inJob) && !inJob)) {
        CloseHandle(process);
        return 0;
    }
    if (member >= 0)
        pCapture->members[member].process = process;
    else
        AddMember(pCapture, pid, process);
    return 1;
}

/* The job's list, once the command has ended: the port's messages are not promised, and a count that kept a
   process it lost (wineserver counts a process from its creation and lists it only until it has ended) would
   otherwise hold the capture for good. */
static int JobListEnded(Capture* pCapture) {
    ULONG_PTR ids[CAPTURE_TREE_MAX + 2];
    const JOBOBJECT_BASIC_PROCESS_ID_LIST* pList = (const JOBOBJECT_BASIC_PROCESS_ID_LIST*)ids;
    enum { ID_OFFSET = offsetof(JOBOBJECT_BASIC_PROCESS_ID_LIST, ProcessIdList) / sizeof(ULONG_PTR) };

    memset(ids, 0, sizeof(ids));
    if (!QueryInformationJobObject(pCapture->job, JobObjectBasicProcessIdList, ids, sizeof(ids), NULL))
        return 0;
    return MembersEnded(pCapture) &&
           CaptureJobListEnded((const uintptr_t*)ids + ID_OFFSET, pList->NumberOfProcessIdsInList,
                               pList->NumberOfAssignedProcesses, CAPTURE_TREE_MAX + 2 - ID_OFFSET,
                               ListedAlive, pCapture);
}

static int JobEnded(Capture* pCapture) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting;

    DrainPort(pCapture);
    if (pCapture->jobEmpty)
        return 1;
    if (!QueryInformationJobObject(pCapture->job, JobObjectBasicAccountingInformation, &accounting,
                                   sizeof(accounting), NULL))
        accounting.ActiveProcesses = 1;
    if (accounting.ActiveProcesses == 0)
        return 1;
    if (!pCapture->rootEnded || !JobListEnded(pCapture))
        return 0;
    pCapture->jobStaleCount = accounting.ActiveProcesses;
    return 1;
}

/* Adds PID, a child of member PARENT by the snapshot, when it started after that parent: a parent id names
   whoever had that pid when the child started, which may be a process gone before the parent was born. */
static int AddChild(Capture* pCapture, DWORD pid, int parent) {
    HANDLE process = OpenMember(pid);
    FILETIME created;

    if (!process)
        return 0;
    if (!ReadStart(process, &created) || CompareFileTime(&created, &pCapture->members[parent].created) < 0) {
        CloseHandle(process);
        return 0;
    }
    return AddMember(pCapture, pid, process);
}

/* Adds every live process whose parent is in the tree. The members' handles keep their pids from being
   reused, so a parent id that names a member names it. */
static void Sweep(Capture* pCapture) {
    PROCESSENTRY32W entry;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    int added = 1;

    pCapture->lastSweep = GetTickCount();
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    /* Again until a pass adds nobody: a grandchild may be listed before its parent. */
    while (added) {
        BOOL more;
        added = 0;
        entry.dwSize = sizeof(entry);
        for (more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
            int parent;
            if (entry.th32ProcessID == 0 || FindMember(pCapture, entry.th32ProcessID) >= 0)
                continue;
            parent = FindMember(pCapture, entry.th32ParentProcessID);
            if (parent >= 0 && AddChild(pCapture, entry.th32ProcessID, parent))
                added = 1;
        }
    }
    CloseHandle(snapshot);
}

/* The tree has ended when every member has, and a fresh snapshot finds no live child of theirs. */
static int SnapshotsEnded(Capture* pCapture, DWORD now) {
    if (now - pCapture->lastSweep >= SWEEP_MS)
        Sweep(pCapture);
    if (!MembersEnded(pCapture))
        return 0;
    Sweep(pCapture);
    return MembersEnded(pCapture);
}

void CaptureTreeStart(Capture* pCapture, HANDLE root, DWORD pid) {
    pCapture->memberCount = 0;
    memset(pCapture->strangerPid, 0, sizeof(pCapture->strangerPid));
    pCapture->jobEmpty = 0;
    pCapture->jobStaleCount = 0;
    pCapture->rootEnded = 0;
    pCapture->treeCut = 0;
    pCapture->jobError = 0;
    pCapture->method = CAPTURE_TREE_SNAPSHOTS;
    if (!(pCapture->flags & CAPTURE_NO_JOB)) {
        pCapture->jobError = JoinJob(pCapture, root);
        if (!pCapture->jobError)
            pCapture->method = CAPTURE_TREE_JOB;
    }
    AddMember(pCapture, pid, root);
    pCapture->lastSweep = GetTickCount();
}

int CaptureTreePoll(Capture* pCapture, DWORD now) {
    if (!pCapture->rootEnded && WaitForSingleObject(pCapture->members[0].process, 0) != WAIT_TIMEOUT) {
        pCapture->rootEnded = 1;
        pCapture->rootEnd = now;
    }
    if (pCapture->method == CAPTURE_TREE_JOB ? JobEnded(pCapture) : SnapshotsEnded(pCapture, now)) {
        if (!pCapture->rootEnded) { /* it may have ended since it was looked at */
            pCapture->rootEnded = 1;
            pCapture->rootEnd = now;
        }
        return 1;
    }
    if (pCapture->rootEnded && pCapture->descendantWaitMs != INFINITE &&
        now - pCapture->rootEnd >= pCapture->descendantWaitMs) {
        pCapture->treeCut = 1;
        return 1;
    }
    return 0;
}

/* A sender not known yet: the port is read first, since it names a new process before that one runs. */
int CaptureTreeHolds(Capture* pCapture, DWORD pid) {
    DWORD now;
    int i;

    if (FindMember(pCapture, pid) >= 0)
        return 1;
    if (pCapture->method == CAPTURE_TREE_JOB) {
        DrainPort(pCapture);
        if (FindMember(pCapture, pid) >= 0)
            return 1;
    }
    now = GetTickCount();
    for (i = 0; i < CAPTURE_STRANGERS; i++)
        if (pid != 0 && pCapture->strangerPid[i] == pid && now - pCapture->strangerTick[i] < STRANGER_KEEP_MS)
            return 0;
    if (pCapture->method == CAPTURE_TREE_JOB && JobHolds(pCapture, pid)) {
        AddMember(pCapture, pid, OpenMember(pid));
        return 1;
    }
    if (pCapture->method == CAPTURE_TREE_SNAPSHOTS) {
        Sweep(pCapture);
        if (FindMember(pCapture, pid) >= 0)
            return 1;
    }
    pCapture->strangerPid[pCapture->strangerNext] = pid;
    pCapture->strangerTick[pCapture->strangerNext] = now;
    pCapture->strangerNext = (pCapture->strangerNext + 1) % CAPTURE_STRANGERS;
    return 0;
}

void CaptureTreeEnd(Capture* pCapture) {
    int i;
    for (i = 0; i < pCapture->memberCount; i++)
        if (pCapture->members[i].process)
            CloseHandle(pCapture->members[i].process);
    pCapture->memberCount = 0;
    if (pCapture->port)
        CloseHandle(pCapture->port);
    if (pCapture->job)
        CloseHandle(pCapture->job);
    pCapture->port = pCapture->job = NULL;
}
