#include "reader/record/debugview_line.h"

#include "reader/tool_messages.h"

#include <cstring>

namespace {

// A read position in a column.
struct Cursor {
    const char* p;
    size_t Length;
    size_t At;
};

bool Next(Cursor* pCursor, char c) {
    if (pCursor->At < pCursor->Length && pCursor->p[pCursor->At] == c) {
        ++pCursor->At;
        return true;
    }
    return false;
}

bool AtEnd(const Cursor& Cur) {
    return Cur.At == Cur.Length;
}

// Between `Min` and `Max` decimal digits; *pCount receives how many there were.
bool Digits(Cursor* pCursor, size_t Min, size_t Max, uint64_t* pValue, size_t* pCount) {
    uint64_t Value = 0;
    size_t Count = 0;
    while (pCursor->At < pCursor->Length && Count < Max) {
        const unsigned Digit = static_cast<unsigned char>(pCursor->p[pCursor->At]) - '0';
        if (Digit > 9)
            break;
        Value = Value * 10 + Digit;
        ++Count;
        ++pCursor->At;
    }
    *pValue = Value;
    *pCount = Count;
    return Count >= Min && Count <= Max;
}

// The decimal mark before a fraction of a second: a comma where the customer's settings print one.
bool DecimalMark(Cursor* pCursor) {
    return Next(pCursor, '.') || Next(pCursor, ',');
}

// A fraction of a second of 1 to 9 digits, in whole milliseconds.
bool Milliseconds(Cursor* pCursor, uint64_t* pMs) {
    uint64_t Fraction = 0;
    size_t Count = 0;
    if (!Digits(pCursor, 1, 9, &Fraction, &Count))
        return false;
    for (; Count > 3; --Count)
        Fraction /= 10;
    for (; Count < 3; ++Count)
        Fraction *= 10;
    *pMs = Fraction;
    return true;
}

bool Letter(Cursor* pCursor, char Upper) {
    return Next(pCursor, Upper) || Next(pCursor, static_cast<char>(Upper - 'A' + 'a'));
}

// "0.00000000": seconds since the first line.
bool ElapsedTime(const char* p, size_t Length, DebugViewLine* pOut) {
    Cursor Cur{p, Length, 0};
    uint64_t Seconds = 0;
    uint64_t Ms = 0;
    size_t Count = 0;
    if (!Digits(&Cur, 1, 12, &Seconds, &Count) || !DecimalMark(&Cur) || !Milliseconds(&Cur, &Ms) ||
        !AtEnd(Cur))
        return false;
    pOut->Time = TimeElapsed;
    pOut->TimeHasMs = true;
    pOut->Ms = Seconds * 1000 + Ms;
    return true;
}

// "11:27:48", "[11:27:48.123]", "1:27:48 PM": the time of day, on a 24-hour or a 12-hour clock.
bool ClockTime(const char* p, size_t Length, DebugViewLine* pOut) {
    Cursor Cur{p, Length, 0};
    const bool Bracket = Next(&Cur, '[');
    uint64_t Hours = 0, Minutes = 0, Seconds = 0, Ms = 0;
    size_t Count = 0;
    if (!Digits(&Cur, 1, 2, &Hours, &Count) || !Next(&Cur, ':') || !Digits(&Cur, 2, 2, &Minutes, &Count) ||
        !Next(&Cur, ':') || !Digits(&Cur, 2, 2, &Seconds, &Count))
        return false;
    const bool HasMs = DecimalMark(&Cur);
    if (HasMs && !Milliseconds(&Cur, &Ms))
        return false;
    bool Twelve = false;
    if (Next(&Cur, ' ')) {
        const bool Pm = Letter(&Cur, 'P');
        if ((!Pm && !Letter(&Cur, 'A')) || !Letter(&Cur, 'M') || Hours < 1 || Hours > 12)
            return false;
        Twelve = true;
        Hours = Hours % 12 + (Pm ? 12 : 0);
    }
    if ((Bracket && !Next(&Cur, ']')) || !AtEnd(Cur) || (!Twelve && Hours > 23) || Minutes > 59 ||
        Seconds > 59)
        return false;
    pOut->Time = TimeClock;
    pOut->TimeHasMs = HasMs;
    pOut->Ms = ((Hours * 60 + Minutes) * 60 + Seconds) * 1000 + Ms;
    return true;
}

bool TimeColumn(const char* p, size_t Length, DebugViewLine* pOut) {
    return ElapsedTime(p, Length, pOut) || ClockTime(p, Length, pOut);
}

bool SequenceColumn(const char* p, size_t Length) {
    Cursor Cur{p, Length, 0};
    uint64_t Value = 0;
    size_t Count = 0;
    return Digits(&Cur, 1, 20, &Value, &Count) && AtEnd(Cur);
}

// "[pid] " at the start of the text (or "[pid]" alone: the blank went with the line end).
void PidPrefix(DebugViewLine* pOut) {
    Cursor Cur{pOut->pText, pOut->TextLength, 0};
    uint64_t Pid = 0;
    size_t Count = 0;
    if (Next(&Cur, '[') && Digits(&Cur, 1, 10, &Pid, &Count) && Pid <= 0xFFFFFFFFu && Next(&Cur, ']') &&
        (Next(&Cur, ' ') || AtEnd(Cur))) {
        pOut->HasPid = true;
        pOut->Pid = static_cast<uint32_t>(Pid);
        pOut->pText += Cur.At;
        pOut->TextLength -= Cur.At;
    }
}

// The first tag in [p, p + Length), or null.
const char* FindTag(const char* p, size_t Length) {
    const char* pEnd = p + Length;
    while (static_cast<size_t>(pEnd - p) >= ToolTagLength) {
        const char* pDot = static_cast<const char*>(memchr(p, ToolTag[0], static_cast<size_t>(pEnd - p)));
        if (pDot == nullptr || static_cast<size_t>(pEnd - pDot) < ToolTagLength)
            break;
        if (memcmp(pDot, ToolTag, ToolTagLength) == 0)
            return pDot;
        p = pDot + 1;
    }
    return nullptr;
}

// What the tool sends: one of its messages (the tag's string), or its one untagged string.
bool IsToolString(const char* p, size_t Length) {
    MessageMatch Match;
    return MatchToolMessage(p, Length, &Match) ||
           (Length == strlen(CreateProcessFailed) && memcmp(p, CreateProcessFailed, Length) == 0);
}

// The sequence and time columns; pOut's time and text (everything after the second TAB) are filled.
RecordStatus ReadColumns(const char* pLine, size_t Length, DebugViewLine* pOut) {
    const char* pTab = static_cast<const char*>(memchr(pLine, '\t', Length));
    if (pTab == nullptr)
        return RecordNoTab;
    if (!SequenceColumn(pLine, static_cast<size_t>(pTab - pLine)))
        return RecordBadNumber;
    const char* pTime = pTab + 1;
    const char* pEnd = pLine + Length;
    const char* pTab2 = static_cast<const char*>(memchr(pTime, '\t', static_cast<size_t>(pEnd - pTime)));
    if (pTab2 == nullptr)
        return RecordNoTab;
    if (!TimeColumn(pTime, static_cast<size_t>(pTab2 - pTime), pOut))
        return RecordBadTime;
    pOut->pText = pTab2 + 1;
    pOut->TextLength = static_cast<size_t>(pEnd - pOut->pText);
    return RecordOk;
}

} // namespace

