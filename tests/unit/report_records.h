// What the report tests share: the golden folder, records written as dbgmon writes them, and the
// report of a record held in memory.
#pragma once

#include "reader/report_file.h"
#include "reader/verdict.h"

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace report_records {

const std::string GoldenDir = std::string(FENWARR_SOURCE_DIR) + "/tests/report/golden/";
const std::string Tag = "..Install or Uninstall - Vostrel";

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A record line as dbgmon writes it, for a string that needs no escape beyond \\ and \n.
inline std::string Line(unsigned pid, const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return std::to_string(pid) + "\t" + escaped + "\n";
}

// One tagged message: the tag line, then the message.
inline std::string Msg(unsigned pid, const std::string& text) {
    return Line(pid, Tag) + Line(pid, text);
}

struct Outcome {
    int status;
    std::string report;
};

inline Outcome ReportOf(const std::string& bytes, const char* pName = "record") {
    Outcome out{0, std::string()};
    out.status = ReportBuffer(bytes.data(), bytes.size(), pName, &out.report);
    return out;
}

// A record held in memory, read to its end.
inline std::unique_ptr<ReportState> StateOf(const std::string& bytes) {
    std::unique_ptr<ReportState> state(new ReportState());
    InitReport(state.get());
    FeedReport(state.get(), bytes.data(), bytes.size());
    FinishReport(state.get());
    return state;
}

// The verdict on a record held in memory.
inline RecordVerdict VerdictOf(const std::string& bytes) {
    const std::unique_ptr<ReportState> state = StateOf(bytes);
    RecordVerdict verdict;
    FillVerdict(*state, &verdict);
    return verdict;
}

inline bool Contains(const std::string& report, const std::string& text) {
    return report.find(text) != std::string::npos;
}

} // namespace report_records
