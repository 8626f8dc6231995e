// The processors the project names, by their IMAGE_FILE_MACHINE_* number: one table for the record's
// header, the verdict and a rollout's summary.
#pragma once

#include <cstdint>
#include <string>

struct Processor {
    uint16_t Machine;
    int Architecture;     // PROCESSOR_ARCHITECTURE_* as GetNativeSystemInfo gives it, -1 for none read
    const char* pWord;    // in the record's header; null: "0x<hex>"
    const char* pName;    // in the verdict, as IsWow64Process2 names it; null: "machine"
    const char* pSummary; // in a rollout's summary; null: "0x<hex>"
};

// The row of `Machine`, or null.
const Processor* FindProcessor(uint32_t Machine);
// The machine number of a PROCESSOR_ARCHITECTURE_* value, 0 when the table has none.
uint16_t MachineOfArchitecture(int Architecture);

// "x86", "x64", "ARM64", else "0x<hex>".
std::string MachineWord(uint32_t Machine);
// "ARM64 (0xaa64)", "machine (0x...)" for one without a name.
std::string MachineName(uint32_t Machine);
// "ARM64", "ARM", else "0x<hex>".
std::string ProcessorName(uint32_t Machine);
