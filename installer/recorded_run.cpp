#include "installer/recorded_run.h"

#include "capture/capture.h"
#include "installer/action_data.h"
#include "installer/install_judgement.h"
#include "installer/machine_facts.h"
#include "installer/msi_log.h"
#include "installer/record_folder.h"
#include "reader/verdict.h"

#include <msiquery.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct KindFacts {
    const char* pProgram; // the file in the installed folder
    const char* pStem;    // the record's name begins with it
    const char* pAction;
};
const KindFacts Kinds[] = {{"FenwarrSetup.exe", "FenwarrSetup", "install"},
                           {"FenwarrUninstall.exe", "FenwarrUninstall", "removal"},
                           {"FenwarrUninstall.exe", "FenwarrUninstall", "rollback"}};

std::string ErrorText(const char* pWhat, DWORD Error) {
    char Text[160];
    snprintf(Text, sizeof(Text), "%s (error %lu)", pWhat, static_cast<unsigned long>(Error));
    return Text;
}

// The record as written, read back through its handle: the report's lines and the install's judgement.
bool ReadRecord(HANDLE File, const char* pName, std::string* pReport, InstallJudgement* pJudgement) {
    enum { ChunkSize = 1 << 16 };
    std::unique_ptr<ReportState> pState(new ReportState());
    std::unique_ptr<char[]> pChunk(new char[ChunkSize]);
    InitReport(pState.get());
    if (SetFilePointer(File, 0, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return false;
    for (;;) {
        DWORD Got = 0;
        if (!ReadFile(File, pChunk.get(), ChunkSize, &Got, NULL))
            return false;
        if (Got == 0)
            break;
        FeedReport(pState.get(), pChunk.get(), Got);
    }
    FinishReport(pState.get());
    WriteReport(*pState, pName, pReport);
    *pJudgement = JudgeInstall(*pState);
    return true;
}

// The report's "Overall: ..." line, for the message a failed install shows.
std::string OverallLine(const std::string& Report) {
    const size_t At = Report.rfind("Overall: ");
    if (At == std::string::npos)
        return std::string();
    const size_t End = Report.find('\n', At);
    return Report.substr(At, End == std::string::npos ? std::string::npos : End - At);
}

bool WriteAll(HANDLE File, const std::string& Text) {
    DWORD Written = 0;
    return WriteFile(File, Text.data(), static_cast<DWORD>(Text.size()), &Written, NULL) &&
           Written == Text.size();
}

// The record file with its header, or INVALID_HANDLE_VALUE when none can be written (said in the log).
HANDLE OpenRecord(MSIHANDLE Install, const KindFacts& Kind, const char* pVersion, char* pPath) {
    MachineFacts Facts;
    ReadMachineFacts(&Facts);
    char Folder[RecordPathMax];
    std::string Why;
    HANDLE File = INVALID_HANDLE_VALUE;
    if (OpenRecordFolder(Folder, &Why))
        File = CreateRecordFile(Folder, Kind.pStem, Kind.pAction, Facts.Started, pPath, &Why);
    if (File != INVALID_HANDLE_VALUE &&
        !WriteAll(File, RecordHeader(Facts, pVersion, Kind.pProgram, Kind.pAction))) {
        Why = ErrorText("cannot write the record's header", GetLastError());
        CloseHandle(File);
        DeleteFileA(pPath);
        File = INVALID_HANDLE_VALUE;
    }
    if (File == INVALID_HANDLE_VALUE) {
        LogLine(Install, "this run cannot be recorded: " + Why);
        return File;
    }
    PruneRecords(Folder);
    return File;
}

// The program or its folder is not there.
bool Gone(DWORD Error) {
    return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND || Error == ERROR_DIRECTORY;
}

// The capture's last word, with the Windows error behind it.
std::string CaptureWhy(const Capture& Monitor) {
    return Monitor.error != 0 ? ErrorText(Monitor.message, Monitor.error) : std::string(Monitor.message);
}

// What the capture did, for the log: how it followed the tree and what it kept.
std::string CaptureFacts(const Capture& Monitor) {
    char Text[200];
    snprintf(
        Text, sizeof(Text),
        "process tree followed by %s; %lu strings recorded, %lu of other processes left out; the capture "
        "ended %lu ms after the tree",
        CaptureMethodText(Monitor.method), Monitor.written, Monitor.dropped,
        static_cast<unsigned long>(Monitor.drainMs));
    return Text;
}

// The program's command line, as the installer started it before: its quoted path, no arguments.
bool ProgramLine(const char* pFolder, const char* pProgram, wchar_t* pPath, wchar_t* pLine, wchar_t* pDir) {
    char Path[MAX_PATH];
    if (snprintf(Path, sizeof(Path), "%s%s", pFolder, pProgram) >= static_cast<int>(sizeof(Path)))
        return false;
    if (!MultiByteToWideChar(CP_ACP, 0, Path, -1, pPath, MAX_PATH) ||
        !MultiByteToWideChar(CP_ACP, 0, pFolder, -1, pDir, MAX_PATH))
        return false;
    _snwprintf(pLine, MAX_PATH + 3, L"\"%ls\"", pPath);
    pLine[MAX_PATH + 2] = L'\0';
    return true;
}

} // namespace

UINT RecordedRun(MSIHANDLE Install, RunKind Which) {
    const KindFacts& Kind = Kinds[Which];
    const bool Installing = Which == RunInstall;
    UINT Result = ERROR_SUCCESS;
    char Data[ActionFolderMax + ActionVersionMax + 16] = "";
    DWORD DataSize = sizeof(Data);
    ActionData Action;
    char RecordPath[RecordPathMax] = "";
    HANDLE Record = INVALID_HANDLE_VALUE;
    wchar_t Path[MAX_PATH], Line[MAX_PATH + 3], Dir[MAX_PATH];
    std::unique_ptr<Capture> pMonitor(new Capture()); // about 42 KB: not for a custom action's stack
    bool Opened = false;
    bool Recording = false;
    DWORD ExitCode = 0;
    int Status;
    std::string Report;
    InstallJudgement Judgement = {InstallNoRun, std::string()};

    LogLine(Install, std::string(Kind.pProgram) + " (" + Kind.pAction + ") starts");
    if (MsiGetPropertyA(Install, "CustomActionData", Data, &DataSize) != ERROR_SUCCESS ||
        !ParseActionData(Data, &Action) || !ProgramLine(Action.Folder, Kind.pProgram, Path, Line, Dir)) {
        LogLine(Install, std::string("the action's data is not \"FOLDER|VERSION|PARTIAL\": ") + Data);
        if (Installing)
            Result = ERROR_INSTALL_FAILURE;
        goto Cleanup;
    }

    Record = OpenRecord(Install, Kind, Action.Version, RecordPath);
    // Without a record file the program still runs through the capture, in its job, only unrecorded.
    Status = CaptureOpen(pMonitor.get(),
                         Record != INVALID_HANDLE_VALUE ? CAPTURE_TIME_COLUMN : CAPTURE_NO_CHANNELS);
    Opened = true;
    Recording = Record != INVALID_HANDLE_VALUE && Status == CAPTURE_OK;
    if (pMonitor->message[0] != '\0')
        LogLine(Install, std::string(Recording ? "" : "this run cannot be recorded: ") + pMonitor->message);
    if (Record != INVALID_HANDLE_VALUE && !Recording) {
        CloseHandle(Record);
        DeleteFileA(RecordPath);
        Record = INVALID_HANDLE_VALUE;
    }
    Status = CaptureRun(pMonitor.get(), Path, Line, Dir, Record, &ExitCode);
    if (Status == CAPTURE_RUN_NOT_STARTED) {
        if (Which == RunRollback && Gone(pMonitor->error))
            LogLine(Install, std::string(Kind.pProgram) +
                                 " is gone: the installed files were removed before this "
                                 "rollback action, nothing of this install is taken out");
        else
            LogLine(Install, std::string(Kind.pProgram) + " could not be started: " + CaptureWhy(*pMonitor));
        if (Record != INVALID_HANDLE_VALUE) {
            CloseHandle(Record); // a header without a run says nothing the log does not
            DeleteFileA(RecordPath);
            Record = INVALID_HANDLE_VALUE;
        }
        if (Installing) {
            ShowError(Install, std::string("Fenwarr Driver Package: ") + Kind.pProgram +
                                   " could not be started: the drivers did not arrive");
            Result = Action.AllowPartial ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
        }
        goto Cleanup;
    }
    if (Status != CAPTURE_RUN_DONE) {
        LogLine(Install, std::string("the record is incomplete: ") + CaptureWhy(*pMonitor));
        Recording = false;
    } else {
        LogLine(Install, std::string(Kind.pProgram) + " ended with exit code " + std::to_string(ExitCode) +
                             "; " + CaptureFacts(*pMonitor));
    }
    if (!Recording || !ReadRecord(Record, RecordPath, &Report, &Judgement)) {
        LogLine(Install, "the verdict of this run is unknown: it was not recorded");
        goto Cleanup;
    }
    LogLines(Install, Report);
    LogLine(Install, std::string("record: ") + RecordPath);
    if (!Installing)
        goto Cleanup;
    if (Judgement.Outcome == InstallArrived) {
        LogLine(Install, "verdict: " + Judgement.What);
    } else if (Action.AllowPartial) {
        LogLine(Install, "verdict: " + Judgement.What + " (a warning: FENWARR_ALLOW_PARTIAL=1)");
    } else {
        LogLine(Install, "verdict: " + Judgement.What + ": the install fails");
        ShowError(Install, "Fenwarr Driver Package: " + Judgement.What + ". " + OverallLine(Report));
        Result = ERROR_INSTALL_FAILURE;
    }

Cleanup:
    if (Opened)
        CaptureClose(pMonitor.get());
    if (Record != INVALID_HANDLE_VALUE)
        CloseHandle(Record);
    return Result;
}
