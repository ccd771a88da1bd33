#include "db/sql_text.h"

#include <algorithm>
#include <cctype>

#include "common/ascii.h"
#include "common/cp1252.h"
#include "db/connection.h"
#include "db/name_key.h"

namespace kolbi {

void SqlText::AppendWords(std::string_view words) {
    text_.append(words);
    AppendCp1252AsUtf8(sent_, words);
}

SqlText& SqlText::Add(SqlWords words) {
    AppendWords(words.text());
    return *this;
}

SqlText& SqlText::Add(const SqlText& more) {
    for (const NameMatch& match : more.name_matches_) {
        name_matches_.push_back({sent_.size() + match.column_end, params_.size() + match.param});
    }
    text_.append(more.text_);
    sent_.append(more.sent_);
    params_.insert(params_.end(), more.params_.begin(), more.params_.end());
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

// The procedures compare names as "WHERE Poste_Nom = 'x'" and
// "Where ODBC_DrvName ='x'": a name column, then "=", just before the value.
void SqlText::NoteNameMatch() {
    std::size_t end = sent_.find_last_not_of(' ');
    if (end == std::string::npos || sent_[end] != '=') return;
    end = sent_.find_last_not_of(' ', end - 1);
    if (end == std::string::npos) return;
    const std::size_t column_end = end + 1;
    std::size_t start = column_end;
    while (start > 0 && (std::isalnum(static_cast<unsigned char>(sent_[start - 1])) ||
                         sent_[start - 1] == '_')) {
        --start;
    }
    if (!HasNameKey(std::string_view(sent_).substr(start, column_end - start))) return;
    std::string before = sent_.substr(0, start);
    std::transform(before.begin(), before.end(), before.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (before.find("where ") == std::string::npos) return;
    name_matches_.push_back({column_end, params_.size()});
}

SqlText SqlText::WithNameKeys() const {
    SqlText keyed = *this;
    keyed.name_matches_.clear();
    // From the last to the first, so that the earlier places stay where they are.
    for (auto match = name_matches_.rbegin(); match != name_matches_.rend(); ++match) {
        keyed.sent_.insert(match->column_end, "_Key");
        Value& name = keyed.params_[match->param].value;
        name = Value::Utf8(NameKey(name.utf8()));
    }
    return keyed;
}

SqlText& SqlText::Quoted(std::string_view cp1252) {
    NoteNameMatch();
    return Bound("'" + std::string(cp1252) + "'", Value::Text(cp1252));
}

SqlText& SqlText::QuotedUtf8(std::string_view utf8) {
    NoteNameMatch();
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
