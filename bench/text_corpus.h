#pragma once

#include <cstddef>
#include <string>

namespace kolbi::bench {

// Deterministic test texts, the same bytes on every machine and run (own generator, no
// library distributions), so that figures from different runs compare.

// Workstation inventory reports as the agents write them, concatenated (the report
// generator's, cut to size).
std::string InventoryReportText(std::size_t size);

// English-like prose: words drawn by frequency from a list of common words plus a long
// tail of rarer made-up ones, in sentences and wrapped paragraphs.
std::string EnglishText(std::size_t size);

}  // namespace kolbi::bench
