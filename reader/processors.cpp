#include "reader/processors.h"

#include "reader/report_text.h"

namespace {

constexpr Processor Processors[] = {
    {0x014c, 0, "x86", nullptr, nullptr},    // PROCESSOR_ARCHITECTURE_INTEL
    {0x8664, 9, "x64", nullptr, nullptr},    // PROCESSOR_ARCHITECTURE_AMD64
    {0xaa64, 12, "ARM64", "ARM64", "ARM64"}, // PROCESSOR_ARCHITECTURE_ARM64
    {0x01c4, -1, nullptr, "ARM", "ARM"},     {0x0200, -1, nullptr, "Itanium", nullptr},
};

std::string Hex(uint32_t Machine) {
    std::string Text;
    AppendHex(&Text, Machine);
    return Text;
}

} // namespace

const Processor* FindProcessor(uint32_t Machine) {
    for (const Processor& Row : Processors) {
        if (Row.Machine == Machine)
            return &Row;
    }
    return nullptr;
}

uint16_t MachineOfArchitecture(int Architecture) {
    for (const Processor& Row : Processors) {
        if (Row.Architecture >= 0 && Row.Architecture == Architecture)
            return Row.Machine;
    }
    return 0;
}

std::string MachineWord(uint32_t Machine) {
    const Processor* pRow = FindProcessor(Machine);
    return pRow != nullptr && pRow->pWord != nullptr ? std::string(pRow->pWord) : Hex(Machine);
}

std::string MachineName(uint32_t Machine) {
    const Processor* pRow = FindProcessor(Machine);
    std::string Name = pRow != nullptr && pRow->pName != nullptr ? pRow->pName : "machine";
    return Name.append(" (").append(Hex(Machine)).append(")");
}

std::string ProcessorName(uint32_t Machine) {
    const Processor* pRow = FindProcessor(Machine);
    return pRow != nullptr && pRow->pSummary != nullptr ? std::string(pRow->pSummary) : Hex(Machine);
}
