// The programs and fenwarr-report checked against each other: every trace the programs make on the
// simulated platform, in the clean run and under every fault of the sweep, is read back by the report.
// A message the report does not know, a run it cannot place, or an OK over a traced failure fails here,
// so a changed or new message in a program's source cannot slip past the reader of customers' records.
// The report keeps its own table of the formats on purpose: it reads records of every build already
// shipped, so a text changed in a program must fail here rather than change what the reader accepts.
#include "sim_test.h"

#include "companion/companion_main.h"
#include "installer/run_event.h"
#include "sweep_machine.h"
#include "reader/report_file.h"
#include "reader/tool_messages.h"
#include "reader/verdict.h"
#include "trace/trace.h"

#include <dirent.h>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>

namespace {

using namespace sweep;

const uint32_t ProgramPid = 1000;
const uint32_t CompanionPid = 2000;
const char* const CompanionPath = "C:\\Program Files\\Zamtre_Driver\\Fenwarr64.exe";

// The debugger strings the companion sent: [first, end) of the machine's channel.
size_t gCompanionFirst = 0;
size_t gCompanionEnd = 0;

// Fenwarr64.exe as the program that starts it runs it: the companion's own routine on the same machine,
// in the mode its command line names, its strings sent from a process of its own.
void AttachCompanion() {
    gCompanionFirst = gCompanionEnd = 0;
    sim::M().programs[sim::Lower(CompanionPath)] = [] {
        std::istringstream words(sim::CallsTo("CreateProcessA").back().args[1]);
        std::vector<std::string> args = {"Fenwarr64.exe"};
        for (std::string word; words >> word;)
            if (word != "NULL" && word != "Fenwarr64.exe")
                args.push_back(word);
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        gCompanionFirst = sim::M().debug.size();
        const int exitCode = CompanionRun(static_cast<int>(args.size()), argv.data());
        gCompanionEnd = sim::M().debug.size();
        return static_cast<DWORD>(exitCode);
    };
}

bool StartsCompanion(Road road) {
    return road == Road::Setup64 || road == Road::Uninstall64;
}

// A fresh machine for the road, with no companion strings left from the run before (all cases run in
// one process under valgrind).
void Prepare(Road road, Machine machine) {
    DescribeMachine(road, machine);
    gCompanionFirst = gCompanionEnd = 0;
    if (StartsCompanion(road))
        AttachCompanion();
}
bool IsCompanion(Road road) {
    return road == Road::Companion || road == Road::CompanionUninstall;
}

// The channel as dbgmon records it: "pid TAB string", with \n, \r, \t, \\ and other bytes escaped.
std::string RecordOf(uint32_t program) {
    std::string record;
    const std::vector<std::string>& debug = sim::M().debug;
    for (size_t i = 0; i < debug.size(); ++i) {
        const bool companion = i >= gCompanionFirst && i < gCompanionEnd;
        record += std::to_string(companion ? CompanionPid : program) + "\t";
        for (unsigned char c : debug[i]) {
            static const char Hex[] = "0123456789abcdef";
            if (c == '\\')
                record += "\\\\";
            else if (c == '\n')
                record += "\\n";
            else if (c == '\r')
                record += "\\r";
            else if (c == '\t')
                record += "\\t";
            else if (c < 0x20 || c > 0x7e)
                record += std::string("\\x") + Hex[c >> 4] + Hex[c & 15];
            else
                record += static_cast<char>(c);
        }
        record += "\n";
    }
    return record;
}

// A failure the programs traced: a tagged message the report's table calls one, or the untagged
// "CreateProcess failed".
bool FailureTraced() {
    for (const std::string& message : sim::Messages()) {
        MessageMatch match;
        if (message == std::string("<untagged>") + CreateProcessFailed ||
            (MatchToolMessage(message.data(), message.size(), &match) && IsFailureMessage(match.Id)))
            return true;
    }
    return false;
}

ProgramRole StarterRole(Road road) {
    switch (road) {
    case Road::Setup32:
    case Road::Setup64:
        return RoleSetup;
    case Road::Uninstall32:
    case Road::Uninstall64:
        return RoleUninstall;
    default:
        return RoleNone;
    }
}

ProgramRole CompanionRole(Road road) {
    return IsUninstall(road) ? RoleUninstallCompanion : RoleCompanion;
}

// The Application event the MSI's action writes for a run it started: one, from our source, its type
// following the verdict, its text naming the overall line and the record. On the 32-bit road the disk tells
// on its own whether the drivers arrived.
void CheckEvent(Road road, const ReportState& state, ReportStatus status, const std::string& report) {
    const char* const RecordName = "C:\\Windows\\Logs\\Fenwarr\\FenwarrSetup-install-20261210-140307.log";
    RecordVerdict verdict;
    FillVerdict(state, &verdict);
    const InstallJudgement judgement = JudgeInstall(verdict);
    // The action renders the overall line from the verdict: the report's own line, to the letter.
    std::string overall;
    AppendOverallLine(state, verdict, &overall);
    const size_t at = report.rfind("Overall: ");
    EXPECT_EQ(report.substr(at, report.find('\n', at) - at), overall);
    const size_t before = sim::M().calls.size();
    WriteRunEvent(IsUninstall(road) ? RemovalEvent(false, verdict, overall, RecordName)
                                    : InstallEvent(judgement, status, overall, RecordName));
    const std::vector<sim::Call> calls(sim::M().calls.begin() + static_cast<long>(before),
                                       sim::M().calls.end());
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].name, "RegisterEventSourceA");
    EXPECT_EQ(calls[0].args, (std::vector<std::string>{"NULL", "Fenwarr Driver Package"}));
    EXPECT_EQ(calls[2].name, "DeregisterEventSource");
    const std::vector<std::string>& event = calls[1].args;
    ASSERT_EQ(event.size(), 9u);
    EXPECT_EQ(event[3], IsUninstall(road) ? "200" : "100");
    EXPECT_NE(event[8].find(overall), std::string::npos);
    EXPECT_NE(event[8].find(RecordName), std::string::npos);
    const RunResult result = verdict.Runs.at(0).Result;
    std::string type = result == ResultFailed ? "1" : result == ResultWarning ? "2" : "4";
    if (!IsUninstall(road))
        type = judgement.Outcome != InstallArrived ? "1" : status == ReportAllSucceeded ? "4" : "2";
    EXPECT_EQ(event[1], type) << event[8];
    if (judgement.Outcome == InstallArrived) {
        EXPECT_EQ(sim::M().store.size(), 7u);
    }
    if (road == Road::Setup32) {
        const bool copied = std::all_of(std::begin(Dlls), std::end(Dlls), [](const char* dll) {
            return sim::M().files.count(sim::Lower(std::string("C:\\Windows\\system32\\") + dll)) != 0;
        });
        EXPECT_EQ(judgement.Outcome == InstallArrived, copied && sim::M().store.size() == 7u);
    }
}

