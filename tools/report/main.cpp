// fenwarr-report FILE: reads a dbgmon record (or a DebugView log) of the setup tool and tells, run by run
// and step by step, what it did. Exit status: 0 every step succeeded, 1 some step failed, 2 the file
// cannot be read or holds no run of the tool.
// fenwarr-report PATH...: a rollout's records (files, and folders searched with their subfolders) on one
// page; --json gives the same as one JSON document, for one record too.
#include "reader/report_file.h"
#include "reader/rollout_summary.h"
#include "reader/verdict.h"
#include "reader/verdict_json.h"
#include "tools/report/rollout_files.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const char Usage[] =
    "usage: fenwarr-report [--json] FILE\n"
    "       fenwarr-report [--json] PATH...\n"
    "  FILE: a record written by dbgmon (--out FILE), with or without --time,\n"
    "        or a log saved by DebugView, with or without process ids\n"
    "  PATH: records and folders of records (searched with their subfolders; other files are named\n"
    "        and passed over): one summary of every run\n"
    "  --json: the verdict as one JSON document (see docs/support.md)\n"
    "exit status: 0 every step succeeded, 1 some step failed, 2 the file cannot be read or\n"
    "holds no run of the tool (for several: no file holds one)\n";

// One state and one verdict, used for each file in turn: the memory is the largest record's.
struct Rollout {
    std::unique_ptr<ReportState> pState;
    std::unique_ptr<RecordVerdict> pVerdict;
    RolloutSummary Summary;
    bool Json;
    bool FirstRecord;
    bool WriteFailed;
    std::string Out;
};

void Emit(Rollout* pRollout) {
    if (fwrite(pRollout->Out.data(), 1, pRollout->Out.size(), stdout) != pRollout->Out.size())
        pRollout->WriteFailed = true;
    pRollout->Out.clear();
}

// A file of the rollout: read, folded into the summary (and written out as JSON), dropped. A file found
// in a folder is given up on early when it is plainly not a record.
void ReadOne(const std::string& Path, bool Found, Rollout* pRollout) {
    std::string Why;
    if (!ReadReportFile(Path.c_str(), Found, pRollout->pState.get(), &Why)) {
        AddUnreadToSummary(&pRollout->Summary, Path, Why);
        return;
    }
    FillVerdict(*pRollout->pState, pRollout->pVerdict.get());
    if (pRollout->Json && !pRollout->pVerdict->Runs.empty()) {
        pRollout->Out.append(pRollout->FirstRecord ? "" : ",\n");
        AppendRecordJson(&pRollout->Out, *pRollout->pVerdict, Path);
        pRollout->FirstRecord = false;
        Emit(pRollout);
    }
    AddRecordToSummary(&pRollout->Summary, Path, *pRollout->pVerdict);
}

void VisitFound(const std::string& Path, const std::string& Reason, void* pContext) {
    Rollout* pRollout = static_cast<Rollout*>(pContext);
    if (Reason.empty())
        ReadOne(Path, true, pRollout);
    else
        AddUnreadToSummary(&pRollout->Summary, Path, Reason);
}

int ReportRollout(const std::vector<const char*>& Paths, bool Json) {
    Rollout R;
    R.pState.reset(new ReportState());
    R.pVerdict.reset(new RecordVerdict());
    InitRolloutSummary(&R.Summary);
    R.Json = Json;
    R.FirstRecord = true;
    R.WriteFailed = false;
    if (Json) {
        AppendRolloutJsonStart(&R.Out);
        Emit(&R);
    }
    for (const char* pPath : Paths) {
        if (IsFolder(pPath))
            WalkFolder(pPath, VisitFound, &R);
        else
            ReadOne(pPath, false, &R);
    }
    if (Json)
        AppendRolloutJsonEnd(R.Summary, &R.Out);
    else
        WriteRolloutSummary(R.Summary, &R.Out);
    Emit(&R);
    int Status = RolloutStatus(R.Summary);
    if ((R.WriteFailed || fflush(stdout) != 0) && Status == ReportAllSucceeded)
        Status = ReportNoRun;
    return Status;
}

} // namespace

int main(int argc, char** argv) {
    bool Json = false;
    bool Options = true;
    bool Bad = false;
    std::vector<const char*> Paths;
    for (int i = 1; i < argc; ++i) {
        if (Options && strcmp(argv[i], "--json") == 0)
            Json = true;
        else if (Options && strcmp(argv[i], "--") == 0)
            Options = false;
        else if ((Options && argv[i][0] == '-' && argv[i][1] == '-') || argv[i][0] == '\0')
            Bad = true;
        else
            Paths.push_back(argv[i]);
    }
    if (Bad || Paths.empty()) {
        fputs(Usage, stderr);
        return ReportNoRun;
    }
    if (Json || Paths.size() > 1 || IsFolder(Paths[0]))
        return ReportRollout(Paths, Json);

    int Status = ReportNoRun;
    std::string Report;
    std::string Error;
    Status = ReportFile(Paths[0], &Report, &Error);
    if (!Error.empty())
        fprintf(stderr, "fenwarr-report: %s\n", Error.c_str());
    fwrite(Report.data(), 1, Report.size(), stdout);
    if (fflush(stdout) != 0 && Status == ReportAllSucceeded)
        Status = ReportNoRun;
    return Status;
}
