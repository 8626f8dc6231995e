// What the device walk costs per node as the tree grows, and what one hardware ID costs to match.
#include "devices/devices.h"
#include "sim/sim.h"

#include <benchmark/benchmark.h>

namespace {

// `nodes` nodes of three hardware IDs each; one in a hundred is listed, half of those have no driver.
void BuildTree(size_t nodes) {
    sim::Reset();
    sim::M().devices.reserve(nodes);
    for (size_t i = 0; i < nodes; ++i) {
        const bool listed = i % 100 == 50;
        const std::string id =
            listed ? "USB\\VID_0E8D&PID_2000" : "PCI\\VEN_8086&DEV_" + std::to_string(1000 + i);
        std::optional<std::string> driver = "{4d36e97d-e325-11ce-bfc1-08002be10318}\\" + std::to_string(i);
        if (listed && i % 200 == 50)
            driver.reset();
        sim::AddDevice(id + "\\" + std::to_string(i),
                       sim::MultiSz({id + "&REV_0100&MI_00", id + "&REV_0100", id}), driver, i % 2 == 0);
    }
}

// Heap bytes held by the platform's call log (each call with its arguments rendered as text).
size_t CallLogBytes() {
    const auto heap = [](const std::string& s) { return s.capacity() > 15 ? s.capacity() + 1 : 0; };
    size_t bytes = sim::M().calls.capacity() * sizeof(sim::Call);
    for (const sim::Call& call : sim::M().calls) {
        bytes += heap(call.name) + call.args.capacity() * sizeof(std::string);
        for (const std::string& arg : call.args)
            bytes += heap(arg);
    }
    return bytes;
}

void BM_RemoveDriverlessDevices(benchmark::State& state) {
    const size_t nodes = static_cast<size_t>(state.range(0));
    BuildTree(nodes);
    size_t removed = 0, calls = 0, logBytes = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(RemoveDriverlessDevices());
        // Outside the timed region: measure the log, then put the tree back as it was.
        state.PauseTiming();
        calls = sim::M().calls.size();
        logBytes = CallLogBytes();
        removed = 0;
        for (sim::Device& device : sim::M().devices) {
            removed += device.removed;
            device.removed = false;
        }
        sim::M().calls.clear();
        sim::M().debug.clear();
        state.ResumeTiming();
    }
    if (removed != nodes / 200)
        state.SkipWithError("wrong number of nodes removed");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * nodes));
    state.counters["ns_per_node"] =
        benchmark::Counter(static_cast<double>(nodes) / 1e9,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["log_calls_per_node"] = static_cast<double>(calls) / nodes;
    state.counters["log_MiB"] = static_cast<double>(logBytes) / (1 << 20);
}
BENCHMARK(BM_RemoveDriverlessDevices)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Every table entry tried against one ID, as the walk does for each string of a list.
void BM_StrContainsNoCase(benchmark::State& state) {
    static const char* const Ids[] = {"USB\\VID_0E8D&PID_200A&REV_0100&MI_02",
                                      "USB\\VID_046D&PID_C52B&REV_1211&MI_00",
                                      "PCI\\VEN_8086&DEV_1E31&SUBSYS_05351028&REV_04"};
    static const char* const Labels[] = {"listed USB ID", "unlisted USB ID", "unlisted PCI ID"};
    const char* id = Ids[state.range(0)];
    for (auto _ : state) {
        int hits = 0;
        for (const char* entry : HardwareIdTable)
            hits += StrContainsNoCase(id, entry);
        benchmark::DoNotOptimize(hits);
    }
    state.SetLabel(Labels[state.range(0)]);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * HardwareIdCount));
}
BENCHMARK(BM_StrContainsNoCase)->DenseRange(0, 2);

} // namespace

BENCHMARK_MAIN();
