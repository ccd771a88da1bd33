#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kolbi {

// What goes into the pump's systemd unit.
struct UnitSettings {
    std::string description;        // Description=
    std::string executable;         // absolute path of the program: ExecStart=
    std::string working_directory;  // its folder: WorkingDirectory=
    std::string unit_name;          // "kolbi-software-inventory-pump.service"
    std::string check_executable;   // the configuration check: ExecStartPre=; none when empty
};

// The unit name of a service name: lower case, spaces as hyphens, ".service".
std::string UnitNameOf(const std::string& service_name);

// The unit file's text, from the template in packaging/, with the values
// quoted and escaped so that systemd runs the program whatever its path holds
// ("$", "%", blanks, quotes, backslashes). Nothing when a value cannot stand
// in a unit file at all (a line break, bytes that are not UTF-8, a relative
// path); *why then says which and why.
std::optional<std::string> UnitFileText(const UnitSettings& settings, std::string* why = nullptr);

// Why writing the unit into `unit_folder` would take over or stand in the way
// of a unit of the same name that is not this program's: one of another
// program in that folder, or one in another folder of `search_path` (the
// package's, say), which the new unit would override or be overridden by; a
// link there (a masked unit) counts as another's too. Nothing when there is
// no such unit, or only this program's own earlier one. With no search path,
// whether the unit in `unit_folder` is this program's to remove.
std::optional<std::string> UnitOfAnotherProgram(const UnitSettings& settings,
                                                const std::string& unit_folder,
                                                const std::vector<std::string>& search_path);

}  // namespace kolbi
