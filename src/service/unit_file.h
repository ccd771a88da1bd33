#pragma once

#include <optional>
#include <string>

namespace kolbi {

// What goes into the pump's systemd unit.
struct UnitSettings {
    std::string description;        // Description=
    std::string executable;         // absolute path of the program: ExecStart=
    std::string working_directory;  // its folder: WorkingDirectory=
    std::string unit_name;          // "kolbi-software-inventory-pump.service"
};

// The unit name of a service name: lower case, spaces as hyphens, ".service".
std::string UnitNameOf(const std::string& service_name);

// The unit file's text, from the template in packaging/, with the values
// quoted and escaped so that systemd runs the program whatever its path holds
// ("$", "%", blanks, quotes, backslashes). Nothing when a value cannot stand
// in a unit file at all (a line break, bytes that are not UTF-8, a relative
// path); *why then says which and why.
std::optional<std::string> UnitFileText(const UnitSettings& settings, std::string* why = nullptr);

}  // namespace kolbi
