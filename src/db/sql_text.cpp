#include "db/sql_text.h"

#include "common/cp1252.h"
#include "db/connection.h"

namespace kolbi {

void SqlText::AppendWords(std::string_view words) {
    text_.append(words);
    AppendCp1252AsUtf8(sent_, words);
}

SqlText& SqlText::Add(SqlWords words) {
    AppendWords(words.text());
    return *this;
}

SqlText SqlText::Verbatim(std::string_view statement) {
    RefuseNul(statement);
    SqlText sql;
    sql.AppendWords(statement);
    return sql;
}

SqlText& SqlText::Identifier(const Connection& connection, std::string_view name) {
    RefuseNul(name);
    AppendWords(connection.QuoteIdentifier(name));
    return *this;
}

SqlText& SqlText::Bound(std::string shown, Value value, int sql_type) {
    if (value.kind() == Value::Kind::kText) RefuseNul(value.utf8());
    text_.append(shown);
    sent_.push_back('?');
    params_.push_back({std::move(value), sql_type});
    return *this;
}

SqlText& SqlText::Quoted(std::string_view cp1252) {
    return Bound("'" + std::string(cp1252) + "'", Value::Text(cp1252));
}

SqlText& SqlText::QuotedUtf8(std::string_view utf8) {
    Value value = Value::Utf8(std::string(utf8));
    // Shown as the database receives it: bytes that were no UTF-8 have been
    // read as Windows-1252, and the log must not get them raw either.
    std::string shown = "'" + value.AsText() + "'";
    return Bound(std::move(shown), std::move(value));
}

SqlText& SqlText::QuotedNumber(std::int64_t number) {
    return Bound("'" + std::to_string(number) + "'", Value::Integer(number));
}

SqlText& SqlText::Number(std::int64_t number) {
    return Bound(std::to_string(number), Value::Integer(number));
}

SqlText& SqlText::Literal(std::string_view cp1252) {
    RefuseNul(cp1252);
    text_.append("'").append(cp1252).append("'");
    sent_.append("'").append(Cp1252ToUtf8(DoubleApostrophes(cp1252))).append("'");
    return *this;
}

SqlText& SqlText::Param(const Value& value, int sql_type) {
    return Bound(value.SqlLiteral(), value, sql_type);
}

}  // namespace kolbi
