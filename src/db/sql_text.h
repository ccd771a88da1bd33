#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/value.h"

namespace kolbi {

class Connection;
void ApplySchema(Connection& connection);
namespace testing {
class SqlForTests;
}

// A fragment of the program's own SQL words. Only a string literal converts
// to one, and the conversion is checked when the program is compiled: a
// fragment with an odd number of apostrophes (the start of a value spliced in
// by hand) or with a NUL does not compile. A run-time string cannot become
// one at all, so values can only go in through SqlText's binding calls.
class SqlWords {
public:
    template <std::size_t N>
    consteval SqlWords(const char (&literal)[N])  // implicit: Add("WHERE ...") reads best
        : text_(literal, N - 1) {
        if (literal[N - 1] != '\0') throw "an SQL fragment must be a string literal";
        std::size_t apostrophes = 0;
        for (char c : text_) {
            if (c == '\0') throw "an SQL fragment holds a NUL";
            if (c == '\'') ++apostrophes;
        }
        if (apostrophes % 2 != 0) {
            throw "an SQL fragment with an unbalanced apostrophe: bind the value instead";
        }
    }
    constexpr std::string_view text() const { return text_; }

private:
    std::string_view text_;
};

// An SQL statement built the way the pump's procedures build theirs, by
// concatenation, but with the values kept apart. It holds two texts:
//
//   Text()  what plain concatenation gives, values spliced between
//           apostrophes exactly as the procedure writes them, in
//           Windows-1252 throughout (a UTF-8 value shows in that form). It
//           goes into logs and error descriptions and is what tests compare
//           with.
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
// The program's own words come in only as string literals (SqlWords), names
// only quoted by the connection's rules (Identifier), values only bound or
// escaped: no value ever reaches Sent() unescaped.
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
    // Starts with a fragment of SQL words (see Add).
    explicit SqlText(SqlWords words) { Add(words); }

    // Appends a fragment of the program's own SQL words, a string literal.
    SqlText& Add(SqlWords words);
    // Appends another statement's text, with its parameters.
    SqlText& Add(const SqlText& more);
    // Appends a table or column name (Windows-1252, spelled as the database
    // stores it) quoted by the connection's rules, so that no name can end
    // the identifier early.
    SqlText& Identifier(const Connection& connection, std::string_view name);
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
    // for the places where a parameter cannot stand (DDL, some pragmas). A
    // NUL, which would end the statement early, is refused.
    SqlText& Literal(std::string_view cp1252);
    // Appends any value as a parameter; Text() shows it as Value::SqlLiteral.
    SqlText& Param(const Value& value, int sql_type = 0);

    const std::string& Text() const { return text_; }
    const std::string& Sent() const { return sent_; }
    const std::vector<Parameter>& Params() const { return params_; }

    // Whether the text compares a name column with a quoted value after its
    // WHERE ("WHERE Poste_Nom = 'PC01'"; see name_key.h).
    bool ComparesNames() const { return !name_matches_.empty(); }
    // The same statement comparing those names through their key columns,
    // for the databases that keep them: Text() unchanged, Sent()
    // "... WHERE Poste_Nom_Key = ?" with the name's key bound.
    SqlText WithNameKeys() const;

private:
    // A whole statement taken as written (Windows-1252). Only the schema
    // scripts the program carries and the test suite's own statements are
    // run this way; nothing that holds a value may be.
    static SqlText Verbatim(std::string_view statement);
    friend void ApplySchema(Connection& connection);
    friend class testing::SqlForTests;

    void AppendWords(std::string_view words);
    SqlText& Bound(std::string shown, Value value, int sql_type = 0);
    void NoteNameMatch();

    // A name column compared with the next parameter: where its name ends in
    // sent_, and the parameter's index.
    struct NameMatch {
        std::size_t column_end;
        std::size_t param;
    };

    std::string text_;
    std::string sent_;  // UTF-8
    std::vector<Parameter> params_;
    std::vector<NameMatch> name_matches_;
};

}  // namespace kolbi
