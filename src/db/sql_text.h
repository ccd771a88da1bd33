#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/value.h"

namespace kolbi {

// An SQL statement built the way the pump's procedures build theirs, by
// concatenation, but with the values kept apart. It holds two texts:
//
//   Text()  what plain concatenation gives, values spliced between
//           apostrophes exactly as the procedure writes them. It goes into
//           logs and error descriptions and is what tests compare with.
//   Sent()  what goes to the database: every value a "?" bound as a typed
//           parameter (integers as integers, texts as UTF-8, dates as dates),
//           or, where binding cannot serve, the text with its apostrophes
//           doubled. Statements with the same Sent() share one prepared
//           statement on a connection.
//
//   SqlText sql("SELECT * From Postes ");
//   sql.Add("WHERE Poste_Nom = ").QuotedUtf8(name);
//   // Text(): SELECT * From Postes WHERE Poste_Nom = 'PC01'
//   // Sent(): SELECT * From Postes WHERE Poste_Nom = ?
//
// No value ever reaches Sent() unescaped.
class SqlText {
public:
    // A bound parameter and, for a Null, the SQL type of its column (0: let
    // the value's own kind decide).
    struct Parameter {
        Value value;
        int sql_type = 0;
        bool operator==(const Parameter&) const = default;
    };

    SqlText() = default;
    // Starts with a fixed fragment (see Add).
    explicit SqlText(std::string_view fixed) { Add(fixed); }

    // Appends a fragment of the program's own SQL words. It must hold an even
    // number of apostrophes (a complete literal such as '' or '0' is fine):
    // values never come in this way, and an odd count means one did.
    SqlText& Add(std::string_view fixed);
    // Appends a Windows-1252 text value between apostrophes: 'value'.
    SqlText& Quoted(std::string_view cp1252);
    // Appends a UTF-8 text value between apostrophes (workstation names).
    SqlText& QuotedUtf8(std::string_view utf8);
    // Appends an integer the way the procedures quote identifiers: '12'. The
    // database receives an integer.
    SqlText& QuotedNumber(std::int64_t number);
    // Appends an integer written bare: 12.
    SqlText& Number(std::int64_t number);
    // Appends a Windows-1252 text as a literal with its apostrophes doubled,
    // for the places where a parameter cannot stand (DDL, some pragmas).
    SqlText& Literal(std::string_view cp1252);
    // Appends any value as a parameter; Text() shows it as Value::SqlLiteral.
    SqlText& Param(const Value& value, int sql_type = 0);

    const std::string& Text() const { return text_; }
    const std::string& Sent() const { return sent_; }
    const std::vector<Parameter>& Params() const { return params_; }

private:
    SqlText& Bound(std::string shown, Value value, int sql_type = 0);

    std::string text_;
    std::string sent_;  // UTF-8
    std::vector<Parameter> params_;
};

}  // namespace kolbi
