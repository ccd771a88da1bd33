#include "db/name_key.h"

#include <algorithm>
#include <array>

#include "common/ascii.h"

namespace kolbi {
namespace {

// The small letter of a Windows-1252 capital, the character itself otherwise.
char32_t Small(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 0x20;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    switch (c) {
        case 0x160:  // Š
        case 0x152:  // Œ
        case 0x17D:  // Ž
            return c + 1;
        case 0x178:  // Ÿ
            return 0xFF;
        default:
            return c;
    }
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else {
        // Every character Small changes or gives lies below U+0800.
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

bool HasNameKey(std::string_view column) {
    static constexpr std::array<std::string_view, 9> kKeyed = {
        "Poste_Nom", "SOFTPRODUCT_PRODUCT", "ODBC_DrvName",
        "ODBC_Desc", "ODBC_ProdVers",       "ODBC_CPR",
        "DSN_Name",  "DSN_DBName",          "DSN_ServName"};
    return std::any_of(kKeyed.begin(), kKeyed.end(),
                       [&](std::string_view keyed) { return EqualsNoCase(keyed, column); });
}

std::string NameKey(std::string_view utf8) {
    while (!utf8.empty() && utf8.back() == ' ') utf8.remove_suffix(1);
    std::string key;
    key.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        // Two-byte sequences hold every capital that changes; longer ones
        // and anything else pass unchanged.
        if (lead >= 0xC2 && lead < 0xE0 && i + 1 < utf8.size() &&
            (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
            const char32_t c =
                ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            AppendUtf8(key, Small(c));
            i += 2;
        } else {
            key.push_back(lead < 0x80 ? static_cast<char>(Small(lead)) : utf8[i]);
            ++i;
        }
    }
    return key;
}

}  // namespace kolbi
