#include "reader/report_text.h"

#include "reader/error_meanings.h"
#include "reader/record/record.h"

void AppendNumber(std::string* pOut, uint64_t Value) {
    char Digits[24];
    size_t n = 0;
    do {
        Digits[n++] = static_cast<char>('0' + Value % 10);
        Value /= 10;
    } while (Value != 0);
    while (n > 0)
        pOut->push_back(Digits[--n]);
}

void AppendHex(std::string* pOut, uint32_t Value) {
    static const char Hex[] = "0123456789abcdef";
    char Digits[8];
    size_t n = 0;
    do {
        Digits[n++] = Hex[Value & 15];
        Value >>= 4;
    } while (Value != 0);
    pOut->append("0x");
    while (n > 0)
        pOut->push_back(Digits[--n]);
}

void AppendCount(std::string* pOut, size_t Count, const char* pOne, const char* pMany) {
    AppendNumber(pOut, Count);
    pOut->append(" ").append(Count == 1 ? pOne : pMany);
}

void AppendEscaped(std::string* pOut, const std::string& Text) {
    char Buffer[256];
    size_t Done = 0;
    while (Done < Text.size()) {
        const size_t Chunk = Text.size() - Done < 64 ? Text.size() - Done : 64;
        pOut->append(Buffer, EscapeText(Text.data() + Done, Chunk, Buffer, sizeof(Buffer), false, nullptr));
        Done += Chunk;
    }
}

void AppendError(std::string* pOut, uint32_t Code, bool Hex, bool WithMeaning) {
    pOut->append("error ");
    if (Hex) {
        AppendHex(pOut, Code);
    } else if (Code >= 0x80000000u) {
        // %d printed it negative; the hex form is the one found in the headers.
        pOut->push_back('-');
        AppendNumber(pOut, 0x100000000ull - Code);
        pOut->append(" (");
        AppendHex(pOut, Code);
        pOut->push_back(')');
    } else {
        AppendNumber(pOut, Code);
    }
    const ErrorMeaning* pMeaning = FindErrorMeaning(Code);
    if (pMeaning != nullptr) {
        pOut->append(" ").append(pMeaning->pName);
        if (WithMeaning)
            pOut->append(": ").append(pMeaning->pMeaning);
    } else {
        pOut->append(" (unknown)");
    }
}

void AppendJsonString(std::string* pOut, const std::string& Text) {
    std::string Escaped;
    AppendEscaped(&Escaped, Text);
    pOut->push_back('"');
    for (char c : Escaped) {
        if (c == '"' || c == '\\')
            pOut->push_back('\\');
        pOut->push_back(c);
    }
    pOut->push_back('"');
}
