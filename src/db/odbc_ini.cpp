#include "db/odbc_ini.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "common/ascii.h"
#include "common/file_system.h"

namespace kolbi {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

// The section name of a "[name]" line, or nothing.
bool SectionOf(std::string_view line, std::string_view& name) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return false;
    name = Trim(line.substr(1, line.size() - 2));
    return true;
}

bool HasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

}  // namespace

bool ValidDataSourceName(std::string_view name) {
    return !name.empty() && !HasControlCharacter(name) && name.front() != ' ' &&
           name.back() != ' ' && name.find_first_of("[]{}(),;?*=!@\\") == std::string_view::npos;
}

std::string UserOdbcIniPath() {
    if (const char* path = std::getenv("ODBCINI"); path && *path) return path;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.odbc.ini";
}

std::map<std::string, std::string> ReadDataSource(const std::string& ini_path,
                                                  const std::string& dsn) {
    std::map<std::string, std::string> attributes;
    std::optional<std::string> text = Fs().ReadFile(ini_path);
    if (!text) return attributes;
    bool inside = false;
    for (const std::string& line : Lines(*text)) {
        std::string_view section;
        if (SectionOf(line, section)) {
            inside = EqualsNoCase(section, dsn);
            continue;
        }
        std::string_view trimmed = Trim(line);
        if (!inside || trimmed.empty() || trimmed.front() == '#' || trimmed.front() == ';') {
            continue;
        }
        std::size_t equals = trimmed.find('=');
        if (equals == std::string_view::npos) continue;
        attributes[std::string(Trim(trimmed.substr(0, equals)))] =
            std::string(Trim(trimmed.substr(equals + 1)));
    }
    return attributes;
}

bool WriteDataSource(const std::string& ini_path, const std::string& dsn,
                     const std::map<std::string, std::string>& attributes) {
    if (!ValidDataSourceName(dsn)) return false;
    for (const auto& [key, value] : attributes) {
        if (Trim(key).empty() || key.find('=') != std::string::npos || HasControlCharacter(key) ||
            HasControlCharacter(value)) {
            return false;
        }
    }
    std::string out;
    bool inside = false;
    if (std::optional<std::string> text = Fs().ReadFile(ini_path)) {
        for (const std::string& line : Lines(*text)) {
            std::string_view section;
            if (SectionOf(line, section)) inside = EqualsNoCase(section, dsn);
            if (!inside) out.append(line).append("\n");
        }
    }
    if (!out.empty() && out.find_last_not_of('\n') + 2 == out.size()) out.append("\n");
    out.append("[").append(dsn).append("]\n");
    for (const auto& [key, value] : attributes)
        out.append(key).append(" = ").append(value).append("\n");
    // Data sources may hold a password: a new file is its owner's alone. One
    // that exists keeps the mode its owner gave it.
    bool created = false;
    if (!Fs().PathExists(ini_path)) {
        const int fd =
            ::open(ini_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        ::close(fd);
        created = true;
    }
    if (Fs().WriteFile(ini_path, out)) return true;
    if (created) (void)Fs().Remove(ini_path);
    return false;
}

std::map<std::string, std::string> SqliteDataSource(const std::string& database_file,
                                                    const std::string& getdate_extension) {
    return {
        {"Description", "Kolbi software inventory (SQLite)"},
        {"Driver", "SQLite3"},
        {"Database", database_file},
        {"LoadExt", getdate_extension},
        {"JournalMode", "WAL"},
        // A report's file is deleted once its transaction has committed: the
        // commit must be on the disk by then, a power cut included.
        {"SyncPragma", "FULL"},
        // Milliseconds to wait for a lock held by another program (kolbidb, a report tool).
        {"Timeout", "10000"},
        // A data source whose file has gone must fail, not open an empty database.
        {"NoCreat", "1"},
    };
}

}  // namespace kolbi
