#pragma once

#include <string>
#include <string_view>

namespace kolbi {

// Replaces every occurrence of from, left to right, without looking again at
// what was put in: the text rules of the reports are written that way, and
// the order of a chain of replacements decides the result. An empty from
// changes nothing.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);
// The same in place; a text without from is left untouched, which is what a
// long chain of rules mostly meets, and a to no longer than from allocates
// nothing either.
void ReplaceAllIn(std::string& text, std::string_view from, std::string_view to);

// Removes leading and trailing spaces (spaces only, not tabs).
std::string TrimSpaces(std::string_view text);

}  // namespace kolbi
