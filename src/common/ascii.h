#pragma once

#include <algorithm>
#include <string_view>

namespace kolbi {

// Names of tables, columns, data sources, INI sections and keys compare
// without regard to the case of ASCII letters, as the driver manager, the
// databases and the profile files do; other bytes compare as they are,
// whatever the host's locale.
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace kolbi
