#include "db/parameter_binding.h"

#include <algorithm>
#include <cstdint>

#include "db/statement_trace.h"

namespace kolbi::odbc {

void BoundParameters::Bind(SQLHSTMT stmt, const SqlText& sql, Dbms dbms) {
    const std::vector<SqlText::Parameter>& parameters = sql.Params();
    // Sized before any binding: the driver keeps the buffers' addresses.
    buffers_.assign(parameters.size(), Buffer());
    const bool traced = statement_trace::On();
    if (traced) statement_trace::Discard();
    static char no_text[1] = {};
    SQLUSMALLINT number = 0;
    for (const SqlText::Parameter& parameter : parameters) {
        Buffer& b = buffers_[number];
        const Value& v = parameter.value;
        SQLSMALLINT c_type = SQL_C_CHAR;
        SQLSMALLINT sql_type = SQL_VARCHAR;
        SQLULEN size = 1;
        SQLSMALLINT digits = 0;
        SQLPOINTER data = nullptr;
        switch (v.kind()) {
            case Value::Kind::kNull:
                sql_type = parameter.sql_type != 0 ? parameter.sql_type : SQL_VARCHAR;
                b.indicator = SQL_NULL_DATA;
                data = no_text;
                break;
            case Value::Kind::kInteger:
                if (v.integer() >= INT32_MIN && v.integer() <= INT32_MAX) {
                    b.integer32 = static_cast<SQLINTEGER>(v.integer());
                    c_type = SQL_C_SLONG, sql_type = SQL_INTEGER, size = 10;
                    data = &b.integer32;
                } else {
                    b.integer = v.integer();
                    c_type = SQL_C_SBIGINT, sql_type = SQL_BIGINT, size = 19;
                    data = &b.integer;
                }
                break;
            case Value::Kind::kDouble:
                b.real = v.real();
                c_type = SQL_C_DOUBLE, sql_type = SQL_DOUBLE, size = 15;
                data = &b.real;
                break;
            case Value::Kind::kText: {
                // Bound where it stands: the SqlText outlives the execution.
                const std::string& text = v.utf8();
                b.indicator = static_cast<SQLLEN>(text.size());
                size = std::max<SQLULEN>(1, text.size());
                sql_type = text.size() > 4000 ? SQL_LONGVARCHAR : SQL_VARCHAR;
                data = text.empty() ? no_text : const_cast<char*>(text.data());
                break;
            }
            case Value::Kind::kDate:
                b.date.year = static_cast<SQLSMALLINT>(v.date().year);
                b.date.month = static_cast<SQLUSMALLINT>(v.date().month);
                b.date.day = static_cast<SQLUSMALLINT>(v.date().day);
                c_type = SQL_C_TYPE_DATE, sql_type = SQL_TYPE_DATE, size = 10;
                data = &b.date;
                break;
            case Value::Kind::kDateTime: {
                const DateTimeValue& t = v.date_time();
                b.timestamp = {static_cast<SQLSMALLINT>(t.year),
                               static_cast<SQLUSMALLINT>(t.month),
                               static_cast<SQLUSMALLINT>(t.day),
                               static_cast<SQLUSMALLINT>(t.hour),
                               static_cast<SQLUSMALLINT>(t.minute),
                               static_cast<SQLUSMALLINT>(t.second),
                               t.fraction / 1000 * 1000};
                c_type = SQL_C_TYPE_TIMESTAMP, sql_type = SQL_TYPE_TIMESTAMP;
                // Microseconds are the finest every database here keeps.
                digits = t.fraction == 0 ? 0 : 6;
                size = t.fraction == 0 ? 19 : 26;
                data = &b.timestamp;
                break;
            }
        }
        ++number;
        Checked(SQLBindParameter(stmt, number, SQL_PARAM_INPUT, c_type, sql_type, size, digits,
                                 data, 0, &b.indicator),
                SQL_HANDLE_STMT, stmt, dbms,
                [&] { return "Cannot pass the values of " + sql.Text(); });
        if (traced) statement_trace::Parameter(c_type, sql_type, size, digits, v);
    }
    if (traced) statement_trace::Statement(sql.Sent());
}

}  // namespace kolbi::odbc
