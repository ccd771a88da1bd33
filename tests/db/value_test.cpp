#include "db/value.h"

#include <gtest/gtest.h>

#include "db/db_error.h"
#include "db/db_test.h"

namespace kolbi {
namespace {

using testing::ErrorOf;

TEST(ValueTest, ConvertsAsThePumpReadsFields) {
    EXPECT_EQ(Value::Integer(57).AsText(), "57");
    EXPECT_EQ(Value::Double(1.5).AsText(), "1.5");
    EXPECT_EQ(Value::Date({1900, 1, 1}).AsText(), "1900-01-01");  // holds "190"
    EXPECT_EQ(Value::DateTime({2026, 12, 4, 9, 5, 3, 0}).AsText(), "2026-12-04 09:05:03");
    EXPECT_EQ(Value::Text(" +7 ").AsInteger(), 7);
    EXPECT_EQ(Value::Text("2.5").AsInteger(), 2);  // half to even
    EXPECT_EQ(Value::Double(3.5).AsInteger(), 4);
    EXPECT_EQ(Value::Double(-2.5).AsInteger(), -2);
    EXPECT_EQ(Value::Integer(32767).AsInt16("PosteID"), 32767);
    EXPECT_EQ(Value::Integer(-32768).AsInt16("PosteID"), -32768);
    EXPECT_DOUBLE_EQ(Value::Text("-.5").AsDouble(), -0.5);
}

TEST(ValueTest, NullMismatchAndOverflowAreTheirOwnErrors) {
    EXPECT_EQ(ErrorOf([] { Value().AsText(); }).number(), errnum::kInvalidUseOfNull);
    EXPECT_EQ(ErrorOf([] { Value().AsDouble(); }).number(), errnum::kInvalidUseOfNull);
    // Words the C++ library would read as numbers are none for the pump.
    for (const char* word : {"abc", "", "nan", "inf", "-Infinity", "+-5"}) {
        EXPECT_EQ(ErrorOf([&] { Value::Text(word).AsInteger(); }).number(), dberr::kTypeMismatch)
            << word;
        EXPECT_EQ(ErrorOf([&] { Value::Text(word).AsDouble(); }).number(), dberr::kTypeMismatch)
            << word;
    }
    EXPECT_EQ(ErrorOf([] {
                  Value::Date({2026, 1, 1}).AsInteger();
              }).number(),
              dberr::kTypeMismatch);
    EXPECT_EQ(ErrorOf([] { Value::Integer(32768).AsInt16("PosteID"); }).number(),
              errnum::kOverflow);
    EXPECT_EQ(ErrorOf([] { Value::Integer(-32769).AsInt16("PosteID"); }).number(),
              errnum::kOverflow);
    EXPECT_EQ(ErrorOf([] { Value::Double(1e30).AsInteger(); }).number(), errnum::kOverflow);
}

// Text is held as UTF-8 and given back as Windows-1252; a "UTF-8" text that
// is none is read as Windows-1252.
TEST(ValueTest, TextInBothEncodings) {
    Value text = Value::Text("Syst\xE8me \x80");
    EXPECT_EQ(text.utf8(), "Syst\u00E8me \u20AC");
    EXPECT_EQ(text.AsText(), "Syst\xE8me \x80");
    EXPECT_EQ(Value::Utf8("Z\u00FCrich-PC").AsText(), "Z\xFCrich-PC");
    EXPECT_EQ(Value::Utf8("Z\xFCrich-PC").utf8(), "Z\u00FCrich-PC");
    EXPECT_EQ(Value::Utf8("\xC3\x28 \xED\xA0\x80").utf8(), "\u00C3( \u00ED\u00A0\u20AC");
    EXPECT_EQ(Value::Text("it's").SqlLiteral(), "'it''s'");
    EXPECT_EQ(Value().SqlLiteral(), "NULL");
}

}  // namespace
}  // namespace kolbi
