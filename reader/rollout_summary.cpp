#include "reader/rollout_summary.h"

#include "reader/error_meanings.h"
#include "reader/processors.h"
#include "reader/report_text.h"
#include "reader/verdict_json.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// The page names this many kinds of problem; the JSON document has them all.
enum { ProblemsListed = 40 };
enum { NumberWidth = 9 };

const char* const KindNames[RunKindCount] = {"FenwarrSetup.exe", "FenwarrUninstall.exe",
                                             "Fenwarr64.exe alone", "Fenwarr64.exe /uninstall alone"};
const char* const RoadTexts[RoadCount] = {"road not recorded", "32-bit", "64-bit", "no package half"};

int RunKind(const RunVerdict& Run) {
    return (Run.CompanionAlone ? 2 : 0) + (Run.Uninstall ? 1 : 0);
}

// What a record tells of its machine: the header, else what the runs traced.
void MachineOf(const RecordVerdict& Verdict, MachineTally* pMachine) {
    const MachineFacts& Facts = Verdict.Machine;
    pMachine->Windows = Facts.Windows.substr(0, Facts.Windows.find("; "));
    pMachine->Processor = Facts.Processor;
    for (const RunVerdict& Run : Verdict.Runs) {
        if (pMachine->Windows.empty() && Run.HasVersion) {
            AppendNumber(&pMachine->Windows, Run.Major);
            pMachine->Windows.push_back('.');
            AppendNumber(&pMachine->Windows, Run.Minor);
            pMachine->Windows.append(" (traced)");
        }
        if (pMachine->Processor.empty() && Run.Machine != 0)
            pMachine->Processor = ProcessorName(Run.Machine);
    }
    if (pMachine->Windows.empty())
        pMachine->Windows = "unknown";
    if (pMachine->Processor.empty())
        pMachine->Processor = "unknown";
}

void AddMachine(RolloutSummary* pSummary, const std::string& Name, const RecordVerdict& Verdict) {
    const bool Known = !Verdict.Machine.Computer.empty();
    MachineTally& Machine =
        pSummary->Machines[(Known ? "c" : "f") + (Known ? Verdict.Machine.Computer : Name)];
    if (Machine.Name.empty()) {
        Machine.Name = Known ? Verdict.Machine.Computer : Name;
        std::fill(Machine.Results, Machine.Results + ResultCount, 0);
    }
    // A machine seen again (a second install, a removal) keeps what its latest record says.
    MachineTally Now;
    MachineOf(Verdict, &Now);
    if (Machine.Windows.empty() || Now.Windows != "unknown")
        Machine.Windows = Now.Windows;
    if (Machine.Processor.empty() || Now.Processor != "unknown")
        Machine.Processor = Now.Processor;
    for (const RunVerdict& Run : Verdict.Runs)
        ++Machine.Results[Run.Result];
}

void AddProblem(RolloutSummary* pSummary, const ProblemVerdict& Problem, const std::string& MachineName) {
    std::string Key = Problem.Label;
    Key.push_back('\n');
    if (Problem.HasError)
        AppendHex(&Key, Problem.Error);
    ProblemTally& Tally = pSummary->Problems[Key];
    if (Tally.Runs == 0) {
        Tally.pKey = Problem.pKey;
        Tally.Severity = Problem.Severity;
        Tally.Label = Problem.Label;
        Tally.HasError = Problem.HasError;
        Tally.Error = Problem.Error;
        Tally.ErrorHex = Problem.ErrorHex;
    }
    ++Tally.Runs;
    if (Tally.Machines.size() < ProblemMachinesNamed &&
        std::find(Tally.Machines.begin(), Tally.Machines.end(), MachineName) == Tally.Machines.end())
        Tally.Machines.push_back(MachineName);
}

std::string NoRunReason(const RecordVerdict& Verdict) {
    if (Verdict.Utf16)
        return "UTF-16 text, which is not read";
    if (Verdict.Strings == 0 && !Verdict.Machine.Marked && !HasMachineFacts(Verdict.Machine))
        return "not a record: no line of a dbgmon record or a DebugView log";
    return "no run of the tool";
}

