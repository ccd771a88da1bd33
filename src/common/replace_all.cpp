#include "common/replace_all.h"

#include <cstring>

namespace kolbi {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(text);
    std::string result;
    result.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t at = text.find(from); at != std::string_view::npos;
         at = text.find(from, start)) {
        result.append(text.substr(start, at - start));
        result.append(to);
        start = at + from.size();
    }
    result.append(text.substr(start));
    return result;
}

void ReplaceAllIn(std::string& text, std::string_view from, std::string_view to) {
    if (from.empty()) return;
    std::size_t at = text.find(from);
    if (at == std::string::npos) return;
    if (to.size() > from.size()) {
        text = ReplaceAll(text, from, to);
        return;
    }
    // What the rules put in is never longer than what they take out: the text
    // shrinks where it stands, the writing never overtaking the reading, so
    // what is still to be searched is always the original.
    char* const data = text.data();
    std::size_t write = at;
    std::size_t read = at;
    while (at != std::string::npos) {
        std::memmove(data + write, data + read, at - read);
        write += at - read;
        std::memmove(data + write, to.data(), to.size());
        write += to.size();
        read = at + from.size();
        at = text.find(from, read);
    }
    std::memmove(data + write, data + read, text.size() - read);
    text.resize(write + text.size() - read);
}

std::string TrimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

}  // namespace kolbi
