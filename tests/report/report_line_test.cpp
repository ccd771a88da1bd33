// The text rules of a report: line cleaning, fields, workstation names and
// the reading of a whole file.
#include "report/report_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/runtime_error.h"
#include "report/report_file.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

struct CleaningCase {
    std::string line;
    std::string cleaned;
};

TEST(CleanReportLine, AppliesItsStepsInOrder) {
    const CleaningCase cases[] = {
        {"A!Editor Pro 2000!Editor Pro!4, 0, 1!(c) 1999 Acme Corp.",
         "A!Editor Pro 2000!Editor Pro!4.0.1!(c) 1999 Acme Corp."},
        {"x;y!p!q!r!s", "xy!p!q!r!s"},
        {"\xAC" "d\xAC" "p;\xAC" "v\xAC" "c\xAC" "dsn;db;srv", "\xAC" "d\xAC" "p;\xAC" "v\xAC" "c\xAC" "dsn;db;srv"},
        {"a\xAC" "b;c", "a\xAC" "bc"},                       // "¬" not first: ";" goes
        {"Name\xAE X", "Name X"},                            // "®" becomes a space, then 2 -> 1
        {"Name\xAE  X", "Name  X"},                          // three spaces: one pass leaves two
        {"a   b", "a  b"},
        {"what?\tnow\n", "whatnow"},                         // "?", tab and a lone LF go
        {std::string("nul\0byte", 8), "nulbyte"},
        {"1,2, 3", "1.2.3"},
    };
    for (const CleaningCase& c : cases) EXPECT_EQ(CleanReportLine(c.line), c.cleaned) << c.line;
}

TEST(GetField, TakesOnePieceTrimmedAndNeverFails) {
    EXPECT_EQ(GetField("a! b !c", "!", 2, 2), "b");
    EXPECT_EQ(GetField("a!b", "!", 3, 3), "");
    EXPECT_EQ(GetField("a!b", "!", 1, 2), "");  // ranges give nothing
    EXPECT_EQ(GetField("a!b", "!", 0, 0), "");
    EXPECT_EQ(GetField("", "!", 1, 1), "");
    EXPECT_EQ(GetField("a!!c", "!", 2, 2), "");
    EXPECT_EQ(GetField("a!!c", "!", 3, 3), "c");
}

TEST(TakeFields, ProductAndOdbcLines) {
    ReportLine product = TakeFields("A!Editor Pro 2000!Editor Pro!4.0.1!(c) 1999 Acme Corp.");
    EXPECT_TRUE(product.has_fields);
    EXPECT_FALSE(product.odbc);
    EXPECT_EQ(product.description, "Editor Pro 2000");
    EXPECT_EQ(product.product, "Editor Pro");
    EXPECT_EQ(product.version, "4.0.1");
    EXPECT_EQ(product.copyright, "(c) 1999 Acme Corp.");

    ReportLine short_line = TakeFields("A!B");
    EXPECT_EQ(short_line.description, "B");
    EXPECT_EQ(short_line.product, "");

    const std::string raw = "\xAC" "d\xAC" "p\xAC" "v\xAC" "c\xAC" "dsn;db;srv";
    ReportLine odbc = TakeFields(raw);
    EXPECT_TRUE(odbc.odbc);
    EXPECT_EQ(odbc.odbc_line, raw);
    EXPECT_EQ(odbc.description, "d");
    EXPECT_EQ(odbc.copyright, "c");

    EXPECT_FALSE(TakeFields("no fields here").has_fields);
}

TEST(WorkstationNameOf, IsWhatComesBeforeTheFirstUnderscore) {
    EXPECT_EQ(WorkstationNameOf("PC042_20050117.SILog"), "PC042");
    EXPECT_EQ(WorkstationNameOf("PC_042_x.SILog"), "PC");
    EXPECT_EQ(WorkstationNameOf("_x.SILog"), "");
    EXPECT_THROW(WorkstationNameOf("PC042.SILog"), RuntimeError);
}

TEST(ReadReport, LineEndsTheHe3MarkAndTheLineBound) {
    testing::TempFolder folder;
    ListBox lines;
    // CR LF and a lone CR end lines; a lone LF stays and is cleaned away.
    folder.Write("a", "one\r\ntwo\rthree\nfour\r\n\r\nlast");
    EXPECT_EQ(ReadReport(folder / "a", lines), ReportRead::kRead);
    EXPECT_THAT(lines.Items(), ::testing::ElementsAre("one", "two", "threefour", "", "last"));

    // "HE3" anywhere, even on the last line, rejects the whole file; " HE3" does not.
    lines.Clear();
    folder.Write("b", " HE3\r\nx!a!b!c!d\r\nHE3");
    EXPECT_EQ(ReadReport(folder / "b", lines), ReportRead::kStillEncoded);
    EXPECT_EQ(lines.ListCount(), 0);

    // Lines beyond the 16-bit bound are read for the HE3 mark, kept out and reported.
    lines.Clear();
    std::string big;
    for (int i = 0; i < 40000; ++i) big += "x!d!p!v!c\r\n";
    big += std::string(100000, 'y');
    folder.Write("c", big);
    try {
        ReadReport(folder / "c", lines);
        ADD_FAILURE() << "no overflow";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), errnum::kOverflow);
    }
    EXPECT_EQ(lines.ListCount(), kMaxReportLines);

    EXPECT_THROW(ReadReport(folder / "missing", lines), RuntimeError);
}

}  // namespace
}  // namespace kolbi
