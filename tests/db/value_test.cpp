// Values as the pump reads them from fields and as a field write makes them
// for a column.
#include "db/value.h"

#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include "db/column_value.h"
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
    EXPECT_EQ(Value::Integer(2147483647).AsInt32("PosteID"), 2147483647);
    EXPECT_EQ(Value::Text("-2147483648").AsInt32("PosteID"), -2147483647 - 1);
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
    EXPECT_EQ(ErrorOf([] { Value::Integer(2147483648).AsInt32("PosteID"); }).number(),
              errnum::kOverflow);
    EXPECT_EQ(ErrorOf([] { Value::Integer(-2147483649).AsInt32("PosteID"); }).number(),
              errnum::kOverflow);
    EXPECT_EQ(ErrorOf([] { Value().AsInt32("PosteID"); }).number(), errnum::kInvalidUseOfNull);
    EXPECT_EQ(ErrorOf([] { Value::Double(1e30).AsInteger(); }).number(), errnum::kOverflow);
}

// What a field write makes of a value, per column type: the stored value, or
// the number of the error that refuses it at the write.
TEST(ColumnValueTest, AFieldWriteConvertsOrFailsAsTheDatabasesWould) {
    constexpr std::int32_t kConversion = errnum::kConversionFailed;
    struct Case {
        Value value;
        int sql_type;
        Value stored;
        std::int32_t error = 0;
    } cases[] = {
        {Value::Text(" +12 "), SQL_INTEGER, Value::Integer(12)},
        {Value::Double(2.5), SQL_INTEGER, Value::Integer(2)},  // half to even
        {Value::Text("1.5"), SQL_INTEGER, {}, kConversion},
        {Value::Text("zero"), SQL_SMALLINT, {}, kConversion},
        {Value::Date({2026, 12, 4}), SQL_INTEGER, {}, kConversion},
        {Value::Integer(40000), SQL_SMALLINT, {}, dberr::kDataOverflow},
        {Value::Text("1e3"), SQL_NUMERIC, Value::Double(1000)},
        {Value::Text("inf"), SQL_DOUBLE, {}, kConversion},
        {Value::Text("2026-12-04"), SQL_TYPE_DATE, Value::Date({2026, 12, 4})},
        {Value::DateTime({2026, 12, 4, 9, 5, 3, 0}), SQL_TYPE_DATE, Value::Date({2026, 12, 4})},
        // Day-month texts mean 4 December to one server and 12 April to another.
        {Value::Text("4-12-2026"), SQL_TYPE_DATE, {}, kConversion},
        {Value::Text("2026-02-29"), SQL_TYPE_DATE, {}, kConversion},
        {Value::Text("2026-12-04 09:05:03"), SQL_TYPE_DATE, {}, kConversion},
        {Value::Integer(46000), SQL_TYPE_DATE, {}, kConversion},
        {Value::Text("2024-02-29T23:59:59.5"), SQL_TYPE_TIMESTAMP,
         Value::DateTime({2024, 2, 29, 23, 59, 59, 500000000})},
        {Value::Date({2026, 12, 4}), SQL_TYPE_TIMESTAMP, Value::DateTime({2026, 12, 4})},
        {Value::Integer(12), SQL_VARCHAR, Value::Utf8("12")},
        {Value::Date({2026, 12, 4}), SQL_LONGVARCHAR, Value::Utf8("2026-12-04")},
        {Value::Text(std::string("ab\0c", 4)), SQL_VARCHAR, {}, dberr::kValueRefused},
        {Value(), SQL_TYPE_DATE, Value()},
        {Value::Text("x"), SQL_BINARY, Value::Text("x")},
    };
    for (const Case& c : cases) {
        const std::string shown = c.value.IsNull() ? "NULL" : c.value.SqlLiteral();
        Value stored;
        RuntimeError e = ErrorOf([&] { stored = ValueForColumn(c.value, c.sql_type); });
        EXPECT_EQ(e.number(), c.error) << shown << ": " << e.description();
        EXPECT_EQ(stored, c.stored) << shown << " " << c.sql_type;
        // The description shows what came before a NUL, never the NUL.
        EXPECT_EQ(e.description().find('\0'), std::string::npos);
    }
}

}  // namespace
}  // namespace kolbi
