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

std::size_t Count(const std::string& text, char c) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

TEST(ReportGeneratorTest, SameSeedSameBytesOtherSeedOtherBytes) {
    const auto first = ReportGenerator(Options(42)).Reports(5);
    const auto second = ReportGenerator(Options(42)).Reports(5);
    const auto other = ReportGenerator(Options(43)).Reports(5);
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_TRUE(first[i].text == second[i].text) << i;
        EXPECT_FALSE(first[i].text == other[i].text) << i;
    }
    // A report does not depend on which others were generated before it.
    EXPECT_TRUE(ReportGenerator(Options(42)).Report(4).text == first[3].text);
    EXPECT_FALSE(first[0].text == first[1].text);
}

TEST(ReportGeneratorTest, NamesWorkstationsAndFiles) {
    ReportGeneratorOptions options = Options(1);
    options.date = "20270115";
    const ReportGenerator generator(options);
    EXPECT_EQ(generator.Report(1).workstation, "PC001");
    EXPECT_EQ(generator.Report(42).file_name, "PC042_20270115.SILog");
    EXPECT_EQ(WorkstationName(1234), "PC1234");
}

TEST(ReportGeneratorTest, WritesProductAndOdbcLinesAsAgentsDo) {
    const ReportGenerator generator(Options(7, 60));
    for (int number = 1; number <= 20; ++number) {
        const std::string text = generator.Report(number).text;
        // CR LF only: no lone line feed or carriage return.
        EXPECT_EQ(Count(text, '\n'), Count(text, '\r'));
        int products = 0;
        int drivers = 0;
        for (const std::string& line : Lines(text)) {
            if (!line.empty() && line[0] == '\xAC') {
                ++drivers;
                EXPECT_GE(Count(line, '\xAC'), 4u) << line;
                EXPECT_EQ(Count(line, '!'), 0u) << line;
            } else if (line.find('!') != std::string::npos) {
                ++products;
                // !Description!Product!Version!Copyright!
                EXPECT_EQ(Count(line, '!'), 5u) << line;
                EXPECT_EQ(line.front(), '!');
                EXPECT_EQ(line.back(), '!');
                EXPECT_NE(line.find_first_not_of('!'), std::string::npos);
            }
        }
        EXPECT_EQ(products, 60) << number;
        EXPECT_GE(drivers, 1) << number;
    }
}

TEST(ReportGeneratorTest, UsesWindows1252AndTheShapesTheNormalisationMeets) {
    const std::string text = GenerateInventoryText(3, 200000);
    for (const char* needle : {"\xA9", "\xAE", "\x99", "\xE9", "\xAC", "(c)", "Corporation",
                               " Inc.", "All rights reserved.", "Tous droits r\xE9serv\xE9s",
                               "Syst\xE8me d'exploitation - Operating System", ", ", "(R)"}) {
        EXPECT_NE(text.find(needle), std::string::npos) << "never generated: " << needle;
    }
    // No UTF-8 leaked from the word lists: "é" and "©" would start with C3 and C2.
    EXPECT_EQ(text.find('\xC3'), std::string::npos);
    EXPECT_EQ(text.find('\xC2'), std::string::npos);
    // Data sources, with and without their parentheses.
    EXPECT_NE(text.find("\xAC("), std::string::npos);
    EXPECT_NE(text.find(';'), std::string::npos);
}

TEST(ReportGeneratorTest, SharesProductsAcrossWorkstations) {
    // The pump's catalogue grows with new names; popular products must show
    // up on many workstations, as they do on a real network.
    const ReportGenerator generator(Options(11, 40));
    std::map<std::string, int> seen;
    for (int number = 1; number <= 30; ++number) {
        for (const std::string& line : Lines(generator.Report(number).text)) {
            if (line.size() > 1 && line[0] == '!') ++seen[line.substr(1, line.find('!', 1))];
        }
    }
    const int most = std::max_element(seen.begin(), seen.end(), [](auto& a, auto& b) {
                         return a.second < b.second;
                     })->second;
    EXPECT_GE(most, 25);
    EXPECT_GT(seen.size(), 200u);
}

TEST(ReportGeneratorTest, HonoursTheProductCountAtTheEdges) {
    for (int products : {0, 1, 1500}) {
        const std::string text = ReportGenerator(Options(5, products)).Report(1).text;
        int count = 0;
        for (const std::string& line : Lines(text)) count += !line.empty() && line[0] == '!';
        EXPECT_EQ(count, products);
    }
}

TEST(ReportGeneratorTest, InventoryTextReachesTheAskedSize) {
    const std::string text = GenerateInventoryText(1, 50000);
    EXPECT_GE(text.size(), 50000u);
    EXPECT_LT(text.size(), 60000u);
    EXPECT_EQ(text.rfind("SoftInventory PC001 ", 0), 0u);
}

}  // namespace
}  // namespace kolbi
