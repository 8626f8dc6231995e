#include "installer/recorded_run.h"

#include "capture/capture.h"
#include "installer/action_data.h"
#include "installer/event_source.h"
#include "installer/machine_facts.h"
#include "installer/msi_log.h"
#include "installer/record_folder.h"
#include "installer/run_event.h"
#include "reader/install_judgement.h"
#include "reader/report_writer.h"
#include "reader/verdict.h"

#include <msiquery.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

// The program in the installed folder, and its command line as the installer started it before: its
// quoted path, no arguments.
struct ProgramPaths {
    wchar_t Path[MAX_PATH];
    wchar_t Line[MAX_PATH + 3];
    wchar_t Dir[MAX_PATH];
};

struct KindFacts {
    const char* pProgram; // the file in the installed folder
    const char* pStem;    // the record's name begins with it
    const char* pAction;
};
const KindFacts Kinds[] = {{"FenwarrSetup.exe", "FenwarrSetup", "install"},
                           {"FenwarrUninstall.exe", "FenwarrUninstall", "removal"},
                           {"FenwarrUninstall.exe", "FenwarrUninstall", "rollback"},
                           {"FenwarrSetup.exe", "FenwarrSetup", "restage"}};
const uint32_t EventIds[] = {EventInstallRun, EventRemovalRun, EventRollbackRun, EventRestageRun};
const DWORD DescendantWaitMs = 30000;

std::string ErrorText(const char* pWhat, DWORD Error) {
    char Text[160];
    snprintf(Text, sizeof(Text), "%s (error %lu)", pWhat, static_cast<unsigned long>(Error));
    return Text;
}

