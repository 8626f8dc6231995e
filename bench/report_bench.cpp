// What fenwarr-report reads per second: a record of about 50 MB, runs of the setup program and its
// companion among the strings of other processes, in both of dbgmon's forms; and a rollout of 10,000
// records made from the golden records (machines named by headers, steps failed with varied errors)
// folded into one summary. `report_bench --make-rollout DIR [COUNT]` writes such a rollout as files,
// for bench/rollout_bench.sh to time fenwarr-report on it.
#include "reader/report_file.h"
#include "reader/rollout_summary.h"
#include "reader/verdict.h"

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char Tag[] = "..Install or Uninstall - Vostrel";

void Append(std::string* pOut, bool Timed, uint64_t* pMs, unsigned Pid, const std::string& Escaped) {
    if (Timed)
        pOut->append(std::to_string((*pMs)++)).append("\t");
    pOut->append(std::to_string(Pid)).append("\t").append(Escaped).append("\n");
}

void Message(std::string* pOut, bool Timed, uint64_t* pMs, unsigned Pid, const std::string& Escaped) {
    Append(pOut, Timed, pMs, Pid, Tag);
    Append(pOut, Timed, pMs, Pid, Escaped);
}

// One 64-bit run as dbgmon records it (escaped), with `Noise` strings of other processes after each of
// the setup program's messages.
void AddRun(std::string* pOut, bool Timed, uint64_t* pMs, unsigned Pid, int Noise) {
    static const char* const Dlls[] = {"WinUSBCoInstaller2.dll", "WdfCoInstaller01009.dll"};
    static const char* const Infs[] = {"Halvex_mdm.inf", "Halvex_ser.inf",   "Halvex_adb.inf", "cdc-acm.inf",
                                       "WceIS.inf",      "usbvcom_brom.inf", "usbvcom.inf"};
    const std::string Pkg = "C:\\\\Program Files (x86)\\\\Zamtre_Driver\\\\fenwarr\\\\Win64\\\\";
    std::string Messages[64];
    int n = 0;
    Messages[n++] = "Setup Device\\n";
    Messages[n++] = "System path: C:\\\\Windows\\\\system32";
    Messages[n++] = "VerInf.dwMajorVersion: 6";
    Messages[n++] = "VerInf.dwMinorVersion: 1";
    Messages[n++] = "Setup device for Windows7 64\\n";
    for (const char* Dll : Dlls) {
        Messages[n++] = "ExistingFileName: " + Pkg + Dll + "\\n";
        Messages[n++] = std::string("NewFileName: C:\\\\Windows\\\\system32\\\\") + Dll + "\\n";
    }
    for (const char* Inf : Infs) {
        Messages[n++] = "Full name: " + Pkg + Inf + "\\n";
        Messages[n++] = "SetupCopyOEMInf success, destpath is C:\\\\Windows\\\\INF\\\\oem12.inf\\n";
    }
    Messages[n++] = "Setup for 64bit OS, line: 1715";
    Messages[n++] = "Setup64 full name: [C:\\\\Program Files\\\\Zamtre_Driver\\\\Fenwarr64.exe], line: 1720";
    Messages[n++] = "---OpenAP---";
    for (int i = 0; i < n; ++i) {
        Message(pOut, Timed, pMs, Pid, Messages[i]);
        for (int k = 0; k < Noise; ++k)
            Append(pOut, Timed, pMs, 400 + k,
                   "svchost: WinHttp autoproxy request for http://example.test/ " + std::to_string(*pMs) +
                       "\\n");
    }
    Message(pOut, Timed, pMs, Pid + 4, "Setup Device, 64bit companion\\n");
    Message(pOut, Timed, pMs, Pid + 4, "System path: C:\\\\Windows\\\\system32");
    for (int i = 0; i < 20; ++i) {
        Message(pOut, Timed, pMs, Pid + 4, "Found! [USB\\\\VID_0E8D&PID_2000&REV_0100]\\n");
        Message(pOut, Timed, pMs, Pid + 4,
                "Driver inf is {4d36e978-e325-11ce-bfc1-08002be10318}\\\\0003!\\n");
    }
    Message(pOut, Timed, pMs, Pid + 4, "Refresh device node");
}

std::string MakeRecord(bool Timed, size_t Bytes) {
    std::string Record;
    Record.reserve(Bytes + 65536);
    uint64_t Ms = 0;
    unsigned Pid = 1000;
    while (Record.size() < Bytes) {
        AddRun(&Record, Timed, &Ms, Pid, 80); // under 500 runs: all of them read
        Pid += 8;
    }
    return Record;
}

