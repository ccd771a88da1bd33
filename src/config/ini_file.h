#pragma once

#include <string>

namespace kolbi {

// The configuration file's name; it sits in the program's own folder.
inline constexpr const char* kIniFileName = "KolbiPumps.ini";

// One value of an INI file: at most 254 characters, the empty string when the
// file, the section or the key is missing. Section and key names match
// without regard to case. A failure while reading, a file that is there but
// cannot be read among them, is reported ("in procedure INIRead of Module
// ModDivers") and ends the program.
std::string INIRead(const std::string& section, const std::string& key,
                    const std::string& file_name);

// Writes one value, creating the file, the section or the key as needed and
// keeping every other line as it was. A write that fails is ignored.
void INIWrite(const std::string& section, const std::string& key, const std::string& value,
              const std::string& file_name);

}  // namespace kolbi
