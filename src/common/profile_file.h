#pragma once

#include <string>

namespace kolbi {

// Our own reader and writer of Windows-style profile (INI) files, with the
// semantics the pump relies on: section and key names compared without regard
// to case, values trimmed of surrounding blanks and of one pair of enclosing
// quotes, at most 254 characters returned, and writes that keep every other
// line of the file as it was. Bytes are not converted: the file is 8-bit text.

// The value of key in section, or default_value when the file, the section or
// the key is missing. At most 254 characters.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& default_value, const std::string& file);

// Sets key in section to value, creating the file, the section or the key as
// needed. False when the file cannot be written.
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& file);

}  // namespace kolbi
