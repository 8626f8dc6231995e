#include "installer/record_names.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

const char* const Programs[] = {"FenwarrSetup-", "FenwarrUninstall-"};
const char* const Actions[] = {"install-", "removal-", "rollback-", "restage-"};

bool IsDigits(const char* p, size_t Count) {
    return std::all_of(p, p + Count, [](char c) { return c >= '0' && c <= '9'; });
}

// Skips one of the words at p; null when none is there.
template <size_t N> const char* SkipWord(const char* p, const char* const (&Words)[N]) {
    for (const char* pWord : Words) {
        if (strncmp(p, pWord, strlen(pWord)) == 0)
            return p + strlen(pWord);
    }
    return nullptr;
}

// The stamp and attempt of one of our names, as a key that sorts oldest first; empty for another name.
std::string SortKey(const std::string& Name) {
    const char* p = SkipWord(Name.c_str(), Programs);
    p = p != nullptr ? SkipWord(p, Actions) : nullptr;
    if (p == nullptr || !IsDigits(p, 8) || p[8] != '-' || !IsDigits(p + 9, 6))
        return std::string();
    const char* pRest = p + 15;
    unsigned Attempt = 1;
    if (*pRest == '-') {
        const size_t Digits = strspn(pRest + 1, "0123456789");
        if (Digits == 0 || Digits > 4)
            return std::string();
        Attempt = static_cast<unsigned>(atoi(pRest + 1));
        pRest += 1 + Digits;
    }
    if (strcmp(pRest, ".log") != 0)
        return std::string();
    char Key[32];
    snprintf(Key, sizeof(Key), "%.8s%.6s%04u", p, p + 9, Attempt);
    return Key;
}

} // namespace

std::string RecordFileName(const char* pProgram, const char* pAction, const LocalStamp& When,
                           unsigned Attempt) {
    char Name[96];
    const int n = snprintf(Name, sizeof(Name), "%s-%s-%04u%02u%02u-%02u%02u%02u", pProgram, pAction,
                           When.Year, When.Month, When.Day, When.Hour, When.Minute, When.Second);
    if (n > 0 && Attempt > 1 && static_cast<size_t>(n) < sizeof(Name))
        snprintf(Name + n, sizeof(Name) - static_cast<size_t>(n), "-%u", Attempt);
    return std::string(Name) + ".log";
}

std::vector<std::string> RecordsToDelete(const std::vector<std::string>& Names, size_t Keep) {
    std::vector<std::pair<std::string, std::string>> Ours;
    for (const std::string& Name : Names) {
        std::string Key = SortKey(Name);
        if (!Key.empty())
            Ours.emplace_back(std::move(Key), Name);
    }
    std::sort(Ours.begin(), Ours.end());
    std::vector<std::string> Delete;
    for (size_t i = 0; i + Keep < Ours.size(); ++i)
        Delete.push_back(Ours[i].second);
    return Delete;
}
