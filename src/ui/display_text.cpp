#include "ui/display_text.h"

#include <cwchar>
#include <optional>

namespace kolbi {
namespace {

// Windows-1252 characters 0x80 to 0x9F; 0 where the code page has none.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// Number of continuation bytes a lead byte announces, or -1 for a byte that
// cannot start a UTF-8 character.
int ContinuationBytes(unsigned char lead) {
    if (lead < 0x80) return 0;
    if (lead >= 0xC2 && lead < 0xE0) return 1;
    if (lead >= 0xE0 && lead < 0xF0) return 2;
    if (lead >= 0xF0 && lead < 0xF5) return 3;
    return -1;
}

std::optional<std::u32string> DecodeUtf8(std::string_view bytes) {
    std::u32string out;
    size_t i = 0;
    while (i < bytes.size()) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        int extra = ContinuationBytes(lead);
        if (extra < 0 || i + static_cast<size_t>(extra) >= bytes.size()) {
            return std::nullopt;
        }
        char32_t code = extra == 0 ? lead : (lead & (0x3F >> extra));
        for (int k = 1; k <= extra; ++k) {
            auto next = static_cast<unsigned char>(bytes[i + static_cast<size_t>(k)]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past Unicode are not UTF-8.
        if ((extra == 2 && code < 0x800) || (extra == 3 && (code < 0x10000 || code > 0x10FFFF)) ||
            (code >= 0xD800 && code <= 0xDFFF)) {
            return std::nullopt;
        }
        out += code;
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

std::u32string DecodeCp1252(std::string_view bytes) {
    std::u32string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        char32_t code = b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b;
        out += code ? code : U'?';
    }
    return out;
}

}  // namespace

std::wstring DisplayText(std::string_view bytes) {
    std::optional<std::u32string> utf8 = DecodeUtf8(bytes);
    std::u32string code_points = utf8 ? std::move(*utf8) : DecodeCp1252(bytes);
    std::wstring out;
    out.reserve(code_points.size());
    for (char32_t c : code_points) {
        bool control = c < 0x20 || (c >= 0x7F && c < 0xA0);
        out += control ? L' ' : static_cast<wchar_t>(c);
    }
    return out;
}

int DisplayColumns(const std::wstring& text) {
    int columns = 0;
    for (wchar_t c : text) {
        int width = ::wcwidth(c);
        columns += width < 0 ? 1 : width;
    }
    return columns;
}

std::wstring FitColumns(const std::wstring& text, int columns) {
    std::wstring out;
    int used = 0;
    for (wchar_t c : text) {
        int width = ::wcwidth(c);
        if (width < 0) width = 1;
        if (used + width > columns) break;
        out += c;
        used += width;
    }
    return out;
}

}  // namespace kolbi
