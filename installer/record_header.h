// The lines a record written by the custom action starts with: the machine, Windows, the package and the
// run, each "# key: value", before the first debugger string. fenwarr-report reads them.
#pragma once

#include "installer/record_names.h"

#include <cstdint>
#include <string>

struct HeaderFacts {
    char Computer[64];
    uint32_t Major, Minor, Build;
    char ServicePack[128];
    uint16_t Machine; // IMAGE_FILE_MACHINE_* of the processor
    LocalStamp Started;
    int32_t UtcOffsetMinutes; // local time minus UTC
    // The same moment in UTC, for the record's name: names sort by a time that never goes back when the
    // clock leaves daylight saving, so pruning never takes the newest record for the oldest.
    LocalStamp StartedUtc;
};

std::string RecordHeader(const HeaderFacts& Facts, const char* pVersion, const char* pProgram,
                         const char* pAction);
