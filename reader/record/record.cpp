#include "reader/record/record.h"

#include <cstring>

namespace {

// A decimal column of at most `MaxDigits` digits that fits in `Limit`.
bool ParseDecimal(const char* p, size_t Length, size_t MaxDigits, uint64_t Limit, uint64_t* pValue) {
    if (Length == 0 || Length > MaxDigits)
        return false;
    uint64_t Value = 0;
    for (size_t i = 0; i < Length; ++i) {
        const unsigned Digit = static_cast<unsigned char>(p[i]) - '0';
        if (Digit > 9)
            return false;
        if (Value > (Limit - Digit) / 10)
            return false;
        Value = Value * 10 + Digit;
    }
    *pValue = Value;
    return true;
}

bool ParsePid(const char* p, size_t Length, uint32_t* pPid) {
    uint64_t Value = 0;
    if (!ParseDecimal(p, Length, 10, 0xFFFFFFFFu, &Value))
        return false;
    *pPid = static_cast<uint32_t>(Value);
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The byte each one-letter escape stands for, 0 for a letter that is none.
struct SimpleEscapes {
    char Byte[256];
};
constexpr SimpleEscapes MakeSimpleEscapes() {
    SimpleEscapes Table{};
    Table.Byte[static_cast<unsigned char>('\\')] = '\\';
    Table.Byte[static_cast<unsigned char>('n')] = '\n';
    Table.Byte[static_cast<unsigned char>('r')] = '\r';
    Table.Byte[static_cast<unsigned char>('t')] = '\t';
    return Table;
}
constexpr SimpleEscapes Simple = MakeSimpleEscapes();

// Undoes dbgmon's escapes. Bytes it would have escaped but finds raw are taken as they stand, except
// the three that can only mean a damaged line: NUL, TAB and CR.
RecordStatus Unescape(const char* p, size_t Length, Record* pRecord) {
    RecordStatus Status = RecordOk;
    size_t Out = 0;
    size_t i = 0;
    while (i < Length && Status == RecordOk) {
        // Copy the run of plain bytes up to the next backslash in one go.
        const char* pSlash = static_cast<const char*>(memchr(p + i, '\\', Length - i));
        const size_t Plain = (pSlash == nullptr ? Length : static_cast<size_t>(pSlash - p)) - i;
        if (Out + Plain > RecordTextMax) {
            Status = RecordTooLong;
            break;
        }
        for (size_t k = 0; k < Plain; ++k) {
            const char c = p[i + k];
            if (c == '\0' || c == '\t' || c == '\r')
                Status = RecordBadByte;
        }
        memcpy(pRecord->Text + Out, p + i, Plain);
        Out += Plain;
        i += Plain;
        if (i == Length || Status != RecordOk)
            break;
        if (Out + 1 > RecordTextMax) {
            Status = RecordTooLong;
            break;
        }
        // p[i] is a backslash: a one-letter escape, or \x and two hex digits.
        const char Letter = i + 1 < Length ? p[i + 1] : '\0';
        char c = Simple.Byte[static_cast<unsigned char>(Letter)];
        size_t Used = c == '\0' ? 0 : 2;
        if (Letter == 'x') {
            const int High = i + 2 < Length ? HexDigit(p[i + 2]) : -1;
            const int Low = i + 3 < Length ? HexDigit(p[i + 3]) : -1;
            c = static_cast<char>(High * 16 + Low);
            Used = High < 0 || Low < 0 ? 0 : 4;
        }
        if (Used == 0) {
            Status = RecordBadEscape;
            break;
        }
        pRecord->Text[Out++] = c;
        i += Used;
    }
    pRecord->TextLength = Out;
    pRecord->Text[Out] = '\0';
    return Status;
}

} // namespace

RecordFormat GuessRecordFormat(const char* pLine, size_t Length) {
    RecordFormat Format = FormatUnknown;
    const char* pTab = static_cast<const char*>(memchr(pLine, '\t', Length));
    uint64_t First = 0;
    if (pTab != nullptr && ParseDecimal(pLine, static_cast<size_t>(pTab - pLine), 20, ~0ull, &First)) {
        Format = FormatPlain;
        // A second raw TAB never occurs in the plain form: dbgmon escapes the string's own TABs.
        const char* pRest = pTab + 1;
        const size_t RestLength = Length - static_cast<size_t>(pRest - pLine);
        const char* pTab2 = static_cast<const char*>(memchr(pRest, '\t', RestLength));
        uint32_t Pid = 0;
        if (pTab2 != nullptr && ParsePid(pRest, static_cast<size_t>(pTab2 - pRest), &Pid))
            Format = FormatTimed;
    }
    return Format;
}

RecordStatus ParseRecord(const char* pLine, size_t Length, RecordFormat Format, Record* pRecord) {
    RecordStatus Status = RecordOk;
    pRecord->HasTime = false;
    pRecord->Ms = 0;
    pRecord->HasPid = true;
    pRecord->Pid = 0;
    pRecord->pEscaped = pLine;
    pRecord->EscapedLength = 0;
    pRecord->TextLength = 0;
    pRecord->Text[0] = '\0';
    if (Length > 0 && pLine[Length - 1] == '\r')
        --Length; // a CR LF line end: the file went through a Windows editor
    const char* p = pLine;
    const char* pEnd = pLine + Length;

    if (Length == 0) {
        Status = RecordEmpty;
    } else if (Length > RecordLineMax) {
        Status = RecordTooLong;
    } else {
        if (Format == FormatTimed) {
            const char* pTab = static_cast<const char*>(memchr(p, '\t', Length));
            if (pTab == nullptr)
                Status = RecordNoTab;
            else if (!ParseDecimal(p, static_cast<size_t>(pTab - p), 20, ~0ull, &pRecord->Ms))
                Status = RecordBadNumber;
            else
                p = pTab + 1;
            pRecord->HasTime = true;
        }
        if (Status == RecordOk) {
            const char* pTab = static_cast<const char*>(memchr(p, '\t', static_cast<size_t>(pEnd - p)));
            if (pTab == nullptr)
                Status = RecordNoTab;
            else if (!ParsePid(p, static_cast<size_t>(pTab - p), &pRecord->Pid))
                Status = RecordBadNumber;
            else
                p = pTab + 1;
        }
        if (Status == RecordOk) {
            pRecord->pEscaped = p;
            pRecord->EscapedLength = static_cast<size_t>(pEnd - p);
            Status = Unescape(p, pRecord->EscapedLength, pRecord);
        }
    }
    pRecord->Status = Status;
    return Status;
}

const char* RecordStatusText(RecordStatus Status) {
    static const char* const Texts[RecordStatusCount] = {
        "readable",
        "empty line",
        "no TAB after the first column",
        "a pid, time or sequence column that is not a decimal number",
        "a time column that is not a time",
        "a broken escape",
        "a NUL byte, or a raw TAB or CR inside the string",
        "longer than any debugger string",
    };
    return Status >= 0 && Status < RecordStatusCount ? Texts[Status] : "unknown";
}

size_t EscapeText(const char* pText, size_t Length, char* pOut, size_t Room, bool EscapeBackslash,
                  size_t* pUsed) {
    static const char Hex[] = "0123456789abcdef";
    size_t Out = 0;
    size_t i = 0;
    for (; i < Length; ++i) {
        const unsigned char c = static_cast<unsigned char>(pText[i]);
        char Escaped[4];
        size_t n = 2;
        Escaped[0] = '\\';
        if (c == '\\' && EscapeBackslash)
            Escaped[1] = '\\';
        else if (c == '\n')
            Escaped[1] = 'n';
        else if (c == '\r')
            Escaped[1] = 'r';
        else if (c == '\t')
            Escaped[1] = 't';
        else if (c < 0x20 || c > 0x7E) {
            Escaped[1] = 'x';
            Escaped[2] = Hex[c >> 4];
            Escaped[3] = Hex[c & 15];
            n = 4;
        } else {
            Escaped[0] = static_cast<char>(c);
            n = 1;
        }
        if (Out + n > Room)
            break;
        memcpy(pOut + Out, Escaped, n);
        Out += n;
    }
    if (pUsed != nullptr)
        *pUsed = i;
    return Out;
}
