#pragma once

#include <string_view>

namespace kolbi {

// A setting taken as a number the way the pump has always read Refresh: blanks
// (spaces, tabs, line ends) are skipped wherever they are, then the longest
// start that forms a decimal number is used: an optional sign, digits with an
// optional decimal point, an optional exponent ("E" or "D"). "10abc" is 10,
// "2.5" is 2.5, " 1 2" is 12; an empty or non-numeric text is 0. A value too
// large for a double is infinity.
double LeadingNumber(std::string_view text);

}  // namespace kolbi