size_t FailedRuns(const RolloutSummary& Summary) {
    size_t Failed = 0;
    for (const auto& Kind : Summary.RunCounts) {
        for (const auto& Road : Kind)
            Failed += Road[ResultWarning] + Road[ResultFailed];
    }
    return Failed;
}

// Left-aligned in `Width`, or as it is when longer.
void Cell(std::string* pOut, const std::string& Text, size_t Width) {
    pOut->append(Text);
    if (Text.size() < Width)
        pOut->append(Width - Text.size(), ' ');
}

void NumberCell(std::string* pOut, size_t Value) {
    std::string Digits;
    AppendNumber(&Digits, Value);
    pOut->append(Digits.size() < NumberWidth ? NumberWidth - Digits.size() : 1, ' ').append(Digits);
}

void ResultCells(std::string* pOut, const size_t* pResults) {
    size_t Runs = 0;
    for (int r = 0; r < ResultCount; ++r)
        Runs += pResults[r];
    NumberCell(pOut, Runs);
    for (int r = 0; r < ResultCount; ++r)
        NumberCell(pOut, pResults[r]);
    pOut->append("\n");
}

void ResultHeads(std::string* pOut, const char* pTitle, size_t Width, const char* pFirst) {
    Cell(pOut, pTitle, Width);
    for (const char* pHead : {pFirst, "runs", "ok", "clean", "warning", "failed"}) {
        if (*pHead != '\0')
            Cell(pOut, std::string(NumberWidth - strlen(pHead), ' ') + pHead, NumberWidth);
    }
    pOut->append("\n");
}

void RunTable(const RolloutSummary& Summary, std::string* pOut) {
    const size_t Width = 48;
    ResultHeads(pOut, "Runs by program and road", Width, "");
    size_t All[ResultCount] = {};
    for (int k = 0; k < RunKindCount; ++k) {
        for (int r = 0; r < RoadCount; ++r) {
            const size_t* pResults = Summary.RunCounts[k][r];
            size_t Runs = 0;
            for (int v = 0; v < ResultCount; ++v) {
                Runs += pResults[v];
                All[v] += pResults[v];
            }
            if (Runs > 0) {
                Cell(pOut, std::string("  ") + KindNames[k] + ", " + RoadTexts[r], Width);
                ResultCells(pOut, pResults);
            }
        }
    }
    Cell(pOut, "  all", Width);
    ResultCells(pOut, All);
}

struct WindowsRow {
    std::string Windows, Processor;
    size_t Machines;
    size_t Results[ResultCount];
};

std::vector<WindowsRow> WindowsRows(const RolloutSummary& Summary) {
    std::map<std::pair<std::string, std::string>, WindowsRow> Rows;
    for (const auto& Entry : Summary.Machines) {
        const MachineTally& Machine = Entry.second;
        WindowsRow& Row = Rows[std::make_pair(Machine.Windows, Machine.Processor)];
        if (Row.Machines == 0) {
            Row.Windows = Machine.Windows;
            Row.Processor = Machine.Processor;
            std::fill(Row.Results, Row.Results + ResultCount, 0);
        }
        ++Row.Machines;
        for (int r = 0; r < ResultCount; ++r)
            Row.Results[r] += Machine.Results[r];
    }
    std::vector<WindowsRow> Sorted;
    Sorted.reserve(Rows.size());
    for (auto& Entry : Rows)
        Sorted.push_back(std::move(Entry.second));
    std::stable_sort(Sorted.begin(), Sorted.end(),
                     [](const WindowsRow& a, const WindowsRow& b) { return a.Machines > b.Machines; });
    return Sorted;
}

