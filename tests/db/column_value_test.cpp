#include "db/column_value.h"

#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include "common/runtime_error.h"
#include "db/db_error.h"

namespace kolbi {
namespace {

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
        try {
            EXPECT_EQ(ValueForColumn(c.value, c.sql_type), c.stored) << shown << " " << c.sql_type;
            EXPECT_EQ(c.error, 0) << shown << " was taken";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), c.error) << shown << ": " << e.description();
            // The description shows what came before a NUL, never the NUL.
            EXPECT_EQ(e.description().find('\0'), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace kolbi
