#include "installer/msi_text.h"

std::string MsiLiteral(const char* pText, size_t Length) {
    std::string Out;
    Out.reserve(Length + 8);
    for (size_t i = 0; i < Length; ++i) {
        const char c = pText[i];
        if (c == '[' || c == ']' || c == '{' || c == '}')
            Out.append("[\\").append(1, c).append("]");
        else
            Out.push_back(c);
    }
    return Out;
}