void MachineTable(const RolloutSummary& Summary, std::string* pOut) {
    size_t ByFile = 0;
    for (const auto& Entry : Summary.Machines)
        ByFile += Entry.first[0] == 'f' ? 1 : 0;
    pOut->append("\nMachines: ");
    AppendNumber(pOut, Summary.Machines.size());
    if (ByFile > 0) {
        pOut->append(" (");
        AppendNumber(pOut, ByFile);
        pOut->append(" known by their file only: a record without the header)");
    }
    pOut->append("\n");
    const size_t Width = 48;
    ResultHeads(pOut, "Machines by Windows version and processor", Width, "machines");
    for (const WindowsRow& Row : WindowsRows(Summary)) {
        std::string Label = "  Windows ";
        AppendEscaped(&Label, Row.Windows);
        Label.append(Row.Processor == "unknown" ? ", processor " : ", ");
        AppendEscaped(&Label, Row.Processor);
        Cell(pOut, Label, Width);
        NumberCell(pOut, Row.Machines);
        ResultCells(pOut, Row.Results);
    }
}

std::vector<const ProblemTally*> ProblemsByCount(const RolloutSummary& Summary) {
    std::vector<const ProblemTally*> Sorted;
    for (const auto& Entry : Summary.Problems)
        Sorted.push_back(&Entry.second);
    std::stable_sort(Sorted.begin(), Sorted.end(), [](const ProblemTally* a, const ProblemTally* b) {
        if (a->Runs != b->Runs)
            return a->Runs > b->Runs;
        return a->Severity > b->Severity; // failures before warnings
    });
    return Sorted;
}

void ProblemList(const RolloutSummary& Summary, std::string* pOut) {
    if (Summary.Problems.empty())
        return;
    pOut->append("\nProblems, most frequent first (runs with it, severity, what, where):\n");
    const std::vector<const ProblemTally*> Sorted = ProblemsByCount(Summary);
    for (size_t i = 0; i < Sorted.size() && i < ProblemsListed; ++i) {
        const ProblemTally& Tally = *Sorted[i];
        NumberCell(pOut, Tally.Runs);
        pOut->append(Tally.Severity == SeverityFailure ? "  failure  " : "  warning  ");
        AppendEscaped(pOut, Tally.Label);
        if (Tally.HasError) {
            pOut->append(": ");
            AppendError(pOut, Tally.Error, Tally.ErrorHex);
        }
        pOut->append("\n").append(NumberWidth + 11, ' ').append("on ");
        for (size_t m = 0; m < Tally.Machines.size(); ++m) {
            pOut->append(m == 0 ? "" : ", ");
            AppendEscaped(pOut, Tally.Machines[m]);
        }
        pOut->append(Tally.Runs > Tally.Machines.size() ? ", ...\n" : "\n");
    }
    if (Sorted.size() > ProblemsListed) {
        pOut->append("    ... and ");
        AppendNumber(pOut, Sorted.size() - ProblemsListed);
        pOut->append(" more kinds, less frequent (all of them in --json)\n");
    }
}

void UnreadList(const RolloutSummary& Summary, std::string* pOut) {
    if (Summary.Unread.empty())
        return;
    pOut->append("\nFiles without a run of the tool: ");
    AppendNumber(pOut, Summary.Unread.size());
    pOut->append("\n");
    for (const UnreadFile& File : Summary.Unread) {
        pOut->append("  ");
        AppendEscaped(pOut, File.Name);
        pOut->append(": ").append(File.Reason).append("\n");
    }
}

void OverallLine(const RolloutSummary& Summary, std::string* pOut) {
    const size_t Failed = FailedRuns(Summary);
    if (Summary.Runs == 0) {
        pOut->append("Overall: NO RUN: no file holds a run of FenwarrSetup.exe, FenwarrUninstall.exe or "
                     "Fenwarr64.exe\n");
        return;
    }
    pOut->append(Failed == 0 ? "Overall: OK: " : "Overall: FAILED: ");
    if (Failed > 0) {
        AppendNumber(pOut, Failed);
        pOut->append(" of ");
    }
    AppendCount(pOut, Summary.Runs, "run", "runs");
    pOut->append(" on ");
    AppendCount(pOut, Summary.Machines.size(), "machine", "machines");
    if (Failed == 0) {
        pOut->append(", every step succeeded\n");
        return;
    }
    size_t Failures = 0;
    for (const auto& Kind : Summary.RunCounts) {
        for (const auto& Road : Kind)
            Failures += Road[ResultFailed];
    }
    pOut->append(": ");
    AppendNumber(pOut, Failures);
    pOut->append(" failed, ");
    AppendNumber(pOut, Failed - Failures);
    pOut->append(" with warnings only\n");
}