bool IsDebugViewLine(const char* pLine, size_t Length) {
    DebugViewLine Line;
    return ReadColumns(pLine, Length, &Line) == RecordOk;
}

RecordStatus ParseDebugViewLine(const char* pLine, size_t Length, DebugViewLine* pOut) {
    pOut->Time = TimeElapsed;
    pOut->TimeHasMs = false;
    pOut->Ms = 0;
    pOut->HasPid = false;
    pOut->Pid = 0;
    pOut->pText = pLine;
    pOut->TextLength = 0;
    while (Length > 0 && pLine[Length - 1] == '\r')
        --Length; // DebugView's own line end is CR LF
    if (Length == 0)
        return RecordEmpty;
    if (Length > RecordLineMax)
        return RecordTooLong;
    const RecordStatus Columns = ReadColumns(pLine, Length, pOut);
    if (Columns != RecordOk)
        return Columns;
    // Blanks and TABs at the end are the log's or an editor's: no message of the tool's ends in them.
    while (pOut->TextLength > 0 &&
           (pOut->pText[pOut->TextLength - 1] == ' ' || pOut->pText[pOut->TextLength - 1] == '\t'))
        --pOut->TextLength;
    PidPrefix(pOut);
    if (memchr(pOut->pText, '\0', pOut->TextLength) != nullptr)
        return RecordBadByte;
    for (size_t Done = 0; Done < pOut->TextLength;) {
        const size_t n = FirstJoinedString(pOut->pText + Done, pOut->TextLength - Done);
        if (n > RecordTextMax)
            return RecordTooLong;
        Done += n;
    }
    return RecordOk;
}

size_t FirstJoinedString(const char* pText, size_t Length) {
    if (Length >= ToolTagLength && memcmp(pText, ToolTag, ToolTagLength) == 0)
        return ToolTagLength;
    const char* pTag = FindTag(pText, Length);
    return pTag == nullptr ? Length : static_cast<size_t>(pTag - pText);
}

void TakeDebugViewString(const DebugViewLine& Line, const char* pText, size_t Length, Record* pRecord) {
    static const char* const LineEnds[] = {"\n", " \n"};
    pRecord->Status = RecordOk;
    pRecord->HasTime = true;
    pRecord->Ms = Line.Ms;
    pRecord->HasPid = Line.HasPid;
    pRecord->Pid = Line.Pid;
    pRecord->pEscaped = pText;
    pRecord->EscapedLength = Length;
    memcpy(pRecord->Text, pText, Length);
    pRecord->TextLength = Length;
    const bool Tag = Length == ToolTagLength && memcmp(pText, ToolTag, ToolTagLength) == 0;
    if (!Tag && !IsToolString(pText, Length)) {
        for (const char* pEnd : LineEnds) {
            const size_t n = strlen(pEnd);
            if (Length + n > RecordTextMax)
                continue;
            memcpy(pRecord->Text + Length, pEnd, n);
            if (IsToolString(pRecord->Text, Length + n)) {
                pRecord->TextLength = Length + n;
                break;
            }
        }
    }
    pRecord->Text[pRecord->TextLength] = '\0';
}
