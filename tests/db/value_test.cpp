#include "db/value.h"

#include <gtest/gtest.h>

#include "common/runtime_error.h"
#include "db/db_error.h"

namespace kolbi {
namespace {

std::int32_t ErrorNumber(const std::function<void()>& step) {
    try {
        step();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

TEST(ValueTest, ConvertsAsThePumpReadsFields) {
    EXPECT_EQ(Value::Integer(57).AsText(), "57");
    EXPECT_EQ(Value::Double(1.5).AsText(), "1.5");
    EXPECT_EQ(Value::Date({1900, 1, 1}).AsText(), "1900-01-01");  // holds "190"
    EXPECT_EQ(Value::DateTime({2026, 12, 4, 9, 5, 3, 0}).AsText(), "2026-12-04 09:05:03");
    EXPECT_EQ(Value::Text(" 12 ").AsInteger(), 12);
    EXPECT_EQ(Value::Text("2.5").AsInteger(), 2);  // half to even
    EXPECT_EQ(Value::Double(3.5).AsInteger(), 4);
    EXPECT_EQ(Value::Double(-2.5).AsInteger(), -2);
    EXPECT_EQ(Value::Integer(32767).AsInt16("PosteID"), 32767);
    EXPECT_EQ(Value::Integer(-32768).AsInt16("PosteID"), -32768);
    EXPECT_DOUBLE_EQ(Value::Text("0.25").AsDouble(), 0.25);
    EXPECT_EQ(Value::Text(" +7 ").AsInteger(), 7);
    EXPECT_DOUBLE_EQ(Value::Text("-.5").AsDouble(), -0.5);
}

TEST(ValueTest, NullMismatchAndOverflowAreTheirOwnErrors) {
    EXPECT_TRUE(Value().IsNull());
    EXPECT_EQ(ErrorNumber([] { Value().AsText(); }), errnum::kInvalidUseOfNull);
    EXPECT_EQ(ErrorNumber([] { Value().AsInteger(); }), errnum::kInvalidUseOfNull);
    EXPECT_EQ(ErrorNumber([] { Value().AsDouble(); }), errnum::kInvalidUseOfNull);
    EXPECT_EQ(ErrorNumber([] { Value::Text("abc").AsInteger(); }), dberr::kTypeMismatch);
    EXPECT_EQ(ErrorNumber([] { Value::Text("").AsInteger(); }), dberr::kTypeMismatch);
    // Words the C++ library would read as numbers are none for the pump.
    for (const char* word : {"nan", "inf", "-Infinity", "+-5"}) {
        EXPECT_EQ(ErrorNumber([&] { Value::Text(word).AsInteger(); }), dberr::kTypeMismatch)
            << word;
        EXPECT_EQ(ErrorNumber([&] { Value::Text(word).AsDouble(); }), dberr::kTypeMismatch) << word;
    }
    EXPECT_EQ(ErrorNumber([] { Value::Date({2026, 1, 1}).AsInteger(); }), dberr::kTypeMismatch);
    EXPECT_EQ(ErrorNumber([] { Value::Integer(32768).AsInt16("PosteID"); }), errnum::kOverflow);
    EXPECT_EQ(ErrorNumber([] { Value::Integer(-32769).AsInt16("PosteID"); }), errnum::kOverflow);
    EXPECT_EQ(ErrorNumber([] { Value::Double(1e30).AsInteger(); }), errnum::kOverflow);
}

TEST(ValueTest, TextIsHeldAsUtf8AndGivenBackAsWindows1252) {
    Value text = Value::Text("Syst\xE8me \x80");
    EXPECT_EQ(text.utf8(), "Syst\u00E8me \u20AC");
    EXPECT_EQ(text.AsText(), "Syst\xE8me \x80");
    EXPECT_EQ(text.AsUtf8(), "Syst\u00E8me \u20AC");
    Value name = Value::Utf8("Z\u00FCrich-PC");
    EXPECT_EQ(name.AsUtf8(), "Z\u00FCrich-PC");
    EXPECT_EQ(name.AsText(), "Z\xFCrich-PC");
    EXPECT_EQ(Value::Text("it's").SqlLiteral(), "'it''s'");
    EXPECT_EQ(Value().SqlLiteral(), "NULL");
}

}  // namespace
}  // namespace kolbi
