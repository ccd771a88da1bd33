// The text rules of a report: line cleaning and the reading of a whole file.
// (Fields are taken from lines through the whole pass in the pipeline tests.)
#include "report/report_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "report/report_file.h"
#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

using ::testing::ElementsAre;

TEST(CleanReportLine, AppliesItsStepsInOrder) {
    const std::pair<std::string, std::string> cases[] = {
        {"A!Editor Pro 2000!Editor Pro!4, 0, 1!(c) 1999 Acme Corp.",
         "A!Editor Pro 2000!Editor Pro!4.0.1!(c) 1999 Acme Corp."},
        {"x;y!p!q!r!s", "xy!p!q!r!s"},
        {"\xAC" "d\xAC" "p;\xAC" "v\xAC" "c\xAC" "dsn;db;srv",
         "\xAC" "d\xAC" "p;\xAC" "v\xAC" "c\xAC" "dsn;db;srv"},  // a driver line keeps its ";"
        {"a\xAC" "b;c", "a\xAC" "bc"},                       // "¬" not first: ";" goes
        {"Name\xAE X", "Name X"},                            // "®" becomes a space, then 2 -> 1
        {"Name\xAE  X", "Name  X"},                          // three spaces: one pass leaves two
        {"a   b", "a  b"},
        {"what?\tnow\n", "whatnow"},                         // "?", tab and a lone LF go
        {std::string("nul\0byte", 8), "nulbyte"},
        {"1,2, 3", "1.2.3"},
    };
    for (const auto& [line, cleaned] : cases) EXPECT_EQ(CleanReportLine(line), cleaned) << line;
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