void AppendCountsJson(std::string* pOut, const size_t* pResults) {
    size_t Runs = 0;
    for (int r = 0; r < ResultCount; ++r)
        Runs += pResults[r];
    AppendJsonKey(pOut, "runs");
    AppendNumber(pOut, Runs);
    for (int r = 0; r < ResultCount; ++r) {
        AppendJsonKey(pOut, ResultName(static_cast<RunResult>(r)));
        AppendNumber(pOut, pResults[r]);
    }
}

void AppendRunTableJson(const RolloutSummary& Summary, std::string* pOut) {
    AppendJsonKey(pOut, "by_program_road");
    pOut->push_back('[');
    bool First = true;
    for (int k = 0; k < RunKindCount; ++k) {
        for (int r = 0; r < RoadCount; ++r) {
            const size_t* pResults = Summary.RunCounts[k][r];
            if (std::count(pResults, pResults + ResultCount, 0) == ResultCount)
                continue;
            pOut->append(First ? "\n{" : ",\n{");
            First = false;
            AppendJsonKey(pOut, "program", true);
            AppendJsonString(pOut, k >= 2 ? "Fenwarr64.exe" : KindNames[k]);
            AppendJsonKey(pOut, "companion_alone");
            pOut->append(k >= 2 ? "true" : "false");
            AppendJsonKey(pOut, "action");
            pOut->append(k % 2 == 1 ? "\"uninstall\"" : "\"install\"");
            AppendJsonKey(pOut, "road");
            AppendJsonString(pOut, RoadName(static_cast<VerdictRoad>(r)));
            AppendCountsJson(pOut, pResults);
            pOut->push_back('}');
        }
    }
    pOut->push_back(']');
}

void AppendMachineTableJson(const RolloutSummary& Summary, std::string* pOut) {
    AppendJsonKey(pOut, "by_windows_processor");
    pOut->push_back('[');
    bool First = true;
    for (const WindowsRow& Row : WindowsRows(Summary)) {
        pOut->append(First ? "\n{" : ",\n{");
        First = false;
        AppendJsonKey(pOut, "windows", true);
        AppendJsonString(pOut, Row.Windows);
        AppendJsonKey(pOut, "processor");
        AppendJsonString(pOut, Row.Processor);
        AppendJsonKey(pOut, "machines");
        AppendNumber(pOut, Row.Machines);
        AppendCountsJson(pOut, Row.Results);
        pOut->push_back('}');
    }
    pOut->push_back(']');
}

void AppendProblemsJson(const RolloutSummary& Summary, std::string* pOut) {
    AppendJsonKey(pOut, "problems");
    pOut->push_back('[');
    bool First = true;
    for (const ProblemTally* pTally : ProblemsByCount(Summary)) {
        pOut->append(First ? "\n{" : ",\n{");
        First = false;
        AppendJsonKey(pOut, "key", true);
        AppendJsonString(pOut, pTally->pKey);
        AppendJsonKey(pOut, "severity");
        AppendJsonString(pOut, SeverityName(pTally->Severity));
        AppendJsonKey(pOut, "label");
        AppendJsonString(pOut, pTally->Label);
        AppendJsonKey(pOut, "runs");
        AppendNumber(pOut, pTally->Runs);
        AppendJsonError(pOut, pTally->HasError, pTally->Error, true);
        AppendJsonKey(pOut, "machines");
        pOut->push_back('[');
        for (size_t m = 0; m < pTally->Machines.size(); ++m) {
            pOut->append(m == 0 ? "" : ",");
            AppendJsonString(pOut, pTally->Machines[m]);
        }
        pOut->append("]}");
    }
    pOut->push_back(']');
}

} // namespace

