#include "reader/run_reader.h"

#include <cstring>
#include <initializer_list>

namespace {

enum { ExampleChars = 100 };

// Keeps the first few examples of a kind, shortened and escaped for the terminal.
void KeepExample(std::vector<std::string>* pExamples, const char* pText, size_t Length) {
    if (pExamples->size() < ExamplesKept) {
        char Buffer[ExampleChars];
        size_t Used = 0;
        const size_t n = EscapeText(pText, Length, Buffer, ExampleChars, false, &Used);
        pExamples->push_back(std::string(Buffer, n));
        if (Used < Length)
            pExamples->back().append("...");
    }
}

void Unknown(ProcessState* pProcess, const Record& Rec) {
    ++pProcess->UnknownMessages;
    KeepExample(&pProcess->UnknownExamples, Rec.Text, Rec.TextLength);
}

// A step's routine on its own part of the process; false when the message does not fit the step.
using StepRoutine = bool (*)(ProcessState* pProcess, const MessageMatch& Match);

template <typename Part, bool (*Apply)(Part*, const MessageMatch&)>
bool OnPart(ProcessState* pProcess, const MessageMatch& Match) {
    return Apply(pProcess, Match);
}

// A program's first message is the caller's: one here is out of place, as is a message the tool has not.
bool NoStep(ProcessState* /*pProcess*/, const MessageMatch& /*Match*/) {
    return false;
}

// By StepKind.
constexpr StepRoutine StepRoutines[StepKindCount] = {
    NoStep,
    OnPart<EarlySteps, ApplyEarlyMessage>,
    OnPart<CopyStep, ApplyCopyMessage>,
    OnPart<InfStep, ApplyInfMessage>,
    OnPart<WalkStep, ApplyWalkMessage>,
    OnPart<HandoffStep, ApplyHandoffMessage>,
    OnPart<StoreStep, ApplyStoreMessage>,
};

void ApplyMessage(ProcessState* pProcess, const MessageMatch& Match, const Record& Rec) {
    const MessageStep Step = StepOfMessage(Match.Id);
    // A copy has no success message: it succeeded when the next step begins without a failure.
    if (pProcess->CopyOpen && (Step.Step != KindCopy || Step.Begins))
        CloseCopy(pProcess);
    if (!StepRoutines[Step.Step](pProcess, Match))
        Unknown(pProcess, Rec);
    if (Step.Order != OrderOwn)
        pProcess->DevicesWalked = true;
    if (Step.Order == OrderAtStore)
        pProcess->StoreReached = true;
}

void NoteTime(ProcessState* pProcess, const Record& Rec) {
    if (Rec.HasTime) {
        if (!pProcess->HasTime)
            pProcess->FirstMs = Rec.Ms;
        pProcess->HasTime = true;
        pProcess->LastMs = Rec.Ms;
    }
}

// A program's first message: a new process, and for the setup program or the uninstaller a new run.
void StartProcess(ReportState* pState, PidSlot* pSlot, const ProgramKind& Kind, const Record& Rec) {
    if (pState->Processes.size() >= MaxProcesses) {
        ++pState->DroppedProcesses;
        pSlot->Process = -1;
        return;
    }
    const int Index = static_cast<int>(pState->Processes.size());
    pState->Processes.emplace_back();
    ProcessState& Process = pState->Processes.back();
    Process.Role = Kind.Role;
    Process.Uninstalling = Kind.Uninstall;
    Process.HasPid = Rec.HasPid;
    Process.Pid = Rec.Pid;
    Process.FirstLine = pState->Lines;
    Process.Messages = 1;
    NoteTime(&Process, Rec);
    pSlot->Process = Index;

    if (Kind.StartedBy != RoleNone) {
        // The latest run of the program that starts it, handing off and without a companion yet.
        for (size_t i = pState->Runs.size(); i-- > 0;) {
            Run& Candidate = pState->Runs[i];
            if (Candidate.Starter < 0 || Candidate.Companion >= 0)
                continue;
            ProcessState& Starter = pState->Processes[Candidate.Starter];
            if (Starter.Role == Kind.StartedBy &&
                (Starter.Handoff == HandoffBegun || Starter.Handoff == HandoffStarting)) {
                Candidate.Companion = Index;
                Starter.CompanionProcess = Index;
                return;
            }
        }
        pState->Runs.push_back(Run{-1, Index, Kind.Uninstall});
    } else {
        pState->Runs.push_back(Run{Index, -1, Kind.Uninstall});
    }
}

// A string of another program. Without a process id its sender is unknown: the tool's programs send no
// untagged string but "CreateProcess failed".
void ForeignString(ReportState* pState, PidSlot* pSlot, const Record& Rec) {
    if (!Rec.HasPid) {
        ++pState->UnknownSenderStrings;
        KeepExample(&pState->UnknownSenderExamples, Rec.Text, Rec.TextLength);
        return;
    }
    ++pState->ForeignStrings;
    if (!pSlot->Foreign) {
        pSlot->Foreign = true;
        ++pState->ForeignProcesses;
    }
    if (pState->ForeignExamples.size() < ExamplesKept) {
        std::string Example = std::to_string(Rec.Pid) + ": ";
        KeepExample(&pState->ForeignExamples, Rec.Text, Rec.TextLength);
        pState->ForeignExamples.back().insert(0, Example);
    }
}

// The string after a tag: a program's first message, or a message of the process the slot belongs to.
void ToolMessage(ReportState* pState, PidSlot* pSlot, const Record& Rec) {
    ++pState->ToolMessages;
    const ProgramKind* pKind = FindProgramByStart(Rec.Text, Rec.TextLength);
    if (pKind != nullptr) {
        StartProcess(pState, pSlot, *pKind, Rec);
    } else if (pSlot->Process < 0) {
        ++pState->StrayMessages;
        KeepExample(&pState->StrayExamples, Rec.Text, Rec.TextLength);
    } else {
        ProcessState& Process = pState->Processes[pSlot->Process];
        MessageMatch Match;
        MatchToolMessage(Rec.Text, Rec.TextLength, &Match);
        NoteTime(&Process, Rec);
        ++Process.Messages;
        if (Match.Cut)
            ++Process.CutMessages;
        ApplyMessage(&Process, Match, Rec);
    }
}

void HandleRecord(ReportState* pState, const Record& Rec) {
    const uint64_t Key = Rec.HasPid ? Rec.Pid : NoPidSlot;
    auto Found = pState->Pids.find(Key);
    if (Found == pState->Pids.end()) {
        if (pState->Pids.size() >= MaxSenders) {
            ++pState->DroppedSenderStrings;
            return;
        }
        Found = pState->Pids.emplace(Key, PidSlot{-1, false, false}).first;
    }
    PidSlot& Slot = Found->second;
    if (Rec.TextLength == ToolTagLength && memcmp(Rec.Text, ToolTag, ToolTagLength) == 0) {
        if (!Rec.HasPid)
            ++pState->NoPidTags;
        if (Slot.TagPending)
            ++pState->LoneTags;
        Slot.TagPending = true;
        return;
    }

    if (Slot.TagPending) {
        // Read as one process, another program's string may stand between a tag and its message: only a
        // message the tool knows is taken as the tag's.
        MessageMatch Match;
        if (Rec.HasPid || MatchToolMessage(Rec.Text, Rec.TextLength, &Match)) {
            Slot.TagPending = false;
            ToolMessage(pState, &Slot, Rec);
            return;
        }
    }

    if (Slot.Process >= 0) {
        ProcessState& Process = pState->Processes[Slot.Process];
        const bool StartFailed = Rec.TextLength == strlen(CreateProcessFailed) &&
                                 memcmp(Rec.Text, CreateProcessFailed, Rec.TextLength) == 0;
        if (StartFailed && (Process.Handoff == HandoffStarting || Process.Handoff == HandoffBegun)) {
            NoteTime(&Process, Rec);
            Process.Handoff = HandoffStartFailed;
            return;
        }
        if (Rec.HasPid) {
            NoteTime(&Process, Rec);
            ++Process.UntaggedStrings;
            KeepExample(&Process.UntaggedExamples, Rec.Text, Rec.TextLength);
            return;
        }
    }
    ForeignString(pState, &Slot, Rec);
}

// The longest line that is read; anything longer is counted by its first bytes only.
constexpr size_t LineKeptMax = sizeof(ReportState::Carry);

void BadLine(ReportState* pState, RecordStatus Status, const char* pLine, size_t Length) {
    ++pState->BadLines;
    ++pState->BadByStatus[Status];
    if (pState->BadExamples.size() < ExamplesKept) {
        const std::string Where =
            "line " + std::to_string(pState->Lines) + ", " + RecordStatusText(Status) + ": ";
        KeepExample(&pState->BadExamples, pLine, Length <= ExampleChars ? Length : ExampleChars + 1);
        pState->BadExamples.back().insert(0, Where);
    }
}

// A DebugView line: each string it holds is a record of its own.
void HandleDebugViewLine(ReportState* pState, const char* pLine, size_t Length) {
    DebugViewLine Line;
    const RecordStatus Status = ParseDebugViewLine(pLine, Length, &Line);
    if (Status != RecordOk) {
        BadLine(pState, Status, pLine, Length);
        return;
    }
    if (pState->Records == 0)
        pState->ViewTime = Line.Time;
    pState->ViewClockMs = pState->ViewClockMs || (Line.Time == TimeClock && Line.TimeHasMs);
    pState->ViewPidLines += Line.HasPid ? 1 : 0;
    size_t Done = 0;
    do {
        const size_t n = FirstJoinedString(Line.pText + Done, Line.TextLength - Done);
        if (Done == 0 && n < Line.TextLength)
            ++pState->ViewJoinedLines;
        TakeDebugViewString(Line, Line.pText + Done, n, &pState->Current);
        ++pState->Records;
        HandleRecord(pState, pState->Current);
        Done += n;
    } while (Done < Line.TextLength);
}

// One line, without its LF. `Length` may exceed what was kept of it (`Kept` bytes at pLine).
void HandleLine(ReportState* pState, const char* pLine, size_t Length, size_t Kept) {
    ++pState->Lines;
    if (pState->Lines == 1) {
        // A byte order mark from an editor: UTF-8 is read past, UTF-16 cannot be read at all.
        static const char Utf8Bom[] = "\xef\xbb\xbf";
        pState->Utf16 = Kept >= 2 && ((pLine[0] == '\xff' && pLine[1] == '\xfe') ||
                                      (pLine[0] == '\xfe' && pLine[1] == '\xff'));
        if (Kept >= 3 && memcmp(pLine, Utf8Bom, 3) == 0) {
            pLine += 3;
            Length -= 3;
            Kept -= 3;
        }
    }
    if (pState->InHeader) {
        if (ReadHeaderLine(pLine, Kept, &pState->Machine)) {
            ++pState->HeaderLines;
            return;
        }
        pState->InHeader = false;
    }
    if (Length > LineKeptMax) {
        BadLine(pState, RecordTooLong, pLine, Kept);
        return;
    }
    if (pState->Format == FormatUnknown)
        pState->Format = IsDebugViewLine(pLine, Length) ? FormatDebugView : GuessRecordFormat(pLine, Length);
    if (pState->Format == FormatDebugView) {
        HandleDebugViewLine(pState, pLine, Length);
        return;
    }
    const RecordFormat Format = pState->Format == FormatUnknown ? FormatPlain : pState->Format;
    const RecordStatus Status = ParseRecord(pLine, Length, Format, &pState->Current);
    if (Status != RecordOk) {
        BadLine(pState, Status, pLine, Length);
        return;
    }
    ++pState->Records;
    HandleRecord(pState, pState->Current);
}

// Keeps what fits of a line split between two reads; the length counts on.
void AppendCarry(ReportState* pState, const char* p, size_t n) {
    const size_t Room = LineKeptMax - (pState->CarryLength < LineKeptMax ? pState->CarryLength : LineKeptMax);
    if (Room > 0)
        memcpy(pState->Carry + pState->CarryLength, p, n < Room ? n : Room);
    pState->CarryLength += n;
}

void EndCarriedLine(ReportState* pState) {
    const size_t Kept = pState->CarryLength < LineKeptMax ? pState->CarryLength : LineKeptMax;
    HandleLine(pState, pState->Carry, pState->CarryLength, Kept);
    pState->CarryLength = 0;
}

} // namespace

