#include "service/unit_file.h"

#include <cstdio>

#include "common/cp1252.h"
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
    return text;
}

}  // namespace kolbi
