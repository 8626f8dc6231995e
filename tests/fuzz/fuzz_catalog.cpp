// pkgcheck's catalog reading on any bytes: a fault or a catalog of a known kind, never a crash.
#include "tools/pkgcheck/catalog_read.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Catalog catalog;
    CatalogRead(std::string(reinterpret_cast<const char*>(data), size), catalog);
    if (catalog.fault.empty() && catalog.algorithm != "sha1" && catalog.algorithm != "sha256")
        std::abort();
    return 0;
}
