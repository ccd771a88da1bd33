#include "reportgen/report_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace kolbi {
namespace {

ReportGeneratorOptions Options(std::uint64_t seed, int products = 80) {
    ReportGeneratorOptions options;
    options.seed = seed;
    options.products_per_report = products;
    return options;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return lines;
}

// The seed and the number alone decide a report (the simulated agents rely on
// it), whatever was generated before.
TEST(ReportGeneratorTest, TheSeedAndTheNumberAloneDecideAReport) {
    const auto first = ReportGenerator(Options(42)).Reports(5);
    EXPECT_TRUE(ReportGenerator(Options(42)).Report(4).text == first[3].text);
    EXPECT_FALSE(ReportGenerator(Options(43)).Report(4).text == first[3].text);
    EXPECT_EQ(first[1].file_name.substr(0, 6), "PC002_");
}

TEST(ReportGeneratorTest, WritesTheLinesAgentsWriteAndSharesProducts) {
    std::map<std::string, int> seen;
    for (int products : {0, 1, 40, 1500}) {
        const ReportGenerator generator(Options(11, products));
        for (int number = 1; number <= (products == 40 ? 30 : 1); ++number) {
            int product_lines = 0, drivers = 0;
            for (const std::string& line : Lines(generator.Report(number).text)) {
                EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
                if (!line.empty() && line[0] == '\xAC') {
                    ++drivers;
                    EXPECT_GE(std::count(line.begin(), line.end(), '\xAC'), 4) << line;
                } else if (line.find('!') != std::string::npos) {
                    ++product_lines;  // !Description!Product!Version!Copyright!
                    EXPECT_EQ(std::count(line.begin(), line.end(), '!'), 5) << line;
                    EXPECT_TRUE(line.front() == '!' && line.back() == '!') << line;
                    ++seen[line.substr(1, line.find('!', 1))];
                }
            }
            EXPECT_EQ(product_lines, products);
            EXPECT_GE(drivers, 1);
        }
    }
    // Popular products show up on many workstations, as on a real network.
    EXPECT_GE(std::max_element(seen.begin(), seen.end(),
                               [](auto& a, auto& b) { return a.second < b.second; })
                  ->second,
              25);
    EXPECT_GT(seen.size(), 200u);
}

TEST(ReportGeneratorTest, UsesWindows1252AndTheShapesTheNormalisationMeets) {
    const std::string text = GenerateInventoryText(3, 200000);
    EXPECT_GE(text.size(), 200000u);
    EXPECT_LT(text.size(), 210000u);
    for (const char* needle : {"\xA9", "\xAE", "\x99", "\xE9", "\xAC(", ";", "(c)", "Corporation",
                               " Inc.", "All rights reserved.", "Tous droits r\xE9serv\xE9s",
                               "Syst\xE8me d'exploitation - Operating System", ", ", "(R)"}) {
        EXPECT_NE(text.find(needle), std::string::npos) << "never generated: " << needle;
    }
    // No UTF-8 leaked from the word lists: "é" and "©" would start with C3 and C2.
    EXPECT_EQ(text.find_first_of("\xC3\xC2"), std::string::npos);
}

}  // namespace
}  // namespace kolbi