void InitRolloutSummary(RolloutSummary* pSummary) {
    pSummary->Records = pSummary->Runs = 0;
    for (auto& Kind : pSummary->RunCounts) {
        for (auto& Road : Kind)
            std::fill(Road, Road + ResultCount, 0);
    }
    pSummary->Machines.clear();
    pSummary->Problems.clear();
    pSummary->Unread.clear();
}

void AddRecordToSummary(RolloutSummary* pSummary, const std::string& Name, const RecordVerdict& Verdict) {
    if (Verdict.Runs.empty()) {
        AddUnreadToSummary(pSummary, Name, NoRunReason(Verdict));
        return;
    }
    ++pSummary->Records;
    AddMachine(pSummary, Name, Verdict);
    const std::string& MachineName = Verdict.Machine.Computer.empty() ? Name : Verdict.Machine.Computer;
    for (const RunVerdict& Run : Verdict.Runs) {
        ++pSummary->Runs;
        ++pSummary->RunCounts[RunKind(Run)][Run.Road][Run.Result];
        for (const ProblemVerdict& Problem : Run.Problems)
            AddProblem(pSummary, Problem, MachineName);
    }
}

void AddUnreadToSummary(RolloutSummary* pSummary, const std::string& Name, const std::string& Reason) {
    pSummary->Unread.push_back(UnreadFile{Name, Reason});
}

ReportStatus RolloutStatus(const RolloutSummary& Summary) {
    if (Summary.Runs == 0)
        return ReportNoRun;
    return FailedRuns(Summary) == 0 ? ReportAllSucceeded : ReportStepFailed;
}

void WriteRolloutSummary(const RolloutSummary& Summary, std::string* pOut) {
    pOut->append("fenwarr-report: ");
    AppendCount(pOut, Summary.Records + Summary.Unread.size(), "file", "files");
    pOut->append(", ");
    AppendCount(pOut, Summary.Records, "record", "records");
    pOut->append(" with ");
    AppendCount(pOut, Summary.Runs, "run", "runs");
    pOut->append(", ");
    AppendNumber(pOut, Summary.Unread.size());
    pOut->append(" without a run of the tool\n\n");
    RunTable(Summary, pOut);
    MachineTable(Summary, pOut);
    ProblemList(Summary, pOut);
    UnreadList(Summary, pOut);
    pOut->append("\n");
    OverallLine(Summary, pOut);
}

void AppendRolloutJsonStart(std::string* pOut) {
    pOut->append("{\"fenwarr_report\":1,\"records\":[\n");
}

void AppendRolloutJsonEnd(const RolloutSummary& Summary, std::string* pOut) {
    pOut->append("],\n\"not_read\":[");
    for (size_t i = 0; i < Summary.Unread.size(); ++i) {
        pOut->append(i == 0 ? "\n{" : ",\n{");
        AppendJsonKey(pOut, "file", true);
        AppendJsonString(pOut, Summary.Unread[i].Name);
        AppendJsonKey(pOut, "reason");
        AppendJsonString(pOut, Summary.Unread[i].Reason);
        pOut->push_back('}');
    }
    pOut->append("],\n\"summary\":{");
    AppendJsonKey(pOut, "files", true);
    AppendNumber(pOut, Summary.Records + Summary.Unread.size());
    AppendJsonKey(pOut, "records");
    AppendNumber(pOut, Summary.Records);
    AppendJsonKey(pOut, "not_read");
    AppendNumber(pOut, Summary.Unread.size());
    AppendJsonKey(pOut, "machines");
    AppendNumber(pOut, Summary.Machines.size());
    size_t All[ResultCount] = {};
    for (const auto& Kind : Summary.RunCounts) {
        for (const auto& Road : Kind) {
            for (int r = 0; r < ResultCount; ++r)
                All[r] += Road[r];
        }
    }
    AppendCountsJson(pOut, All);
    AppendJsonKey(pOut, "exit");
    AppendNumber(pOut, RolloutStatus(Summary));
    AppendRunTableJson(Summary, pOut);
    AppendMachineTableJson(Summary, pOut);
    AppendProblemsJson(Summary, pOut);
    pOut->append("}}\n");
}
