#include "reader/process_lines.h"

#include "reader/report_text.h"

namespace {

// A time of day from a DebugView log, "11:27:48" or "11:27:48.120".
void AppendClock(std::string* pOut, uint64_t Ms, bool WithMs) {
    const uint64_t Fields[3] = {Ms / 3600000 % 24, Ms / 60000 % 60, Ms / 1000 % 60};
    for (int i = 0; i < 3; ++i) {
        pOut->append(i == 0 ? "" : ":").push_back(static_cast<char>('0' + Fields[i] / 10));
        pOut->push_back(static_cast<char>('0' + Fields[i] % 10));
    }
    if (WithMs) {
        pOut->push_back('.');
        for (uint64_t Unit = 100; Unit > 0; Unit /= 10)
            pOut->push_back(static_cast<char>('0' + Ms % 1000 / Unit % 10));
    }
}

} // namespace

bool IsUninstall(const ProcessState& P) {
    const ProgramKind* pKind = FindProgramByRole(P.Role);
    return pKind != nullptr && pKind->Uninstall;
}

const char* ProgramName(const ProcessState& P) {
    const ProgramKind* pKind = FindProgramByRole(P.Role);
    return pKind != nullptr ? pKind->pName : "?";
}

void ProcessHeader(const ReportState& State, const ProcessState& P, std::string* pOut) {
    const ProgramKind* pKind = FindProgramByRole(P.Role);
    pOut->append("  ").append(pKind != nullptr ? pKind->pLabel : "").append(ProgramName(P));
    if (P.HasPid) {
        pOut->append(", pid ");
        AppendNumber(pOut, P.Pid);
    }
    pOut->append(", from line ");
    AppendNumber(pOut, P.FirstLine);
    if (P.HasTime && State.Format == FormatDebugView && State.ViewTime == TimeClock) {
        pOut->append(", ");
        AppendClock(pOut, P.FirstMs, State.ViewClockMs);
        pOut->append(" to ");
        AppendClock(pOut, P.LastMs, State.ViewClockMs);
    } else if (P.HasTime) {
        pOut->append(", ");
        AppendNumber(pOut, P.FirstMs);
        pOut->append(" to ");
        AppendNumber(pOut, P.LastMs);
        pOut->append(" ms");
    }
    pOut->append("\n");
}

void ExampleList(const std::vector<std::string>& Examples, std::string* pOut) {
    for (size_t i = 0; i < Examples.size(); ++i)
        pOut->append(i == 0 ? " (first: \"" : ", \"").append(Examples[i]).append("\"");
    if (!Examples.empty())
        pOut->append(")");
    pOut->append("\n");
}

// What the process sent that the reader could not place.
void NoiseLines(const ProcessState& P, const char* pLabel, std::string* pOut) {
    if (P.UnknownMessages > 0) {
        pOut->append("  ").append(pLabel).append("messages not understood: ");
        AppendNumber(pOut, P.UnknownMessages);
        ExampleList(P.UnknownExamples, pOut);
    }
    if (P.UntaggedStrings > 0) {
        pOut->append("  ").append(pLabel).append("untagged strings: ");
        AppendNumber(pOut, P.UntaggedStrings);
        ExampleList(P.UntaggedExamples, pOut);
    }
    if (P.CutMessages > 0) {
        pOut->append("  ").append(pLabel).append("messages cut at 1024 characters: ");
        AppendNumber(pOut, P.CutMessages);
        pOut->append("\n");
    }
}
