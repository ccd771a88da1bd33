#pragma once

#include <algorithm>
#include <cctype>
#include <string_view>

namespace kolbi {

// Names of tables, columns, data sources and ini keys compare without regard
// to the case of ASCII letters, as the driver manager and the databases do.
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace kolbi
