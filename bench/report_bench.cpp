// What fenwarr-report reads per second: a record of about 50 MB, runs of the setup program and its
// companion among the strings of other processes, in both of dbgmon's forms.
#include "reader/verdict.h"

#include <benchmark/benchmark.h>

#include <string>

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

} // namespace

BENCHMARK_MAIN();
