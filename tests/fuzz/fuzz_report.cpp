// The whole of fenwarr-report on arbitrary bytes: the record parser, the run reader and the verdict.
// Whatever the bytes, the reading ends with a report and one of the three statuses, and the same bytes
// fed in two blocks split anywhere give the same report; the verdict's JSON and a summary of it come
// out whole, with the report's status.
#include "reader/report_file.h"
#include "reader/rollout_summary.h"
#include "reader/verdict.h"
#include "reader/verdict_json.h"

#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    std::string whole;
    const ReportStatus status = ReportBuffer(bytes, size, "fuzz", &whole);
    if (status != ReportAllSucceeded && status != ReportStepFailed && status != ReportNoRun)
        std::abort();
    if (whole.find("\nOverall: ") == std::string::npos)
        std::abort();

    // The first byte picks where the file is split between two reads.
    const size_t split = size == 0 ? 0 : data[0] % (size + 1);
    std::unique_ptr<ReportState> state(new ReportState());
    InitReport(state.get());
    FeedReport(state.get(), bytes, split);
    FeedReport(state.get(), bytes + split, size - split);
    FinishReport(state.get());
    std::string split_report;
    if (WriteReport(*state, "fuzz", &split_report) != status || split_report != whole)
        std::abort();

    std::unique_ptr<RecordVerdict> verdict(new RecordVerdict());
    FillVerdict(*state, verdict.get());
    std::string json;
    AppendRecordJson(&json, *verdict, "fuzz");
    std::unique_ptr<RolloutSummary> summary(new RolloutSummary());
    InitRolloutSummary(summary.get());
    AddRecordToSummary(summary.get(), "fuzz", *verdict);
    WriteRolloutSummary(*summary, &json);
    if (verdict->Status != status || RolloutStatus(*summary) != status || json.back() != '\n')
        std::abort();
    return 0;
}
