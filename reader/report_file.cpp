#include "reader/report_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

ReportStatus ReportBuffer(const char* pData, size_t Size, const char* pName, std::string* pOut) {
    std::unique_ptr<ReportState> pState(new ReportState());
    InitReport(pState.get());
    FeedReport(pState.get(), pData, Size);
    FinishReport(pState.get());
    return WriteReport(*pState, pName, pOut);
}

bool ReadReportFile(const char* pPath, bool GiveUpOnOther, ReportState* pState, std::string* pError) {
    enum { ChunkSize = 1 << 16 };
    std::unique_ptr<char[]> pChunk(new char[ChunkSize]);
    InitReport(pState);
    FILE* pFile = fopen(pPath, "rb");
    if (pFile == nullptr) {
        pError->append("cannot open: ").append(strerror(errno));
        return false;
    }
    bool ReadFailed = false;
    bool Other = false;
    while (!Other) {
        const size_t n = fread(pChunk.get(), 1, ChunkSize, pFile);
        FeedReport(pState, pChunk.get(), n);
        if (n < ChunkSize) {
            // A directory opens on some systems and fails on the first read.
            ReadFailed = ferror(pFile) != 0;
            break;
        }
        // Whole lines, and not one of them a record's: another kind of file.
        Other = GiveUpOnOther && pState->Lines > 0 && pState->Records == 0 && pState->HeaderLines == 0;
    }
    const int ReadErrno = errno;
    fclose(pFile);
    if (ReadFailed) {
        pError->append("cannot read: ").append(strerror(ReadErrno));
        return false;
    }
    FinishReport(pState);
    return true;
}

ReportStatus ReportFile(const char* pPath, std::string* pOut, std::string* pError) {
    std::unique_ptr<ReportState> pState(new ReportState());
    std::string Why;
    if (!ReadReportFile(pPath, false, pState.get(), &Why)) {
        // "cannot open PATH: reason"
        const size_t Colon = Why.find(':');
        pError->append(Why, 0, Colon).append(" ").append(pPath).append(Why, Colon, std::string::npos);
        return ReportNoRun;
    }
    return WriteReport(*pState, pPath, pOut);
}