// The record as written, read back through its handle.
bool ReadRecord(HANDLE File, ReportState* pState) {
    enum { ChunkSize = 1 << 16 };
    std::unique_ptr<char[]> pChunk(new char[ChunkSize]);
    InitReport(pState);
    if (SetFilePointer(File, 0, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return false;
    for (;;) {
        DWORD Got = 0;
        if (!ReadFile(File, pChunk.get(), ChunkSize, &Got, NULL))
            return false;
        if (Got == 0)
            break;
        FeedReport(pState, pChunk.get(), Got);
    }
    FinishReport(pState);
    return true;
}

bool WriteAll(HANDLE File, const std::string& Text) {
    DWORD Written = 0;
    return WriteFile(File, Text.data(), static_cast<DWORD>(Text.size()), &Written, NULL) &&
           Written == Text.size();
}

// The record file with its header, or INVALID_HANDLE_VALUE when none can be written (said in the log).
HANDLE OpenRecord(MSIHANDLE Install, const KindFacts& Kind, const char* pVersion, char* pFolder,
                  char* pPath) {
    HeaderFacts Facts;
    ReadHeaderFacts(&Facts);
    std::string Why;
    HANDLE File = INVALID_HANDLE_VALUE;
    if (OpenRecordFolder(pFolder, &Why))
        File = CreateRecordFile(pFolder, Kind.pStem, Kind.pAction, Facts.StartedUtc, pPath, &Why);
    if (File != INVALID_HANDLE_VALUE &&
        !WriteAll(File, RecordHeader(Facts, pVersion, Kind.pProgram, Kind.pAction))) {
        Why = ErrorText("cannot write the record's header", GetLastError());
        CloseHandle(File);
        DeleteFileA(pPath);
        File = INVALID_HANDLE_VALUE;
    }
    if (File == INVALID_HANDLE_VALUE)
        LogLine(Install, "this run cannot be recorded: " + Why);
    return File;
}

// The program or its folder is not there.
bool Gone(DWORD Error) {
    return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND || Error == ERROR_DIRECTORY;
}

// Closes the record, and removes it when pPath is given.
void DropRecord(HANDLE* pRecord, const char* pPath) {
    if (*pRecord == INVALID_HANDLE_VALUE)
        return;
    CloseHandle(*pRecord);
    if (pPath != nullptr)
        DeleteFileA(pPath);
    *pRecord = INVALID_HANDLE_VALUE;
}

// The capture's last word, with the Windows error behind it.
std::string CaptureWhy(const Capture& Monitor) {
    return Monitor.error != 0 ? ErrorText(Monitor.message, Monitor.error) : std::string(Monitor.message);
}

// What the capture did, for the log: how it followed the tree and what it kept.
std::string CaptureFacts(const Capture& Monitor) {
    char Text[240];
    char NoJob[48] = "";
    if (Monitor.method == CAPTURE_TREE_SNAPSHOTS)
        snprintf(NoJob, sizeof(NoJob), " (no job object: error %lu)",
                 static_cast<unsigned long>(Monitor.jobError));
    snprintf(
        Text, sizeof(Text),
        "process tree followed by %s%s; %lu strings recorded, %lu of other processes left out; the capture "
        "ended %lu ms after the tree",
        CaptureMethodText(Monitor.method), NoJob, Monitor.written, Monitor.dropped,
        static_cast<unsigned long>(Monitor.drainMs));
    return Text;
}

bool ProgramLine(const char* pFolder, const char* pProgram, ProgramPaths* pOut) {
    char Path[MAX_PATH];
    if (snprintf(Path, sizeof(Path), "%s%s", pFolder, pProgram) >= static_cast<int>(sizeof(Path)))
        return false;
    if (!MultiByteToWideChar(CP_ACP, 0, Path, -1, pOut->Path, MAX_PATH) ||
        !MultiByteToWideChar(CP_ACP, 0, pFolder, -1, pOut->Dir, MAX_PATH))
        return false;
    _snwprintf(pOut->Line, MAX_PATH + 3, L"\"%ls\"", pOut->Path);
    pOut->Line[MAX_PATH + 2] = L'\0';
    return true;
}

// Runs the program through the capture, into the record when there is one (closed and removed when it
// cannot be written); false when the program could not be started, said in the log and in *pWhy.
bool RunCaptured(MSIHANDLE Install, RunKind Which, ProgramPaths* pProgram, Capture* pMonitor, HANDLE* pRecord,
                 const char* pRecordPath, bool* pRecorded, DWORD* pRunMs, std::string* pWhy) {
    const char* pName = Kinds[Which].pProgram;
    DWORD ExitCode = 0;
    // Without a record file the program still runs through the capture, in its job, only unrecorded.
    int Status =
        CaptureOpen(pMonitor, *pRecord != INVALID_HANDLE_VALUE ? CAPTURE_TIME_COLUMN : CAPTURE_NO_CHANNELS);
    *pRecorded = *pRecord != INVALID_HANDLE_VALUE && Status == CAPTURE_OK;
    // Our programs wait for what they start; a process left behind must not hold the install forever.
    pMonitor->descendantWaitMs = DescendantWaitMs;
    if (pMonitor->message[0] != '\0')
        LogLine(Install, std::string(*pRecorded ? "" : "this run cannot be recorded: ") + pMonitor->message);
    if (!*pRecorded)
        DropRecord(pRecord, pRecordPath);
    const DWORD RunStart = GetTickCount();
    Status = CaptureRun(pMonitor, pProgram->Path, pProgram->Line, pProgram->Dir, *pRecord, &ExitCode);
    *pRunMs = GetTickCount() - RunStart;
    if (Status == CAPTURE_RUN_NOT_STARTED) {
        if ((Which == RunRollback || Which == RunRestage) && Gone(pMonitor->error))
            *pWhy = std::string(pName) +
                    " is gone: the installed files were removed before this rollback action, "
                    "nothing of this install is taken out";
        else
            *pWhy = std::string(pName) + " could not be started: " + CaptureWhy(*pMonitor);
        LogLine(Install, *pWhy);
        DropRecord(pRecord, pRecordPath); // a header without a run says nothing the log does not
        *pRecorded = false;
        return false;
    }
    if (Status != CAPTURE_RUN_DONE) {
        LogLine(Install, "the record is incomplete: " + CaptureWhy(*pMonitor));
        *pRecorded = false;
    } else {
        LogLine(Install, std::string(pName) + " ended with exit code " + std::to_string(ExitCode) + "; " +
                             CaptureFacts(*pMonitor));
        if (pMonitor->treeCut)
            LogLine(Install,
                    "a process it started was still running 30 s after it ended: no longer followed");
    }
    return true;
}

// The verdict of a recorded run: its report into the log, its event, and for an install whether it fails.
UINT Conclude(MSIHANDLE Install, RunKind Which, const ActionData& Action, HANDLE Record,
              const char* pRecordPath) {
    std::unique_ptr<ReportState> pState(new ReportState());
    if (!ReadRecord(Record, pState.get())) {
        LogLine(Install,
                ErrorText("the verdict of this run is unknown: its record cannot be read", GetLastError()));
        WriteRunEvent(UnrecordedEvent(EventIds[Which], false, "the record of this run cannot be read"));
        return ERROR_SUCCESS;
    }
    std::unique_ptr<RecordVerdict> pVerdict(new RecordVerdict());
    std::string Report;
    const ReportStatus Status = WriteReport(*pState, pRecordPath, &Report, pVerdict.get());
    LogLines(Install, Report);
    LogLine(Install, std::string("record: ") + pRecordPath);
    std::string Overall;
    AppendOverallLine(*pState, *pVerdict, &Overall);
    if (Which == RunRemoval || Which == RunRollback) {
        WriteRunEvent(RemovalEvent(Which == RunRollback, *pVerdict, Overall, pRecordPath));
        return ERROR_SUCCESS;
    }
    const InstallJudgement Judgement = JudgeInstall(*pVerdict);
    WriteRunEvent(InstallEvent(Judgement, Status, Overall, pRecordPath, EventIds[Which]));
    // A rollback that fails would leave the machine half undone: it only says what it found.
    if (Which == RunRestage) {
        LogLine(Install, "verdict: " + Judgement.What + " (a removal rolled back)");
        return ERROR_SUCCESS;
    }
    if (Judgement.Outcome == InstallArrived) {
        LogLine(Install, "verdict: " + Judgement.What);
        return ERROR_SUCCESS;
    }
    if (Action.AllowPartial) {
        LogLine(Install, "verdict: " + Judgement.What + " (a warning: FENWARR_ALLOW_PARTIAL=1)");
        return ERROR_SUCCESS;
    }
    LogLine(Install, "verdict: " + Judgement.What + ": the install fails");
    ShowError(Install, "Fenwarr Driver Package: " + Judgement.What + ". " + Overall);
    return ERROR_INSTALL_FAILURE;
}

} // namespace

UINT RecordedRun(MSIHANDLE Install, RunKind Which) {
    const KindFacts& Kind = Kinds[Which];
    const bool Installing = Which == RunInstall;
    char Data[ActionFolderMax + ActionVersionMax + 16] = "";
    DWORD DataSize = sizeof(Data);
    ActionData Action;
    ProgramPaths Program;
    char RecordFolder[RecordPathMax] = "";
    char RecordPath[RecordPathMax] = "";
    std::unique_ptr<Capture> pMonitor(new Capture()); // about 42 KB: not for a custom action's stack
    bool Recorded = false;
    UINT Result = ERROR_SUCCESS;
    const DWORD ActionStart = GetTickCount();
    DWORD RunMs = 0;
    std::string NotStarted;

    LogLine(Install, std::string(Kind.pProgram) + " (" + Kind.pAction + ") starts");
    if (MsiGetPropertyA(Install, "CustomActionData", Data, &DataSize) != ERROR_SUCCESS ||
        !ParseActionData(Data, &Action) || !ProgramLine(Action.Folder, Kind.pProgram, &Program)) {
        LogLine(Install, std::string("the action's data is not \"FOLDER|VERSION|PARTIAL\": ") + Data);
        WriteRunEvent(UnrecordedEvent(EventIds[Which], Installing, "the package's action data is broken"));
        return Installing ? ERROR_INSTALL_FAILURE : ERROR_SUCCESS;
    }
    HANDLE Record = OpenRecord(Install, Kind, Action.Version, RecordFolder, RecordPath);
    // Only a folder the record could be made in is trusted with the message file.
    std::string Why;
    if (Record != INVALID_HANDLE_VALUE && !KeepEventSource(Action.Folder, RecordFolder, &Why))
        LogLine(Install, "this run's event may show without its text: " + Why);
    if (!RunCaptured(Install, Which, &Program, pMonitor.get(), &Record, RecordPath, &Recorded, &RunMs,
                     &NotStarted)) {
        WriteRunEvent(UnrecordedEvent(EventIds[Which], Installing, NotStarted));
        if (Installing && !Action.AllowPartial) {
            ShowError(Install, std::string("Fenwarr Driver Package: ") + Kind.pProgram +
                                   " could not be started: the drivers did not arrive");
            Result = ERROR_INSTALL_FAILURE;
        }
    } else if (!Recorded) {
        // Another monitor, or no record file: nothing tells whether the drivers arrived.
        LogLine(Install, "the verdict of this run is unknown: it was not recorded");
        WriteRunEvent(
            UnrecordedEvent(EventIds[Which], false, "the verdict is unknown: the run was not recorded"));
    } else {
        Result = Conclude(Install, Which, Action, Record, RecordPath);
    }
    CaptureClose(pMonitor.get());
    // Only a record that stays counts among the ones kept.
    if (Record != INVALID_HANDLE_VALUE)
        PruneRecords(RecordFolder);
    DropRecord(&Record, nullptr);
    LogLine(Install, "the action took " + std::to_string(GetTickCount() - ActionStart) +
                         " ms, the program's run " + std::to_string(RunMs) + " ms of them");
    return Result;
}
