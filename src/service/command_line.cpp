#include "service/command_line.h"

#include <array>

namespace kolbi {
namespace {

struct SwitchEntry {
    const char* text;
    RunMode mode;
};

constexpr std::array<SwitchEntry, 14> kSwitches = {{
    {"-i", RunMode::kInstall},
    {"/i", RunMode::kInstall},
    {"-u", RunMode::kUninstall},
    {"/u", RunMode::kUninstall},
    {"-v", RunMode::kVersion},
    {"/v", RunMode::kVersion},
    {"-?", RunMode::kHelp},
    {"/?", RunMode::kHelp},
    {"-s", RunMode::kVisible},
    {"/s", RunMode::kVisible},
    {"-d", RunMode::kVisible},
    {"/d", RunMode::kVisible},
    {"-n", RunMode::kDetached},
    {"/n", RunMode::kDetached},
}};

}  // namespace

std::string CommandLineText(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        text += argv[i];
    }
    return text;
}

std::string ArgumentOf(const std::string& command_line) {
    size_t first = command_line.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    size_t last = command_line.find_last_not_of(' ');
    std::string argument = command_line.substr(first, last - first + 1);
    for (char& c : argument) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return argument;
}

RunMode ModeOf(const std::string& argument) {
    if (argument.empty()) return RunMode::kService;
    std::string switch_text = argument.substr(0, 2);
    for (const SwitchEntry& entry : kSwitches) {
        if (switch_text == entry.text) return entry.mode;
    }
    return RunMode::kInvalid;
}

std::string VersionText() {
    return std::string(kProductName) + "\r\n Version " + std::to_string(kVersionMajor) + "." +
           std::to_string(kVersionMinor) + "." + std::to_string(kVersionRevision);
}

std::string HelpText() {
    return "-i or /i to Install\r\n"
           "-u or /u to Un-Install\r\n"
           "-v or /v for version information\r\n"
           "-s or /s to set program to visible\r\n"
           "-? or /? to get this message";
}

}  // namespace kolbi
