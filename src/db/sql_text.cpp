#include "db/sql_text.h"

#include <algorithm>
#include <stdexcept>

#include "common/cp1252.h"

namespace kolbi {

SqlText& SqlText::Add(std::string_view fixed) {
    if (std::count(fixed.begin(), fixed.end(), '\'') % 2 != 0) {
        throw std::logic_error(
            "SQL fragment with an unbalanced apostrophe (a value must be "
            "added as a value): " +
            std::string(fixed));
    }
    text_.append(fixed);
    sent_.append(Cp1252ToUtf8(fixed));
    return *this;
}

SqlText& SqlText::Bound(std::string shown, Value value, int sql_type) {
    text_.append(shown);
    sent_.push_back('?');
    params_.push_back({std::move(value), sql_type});
    return *this;
}

SqlText& SqlText::Quoted(std::string_view cp1252) {
    return Bound("'" + std::string(cp1252) + "'", Value::Text(cp1252));
}

SqlText& SqlText::QuotedUtf8(std::string_view utf8) {
    return Bound("'" + std::string(utf8) + "'", Value::Utf8(std::string(utf8)));
}

SqlText& SqlText::QuotedNumber(std::int64_t number) {
    return Bound("'" + std::to_string(number) + "'", Value::Integer(number));
}

SqlText& SqlText::Number(std::int64_t number) {
    return Bound(std::to_string(number), Value::Integer(number));
}

SqlText& SqlText::Literal(std::string_view cp1252) {
    text_.append("'").append(cp1252).append("'");
    sent_.append("'").append(Cp1252ToUtf8(DoubleApostrophes(cp1252))).append("'");
    return *this;
}

SqlText& SqlText::Param(const Value& value, int sql_type) {
    return Bound(value.SqlLiteral(), value, sql_type);
}

}  // namespace kolbi
