// What a step adds to its run's verdict as its lines are written: its steps, its problems, and the pieces
// of text the steps' lines share.
#pragma once

#include "reader/verdict.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The line under a list cut to its first entries: how many more there were.
void AppendMore(std::string* pOut, size_t Total, size_t Shown);
// A problem of the run; a companion's problems say so first. `Count`, when not 0, stands before the words;
// `pSubject` takes the place of the words' "%s".
ProblemVerdict* Problem(RunVerdict* pVerdict, Speaker Who, ProblemKind Kind, size_t Count = 0,
                        const char* pSubject = "");
void ProblemError(ProblemVerdict* pProblem, uint32_t Error, bool Hex);
void AddStep(RunVerdict* pVerdict, Speaker Who, RunStep Step, const char* pSubject, StepOutcome Outcome,
             bool HasError = false, uint32_t Error = 0);
// What a step's problems made of it: done, or ended with a part undone.
StepOutcome OutcomeSince(const RunVerdict& Verdict, size_t ProblemsBefore);
StepOutcome FileStepOutcome(const FileStep& Step);
// A step the record does not reach: its line, its step, and (once a run) the problem.
void Missing(RunVerdict* pVerdict, Speaker Who, std::string* pOut, RunStep Step, const char* pSubject = "");
void AppendFailReason(std::string* pOut, const FileStep& Step, bool Hex);
// "  Devices: " or "  Companion devices: ", and the like.
void StepLabel(std::string* pOut, Speaker Who, const char* pStep);
// A step that stopped on an error before it had looked at everything: its line, and the run's problem.
void CutShortLine(std::string* pOut, Speaker Who, const char* pStep, const char* pWhat, uint32_t Error,
                  RunVerdict* pVerdict, ProblemKind Kind);