// Reads the run just made back with the report and checks it against what the programs did.
void CheckRecord(Road road, int exitCode, bool faulted) {
    const uint32_t program = IsCompanion(road) ? CompanionPid : ProgramPid;
    const std::string record = RecordOf(program);
    std::unique_ptr<ReportState> state(new ReportState());
    InitReport(state.get());
    FeedReport(state.get(), record.data(), record.size());
    FinishReport(state.get());
    std::string report;
    const ReportStatus status = WriteReport(*state, "record", &report);
    const bool hadFailure = ::testing::Test::HasFailure();

    // Every string is the tool's, and every tagged message one the report knows.
    EXPECT_EQ(state->BadLines + state->ForeignStrings + state->StrayMessages + state->LoneTags, 0u);
    for (const ProcessState& process : state->Processes) {
        EXPECT_EQ(process.UnknownMessages, 0u) << "role " << process.Role;
        EXPECT_EQ(process.UntaggedStrings, 0u) << "role " << process.Role;
    }

    // One run, each process in its role, the starter on the road it took.
    EXPECT_EQ(state->Runs.size(), 1u);
    const Run run = state->Runs.empty() ? Run{-1, -1, false} : state->Runs[0];
    const bool companionRan = IsCompanion(road) || (StartsCompanion(road) && !sim::M().runs.empty());
    EXPECT_EQ(run.Uninstall, IsUninstall(road));
    EXPECT_EQ(run.Companion >= 0, companionRan);
    if (run.Companion >= 0) {
        EXPECT_EQ(state->Processes[run.Companion].Role, CompanionRole(road));
        EXPECT_EQ(state->Processes[run.Companion].Pid, CompanionPid);
    }
    EXPECT_EQ(run.Starter >= 0, !IsCompanion(road));
    if (run.Starter >= 0) {
        const ProcessState& starter = state->Processes[run.Starter];
        EXPECT_EQ(starter.Role, StarterRole(road));
        EXPECT_EQ(starter.EarlyFailure != MsgNone, exitCode == 0);
        EXPECT_EQ(starter.Bits, exitCode == 0 ? 0 : Is64BitHost ? 64 : 32);
    }

    // No OK over a traced failure, nor over a setup run that stopped on a processor without a half; a
    // clean run elsewhere reads OK.
    const bool failed = report.find("Verdict: FAILED") != std::string::npos;
    EXPECT_EQ(failed, status == ReportStepFailed);
    const std::string noHalf(NoHalfLine, strlen(NoHalfLine) - 1); // the record escapes the line end
    const bool refused = !IsUninstall(road) && record.find(noHalf) != std::string::npos;
    if (FailureTraced() || refused) {
        EXPECT_TRUE(failed);
    }
    if (refused) {
        EXPECT_NE(report.find("no package half for ARM64 (0xaa64), nothing changed"), std::string::npos);
    }
    if (!faulted && !refused) {
        EXPECT_FALSE(failed);
    }
    if (run.Starter >= 0)
        CheckEvent(road, *state, status, report);
    if (!hadFailure && ::testing::Test::HasFailure())
        std::cout << "--- record\n" << record << "--- report\n" << report;
}

