#include "common/profile_file.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "common/ascii.h"
#include "common/file_system.h"

namespace kolbi {
namespace {

constexpr size_t kMaxValueLength = 254;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// One line of the file without its line end, and what it is.
struct Line {
    std::string_view text;
    std::optional<std::string_view> section;  // the name when the line is "[name]"
    std::optional<std::string_view> key;      // the name when the line is "key=value"
    std::string_view value;
};

Line Classify(std::string_view text) {
    Line line{text, {}, {}, {}};
    std::string_view trimmed = Trim(text);
    if (trimmed.empty() || trimmed.front() == ';') return line;
    if (trimmed.front() == '[') {
        size_t close = trimmed.find(']');
        line.section = Trim(
            trimmed.substr(1, close == std::string_view::npos ? trimmed.size() - 1 : close - 1));
        return line;
    }
    if (size_t eq = trimmed.find('='); eq != std::string_view::npos) {
        line.key = Trim(trimmed.substr(0, eq));
        line.value = Trim(trimmed.substr(eq + 1));
    }
    return line;
}

std::vector<Line> SplitLines(std::string_view content) {
    std::vector<Line> lines;
    while (!content.empty()) {
        size_t end = content.find('\n');
        std::string_view text = content.substr(0, end);
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        lines.push_back(Classify(text));
        // An editor's UTF-8 byte order mark must not hide the first section;
        // the line keeps it, so a write gives the file back as it was.
        if (lines.size() == 1 && text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
            Line classified = Classify(text.substr(kByteOrderMark.size()));
            classified.text = text;
            lines.back() = classified;
        }
        if (end == std::string_view::npos) break;
        content.remove_prefix(end + 1);
    }
    return lines;
}

// Index of the section's header line, if the section is there.
std::optional<size_t> FindSection(const std::vector<Line>& lines, std::string_view section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].section && EqualsNoCase(*lines[i].section, section)) return i;
    }
    return std::nullopt;
}

// One past the last line of the section whose header is at index header.
size_t SectionEnd(const std::vector<Line>& lines, size_t header) {
    size_t end = header + 1;
    while (end < lines.size() && !lines[end].section) ++end;
    return end;
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& default_value, const std::string& file) {
    std::optional<std::string> content = Fs().ReadFile(file);
    std::string value = default_value;
    if (content) {
        std::vector<Line> lines = SplitLines(*content);
        if (auto header = FindSection(lines, section)) {
            size_t end = SectionEnd(lines, *header);
            for (size_t i = *header + 1; i < end; ++i) {
                if (lines[i].key && EqualsNoCase(*lines[i].key, key)) {
                    value = std::string(Unquote(lines[i].value));
                    break;
                }
            }
        }
    }
    if (value.size() > kMaxValueLength) value.resize(kMaxValueLength);
    return value;
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& file) {
    std::string content = Fs().ReadFile(file).value_or(std::string());
    // Keep the file's own line ends; a new file gets the Windows ones.
    const std::string eol =
        content.find('\n') == std::string::npos || content.find("\r\n") != std::string::npos
            ? "\r\n"
            : "\n";
    std::vector<Line> lines = SplitLines(content);
    std::vector<std::string> out;
    out.reserve(lines.size() + 3);
    for (const Line& line : lines) out.emplace_back(line.text);
    const std::string entry = key + "=" + value;

    if (auto header = FindSection(lines, section)) {
        size_t end = SectionEnd(lines, *header);
        std::optional<size_t> existing;
        size_t last_content = *header;
        for (size_t i = *header + 1; i < end; ++i) {
            if (lines[i].key && EqualsNoCase(*lines[i].key, key)) {
                existing = i;
                break;
            }
            if (!Trim(lines[i].text).empty()) last_content = i;
        }
        if (existing) {
            out[*existing] = entry;
        } else {
            out.insert(out.begin() + static_cast<long>(last_content) + 1, entry);
        }
    } else {
        if (!out.empty() && !Trim(out.back()).empty()) out.emplace_back();
        out.push_back("[" + section + "]");
        out.push_back(entry);
    }

    std::string written;
    for (const std::string& line : out) written += line + eol;
    return Fs().WriteFile(file, written);
}

}  // namespace kolbi
