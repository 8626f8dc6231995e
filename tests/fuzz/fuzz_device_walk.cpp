// RemoveDriverlessDevices over a device tree drawn from the input: raw hardware-ID bytes (malformed lists
// included), lists that grow between fetches, sizes reported wrongly, driver values of any length,
// attached or not, and injected faults. Nothing may be read
// out of bounds or left allocated; without faults exactly the listed driverless nodes are removed.
#include "devices/devices.h"
#include "sim/sim.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

namespace {

const char* const Points[] = {"SetupDiGetClassDevsA",
                              "SetupDiEnumDeviceInfo",
                              "SetupDiGetDeviceRegistryPropertyA.HardwareID",
                              "SetupDiGetDeviceRegistryPropertyA.Driver",
                              "SetupDiCallClassInstaller",
                              "LocalAlloc"};
const DWORD Errors[] = {1, ERROR_ACCESS_DENIED, ERROR_INVALID_DATA, ERROR_INSUFFICIENT_BUFFER, 1232};

// The walk as described: strings while they start inside the data and are not empty.
bool Listed(const std::string& ids) {
    for (size_t at = 0; at < ids.size() && ids[at] != '\0';) {
        const std::string id = ids.substr(at, ids.find('\0', at) - at);
        if (MatchesHardwareIdTable(id.c_str()))
            return true;
        at += id.size() + 1;
    }
    return false;
}

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    sim::Reset();
    const int devices = in.ConsumeIntegralInRange(0, 5);
    std::vector<bool> irregular; // a list that grows, or a size reported wrongly
    for (int i = 0; i < devices; ++i) {
        std::optional<std::string> ids, driver;
        if (in.ConsumeBool()) {
            ids = in.ConsumeRandomLengthString(160);
            if (in.ConsumeBool()) { // a listed ID somewhere in the raw bytes
                const size_t at = in.ConsumeIntegralInRange<size_t>(0, ids->size());
                ids->insert(at, HardwareIdTable[in.ConsumeIntegralInRange(0, HardwareIdCount - 1)]);
            }
        }
        if (in.ConsumeBool())
            driver = std::string(in.ConsumeIntegralInRange<size_t>(0, 600), 'k');
        const bool present = in.ConsumeBool();
        const size_t node = sim::AddDevice("USB\\FUZZ\\" + std::to_string(i), ids, driver, present);
        if (in.ConsumeBool())
            sim::M().devices[node].hardwareIdsLater = in.ConsumeRandomLengthString(160);
        if (in.ConsumeBool())
            sim::M().devices[node].hardwareIdsReportedSize = in.ConsumeIntegral<DWORD>();
        irregular.push_back(sim::M().devices[node].hardwareIdsLater ||
                            sim::M().devices[node].hardwareIdsReportedSize);
    }
    const int faults = in.ConsumeIntegralInRange(0, 3);
    for (int i = 0; i < faults; ++i) { // decoded in a fixed order, so an input means one tree everywhere
        const char* point = in.PickValueInArray(Points);
        const int occurrence = in.ConsumeIntegralInRange(0, 8);
        sim::FailAt(point, occurrence, in.PickValueInArray(Errors));
    }

    const int result = RemoveDriverlessDevices();
    Check(sim::Leaks().empty());
    Check(result == 1 || (result == 0 && sim::M().calls.size() == 1));
    for (const sim::Call& call : sim::CallsTo("SetupDiGetDeviceRegistryPropertyA"))
        Check((call.args[3] == "NULL") == (call.args[4] == "0"));
    const bool faulted = !sim::M().faults.empty();
    for (size_t i = 0; i < sim::M().devices.size(); ++i) {
        const sim::Device& device = sim::M().devices[i];
        const bool expected = !device.driver && device.hardwareIds && Listed(*device.hardwareIds);
        // A fault, a grown list or a wrong size may spare a node, or a fault make one with a driver look
        // driverless; a node is never removed unless its (final) list is listed.
        Check(faulted || irregular[i] ? !device.removed || (device.hardwareIds && Listed(*device.hardwareIds))
                                      : device.removed == expected);
    }
    return 0;
}
