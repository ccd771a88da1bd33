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

// The unit file's text, from the template in packaging/. Nothing when a value
// cannot be written in a unit file (a line break in a path, a relative path).
std::optional<std::string> UnitFileText(const UnitSettings& settings);

}  // namespace kolbi