void BM_ReportRecord(benchmark::State& state) {
    const bool Timed = state.range(0) != 0;
    static const std::string Plain = MakeRecord(false, 50u << 20);
    static const std::string WithTimes = MakeRecord(true, 50u << 20);
    const std::string& Record = Timed ? WithTimes : Plain;
    size_t Runs = 0;
    for (auto _ : state) {
        std::string Report;
        benchmark::DoNotOptimize(ReportBuffer(Record.data(), Record.size(), "bench", &Report));
        Runs = 0;
        for (size_t At = Report.find("\nRun "); At != std::string::npos; At = Report.find("\nRun ", At + 1))
            ++Runs;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(Record.size()));
    state.counters["record_MB"] = static_cast<double>(Record.size()) / 1e6;
    state.counters["runs"] = static_cast<double>(Runs);
}
BENCHMARK(BM_ReportRecord)->Arg(0)->Arg(1)->ArgName("timed")->Unit(benchmark::kMillisecond);

// ---- A rollout --------------------------------------------------------------------------------------

enum { RolloutRecords = 10000, RolloutMachines = 800 };

const char* const WindowsVersions[] = {"10.0 build 19045", "10.0 build 22631",
                                       "6.1 build 7601; Service Pack 1", "10.0 build 26100",
                                       "6.3 build 9600"};
const char* const Processors[] = {"x64", "x64", "x64", "x86", "ARM64"};
const char* const InfErrors[] = {"e000022f", "e0000247", "5", "7a", "e000024b", "e0000100"};
const unsigned CopyErrors[] = {5, 32, 2, 112};

struct Golden {
    std::string Name;
    std::vector<std::string> Lines;
    bool DebugView;
    bool Uninstall;
};

std::vector<Golden> ReadGoldens() {
    const std::string Dir = FENWARR_SOURCE_DIR "/tests/report/golden/";
    std::vector<Golden> Goldens;
    DIR* pDir = opendir(Dir.c_str());
    while (const dirent* pEntry = pDir != nullptr ? readdir(pDir) : nullptr) {
        const std::string Name = pEntry->d_name;
        if (Name.size() < 5 || Name.compare(Name.size() - 4, 4, ".txt") != 0 || Name == "no-run.txt")
            continue;
        std::ifstream In(Dir + Name, std::ios::binary);
        Golden G{Name.substr(0, Name.size() - 4), {}, Name.compare(0, 9, "debugview") == 0, false};
        std::string Line;
        while (std::getline(In, Line)) {
            if (Line.compare(0, 2, "# ") != 0) // the header golden's own header: each record gets one below
                G.Lines.push_back(Line);
            G.Uninstall = G.Uninstall || Line.find("Uninstall Device") != std::string::npos;
        }
        Goldens.push_back(std::move(G));
    }
    if (pDir != nullptr)
        closedir(pDir);
    std::sort(Goldens.begin(), Goldens.end(),
              [](const Golden& a, const Golden& b) { return a.Name < b.Name; });
    return Goldens;
}

// A step of the record failed on purpose, the Windows error varied by `Seed`. A record line is a prefix
// (times, pid) and the escaped string after its last TAB.
std::string MutatedLine(const std::string& Line, unsigned Seed, int Kind, bool* pDone) {
    const size_t Tab = Line.rfind('\t');
    if (*pDone || Tab == std::string::npos)
        return Line + "\n";
    const std::string Prefix = Line.substr(0, Tab + 1);
    const std::string Text = Line.substr(Tab + 1);
    std::string Out;
    if (Kind == 0 && Text.compare(0, 32, "SetupCopyOEMInf success, destpath") == 0)
        Out = Prefix + "SetupCopyOEMInf failed, error code: 0x" + InfErrors[Seed % 6] + "\\n\n";
    else if (Kind == 1 && Text.compare(0, 12, "NewFileName:") == 0 && Text.find("Wdf") != std::string::npos)
        Out = Prefix + "CopyFile failed!, code is " + std::to_string(CopyErrors[Seed % 4]) + " \\n\n" +
              Prefix + Tag + "\n" + Prefix + "Copy CoInstall WdfCoInstaller01009.dll failed!\\n\n";
    else if (Kind == 2 && Text == "Refresh device node")
        Out = Prefix + "Get device node failed, return\n";
    else if (Kind == 3 && Text.compare(0, 34, "SetupDiCallClassInstaller successf") == 0)
        Out = Prefix + "Remove failed!\\n\n";
    *pDone = !Out.empty();
    return Out.empty() ? Line + "\n" : Out;
}

