#pragma once

#include <string>

namespace kolbi {

inline constexpr const char* kProductName = "Kolbi Software Inventory Pump";
inline constexpr int kVersionMajor = 4;
inline constexpr int kVersionMinor = 2;
inline constexpr int kVersionRevision = 0;

// The ways the program can be asked to run.
enum class RunMode {
    kService,    // no argument: under the service manager
    kInstall,    // -i, /i
    kUninstall,  // -u, /u
    kVersion,    // -v, /v
    kHelp,       // -?, /?
    kVisible,    // -s, /s, -d, /d: the status screen
    kDetached,   // -n, /n: invisible, normal priority, no service manager
    kInvalid,    // anything else
};

// The whole text after the program's name, the arguments joined by spaces.
std::string CommandLineText(int argc, char** argv);

// The argument: the command line lower-cased, leading and trailing spaces removed.
std::string ArgumentOf(const std::string& command_line);

// The mode an argument asks for: its first two characters are the switch, and
// a switch is recognised only as a whole ("-" or "s" alone are invalid).
RunMode ModeOf(const std::string& argument);

// The version box's text: the product name, CR LF, " Version 4.2.0".
std::string VersionText();

// The help box's text: five lines joined by CR LF.
std::string HelpText();

}  // namespace kolbi
