#include "reader/report_writer.h"

#include "reader/process_lines.h"
#include "reader/report_text.h"

#include <memory>

namespace {

// "<what><bound> in one record): <count>", when anything was left beyond one of the reader's bounds.
void AppendBeyondBound(const char* pWhat, size_t Bound, size_t Count, std::string* pOut) {
    if (Count == 0)
        return;
    pOut->append(pWhat);
    AppendNumber(pOut, Bound);
    pOut->append(" in one record): ");
    AppendNumber(pOut, Count);
    pOut->append("\n");
}

void RecordLines(const ReportState& State, std::string* pOut) {
    if (State.ForeignStrings > 0) {
        pOut->append("Other processes: ");
        AppendCount(pOut, State.ForeignStrings, "string", "strings");
        pOut->append(" from ");
        AppendCount(pOut, State.ForeignProcesses, "process", "processes");
        ExampleList(State.ForeignExamples, pOut);
    }
    if (State.UnknownSenderStrings > 0) {
        pOut->append("Other strings, sender unknown (no process id): ");
        AppendNumber(pOut, State.UnknownSenderStrings);
        ExampleList(State.UnknownSenderExamples, pOut);
    }
    if (State.StrayMessages > 0) {
        pOut->append("Tool messages outside any run: ");
        AppendNumber(pOut, State.StrayMessages);
        ExampleList(State.StrayExamples, pOut);
    }
    if (State.LoneTags > 0) {
        pOut->append("Tags without their message: ");
        AppendNumber(pOut, State.LoneTags);
        pOut->append("\n");
    }
    AppendBeyondBound("Programs not read (over ", MaxProcesses, State.DroppedProcesses, pOut);
    AppendBeyondBound("Strings not read (their senders over ", MaxSenders, State.DroppedSenderStrings, pOut);
    if (State.BadLines > 0) {
        pOut->append("Unreadable lines: ");
        AppendNumber(pOut, State.BadLines);
        ExampleList(State.BadExamples, pOut);
    }
    if (State.LastLineCut)
        pOut->append("The last line has no line end: the record may have been cut off\n");
    if (State.Utf16)
        pOut->append(
            "The file is UTF-16 (\"Unicode\") text, which is not read: save it again as ANSI or UTF-8 "
            "text\n");
}

void JoinFact(std::string* pGroup, const char* pSeparator, const char* pBefore, const std::string& Value) {
    if (Value.empty())
        return;
    pGroup->append(pGroup->empty() ? "" : pSeparator).append(pBefore);
    AppendEscaped(pGroup, Value);
}

// What the record's header says of the machine and the run, on one line: "Machine: PC-0042, Windows 10.0
// build 19045, x64; package 1.0.0; FenwarrSetup.exe install started 2026-12-10 14:03:07 +0100".
void MachineFactsLine(const MachineFacts& Facts, std::string* pOut) {
    if (!HasMachineFacts(Facts))
        return;
    std::string Groups[3];
    JoinFact(&Groups[0], ", ", "", Facts.Computer);
    JoinFact(&Groups[0], ", ", "Windows ", Facts.Windows);
    JoinFact(&Groups[0], ", ", "", Facts.Processor);
    JoinFact(&Groups[1], " ", "package ", Facts.Package);
    JoinFact(&Groups[2], " ", "", Facts.Program);
    JoinFact(&Groups[2], " ", "", Facts.Action);
    JoinFact(&Groups[2], " ", "started ", Facts.Started);
    pOut->append("Machine: ");
    bool First = true;
    for (const std::string& Group : Groups) {
        if (Group.empty())
            continue;
        pOut->append(First ? "" : "; ").append(Group);
        First = false;
    }
    pOut->append("\n");
}

// How the DebugView log was saved, and what reading it without process ids cannot know.
void DebugViewLines(const ReportState& State, std::string* pOut) {
    pOut->append("Log: ");
    pOut->append(State.ViewTime == TimeClock ? "times of day" : "times in seconds since the first line");
    if (State.ViewPidLines == 0) {
        pOut->append(", no process ids");
    } else {
        pOut->append(", process ids on ");
        AppendCount(pOut, State.ViewPidLines, "line", "lines");
    }
    if (State.ViewJoinedLines == 0) {
        pOut->append(", each string on a line of its own\n");
    } else {
        pOut->append(", strings joined on ");
        AppendCount(pOut, State.ViewJoinedLines, "line", "lines");
        pOut->append(" (\"Force Carriage Returns\" off)\n");
    }
    if (State.NoPidTags > 0)
        pOut->append(
            "One process: this log has no process ids (DebugView's \"Win32 PIDs\" was off), so it is read "
            "as one process, each program from its start message to the next; it cannot tell apart "
            "programs that ran at the same time, nor who sent a string without the tag\n");
}

} // namespace

ReportStatus WriteReport(const ReportState& State, const char* pName, std::string* pOut) {
    std::unique_ptr<RecordVerdict> pVerdict(new RecordVerdict());
    return WriteReport(State, pName, pOut, pVerdict.get());
}

ReportStatus WriteReport(const ReportState& State, const char* pName, std::string* pOut,
                         RecordVerdict* pVerdict) {
    pOut->append("fenwarr-report: ");
    AppendEscaped(pOut, pName);
    pOut->append("\nRecord: ");
    AppendNumber(pOut, State.Lines);
    if (State.Format == FormatDebugView)
        pOut->append(" lines of a DebugView log, ");
    else
        pOut->append(State.Format == FormatTimed ? " lines with times, " : " lines, ");
    AppendNumber(pOut, State.Records);
    pOut->append(" debugger strings, ");
    AppendNumber(pOut, State.ToolMessages);
    pOut->append(" tool messages, ");
    AppendCount(pOut, State.Runs.size(), "run", "runs");
    pOut->append("\n");
    MachineFactsLine(State.Machine, pOut);
    if (State.Format == FormatDebugView)
        DebugViewLines(State, pOut);

    FillVerdictWithLines(State, pVerdict, pOut);
    pOut->append("\n");
    RecordLines(State, pOut);
    AppendOverallLine(State, *pVerdict, pOut);
    pOut->append("\n");
    return pVerdict->Status;
}
