#include "tools/pkgcheck/inf_text.h"

namespace {

const char* const Utf8Advice =
    "UTF-8 with a byte order mark (EF BB BF); Windows reads an INF only as ANSI or UTF-16LE: "
    "save it as UTF-16LE with its byte order mark FF FE (\"Unicode\"), or as ANSI if it "
    "holds only ASCII";
const char* const BigEndian =
    "UTF-16 big-endian; Windows reads an INF as ANSI or as UTF-16LE with the byte order mark FF FE";
const char* const NoMark =
    "UTF-16 without a byte order mark (or binary); save it as UTF-16LE with FF FE, or as ANSI";
const char* const BrokenUtf16 =
    "not valid UTF-16LE text after its byte order mark FF FE (an odd length or a broken character)";

void AppendUtf8(unsigned long c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The UTF-16LE code units from offset 2 as UTF-8; false for an odd length or an unpaired surrogate.
bool Utf16ToUtf8(const std::string& bytes, std::string& text) {
    if (bytes.size() % 2 != 0)
        return false;
    for (size_t i = 2; i < bytes.size(); i += 2) {
        unsigned long c = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1])
                                                                     << 8;
        if (c >= 0xDC00 && c < 0xE000)
            return false;
        if (c >= 0xD800 && c < 0xDC00) {
            if (i + 3 >= bytes.size())
                return false;
            unsigned long low =
                static_cast<unsigned char>(bytes[i + 2]) | static_cast<unsigned char>(bytes[i + 3]) << 8;
            if (low < 0xDC00 || low >= 0xE000)
                return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        AppendUtf8(c, text);
    }
    return true;
}

bool StartsWith(const std::string& bytes, const char* mark, size_t n) {
    return bytes.compare(0, n, mark, n) == 0;
}

} // namespace

bool InfDecode(const std::string& bytes, std::string& text, std::string& why) {
    text.clear();
    if (StartsWith(bytes, "\xEF\xBB\xBF", 3)) {
        why = Utf8Advice;
        return false;
    }
    if (StartsWith(bytes, "\xFF\xFE", 2)) {
        if (!Utf16ToUtf8(bytes, text)) {
            why = BrokenUtf16;
            return false;
        }
        return true;
    }
    if (StartsWith(bytes, "\xFE\xFF", 2)) {
        why = BigEndian;
        return false;
    }
    // NUL bytes: UTF-16 without its mark, which Windows takes for ANSI and finds nothing in.
    if (bytes.find('\0') != std::string::npos) {
        why = NoMark;
        return false;
    }
    text = bytes;
    return true;
}
