// pkgcheck's INF readers on any bytes: decoding, parsing and each half's named files never crash, and
// every path they name stays inside the package.
#include "tools/pkgcheck/inf_named_files.h"
#include "tools/pkgcheck/inf_text.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string text;
    std::string why;
    Inf inf;
    if (!InfDecode(bytes, text, why) || !InfParse(text, NamedFileSections, inf, why))
        return 0;
    for (Half half : {Half::Win32, Half::Win64}) {
        NamedFiles named;
        InfNamedFiles(inf, half, named);
        for (const std::string& file : named.files)
            if (file.empty() || file[0] == '/' || file.find(':') != std::string::npos || file == ".." ||
                file.compare(0, 3, "../") == 0 || file.find("/../") != std::string::npos)
                std::abort();
    }
    return 0;
}
