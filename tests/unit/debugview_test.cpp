// fenwarr-report on DebugView logs: the line's columns, the strings joined on a line, reading without
// process ids, and the verdicts against each golden's dbgmon twin.
#include "reader/record/debugview_line.h"
#include "reader/report_file.h"
#include "reader/verdict.h"

#include "report_records.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace report_records;

// The run verdicts and the overall line: what must not depend on how the run was captured.
std::vector<std::string> VerdictLines(const std::string& report) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < report.size()) {
        size_t end = report.find('\n', at);
        end = end == std::string::npos ? report.size() : end;
        const std::string line = report.substr(at, end - at);
        if (line.rfind("  Verdict: ", 0) == 0 || line.rfind("Overall: ", 0) == 0)
            lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

TEST(DebugViewGolden, SameVerdictsAsTheDbgmonRecordOfTheRun) {
    const struct {
        const char* log;
        const char* twin;
    } pairs[] = {
        {"debugview-full-32", "full-32"},
        {"debugview-full-64", "full-64"},
        {"debugview-early-failure", "early-failure"},
        {"debugview-joined-32", "full-32"},
        {"debugview-joined-64", "timed"},
    };
    for (const auto& pair : pairs) {
        SCOPED_TRACE(pair.log);
        std::string log, twin, error;
        const int logStatus = ReportFile((GoldenDir + pair.log + ".txt").c_str(), &log, &error);
        const int twinStatus = ReportFile((GoldenDir + pair.twin + ".txt").c_str(), &twin, &error);
        EXPECT_EQ(error, "");
        EXPECT_TRUE(Contains(log, " lines of a DebugView log, ")) << log;
        EXPECT_EQ(logStatus, twinStatus);
        EXPECT_FALSE(VerdictLines(twin).empty());
        EXPECT_EQ(VerdictLines(log), VerdictLines(twin)) << log;
    }
}

// ---- The columns ----------------------------------------------------------------------------------

TEST(DebugViewLine, ReadsEachTimeAndThePid) {
    const struct {
        const char* label;
        std::string line;
        DebugViewTime time;
        uint64_t ms;
        bool hasPid;
        uint32_t pid;
        std::string text;
    } cases[] = {
        {"elapsed", "00000001\t0.00000000\tabc", TimeElapsed, 0, false, 0, "abc"},
        {"elapsed, rounded down", "7\t12.34567890\t[2216] abc", TimeElapsed, 12345, true, 2216, "abc"},
        {"clock", "2\t11:27:48\tabc", TimeClock, 41268000, false, 0, "abc"},
        {"clock in brackets", "2\t[11:27:48]\tabc", TimeClock, 41268000, false, 0, "abc"},
        {"clock, milliseconds", "2\t[11:27:48.5]\tabc", TimeClock, 41268500, false, 0, "abc"},
        {"decimal comma", "2\t0,25\tabc", TimeElapsed, 250, false, 0, "abc"},
        {"clock, decimal comma", "2\t11:27:48,250\tabc", TimeClock, 41268250, false, 0, "abc"},
        {"clock, 7 digits", "2\t11:27:48.1234567\tabc", TimeClock, 41268123, false, 0, "abc"},
        {"afternoon", "2\t1:27:48 PM\tabc", TimeClock, 48468000, false, 0, "abc"},
        {"midnight hour", "2\t12:00:01.250 am\tabc", TimeClock, 1250, false, 0, "abc"},
        {"CR LF and a trailing TAB", "2\t0.1\t[8] abc \t\r", TimeElapsed, 100, true, 8, "abc"},
        {"pid alone", "2\t0.1\t[8]", TimeElapsed, 100, true, 8, ""},
        {"empty text", "2\t0.1\t \t", TimeElapsed, 100, false, 0, ""},
        {"no blank after the pid", "2\t0.1\t[8]abc", TimeElapsed, 100, false, 0, "[8]abc"},
        {"pid too large", "2\t0.1\t[4294967296] a", TimeElapsed, 100, false, 0, "[4294967296] a"},
        {"raw TAB in the text", "2\t0.1\ta\tb", TimeElapsed, 100, false, 0, "a\tb"},
        {"joined, each fits", "2\t0.1\t" + std::string(RecordTextMax, 'a') + Tag + "b", TimeElapsed, 100,
         false, 0, std::string(RecordTextMax, 'a') + Tag + "b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        DebugViewLine line;
        ASSERT_EQ(ParseDebugViewLine(c.line.data(), c.line.size(), &line), RecordOk);
        EXPECT_EQ(line.Time, c.time);
        EXPECT_EQ(line.Ms, c.ms);
        EXPECT_EQ(line.HasPid, c.hasPid);
        EXPECT_EQ(line.Pid, c.pid);
        EXPECT_EQ(std::string(line.pText, line.TextLength), c.text);
    }
}

TEST(DebugViewLine, NamesTheDamage) {
    const struct {
        const char* label;
        std::string line;
        RecordStatus status;
    } cases[] = {
        {"hour 24", "2\t24:00:00\tabc", RecordBadTime},
        {"13 PM", "2\t13:00:00 PM\tabc", RecordBadTime},
        {"bracket not closed", "2\t[11:27:48\tabc", RecordBadTime},
        {"sequence not a number", "x\t0.1\tabc", RecordBadNumber},
        {"no text column", "2\t0.1", RecordNoTab},
        {"blank", "\r", RecordEmpty},
        {"NUL in the text", std::string("2\t0.1\ta\0b", 9), RecordBadByte},
        {"joined string too long", "2\t0.1\t" + Tag + std::string(RecordTextMax + 1, 'a'), RecordTooLong},
    };
    for (const auto& c : cases) {
        DebugViewLine line;
        EXPECT_EQ(ParseDebugViewLine(c.line.data(), c.line.size(), &line), c.status) << c.label;
    }
}

TEST(DebugViewLine, TellsItselfFromADbgmonRecord) {
    const struct {
        std::string line;
        bool debugView;
    } cases[] = {
        {"00000001\t0.00000000\t[2216] Setup Device", true},
        {"12\t[11:27:48 AM]\tx", true},
        {"1234\tSetup Device\\n", false},          // dbgmon
        {"17\t1234\tRefresh device node", false},  // dbgmon --time
        {"17\t1234\tRefresh\tdevice node", false}, // a number is no time
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsDebugViewLine(c.line.data(), c.line.size()), c.debugView) << c.line;
}

// ---- Strings joined on a line ---------------------------------------------------------------------

// The strings a line's text gives, each with the line end the tool sent it with.
std::vector<std::string> StringsOf(const std::string& text) {
    const std::string bytes = "1\t0.0\t" + text;
    DebugViewLine line;
    std::vector<std::string> strings;
    if (ParseDebugViewLine(bytes.data(), bytes.size(), &line) != RecordOk)
        return strings;
    std::unique_ptr<Record> record(new Record());
    size_t done = 0;
    do {
        const size_t n = FirstJoinedString(line.pText + done, line.TextLength - done);
        TakeDebugViewString(line, line.pText + done, n, record.get());
        strings.emplace_back(record->Text, record->TextLength);
        done += n;
    } while (done < line.TextLength);
    return strings;
}

TEST(JoinedStrings, EachTagAndMessageWithItsOwnLineEnd) {
    using Strings = std::vector<std::string>;
    const struct {
        const char* label;
        std::string text;
        Strings strings;
    } cases[] = {
        {"tag alone", Tag, {Tag}},
        {"message alone", "Setup Device", {"Setup Device\n"}},
        {"tag and message",
         Tag + "Found! [USB\\VID_0E8D&PID_2000]",
         {Tag, "Found! [USB\\VID_0E8D&PID_2000]\n"}},
        {"messages without a line end run on",
         Tag + "System path: C:\\W" + Tag + "VerInf.dwMajorVersion: 6" + Tag + "Setup device for Windows7 32",
         {Tag, "System path: C:\\W", Tag, "VerInf.dwMajorVersion: 6", Tag, "Setup device for Windows7 32\n"}},
        {"last message without a line end", Tag + "Refresh device node", {Tag, "Refresh device node"}},
        {"blank before the line end dropped",
         "CopyFile failed!, code is 5",
         {"CopyFile failed!, code is 5 \n"}},
        {"untagged start failure", "CreateProcess failed", {"CreateProcess failed"}},
        {"another program's string stays", "svchost: started", {"svchost: started"}},
        {"tag after other text", "abc" + Tag, {"abc", Tag}},
        {"empty", "", {""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StringsOf(c.text), c.strings) << c.label;
}

// ---- Reading without process ids ------------------------------------------------------------------

std::string LogLine(int n, const std::string& text) {
    return std::to_string(n) + "\t0.00" + std::to_string(n) + "\t" + text + "\r\n";
}

// A setup run on 64-bit Windows without process ids: the companion joins at its start message, and
// another program's string between a tag and its message leaves the pair whole.
TEST(OneProcess, CompanionByItsStartMessageStrangersBySender) {
    const std::string log =
        LogLine(1, Tag + "Setup Device") + LogLine(2, Tag + "Setup device for Windows7 64") +
        LogLine(3, Tag + "Setup for 64bit OS, line: 1715" + Tag + "---OpenAP---") + LogLine(4, Tag) +
        LogLine(5, "explorer: refreshed") + LogLine(6, "Setup Device, 64bit companion") +
        LogLine(7, Tag + "System path: C:\\W");
    const Outcome out = ReportOf(log, "log");
    EXPECT_TRUE(Contains(out.report, "One process: this log has no process ids")) << out.report;
    EXPECT_TRUE(Contains(out.report, "  Setup program: FenwarrSetup.exe, from line 1, 1 to 3 ms\n"));
    EXPECT_TRUE(Contains(out.report, "  Companion: Fenwarr64.exe, from line 6, 6 to 7 ms\n"));
    EXPECT_TRUE(Contains(out.report, "Hand-off: Fenwarr64.exe: started\n"));
    EXPECT_TRUE(Contains(out.report, "Companion system directory: C:\\W\n"));
    EXPECT_TRUE(Contains(out.report, "Other strings, sender unknown (no process id): 1 (first: \"explorer"));
    EXPECT_FALSE(Contains(out.report, "Tags without their message"));
}

// What is the tool's without process ids, and what is not.
TEST(OneProcess, OnlyTheToolsStringsJoinTheRun) {
    const std::string start = LogLine(1, Tag + "Setup Device") +
                              LogLine(2, Tag + "Setup device for Windows7 64") +
                              LogLine(3, Tag + "---OpenAP---");
    const struct {
        const char* label;
        std::string log;
        const char* says;
    } cases[] = {
        {"start failure", start + LogLine(4, "CreateProcess failed"),
         "FAILED: it could not be started (\"CreateProcess failed\")"},
        {"unknown message after a tag", start + LogLine(4, Tag + "Some future message"),
         "Other strings, sender unknown (no process id): 1 (first: \"Some future message\")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const Outcome out = ReportOf(c.log, "log");
        EXPECT_TRUE(Contains(out.report, c.says)) << out.report;
        EXPECT_TRUE(Contains(out.report, "One process:")) << out.report;
    }
}

// ---- Bad input ------------------------------------------------------------------------------------

TEST(DebugViewBadInput, ClearResultNoCrash) {
    const std::string utf16("\xff\xfe"
                            "0\0"
                            "\t\0",
                            6);
    const struct {
        const char* label;
        std::string bytes;
        int status;
        const char* says;
    } cases[] = {
        {"UTF-16", utf16 + "\n", ReportNoRun, "The file is UTF-16"},
        {"UTF-8 byte order mark", "\xef\xbb\xbf" + LogLine(1, Tag + "Setup Device"), ReportStepFailed,
         "Run 1: road not recorded"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const Outcome out = ReportOf(c.bytes, "log");
        EXPECT_EQ(out.status, c.status) << out.report;
        EXPECT_TRUE(Contains(out.report, c.says)) << out.report;
    }
}

} // namespace