struct CheckCase {
    Road road;
    Machine machine;
    const char* name;
};

void PrintTo(const CheckCase& c, std::ostream* os) {
    *os << c.name;
}

class TraceReportCheck : public SimTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(TraceReportCheck, TheReportReadsEveryTraceTheProgramsMake) {
    const CheckCase& c = GetParam();
    Prepare(c.road, c.machine);
    {
        SCOPED_TRACE("clean run");
        CheckRecord(c.road, RunRoad(c.road), false);
    }
    // With the companion running inside the hand-off, its own fault points join the starter's.
    int records = 1;
    for (const Fault& fault : FaultsOf(sim::M().counts)) {
        SCOPED_TRACE(fault.point + " #" + std::to_string(fault.occurrence) + " error " +
                     std::to_string(fault.error));
        Prepare(c.road, c.machine);
        sim::FailAt(fault.point, fault.occurrence, fault.error);
        CheckRecord(c.road, RunRoad(c.road), true);
        ++records;
    }
    std::cout << c.name << ": " << records << " records read back\n";
    RecordProperty("records", records);
}

INSTANTIATE_TEST_SUITE_P(
    Roads, TraceReportCheck,
    ::testing::Values(CheckCase{Road::Setup32, Machine::Stocked, "Setup32"},
                      CheckCase{Road::Setup64, Machine::Stocked, "Setup64"},
                      CheckCase{Road::Companion, Machine::Stocked, "Companion"},
                      CheckCase{Road::Uninstall32, Machine::Stocked, "Uninstall32"},
                      CheckCase{Road::Uninstall32, Machine::GhostsOnly, "Uninstall32GhostsOnly"},
                      CheckCase{Road::Uninstall32, Machine::CopyOnly, "Uninstall32CopyOnly"},
                      CheckCase{Road::Uninstall64, Machine::Stocked, "Uninstall64"},
                      CheckCase{Road::CompanionUninstall, Machine::Stocked, "CompanionUninstall"},
                      CheckCase{Road::CompanionUninstall, Machine::GhostsOnly,
                                "CompanionUninstallGhostsOnly"},
                      CheckCase{Road::CompanionUninstall, Machine::CopyOnly, "CompanionUninstallCopyOnly"},
                      CheckCase{Road::Setup32, Machine::Arm64, "Setup32Arm64"},
                      CheckCase{Road::Setup64, Machine::Arm64, "Setup64Arm64"},
                      CheckCase{Road::Companion, Machine::Arm64, "CompanionArm64"},
                      CheckCase{Road::Uninstall64, Machine::Arm64, "Uninstall64Arm64"},
                      CheckCase{Road::CompanionUninstall, Machine::Arm64, "CompanionUninstallArm64"}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

// Every format a program's source passes to TraceMsg as a literal, filled with sample values, is a
// message the report knows: this covers the messages no run of the sweep reaches (the paths too long,
// other Windows versions, a null buffer).
TEST(TraceFormats, EveryLiteralInTheProgramsIsKnownToTheReport) {
    const std::regex Call("TraceMsg\\(\"((?:[^\"\\\\]|\\\\.)*)\"");
    const std::map<char, std::string> Samples = {{'s', "x"}, {'d', "1"}, {'x', "1"}};
    int formats = 0;
    for (const char* folder : {"setup", "paths", "deploy", "devices", "handoff", "companion", "uninstall"}) {
        const std::string dir = std::string(FENWARR_SOURCE_DIR "/").append(folder);
        DIR* listing = opendir(dir.c_str());
        ASSERT_NE(listing, nullptr) << dir;
        while (dirent* entry = readdir(listing)) {
            const std::string name = entry->d_name;
            if (name.size() < 5 || name.compare(name.size() - 4, 4, ".cpp") != 0)
                continue;
            std::ifstream in(std::string(dir).append("/").append(name));
            std::stringstream source;
            source << in.rdbuf();
            const std::string text = source.str();
            for (std::sregex_iterator it(text.begin(), text.end(), Call), end; it != end; ++it) {
                // The literal's escapes undone, each conversion filled.
                const std::string literal = (*it)[1];
                std::string message;
                for (size_t i = 0; i < literal.size(); ++i) {
                    if (literal[i] == '\\' && i + 1 < literal.size()) {
                        const char c = literal[++i];
                        message += c == 'n' ? '\n' : c == 't' ? '\t' : c;
                    } else if (literal[i] == '%' && i + 1 < literal.size() && Samples.count(literal[i + 1])) {
                        message += Samples.at(literal[++i]);
                    } else {
                        message += literal[i];
                    }
                }
                MessageMatch match;
                EXPECT_TRUE(MatchToolMessage(message.data(), message.size(), &match))
                    << folder << "/" << name << ": \"" << literal << "\" is unknown to fenwarr-report";
                ++formats;
            }
        }
        closedir(listing);
    }
    EXPECT_GE(formats, 60);
}

} // namespace
