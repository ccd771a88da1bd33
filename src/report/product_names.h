#pragma once

#include <string>
#include <string_view>

namespace kolbi {

// The catalogue key of a product name (Windows-1252); "" for an operating
// system line, which is not catalogued.
std::string CleanProductName(std::string_view product);

// The vendor name cut down from a copyright text (Windows-1252).
std::string VendorName(std::string_view copyright);

// Both remember their results per distinct text (a bounded number of them,
// per thread), so a text met again costs a look-up.

}  // namespace kolbi
