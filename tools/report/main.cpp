// fenwarr-report FILE: reads a dbgmon record (or a DebugView log) of the setup tool and tells, run by run
// and step by step, what it did. Exit status: 0 every step succeeded, 1 some step failed, 2 the file
// cannot be read or holds no run of the tool.
#include "reader/verdict.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    int Status = ReportNoRun;
    if (argc != 2 || argv[1][0] == '\0') {
        fputs("usage: fenwarr-report FILE\n"
              "  FILE: a record written by dbgmon (--out FILE), with or without --time,\n"
              "        or a log saved by DebugView, with or without process ids\n"
              "exit status: 0 every step succeeded, 1 some step failed, 2 the file cannot be read or\n"
              "holds no run of the tool\n",
              stderr);
    } else {
        std::string Report;
        std::string Error;
        Status = ReportFile(argv[1], &Report, &Error);
        if (!Error.empty())
            fprintf(stderr, "fenwarr-report: %s\n", Error.c_str());
        fwrite(Report.data(), 1, Report.size(), stdout);
        if (fflush(stdout) != 0 && Status == ReportAllSucceeded)
            Status = ReportNoRun;
    }
    return Status;
}
