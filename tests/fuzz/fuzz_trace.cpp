// TraceMsg with arbitrary string arguments in the system's own formats: the message is always sent
// whole up to the formatter's limit, behind its tag, and nothing is written past the trace buffer.
#include "sim/sim.h"
#include "trace/trace.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

namespace {

struct Site {
    const char* format;
    const char* before;
    const char* after; // with the second value, 1720
};

const Site Sites[] = {
    {"Found! [%s]\n", "Found! [", "]\n"},
    {"ExistingFileName: %s\n", "ExistingFileName: ", "\n"},
    {"Module path: [%s], line: %d", "Module path: [", "], line: 1720"},
    {"SetupCopyOEMInf success, destpath is %s\n", "SetupCopyOEMInf success, destpath is ", "\n"},
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const Site& site = in.PickValueInArray(Sites);
    const std::string argument = in.ConsumeRemainingBytesAsString();
    sim::Reset();
    TraceMsg(site.format, argument.c_str(), 1720);

    // The argument is a C string: it ends at its first zero byte.
    std::string expected = site.before + std::string(argument.c_str()) + site.after;
    if (expected.size() > 1024)
        expected.resize(1024);
    const std::vector<std::string>& debug = sim::M().debug;
    if (debug.size() != 2 || debug[0] != TraceTag || debug[1] != expected)
        std::abort();
    return 0;
}
