#include "tools/pkgcheck/inf_parse.h"

#include <algorithm>
#include <cstdio>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

// The physical line from at, without its comment; continued when it ends in '\' (outside quotes).
std::string LineBody(const std::string& text, size_t& at, bool& continued) {
    std::string body;
    bool quoted = false;
    size_t end = text.find('\n', at);
    if (end == std::string::npos)
        end = text.size();
    for (size_t i = at; i < end; ++i) {
        const char c = text[i];
        if (c == '"')
            quoted = !quoted;
        if (c == ';' && !quoted)
            break;
        body += c;
    }
    at = end + 1;
    size_t last = body.size();
    while (last > 0 && IsBlank(body[last - 1]))
        --last;
    body.resize(last);
    continued = !quoted && last > 0 && body[last - 1] == '\\';
    if (continued)
        body.resize(last - 1);
    return body;
}

// One field from body at pos up to sep or the end: blanks around it dropped, quotes removed, "" a quote.
std::string Field(const std::string& body, size_t& pos, const char* seps) {
    std::string field;
    size_t keep = 0;
    bool quoted = false;
    for (; pos < body.size(); ++pos) {
        const char c = body[pos];
        if (c == '"') {
            if (quoted && pos + 1 < body.size() && body[pos + 1] == '"') {
                field += '"';
                keep = field.size();
                ++pos;
            } else {
                quoted = !quoted;
            }
            continue;
        }
        if (!quoted && std::string(seps).find(c) != std::string::npos)
            break;
        if (!quoted && IsBlank(c) && field.size() == keep && keep == 0)
            continue;
        field += c;
        if (quoted || !IsBlank(c))
            keep = field.size();
    }
    field.resize(keep);
    return field;
}

// The '=' of body outside quotes, or npos.
size_t EqualsAt(const std::string& body) {
    bool quoted = false;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '"')
            quoted = !quoted;
        else if (body[i] == '=' && !quoted)
            return i;
    }
    return std::string::npos;
}

void Entry(const std::string& body, InfLine& line) {
    size_t pos = 0;
    if (EqualsAt(body) != std::string::npos) {
        line.key = Field(body, pos, "=");
        ++pos;
    }
    while (pos <= body.size() && line.values.size() < InfMaxValues) {
        line.values.push_back(Field(body, pos, ","));
        ++pos;
    }
}

// A section line's name, lower-case; false when it has no closing ']'.
bool SectionName(const std::string& body, std::string& name) {
    const size_t open = body.find('[');
    const size_t close = body.find(']', open);
    if (close == std::string::npos)
        return false;
    size_t pos = 0;
    const std::string inner = body.substr(open + 1, close - open - 1);
    name = InfLower(Field(inner, pos, ""));
    return true;
}

bool Kept(const std::string& section, const char* const* keep) {
    for (; *keep != nullptr; ++keep)
        if (section == *keep)
            return true;
    return false;
}

std::string LineFault(int number, const char* what) {
    char buffer[120];
    std::snprintf(buffer, sizeof buffer, "line %d: %s", number, what);
    return buffer;
}

} // namespace

std::string InfLower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool InfParse(const std::string& text, const char* const* keep, Inf& inf, std::string& why) {
    std::string section;
    size_t at = 0;
    int number = 0;
    while (at < text.size()) {
        const int first = ++number;
        bool continued = false;
        std::string body = LineBody(text, at, continued);
        while (continued && at < text.size()) {
            ++number;
            body += LineBody(text, at, continued);
        }
        size_t start = 0;
        while (start < body.size() && IsBlank(body[start]))
            ++start;
        if (start == body.size())
            continue;
        if (body[start] == '[') {
            if (!SectionName(body, section)) {
                why = LineFault(first, "a section name without its closing ']'");
                return false;
            }
            continue;
        }
        if (section != "strings" && !Kept(section, keep))
            continue;
        if (inf.lines.size() >= InfMaxLines) {
            why = LineFault(first, "more entries than an INF's sections hold (the INF is not read)");
            return false;
        }
        InfLine line;
        line.section = section;
        line.number = first;
        Entry(body, line);
        if (section == "strings" && !line.key.empty()) {
            inf.strings.emplace(InfLower(line.key), line.values.empty() ? std::string() : line.values[0]);
        } else {
            inf.lines.push_back(line);
        }
    }
    return true;
}

std::string InfSubstitute(const Inf& inf, const std::string& value, std::string& unknown) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        const size_t close = value[i] == '%' ? value.find('%', i + 1) : std::string::npos;
        if (close == std::string::npos) {
            out += value[i];
            continue;
        }
        const std::string token = InfLower(value.substr(i + 1, close - i - 1));
        const auto found = inf.strings.find(token);
        if (token.empty()) {
            out += '%';
        } else if (found != inf.strings.end()) {
            out += found->second;
        } else {
            unknown = value.substr(i, close - i + 1);
            out += unknown;
        }
        i = close;
        if (out.size() > InfMaxValueBytes)
            break;
    }
    out.resize(std::min<size_t>(out.size(), InfMaxValueBytes));
    return out;
}
