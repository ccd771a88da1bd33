// The text rules of a report: line cleaning, the fields of a line and the
// reading of a whole file.
#include "report/report_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "common/replace_all.h"
#include "report/report_file.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

using ::testing::ElementsAre;
using namespace std::literals;

// The cleaning and the field split as first written, one replacement and one
// field at a time in the order the rules give: the one-pass forms must agree
// with them byte for byte on any line. Run with --gtest_shuffle and
// --gtest_repeat for more seeds.
std::string CleanedStepByStep(std::string_view line) {
    std::string text = ReplaceAll(ReplaceAll(line, ", ", "."), ",", ".");
    if (text.empty() || text.front() != kNotSign) text = ReplaceAll(text, ";", "");
    for (std::string_view gone : {"?"sv, "\0"sv, "\t"sv, "\n"sv, "\r"sv}) {
        text = ReplaceAll(text, gone, "");
    }
    return ReplaceAll(ReplaceAll(text, "\xAE", " "), "  ", " ");
}

TEST(CleanReportLine, AgreesWithTheStepsOneByOneOnRandomLines) {
    std::mt19937 random(::testing::UnitTest::GetInstance()->random_seed());
    const std::string_view bytes(",, ;?\t\n\r\xAE\xAC!!a \0", 15);
    for (int i = 0; i < 20000; ++i) {
        std::string line(random() % 24, ' ');
        for (char& c : line) c = bytes[random() % bytes.size()];
        const std::string cleaned = CleanReportLine(line);
        ASSERT_EQ(cleaned, CleanedStepByStep(line)) << ::testing::PrintToString(line);

        const std::string work = ReplaceAll(cleaned, "\xAC", "!");
        const ReportLine fields = TakeFields(cleaned);
        EXPECT_EQ(fields.odbc, work != cleaned);
        EXPECT_EQ(fields.odbc_line, fields.odbc ? cleaned : "");
        EXPECT_EQ(fields.has_fields, work.find('!') != std::string::npos);
        const std::string* taken[] = {&fields.description, &fields.product, &fields.version,
                                      &fields.copyright};
        for (std::int16_t piece = 2; piece <= 5; ++piece) {
            ASSERT_EQ(*taken[piece - 2], fields.has_fields ? GetField(work, "!", piece, piece) : "")
                << ::testing::PrintToString(cleaned) << " field " << piece;
        }
    }
}

TEST(ReadReport, LineEndsTheHe3MarkAndTheLineBound) {
    testing::TempFolder folder;
    ListBox lines;
    // CR LF and a lone CR end lines; a lone LF stays and is cleaned away.
    folder.Write("a", "one\r\ntwo\rthree\nfour\r\n\r\nlast");
    EXPECT_EQ(ReadReport(folder / "a", lines), ReportRead::kRead);
    EXPECT_THAT(lines.Items(), ElementsAre("one", "two", "threefour", "", "last"));

    // "HE3" anywhere, even on the last line, rejects the whole file; " HE3" does not.
    lines.Clear();
    folder.Write("b", " HE3\r\nx!a!b!c!d\r\nHE3");
    EXPECT_EQ(ReadReport(folder / "b", lines), ReportRead::kStillEncoded);
    EXPECT_EQ(lines.ListCount(), 0);

    // Lines beyond the 16-bit bound are read for the HE3 mark, kept out and reported.
    lines.Clear();
    std::string big;
    for (int i = 0; i < 40000; ++i) big += "x!d!p!v!c\r\n";
    folder.Write("c", big + std::string(100000, 'y'));
    EXPECT_EQ(testing::ErrorOf([&] { ReadReport(folder / "c", lines); }).number(),
              errnum::kOverflow);
    EXPECT_EQ(lines.ListCount(), kMaxReportLines);

    EXPECT_THROW(ReadReport(folder / "missing", lines), RuntimeError);
}

}  // namespace
}  // namespace kolbi
