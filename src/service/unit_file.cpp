#include "service/unit_file.h"

#include <cstdio>

#include "common/cp1252.h"
#include "common/file_helpers.h"
#include "common/file_system.h"
#include "service/unit_template.h"

namespace kolbi {
namespace {

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// "%" starts a specifier in every unit setting.
std::string EscapeSpecifiers(const std::string& value) {
    std::string out;
    for (char c : value) {
        out += c;
        if (c == '%') out += '%';
    }
    return out;
}

// systemd takes the executable of ExecStart= as it stands after unquoting and
// refuses one with quotes, backslashes or control characters in it, however
// they are escaped.
bool SystemdTakesAsExecutable(const std::string& path) {
    for (char c : path) {
        if (IsControl(c) || c == '"' || c == '\'' || c == '\\') return false;
    }
    return true;
}

// One word of ExecStart= in double quotes, with C escapes.
std::string QuotedWord(const std::string& word) {
    std::string out = "\"";
    for (char c : word) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (IsControl(c)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// The command line of ExecStart=. The ":" prefix turns off the expansion of
// "$" variables, which systemd does in the arguments but not in the
// executable's path, so no escape of "$" would work for both. A path systemd
// would refuse as an executable is handed to the shell as an argument instead,
// where every byte but NUL is allowed; exec keeps the pump the service's main
// process.
std::string ExecStartLine(const std::string& path) {
    std::string line;
    if (!SystemdTakesAsExecutable(path)) {
        line = ":/bin/sh -c \"exec \\\"$0\\\"\" " + QuotedWord(path);
    } else {
        const bool blank = path.find_first_of(" ;") != std::string::npos;
        line = (path.find('$') != std::string::npos ? ":" : "") + (blank ? QuotedWord(path) : path);
    }
    return EscapeSpecifiers(line);
}

// WorkingDirectory= takes its value as it stands, but the unit file's reader
// drops blanks at the end of a line and joins a line that ends in "\" with
// the next: a "/" at the end keeps such a folder what it is.
std::string WorkingDirectoryValue(const std::string& folder) {
    std::string value = EscapeSpecifiers(folder);
    if (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\\')) {
        value += '/';
    }
    return value;
}

// Why a value cannot stand in a unit file, or nothing when it can.
std::optional<std::string> Unwritable(const std::string& value) {
    if (value.find_first_of("\r\n") != std::string::npos || value.find('\0') != std::string::npos) {
        return "has a line break in it";
    }
    // systemd ignores a setting that is not valid UTF-8.
    if (!IsValidUtf8(value)) return "is not valid UTF-8";
    return std::nullopt;
}

// The program an existing unit runs: the value of its last ExecStart=, as
// this file writes it; empty when it has none.
std::string ExecStartOf(const std::string& unit_text) {
    std::string value;
    size_t start = 0;
    while (start < unit_text.size()) {
        size_t end = unit_text.find('\n', start);
        if (end == std::string::npos) end = unit_text.size();
        std::string_view line(unit_text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        constexpr std::string_view key = "ExecStart=";
        if (line.substr(0, key.size()) == key) value = line.substr(key.size());
        start = end + 1;
    }
    return value;
}

void ReplaceAll(std::string& text, const std::string& placeholder, const std::string& value) {
    for (size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size())) {
        text.replace(at, placeholder.size(), value);
    }
}

}  // namespace

std::string UnitNameOf(const std::string& service_name) {
    std::string name;
    for (char c : service_name) {
        if (c == ' ') {
            name += '-';
        } else {
            name += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    return name + ".service";
}

std::optional<std::string> UnitFileText(const UnitSettings& settings, std::string* why) {
    auto refuse = [why](const std::string& reason) {
        if (why) *why = reason;
        return std::nullopt;
    };
    for (const std::string* value : {&settings.description, &settings.executable,
                                     &settings.working_directory, &settings.unit_name}) {
        if (auto reason = Unwritable(*value)) return refuse("\"" + *value + "\" " + *reason);
    }
    if (settings.executable.empty() || settings.executable.front() != '/' ||
        settings.working_directory.empty() || settings.working_directory.front() != '/') {
        return refuse("\"" + settings.executable + "\" is not an absolute path");
    }
    std::string text = kUnitTemplate;
    ReplaceAll(text, "@DESCRIPTION@", EscapeSpecifiers(settings.description));
    ReplaceAll(text, "@EXEC_START@", ExecStartLine(settings.executable));
    ReplaceAll(text, "@WORKING_DIRECTORY@", WorkingDirectoryValue(settings.working_directory));
    ReplaceAll(text, "@UNIT_NAME@", settings.unit_name);
    // A copy of the program has no service user nor fixed folders of its own:
    // the package's unit alone has that part.
    ReplaceAll(text, "@INSTALLED_LAYOUT@\n", "");
    ReplaceAll(text, "@EXEC_START_PRE@\n",
               settings.check_executable.empty()
                   ? ""
                   : "ExecStartPre=" + ExecStartLine(settings.check_executable) + "\n");
    return text;
}

std::optional<std::string> UnitOfAnotherProgram(const UnitSettings& settings,
                                                const std::string& unit_folder,
                                                const std::vector<std::string>& search_path) {
    const std::string own = WithTrailingSlash(unit_folder) + settings.unit_name;
    std::vector<std::string> paths{own};
    for (const std::string& folder : search_path) {
        if (folder.empty()) continue;
        const std::string path = WithTrailingSlash(folder) + settings.unit_name;
        if (path != own) paths.push_back(path);
    }
    for (const std::string& path : paths) {
        if (Fs().IsLink(path)) {
            return path + " is a link (a masked unit, or one linked in by another installation)";
        }
        if (!Fs().PathExists(path)) continue;
        const std::optional<std::string> text = Fs().ReadFile(path);
        const std::string runs = text ? ExecStartOf(*text) : "";
        const std::string what = runs.empty() ? "" : " runs " + runs + ", and";
        if (path != own) {
            return path + what +
                   " is a unit of the same name installed apart (by a package?); "
                   "a unit in " +
                   unit_folder +
                   " would override it or be ignored. Use that one "
                   "(systemctl enable " +
                   settings.unit_name + "), or remove it first";
        }
        if (!text || runs != ExecStartLine(settings.executable)) {
            return path +
                   (runs.empty() ? " belongs to another program"
                                 : " runs " + runs + ", not this program") +
                   ": that program's -u removes it";
        }
    }
    return std::nullopt;
}

}  // namespace kolbi
