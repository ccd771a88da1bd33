#pragma once

#include <string>
#include <string_view>

namespace kolbi {

// Conversion between Windows-1252, the bytes the reports and the pump's own
// texts are made of, and UTF-8, what the databases and the terminal speak.
//
// The five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// map to the C1 controls of the same value both ways, as Windows itself maps
// them, so every byte string survives a round trip.

// Each byte becomes its character in UTF-8. Never fails.
std::string Cp1252ToUtf8(std::string_view cp1252);
// The same appended to out.
void AppendCp1252AsUtf8(std::string& out, std::string_view cp1252);

// Each character becomes its Windows-1252 byte; a character that Windows-1252
// cannot hold, and each byte of a malformed UTF-8 sequence, becomes "?".
std::string Utf8ToCp1252(std::string_view utf8);

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// code points beyond U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Text whose encoding is not known (a file name, an INI value): kept as it is
// when it is valid UTF-8, else read as Windows-1252 and converted. Windows-1252
// text with bytes above 0x7F is almost never valid UTF-8 by accident.
std::string Utf8OrCp1252ToUtf8(std::string_view text);

}  // namespace kolbi