// Record `Index` of the rollout: a golden record behind a header (most of them; DebugView logs and some
// older records come without), with one step failed in about a third of them.
std::string RolloutRecord(const std::vector<Golden>& Goldens, unsigned Index) {
    const Golden& G = Goldens[Index % Goldens.size()];
    const unsigned Machine = (Index * 7919u) % RolloutMachines;
    std::string Record;
    if (!G.DebugView && Index % 10 != 0) {
        char Header[512];
        snprintf(Header, sizeof(Header),
                 "# Fenwarr record\n# computer: PC-%04u\n# windows: %s\n# processor: %s\n# package: 1.0.%u\n"
                 "# program: %s\n# action: %s\n# started: 2026-12-%02u %02u:%02u:07 +0100\n",
                 Machine, WindowsVersions[Machine % 5], Processors[Machine / 5 % 5], Index % 3,
                 G.Uninstall ? "FenwarrUninstall.exe" : "FenwarrSetup.exe",
                 G.Uninstall ? "removal" : "install", 1 + Index % 28, Index % 24, Index % 60);
        Record = Header;
    }
    const unsigned Hash = Index * 2654435761u; // choices that do not follow the golden record's turn
    const int Kind = G.DebugView || Hash % 3 != 0 ? -1 : static_cast<int>(Hash >> 8 & 3);
    bool Done = false;
    for (const std::string& Line : G.Lines)
        Record += MutatedLine(Line, Hash >> 12, Kind, &Done);
    return Record;
}

std::vector<std::string> MakeRollout(unsigned Count) {
    const std::vector<Golden> Goldens = ReadGoldens();
    std::vector<std::string> Records;
    for (unsigned i = 0; i < Count && !Goldens.empty(); ++i)
        Records.push_back(RolloutRecord(Goldens, i));
    return Records;
}

// The summary of 10,000 records held in memory: each read, folded in, dropped.
void BM_RolloutSummary(benchmark::State& state) {
    static const std::vector<std::string> Records = MakeRollout(RolloutRecords);
    std::unique_ptr<ReportState> pState(new ReportState());
    std::unique_ptr<RecordVerdict> pVerdict(new RecordVerdict());
    size_t Bytes = 0;
    for (const std::string& Record : Records)
        Bytes += Record.size();
    for (auto _ : state) {
        std::unique_ptr<RolloutSummary> pSummary(new RolloutSummary());
        InitRolloutSummary(pSummary.get());
        for (size_t i = 0; i < Records.size(); ++i) {
            InitReport(pState.get());
            FeedReport(pState.get(), Records[i].data(), Records[i].size());
            FinishReport(pState.get());
            FillVerdict(*pState, pVerdict.get());
            AddRecordToSummary(pSummary.get(), "record-" + std::to_string(i), *pVerdict);
        }
        std::string Page;
        WriteRolloutSummary(*pSummary, &Page);
        benchmark::DoNotOptimize(Page);
        state.counters["runs"] = static_cast<double>(pSummary->Runs);
        state.counters["machines"] = static_cast<double>(pSummary->Machines.size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(Bytes));
    state.counters["records"] = static_cast<double>(Records.size());
}
BENCHMARK(BM_RolloutSummary)->Unit(benchmark::kMillisecond);

// Writes the rollout as files under `Dir` (which must exist), with a few files of other kinds among them.
int WriteRollout(const char* pDir, unsigned Count) {
    const std::vector<std::string> Records = MakeRollout(Count);
    for (size_t i = 0; i < Records.size() + Records.size() / 200; ++i) {
        char Path[4096];
        std::string Bytes;
        if (i < Records.size()) {
            snprintf(Path, sizeof(Path), "%s/%03zu/Fenwarr-%05zu.log", pDir, i / 1000, i);
            Bytes = Records[i];
        } else {
            snprintf(Path, sizeof(Path), "%s/%03zu/msi-%05zu.log", pDir, i % 10, i);
            Bytes = "=== Verbose logging started: 10.12.2026  14:03:07  Build type: SHIP UNICODE ===\n";
        }
        const std::string Folder(Path, strrchr(Path, '/') - Path);
        mkdir(Folder.c_str(), 0777); // one folder per thousand records: exists already, mostly
        FILE* pFile = fopen(Path, "wb");
        if (pFile == nullptr || fwrite(Bytes.data(), 1, Bytes.size(), pFile) != Bytes.size() ||
            fclose(pFile) != 0) {
            fprintf(stderr, "report_bench: cannot write %s\n", Path);
            return 1;
        }
    }
    printf("%zu records and %zu other files under %s\n", Records.size(), Records.size() / 200, pDir);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && strcmp(argv[1], "--make-rollout") == 0)
        return WriteRollout(argv[2],
                            argc >= 4 ? static_cast<unsigned>(atoi(argv[3])) : unsigned{RolloutRecords});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
