// What the Windows and setup error numbers in the tool's messages mean, for a support engineer.
#pragma once

#include <cstdint>

struct ErrorMeaning {
    uint32_t Code;
    const char* pName;    // the symbolic name of the Windows headers
    const char* pMeaning; // what it means for this package, in plain words
};

// The entry for `Code`, or null when the number is not in the table.
const ErrorMeaning* FindErrorMeaning(uint32_t Code);
