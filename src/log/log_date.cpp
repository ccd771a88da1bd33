#include "log/log_date.h"

#include <cctype>
#include <cstdio>

namespace kolbi {
namespace {

std::string TwoDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value % 100);
    return text;
}

// Length of the run of the same letter (any case) starting at pos.
size_t RunLength(const std::string& pattern, size_t pos) {
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(pattern[pos])));
    size_t end = pos;
    while (end < pattern.size() &&
           std::toupper(static_cast<unsigned char>(pattern[end])) == letter) {
        ++end;
    }
    return end - pos;
}

}  // namespace

std::string FormatLogDate(const std::string& pattern, const LocalDateTime& when) {
    if (pattern.empty()) {
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", when.year, when.month, when.day);
        return text;
    }
    std::string out;
    for (size_t pos = 0; pos < pattern.size();) {
        char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(pattern[pos])));
        size_t run = RunLength(pattern, pos);
        if (upper == 'D' && run >= 2) {
            out += TwoDigits(when.day);
            pos += 2;
        } else if (upper == 'M' && run >= 2) {
            out += TwoDigits(when.month);
            pos += 2;
        } else if (upper == 'Y' && run >= 4) {
            out += std::to_string(when.year);
            pos += 4;
        } else if (upper == 'Y' && run >= 2) {
            out += TwoDigits(when.year);
            pos += 2;
        } else {
            out += pattern[pos];
            pos += 1;
        }
    }
    return out;
}

std::string FormatLogTime(const LocalDateTime& when) {
    return std::to_string(when.hour) + ":" + std::to_string(when.minute) + ":" +
           std::to_string(when.second);
}

}  // namespace kolbi