void InitReport(ReportState* pState) {
    // The lists are emptied, not made anew: a rollout reads every file into one state and keeps their room.
    static_cast<ReportTally&>(*pState) = ReportTally();
    ClearMachineFacts(&pState->Machine);
    for (std::vector<std::string>* pExamples : {&pState->BadExamples, &pState->ForeignExamples,
                                                &pState->UnknownSenderExamples, &pState->StrayExamples})
        pExamples->clear();
    pState->Processes.clear();
    pState->Runs.clear();
    pState->Pids.clear();
    pState->CarryLength = 0;
}

void FeedReport(ReportState* pState, const char* pData, size_t Size) {
    while (Size > 0) {
        const char* pLf = static_cast<const char*>(memchr(pData, '\n', Size));
        if (pLf == nullptr) {
            AppendCarry(pState, pData, Size);
            break;
        }
        const size_t Length = static_cast<size_t>(pLf - pData);
        if (pState->CarryLength == 0) {
            HandleLine(pState, pData, Length, Length); // the common case: the whole line in this block
        } else {
            AppendCarry(pState, pData, Length);
            EndCarriedLine(pState);
        }
        pData += Length + 1;
        Size -= Length + 1;
    }
}

void FinishReport(ReportState* pState) {
    if (pState->CarryLength > 0) {
        pState->LastLineCut = true;
        EndCarriedLine(pState);
    }
    for (const auto& Entry : pState->Pids) {
        if (Entry.second.TagPending)
            ++pState->LoneTags;
    }
}
