#include "reader/verdict_lines.h"

#include "reader/report_text.h"

#include <cstring>

namespace {

// What stands before a line of the companion's ("" for the program that starts the run).
const char* WhoPrefix(Speaker Who) {
    return Who == SpeakerCompanion ? "Companion " : "";
}

// The prefix of a problem of the companion's ("" for the program that starts the run).
const char* ProblemWho(Speaker Who) {
    return Who == SpeakerCompanion ? "companion: " : "";
}

// A problem's words, with its subject in place of "%s".
void AppendWords(std::string* pOut, const char* pWords, const char* pSubject) {
    const char* pAt = strstr(pWords, "%s");
    if (pAt == nullptr) {
        pOut->append(pWords);
        return;
    }
    pOut->append(pWords, static_cast<size_t>(pAt - pWords)).append(pSubject).append(pAt + 2);
}

} // namespace

// The line under a list cut to its first entries: how many more there were.
void AppendMore(std::string* pOut, size_t Total, size_t Shown) {
    if (Total <= Shown)
        return;
    pOut->append("    ... and ");
    AppendNumber(pOut, Total - Shown);
    pOut->append(" more\n");
}

// A problem of the run; a companion's problems say so first. `Count`, when not 0, stands before the words.
ProblemVerdict* Problem(RunVerdict* pVerdict, Speaker Who, ProblemKind Kind, size_t Count,
                        const char* pSubject) {
    const ProblemWords& Row = WordsOfProblem(Kind);
    pVerdict->Problems.emplace_back();
    ProblemVerdict* pProblem = &pVerdict->Problems.back();
    pProblem->Companion = Who == SpeakerCompanion;
    pProblem->Kind = Kind;
    pProblem->pKey = Row.pKey;
    pProblem->Severity = Row.Severity;
    pProblem->Count = Count;
    pProblem->Label = ProblemWho(Who);
    AppendWords(&pProblem->Label, Row.pWords, pSubject);
    if (Count == 0) {
        pProblem->Text = pProblem->Label;
    } else {
        pProblem->Text = ProblemWho(Who);
        pProblem->Text.append(std::to_string(Count)).append(" ");
        AppendWords(&pProblem->Text, Row.pWords, pSubject);
    }
    pProblem->HasError = false;
    pProblem->Error = 0;
    pProblem->ErrorHex = false;
    return pProblem;
}

void ProblemError(ProblemVerdict* pProblem, uint32_t Error, bool Hex) {
    pProblem->HasError = true;
    pProblem->Error = Error;
    pProblem->ErrorHex = Hex;
}

void AddStep(RunVerdict* pVerdict, Speaker Who, RunStep Step, const char* pSubject, StepOutcome Outcome,
             bool HasError, uint32_t Error) {
    pVerdict->Steps.push_back(StepVerdict{Who == SpeakerCompanion, Step, pSubject, Outcome, HasError, Error});
}

// What a step's problems made of it: done, or ended with a part undone.
StepOutcome OutcomeSince(const RunVerdict& Verdict, size_t ProblemsBefore) {
    return Verdict.Problems.size() > ProblemsBefore ? OutcomeIncomplete : OutcomeDone;
}

StepOutcome FileStepOutcome(const FileStep& Step) {
    switch (Step.State) {
    case StepDone:
        return OutcomeDone;
    case StepFailed:
        return OutcomeFailed;
    case StepPending:
        return OutcomePending;
    default:
        return OutcomeNotReached;
    }
}

// A step the record does not reach.
void Missing(RunVerdict* pVerdict, Speaker Who, std::string* pOut, RunStep Step, const char* pSubject) {
    pOut->append("not in the record (it ends before this step)\n");
    AddStep(pVerdict, Who, Step, pSubject, OutcomeNotReached);
    if (!pVerdict->Incomplete) {
        // The words name the companion's step already.
        const std::string Words =
            (Who == SpeakerCompanion ? "the companion's " : "the ") + std::string(StepWords(Step));
        Problem(pVerdict, SpeakerStarter, ProblemRecordEnds, 0, Words.c_str())->Companion =
            Who == SpeakerCompanion;
    }
    pVerdict->Incomplete = true;
}

void AppendFailReason(std::string* pOut, const FileStep& Step, bool Hex) {
    switch (Step.Reason) {
    case ReasonError:
        AppendError(pOut, Step.Error, Hex);
        break;
    case ReasonNoMemory:
        pOut->append("out of memory");
        break;
    case ReasonNoSystemPath:
        pOut->append("the system directory could not be read");
        break;
    case ReasonTooLong:
        pOut->append("the path does not fit in 260 bytes: ");
        AppendEscaped(pOut, Step.Detail);
        break;
    default:
        pOut->append("no cause recorded");
        break;
    }
}

// "  Devices: " or "  Companion devices: ", and the like.
void StepLabel(std::string* pOut, Speaker Who, const char* pStep) {
    pOut->append("  ").append(WhoPrefix(Who));
    if (Who == SpeakerStarter) {
        pOut->push_back(static_cast<char>(pStep[0] - 'a' + 'A'));
        ++pStep;
    }
    pOut->append(pStep);
}

// A step that stopped on an error before it had looked at everything: its line, and the run's problem.
void CutShortLine(std::string* pOut, Speaker Who, const char* pStep, const char* pWhat, uint32_t Error,
                  RunVerdict* pVerdict, ProblemKind Kind) {
    StepLabel(pOut, Who, pStep);
    pOut->append(pWhat);
    AppendError(pOut, Error, false);
    pOut->append("\n");
    ProblemError(Problem(pVerdict, Who, Kind), Error, false);
}
