#include "installer/msi_log.h"

#include "installer/msi_text.h"

namespace {

// Every line carries the action's name, so that a search of a long verbose log finds them all.
const char LinePrefix[] = "Fenwarr: ";

void Send(MSIHANDLE Install, INSTALLMESSAGE Kind, const char* pText, size_t Length) {
    PMSIHANDLE Record = MsiCreateRecord(0);
    if (Record == 0)
        return;
    const std::string Literal = LinePrefix + MsiLiteral(pText, Length);
    if (MsiRecordSetStringA(Record, 0, Literal.c_str()) == ERROR_SUCCESS)
        MsiProcessMessage(Install, Kind, Record);
}

} // namespace

void LogLine(MSIHANDLE Install, const std::string& Text) {
    Send(Install, INSTALLMESSAGE_INFO, Text.data(), Text.size());
}

void LogLines(MSIHANDLE Install, const std::string& Text) {
    size_t Start = 0;
    while (Start < Text.size()) {
        size_t End = Text.find('\n', Start);
        if (End == std::string::npos)
            End = Text.size();
        Send(Install, INSTALLMESSAGE_INFO, Text.data() + Start, End - Start);
        Start = End + 1;
    }
}

void ShowError(MSIHANDLE Install, const std::string& Text) {
    Send(Install, static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR), Text.data(),
         Text.size());
}
