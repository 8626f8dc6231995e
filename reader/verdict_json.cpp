#include "reader/verdict_json.h"

#include "reader/error_meanings.h"
#include "reader/report_text.h"

namespace {

const char* FormatName(RecordFormat Format) {
    switch (Format) {
    case FormatPlain:
        return "plain";
    case FormatTimed:
        return "timed";
    case FormatDebugView:
        return "debugview";
    default:
        return "unknown";
    }
}

// A string value, null when empty.
void AppendJsonValue(std::string* pOut, const std::string& Value) {
    if (Value.empty())
        pOut->append("null");
    else
        AppendJsonString(pOut, Value);
}

void AppendJsonText(std::string* pOut, const char* pKey, const std::string& Value) {
    AppendJsonKey(pOut, pKey);
    AppendJsonValue(pOut, Value);
}

void AppendJsonBool(std::string* pOut, const char* pKey, bool Value) {
    AppendJsonKey(pOut, pKey);
    pOut->append(Value ? "true" : "false");
}

void AppendJsonNumber(std::string* pOut, const char* pKey, uint64_t Value) {
    AppendJsonKey(pOut, pKey);
    AppendNumber(pOut, Value);
}

void AppendStepJson(std::string* pOut, const StepVerdict& Step) {
    pOut->push_back('{');
    AppendJsonKey(pOut, "step", true);
    AppendJsonString(pOut, StepName(Step.Step));
    AppendJsonBool(pOut, "companion", Step.Companion);
    AppendJsonText(pOut, "subject", Step.pSubject);
    AppendJsonText(pOut, "outcome", OutcomeName(Step.Outcome));
    AppendJsonError(pOut, Step.HasError, Step.Error, false);
    pOut->push_back('}');
}

void AppendProblemJson(std::string* pOut, const ProblemVerdict& Problem) {
    pOut->push_back('{');
    AppendJsonKey(pOut, "key", true);
    AppendJsonString(pOut, Problem.pKey);
    AppendJsonText(pOut, "severity", SeverityName(Problem.Severity));
    AppendJsonBool(pOut, "companion", Problem.Companion);
    AppendJsonKey(pOut, "count");
    if (Problem.Count == 0)
        pOut->append("null");
    else
        AppendNumber(pOut, Problem.Count);
    AppendJsonText(pOut, "label", Problem.Label);
    AppendJsonText(pOut, "text", Problem.Text);
    AppendJsonError(pOut, Problem.HasError, Problem.Error, true);
    pOut->push_back('}');
}

void AppendRunJson(std::string* pOut, const RunVerdict& Run, size_t Number, const MachineFacts& Machine) {
    pOut->push_back('{');
    AppendJsonKey(pOut, "run", true);
    AppendNumber(pOut, Number);
    AppendJsonKey(pOut, "machine");
    AppendMachineJson(pOut, Machine);
    AppendJsonText(pOut, "program", Run.pProgram);
    AppendJsonBool(pOut, "companion_alone", Run.CompanionAlone);
    AppendJsonText(pOut, "action", Run.Uninstall ? "uninstall" : "install");
    AppendJsonText(pOut, "road", RoadName(Run.Road));
    AppendJsonKey(pOut, "native_machine");
    if (Run.Machine == 0)
        pOut->append("null");
    else
        AppendNumber(pOut, Run.Machine);
    std::string Version;
    if (Run.HasVersion) {
        AppendNumber(&Version, Run.Major);
        Version.push_back('.');
        AppendNumber(&Version, Run.Minor);
    }
    AppendJsonText(pOut, "traced_windows", Version);
    AppendJsonText(pOut, "verdict", ResultName(Run.Result));
    AppendJsonKey(pOut, "steps");
    pOut->push_back('[');
    for (size_t i = 0; i < Run.Steps.size(); ++i) {
        pOut->append(i == 0 ? "" : ",");
        AppendStepJson(pOut, Run.Steps[i]);
    }
    pOut->push_back(']');
    AppendJsonKey(pOut, "problems");
    pOut->push_back('[');
    for (size_t i = 0; i < Run.Problems.size(); ++i) {
        pOut->append(i == 0 ? "" : ",");
        AppendProblemJson(pOut, Run.Problems[i]);
    }
    pOut->append("]}");
}

} // namespace

void AppendJsonKey(std::string* pOut, const char* pKey, bool First) {
    pOut->append(First ? "\"" : ",\"").append(pKey).append("\":");
}

void AppendJsonError(std::string* pOut, bool HasError, uint32_t Error, bool Explained) {
    const ErrorMeaning* pMeaning = HasError ? FindErrorMeaning(Error) : nullptr;
    AppendJsonKey(pOut, "error");
    if (HasError)
        AppendNumber(pOut, Error);
    else
        pOut->append("null");
    AppendJsonText(pOut, "error_name", pMeaning != nullptr ? pMeaning->pName : "");
    if (!Explained)
        return;
    std::string Hex;
    if (HasError)
        AppendHex(&Hex, Error);
    AppendJsonText(pOut, "error_hex", Hex);
    AppendJsonText(pOut, "error_meaning", pMeaning != nullptr ? pMeaning->pMeaning : "");
}

void AppendMachineJson(std::string* pOut, const MachineFacts& Facts) {
    if (!HasMachineFacts(Facts)) {
        pOut->append("null");
        return;
    }
    pOut->push_back('{');
    AppendJsonKey(pOut, "computer", true);
    AppendJsonValue(pOut, Facts.Computer);
    AppendJsonText(pOut, "windows", Facts.Windows);
    AppendJsonText(pOut, "processor", Facts.Processor);
    AppendJsonText(pOut, "package", Facts.Package);
    AppendJsonText(pOut, "program", Facts.Program);
    AppendJsonText(pOut, "action", Facts.Action);
    AppendJsonText(pOut, "started", Facts.Started);
    pOut->push_back('}');
}

void AppendRecordJson(std::string* pOut, const RecordVerdict& Verdict, const std::string& Name) {
    pOut->push_back('{');
    AppendJsonKey(pOut, "file", true);
    AppendJsonString(pOut, Name);
    AppendJsonNumber(pOut, "exit", Verdict.Status);
    AppendJsonText(pOut, "format", FormatName(Verdict.Format));
    AppendJsonNumber(pOut, "lines", Verdict.Lines);
    AppendJsonNumber(pOut, "strings", Verdict.Strings);
    AppendJsonNumber(pOut, "unreadable_lines", Verdict.BadLines);
    AppendJsonKey(pOut, "runs");
    pOut->push_back('[');
    for (size_t i = 0; i < Verdict.Runs.size(); ++i) {
        pOut->append(i == 0 ? "\n" : ",\n");
        AppendRunJson(pOut, Verdict.Runs[i], i + 1, Verdict.Machine);
    }
    pOut->append("]}");
}
