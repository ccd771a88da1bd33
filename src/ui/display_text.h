#pragma once

#include <string>
#include <string_view>

namespace kolbi {

// Text as the status screen shows it. Names and the window's own texts are
// UTF-8, but the lines of a report are Windows-1252 bytes: a text that is not
// valid UTF-8 is read as Windows-1252, so "é" shows as é either way. Control
// characters (tabs included) show as a space, so nothing the pump is handed
// can move the cursor or garble the screen.
std::wstring DisplayText(std::string_view bytes);

// Terminal columns the text takes (a character the terminal cannot size
// counts as one).
int DisplayColumns(const std::wstring& text);

// The longest start of the text that fits in columns terminal columns.
std::wstring FitColumns(const std::wstring& text, int columns);

}  // namespace kolbi
