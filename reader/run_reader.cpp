#include "reader/run_reader.h"

#include <cstring>

const char* const CoInstallerNames[CoInstallerCount] = {"WinUSBCoInstaller2.dll", "WdfCoInstaller01009.dll"};
const char* const InfNames[InfCount] = {"Halvex_mdm.inf", "Halvex_ser.inf",   "Halvex_adb.inf", "cdc-acm.inf",
                                        "WceIS.inf",      "usbvcom_brom.inf", "usbvcom.inf"};

namespace {

// The platform lines the setup program traces, after "Setup device for Windows".
constexpr const char* PlatformNames[] = {" XP32", " XP64", " Vista32",  " Vista64",
                                         "7 32",  "7 64",  " os is 32", " os is 64"};

enum { ExampleChars = 100 };

std::string ValueText(const MessageValue& Value) {
    return std::string(Value.p, Value.Length);
}

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

// The index in `pNames` of the file name at the end of `Value` (a path or a bare name), or -1.
int NameIndex(const MessageValue& Value, const char* const* pNames, int Count) {
    const char* pName = Value.p;
    for (size_t i = 0; i < Value.Length; ++i) {
        if (Value.p[i] == '\\')
            pName = Value.p + i + 1;
    }
    const size_t Length = Value.Length - static_cast<size_t>(pName - Value.p);
    int Found = -1;
    for (int i = 0; i < Count && Found < 0; ++i) {
        if (strlen(pNames[i]) == Length && memcmp(pNames[i], pName, Length) == 0)
            Found = i;
    }
    return Found;
}

void InitProcess(ProcessState* pProcess, ProgramRole Role, const Record& Rec) {
    pProcess->Role = Role;
    pProcess->HasPid = Rec.HasPid;
    pProcess->Pid = Rec.Pid;
    pProcess->FirstLine = 0;
    pProcess->HasTime = false;
    pProcess->FirstMs = pProcess->LastMs = 0;
    pProcess->Messages = 0;
    pProcess->EarlyFailure = MsgNone;
    pProcess->HasMajor = pProcess->HasMinor = false;
    pProcess->Major = pProcess->Minor = 0;
    pProcess->OtherOs = false;
    pProcess->Bits = 0;
    pProcess->NoHalf = false;
    pProcess->Machine = 0;
    for (FileStep& Step : pProcess->CoInstallers)
        Step = FileStep{StepNotReached, ReasonNone, 0, std::string()};
    pProcess->CurrentCoInstaller = -1;
    pProcess->CopyOpen = false;
    pProcess->CopyReason = ReasonNone;
    pProcess->CopyError = 0;
    for (FileStep& Step : pProcess->Infs)
        Step = FileStep{StepNotReached, ReasonNone, 0, std::string()};
    pProcess->CurrentInf = -1;
    pProcess->NodeCount = 0;
    for (size_t& Count : pProcess->NodeOutcomes)
        Count = 0;
    pProcess->NodesSkippedNoMemory = 0;
    pProcess->NodesPassedOver = 0;
    pProcess->NodeOpen = false;
    pProcess->DevicesWalked = false;
    pProcess->WalkCut = false;
    pProcess->WalkCutError = 0;
    pProcess->Refresh = RefreshNotReached;
    pProcess->DeviceSetFailed = false;
    pProcess->DeviceSetError = 0;
    pProcess->StoreReached = false;
    for (FileStep& Step : pProcess->PackageInfs)
        Step = FileStep{StepNotReached, ReasonNone, 0, std::string()};
    pProcess->StoreLeftAlone = MsgNone;
    pProcess->StoreError = 0;
    pProcess->StoreListCut = false;
    pProcess->StoreListError = 0;
    pProcess->StoreFileCount = 0;
    for (size_t& Count : pProcess->StoreOutcomes)
        Count = 0;
    pProcess->StoreFileOpen = false;
    pProcess->SkippedFileCount = 0;
    pProcess->CoInstallersKept = false;
    pProcess->NothingToUninstall = false;
    pProcess->Handoff = HandoffNotReached;
    pProcess->ModulePathError = 0;
    pProcess->CompanionProcess = -1;
    pProcess->UnknownMessages = 0;
    pProcess->UntaggedStrings = 0;
    pProcess->CutMessages = 0;
}

void Unknown(ProcessState* pProcess, const Record& Rec) {
    ++pProcess->UnknownMessages;
    KeepExample(&pProcess->UnknownExamples, Rec.Text, Rec.TextLength);
}

// Messages that belong to a co-installer copy begun with "ExistingFileName".
bool IsCopyMessage(MessageId Id) {
    return Id == MsgNew || Id == MsgMallocSysPath || Id == MsgNoSysPath || Id == MsgMallocNew ||
           Id == MsgNewTooLong || Id == MsgCopyFailed || Id == MsgCoInstallFailed;
}

void CopyCause(ProcessState* pProcess, FailReason Reason, std::string Detail) {
    pProcess->CopyReason = Reason;
    pProcess->CopyDetail = std::move(Detail);
}

// The outcome of the node found last.
void NodeResult(ProcessState* pProcess, const Record& Rec, NodeOutcome Outcome, std::string DriverKey,
                uint32_t Error) {
    if (!pProcess->NodeOpen) {
        Unknown(pProcess, Rec); // an outcome without a node before it
        return;
    }
    pProcess->NodeOpen = false;
    --pProcess->NodeOutcomes[NodePending];
    ++pProcess->NodeOutcomes[Outcome];
    if (pProcess->Nodes.size() == pProcess->NodeCount) {
        DeviceNode& Node = pProcess->Nodes.back();
        Node.Outcome = Outcome;
        Node.DriverKey = std::move(DriverKey);
        Node.Error = Error;
    }
}

// Uninstall: the outcome of the store file found last.
void StoreResult(ProcessState* pProcess, const Record& Rec, StoreOutcome Outcome, uint32_t Error) {
    if (!pProcess->StoreFileOpen) {
        Unknown(pProcess, Rec); // an outcome without a store file before it
        return;
    }
    pProcess->StoreFileOpen = false;
    --pProcess->StoreOutcomes[StorePending];
    ++pProcess->StoreOutcomes[Outcome];
    if (pProcess->StoreFiles.size() == pProcess->StoreFileCount) {
        pProcess->StoreFiles.back().Outcome = Outcome;
        pProcess->StoreFiles.back().Error = Error;
    }
}

void SkipFile(ProcessState* pProcess, MessageId Why, uint32_t Error, std::string Path) {
    ++pProcess->SkippedFileCount;
    if (pProcess->SkippedFiles.size() < MaxNodesKept)
        pProcess->SkippedFiles.push_back(SkippedFile{Why, Error, std::move(Path)});
}

// A %d error value, 0 when it is not a number.
uint32_t DecimalError(const MessageValue& Value) {
    uint32_t Number = 0;
    return ValueAsDecimal(Value, &Number) ? Number : 0;
}
uint32_t HexError(const MessageValue& Value) {
    uint32_t Number = 0;
    return ValueAsHex(Value, &Number) ? Number : 0;
}

// The uninstall steps run in a fixed order: devices, driver store, co-installers, refresh. A message of
// one step shows that the steps before it have ended.
void UninstallStepReached(ProcessState* pProcess, MessageId Id) {
    pProcess->DevicesWalked = true;
    if (Id != MsgNoDeviceSet)
        pProcess->StoreReached = true;
}

void ApplyUninstallMessage(ProcessState* pProcess, const MessageMatch& Match, const Record& Rec) {
    const MessageValue& V0 = Match.Values[0];
    const MessageValue& V1 = Match.Values[1];
    switch (Match.Id) {
    case MsgUninstallHandoff:
        pProcess->Handoff = HandoffBegun;
        return;
    case MsgNodeUninstalled:
        NodeResult(pProcess, Rec, NodeUninstalled, std::string(), 0);
        return;
    case MsgNodeUninstallFailed:
        NodeResult(pProcess, Rec, NodeUninstallFailed, std::string(), HexError(V0));
        return;
    case MsgNoDeviceSet:
        pProcess->DeviceSetFailed = true;
        pProcess->DeviceSetError = HexError(V0);
        break;
    case MsgNoStoreUninstall:
    case MsgNoPackageInf:
    case MsgStorePathFailed:
    case MsgFindFirstFailed:
        pProcess->StoreLeftAlone = Match.Id;
        pProcess->StoreError =
            Match.Id == MsgNoStoreUninstall || Match.Id == MsgFindFirstFailed ? DecimalError(V0) : 0;
        pProcess->StoreDetail = ValueText(Match.Id == MsgFindFirstFailed ? V1 : V0);
        break;
    case MsgFindNextFailed:
        pProcess->StoreListCut = true;
        pProcess->StoreListError = DecimalError(V0);
        break;
    case MsgPackageInfTooLong:
    case MsgPackageInfMissing: {
        const int Index = NameIndex(V1, InfNames, InfCount);
        if (Index < 0) {
            Unknown(pProcess, Rec);
        } else if (Match.Id == MsgPackageInfTooLong) {
            pProcess->PackageInfs[Index] =
                FileStep{StepFailed, ReasonTooLong, 0, ValueText(V0) + "\\" + ValueText(V1)};
        } else {
            pProcess->PackageInfs[Index] = FileStep{StepFailed, ReasonError, DecimalError(V0), ValueText(V1)};
        }
        break;
    }
    case MsgStoreNameTooLong:
        SkipFile(pProcess, Match.Id, 0, ValueText(V0) + "\\" + ValueText(V1));
        break;
    case MsgOpenFailed:
    case MsgReadFailed:
        SkipFile(pProcess, Match.Id, DecimalError(V0), ValueText(V1));
        break;
    case MsgStoreFile:
        ++pProcess->StoreFileCount;
        ++pProcess->StoreOutcomes[StorePending];
        pProcess->StoreFileOpen = true;
        if (pProcess->StoreFiles.size() < MaxNodesKept)
            pProcess->StoreFiles.push_back(StoreFile{ValueText(V0), StorePending, 0});
        break;
    case MsgStoreRemoved:
        StoreResult(pProcess, Rec, StoreRemoved, 0);
        break;
    case MsgStoreRefused:
        StoreResult(pProcess, Rec, StoreRefused, HexError(V0));
        break;
    case MsgCoInstallersKept:
        pProcess->CoInstallersKept = true;
        break;
    case MsgNothingToUninstall:
        pProcess->NothingToUninstall = true;
        break;
    default:
        Unknown(pProcess, Rec);
        return;
    }
    UninstallStepReached(pProcess, Match.Id);
}

void ApplyMessage(ProcessState* pProcess, const MessageMatch& Match, const Record& Rec) {
    const MessageValue& V0 = Match.Values[0];
    const MessageValue& V1 = Match.Values[1];
    uint32_t Number = 0;

    // A copy has no success message: it succeeded when the next step begins without a failure.
    if (pProcess->CopyOpen && !IsCopyMessage(Match.Id)) {
        FileStep& Step = pProcess->CoInstallers[pProcess->CurrentCoInstaller];
        if (Step.State == StepPending)
            Step.State = StepDone;
        pProcess->CopyOpen = false;
    }

    switch (Match.Id) {
    case MsgNoVersion:
    case MsgMallocSysDir:
    case MsgNoSysDir:
    case MsgMallocSourceDir:
        pProcess->EarlyFailure = Match.Id;
        break;
    case MsgSysPath:
        pProcess->SysPath = ValueText(V0);
        break;
    case MsgMajor:
        pProcess->HasMajor = ValueAsDecimal(V0, &pProcess->Major);
        break;
    case MsgMinor:
        pProcess->HasMinor = ValueAsDecimal(V0, &pProcess->Minor);
        break;
    case MsgOtherOs:
        pProcess->OtherOs = true;
        break;
    case MsgNoHalf: {
        pProcess->NoHalf = ValueAsHex(V0, &pProcess->Machine);
        const ProgramKind* pKind = FindProgramByRole(pProcess->Role);
        if (!pProcess->NoHalf)
            Unknown(pProcess, Rec);
        else if (pKind != nullptr && !pKind->Uninstall)
            pProcess->EarlyFailure = MsgNoHalf;
        break;
    }
    case MsgPlatform: {
        bool Known = false;
        for (const char* pName : PlatformNames)
            Known = Known || (strlen(pName) == V0.Length && memcmp(pName, V0.p, V0.Length) == 0);
        if (Known) {
            pProcess->PlatformLine = "Setup device for Windows" + ValueText(V0);
            pProcess->Bits = V0.p[V0.Length - 2] == '6' ? 64 : 32;
        } else {
            Unknown(pProcess, Rec);
        }
        break;
    }

    case MsgExisting: {
        const int Index = NameIndex(V0, CoInstallerNames, CoInstallerCount);
        if (Index < 0) {
            Unknown(pProcess, Rec);
            break;
        }
        pProcess->CurrentCoInstaller = Index;
        pProcess->CoInstallers[Index].State = StepPending;
        pProcess->CopyOpen = true;
        CopyCause(pProcess, ReasonNone, std::string());
        break;
    }
    case MsgMallocExisting:
    case MsgMallocSysPath:
    case MsgMallocNew:
        CopyCause(pProcess, ReasonNoMemory, std::string());
        break;
    case MsgNoSysPath:
        CopyCause(pProcess, ReasonNoSystemPath, std::string());
        break;
    case MsgExistingTooLong:
    case MsgNewTooLong:
        CopyCause(pProcess, ReasonTooLong, ValueText(V0) + "\\" + ValueText(V1));
        break;
    case MsgNew:
        break;
    case MsgCopyFailed:
        if (ValueAsDecimal(V0, &Number)) {
            CopyCause(pProcess, ReasonError, std::string());
            pProcess->CopyError = Number;
        } else {
            CopyCause(pProcess, ReasonUnknown, std::string());
        }
        break;
    case MsgCoInstallFailed: {
        const int Index = NameIndex(V0, CoInstallerNames, CoInstallerCount);
        if (Index < 0) {
            Unknown(pProcess, Rec);
            break;
        }
        FileStep& Step = pProcess->CoInstallers[Index];
        Step.State = StepFailed;
        Step.Reason = pProcess->CopyReason == ReasonNone ? ReasonUnknown : pProcess->CopyReason;
        Step.Error = pProcess->CopyError;
        Step.Detail = pProcess->CopyDetail;
        pProcess->CurrentCoInstaller = Index;
        pProcess->CopyOpen = false;
        CopyCause(pProcess, ReasonNone, std::string());
        break;
    }

    case MsgFullName: {
        const int Index = NameIndex(V0, InfNames, InfCount);
        if (Index < 0) {
            Unknown(pProcess, Rec);
            break;
        }
        pProcess->CurrentInf = Index;
        pProcess->Infs[Index] = FileStep{StepPending, ReasonNone, 0, std::string()};
        break;
    }
    case MsgMallocFullName:
        // It names no INF: the INFs go in a fixed order, so it is the one after the last seen.
        if (pProcess->CurrentInf + 1 < InfCount) {
            ++pProcess->CurrentInf;
            pProcess->Infs[pProcess->CurrentInf] = FileStep{StepFailed, ReasonNoMemory, 0, std::string()};
        } else {
            Unknown(pProcess, Rec);
        }
        break;
    case MsgFullNameTooLong: {
        const int Index = NameIndex(V1, InfNames, InfCount);
        if (Index < 0) {
            Unknown(pProcess, Rec);
            break;
        }
        pProcess->CurrentInf = Index;
        pProcess->Infs[Index] = FileStep{StepFailed, ReasonTooLong, 0, ValueText(V0) + "\\" + ValueText(V1)};
        break;
    }
    case MsgInfFailed:
    case MsgInfStaged: {
        FileStep* pStep = pProcess->CurrentInf >= 0 ? &pProcess->Infs[pProcess->CurrentInf] : nullptr;
        if (pStep == nullptr || pStep->State != StepPending) {
            Unknown(pProcess, Rec);
        } else if (Match.Id == MsgInfStaged) {
            *pStep = FileStep{StepDone, ReasonNone, 0, ValueText(V0)};
        } else if (ValueAsHex(V0, &Number)) {
            *pStep = FileStep{StepFailed, ReasonError, Number, std::string()};
        } else {
            *pStep = FileStep{StepFailed, ReasonUnknown, 0, std::string()};
        }
        break;
    }

    case MsgMallocDriver:
        ++pProcess->NodesSkippedNoMemory;
        break;
    case MsgDeviceSkipped:
        if (pProcess->PassedOverErrors.size() < MaxNodesKept)
            pProcess->PassedOverErrors.push_back(DecimalError(V0));
        ++pProcess->NodesPassedOver;
        break;
    case MsgWalkEndedEarly:
        pProcess->WalkCut = true;
        pProcess->WalkCutError = DecimalError(V0);
        pProcess->DevicesWalked = true;
        break;
    case MsgFound:
        ++pProcess->NodeCount;
        ++pProcess->NodeOutcomes[NodePending];
        pProcess->NodeOpen = true;
        if (pProcess->Nodes.size() < MaxNodesKept)
            pProcess->Nodes.push_back(DeviceNode{ValueText(V0), NodePending, std::string(), 0});
        break;
    case MsgDriverKept:
        NodeResult(pProcess, Rec, NodeKept, ValueText(V0), 0);
        break;
    case MsgRemoved:
        NodeResult(pProcess, Rec, NodeRemoved, std::string(), 0);
        break;
    case MsgRemoveFailed:
        NodeResult(pProcess, Rec, NodeRemoveFailed, std::string(), 0);
        break;
    case MsgDriverUnreadable:
        NodeResult(pProcess, Rec, NodeDriverUnreadable, std::string(),
                   ValueAsDecimal(V0, &Number) ? Number : 0);
        break;
    case MsgRootNotFound:
    case MsgRefresh:
        pProcess->Refresh = Match.Id == MsgRefresh ? RefreshRequested : RefreshRootNotFound;
        pProcess->DevicesWalked = true;
        pProcess->StoreReached = true;
        break;

    case MsgHandoff:
        pProcess->Handoff = HandoffBegun;
        break;
    case MsgTransfNull:
        break; // the module path line that follows tells what was used
    case MsgModulePath:
        pProcess->ModulePath = ValueText(V0);
        break;
    case MsgModulePathFailed:
        pProcess->Handoff = HandoffNoPath;
        pProcess->ModulePathError = DecimalError(V0);
        break;
    case MsgCompanionTooLong:
        pProcess->ModulePath = ValueText(V0);
        pProcess->Handoff = HandoffPathTooLong;
        break;
    case MsgCompanionPath:
        pProcess->CompanionPath = ValueText(V0);
        break;
    case MsgOpenAp:
        pProcess->Handoff = HandoffStarting;
        break;
    case MsgOpenModule:
        if (pProcess->CompanionPath.empty())
            pProcess->CompanionPath = ValueText(V0);
        break;
    case MsgOpenPath:
    case MsgOpenCommand:
        break;

    default: // the uninstall steps, or (a start message being the caller's) not the tool's
        ApplyUninstallMessage(pProcess, Match, Rec);
        break;
    }
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
    InitProcess(&Process, Kind.Role, Rec);
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
    PidSlot& Slot = pState->Pids.try_emplace(Key, PidSlot{-1, false, false}).first->second;
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
    pState->Format = FormatUnknown;
    pState->Lines = pState->Records = pState->ToolMessages = 0;
    pState->InHeader = true;
    pState->HeaderLines = 0;
    ClearMachineFacts(&pState->Machine);
    pState->LastLineCut = false;
    pState->BadLines = 0;
    for (size_t& Count : pState->BadByStatus)
        Count = 0;
    pState->BadExamples.clear();
    pState->ForeignStrings = pState->ForeignProcesses = 0;
    pState->ForeignExamples.clear();
    pState->UnknownSenderStrings = 0;
    pState->UnknownSenderExamples.clear();
    pState->ViewTime = TimeElapsed;
    pState->ViewClockMs = false;
    pState->ViewPidLines = pState->ViewJoinedLines = 0;
    pState->NoPidTags = 0;
    pState->Utf16 = false;
    pState->StrayMessages = 0;
    pState->StrayExamples.clear();
    pState->LoneTags = 0;
    pState->DroppedProcesses = 0;
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
