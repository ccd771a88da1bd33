#include "service/unit_file.h"

#include "service/unit_template.h"

namespace kolbi {
namespace {

// "%" starts a specifier in every unit setting.
std::string EscapeSpecifiers(const std::string& value) {
    std::string out;
    for (char c : value) {
        out += c;
        if (c == '%') out += '%';
    }
    return out;
}

// ExecStart= splits its value into words and expands "$" variables; the
// program's path is one word, quoted when it holds blanks or quotes.
std::string ExecStartWord(const std::string& path) {
    std::string escaped;
    bool quote = false;
    for (char c : path) {
        if (c == ' ' || c == '\t' || c == '\'' || c == '"' || c == ';') quote = true;
        if (c == '\\' || c == '"') escaped += '\\';
        escaped += c;
        if (c == '$') escaped += '$';
    }
    escaped = EscapeSpecifiers(escaped);
    return quote ? "\"" + escaped + "\"" : escaped;
}

bool Writable(const std::string& value) {
    return value.find_first_of("\r\n") == std::string::npos &&
           value.find('\0') == std::string::npos;
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

std::optional<std::string> UnitFileText(const UnitSettings& settings) {
    for (const std::string* value : {&settings.description, &settings.executable,
                                     &settings.working_directory, &settings.unit_name}) {
        if (!Writable(*value)) return std::nullopt;
    }
    if (settings.executable.empty() || settings.executable.front() != '/' ||
        settings.working_directory.empty() || settings.working_directory.front() != '/') {
        return std::nullopt;
    }
    std::string text = kUnitTemplate;
    ReplaceAll(text, "@DESCRIPTION@", EscapeSpecifiers(settings.description));
    ReplaceAll(text, "@EXEC_START@", ExecStartWord(settings.executable));
    ReplaceAll(text, "@WORKING_DIRECTORY@", EscapeSpecifiers(settings.working_directory));
    ReplaceAll(text, "@UNIT_NAME@", settings.unit_name);
    return text;
}

}  // namespace kolbi
