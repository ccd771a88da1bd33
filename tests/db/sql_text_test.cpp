#include "db/sql_text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <type_traits>

namespace kolbi {
namespace {

TEST(SqlTextTest, KeepsTheOriginalTextAndSendsValuesApart) {
    SqlText sql("SELECT * From Postes ");
    sql.Add("WHERE Poste_Nom = ").QuotedUtf8("O'Brien");
    EXPECT_EQ(sql.Text(), "SELECT * From Postes WHERE Poste_Nom = 'O'Brien'");
    EXPECT_EQ(sql.Sent(), "SELECT * From Postes WHERE Poste_Nom = ?");
    ASSERT_EQ(sql.Params().size(), 1u);
    EXPECT_EQ(sql.Params()[0].value, Value::Utf8("O'Brien"));

    SqlText numbers("SELECT * FROM t WHERE a = ");
    numbers.QuotedNumber(12).Add(" AND b = ").Number(-3);
    EXPECT_EQ(numbers.Text(), "SELECT * FROM t WHERE a = '12' AND b = -3");
    EXPECT_EQ(numbers.Sent(), "SELECT * FROM t WHERE a = ? AND b = ?");
    // Integers go to the database as integers, not as text.
    EXPECT_EQ(numbers.Params()[0].value.kind(), Value::Kind::kInteger);
    EXPECT_EQ(numbers.Params()[1].value, Value::Integer(-3));
}

TEST(SqlTextTest, TextIsSentAsUtf8AndLiteralsDoubleTheirApostrophes) {
    SqlText sql("SELECT '\xE9' AS e FROM t WHERE p = ");
    sql.Quoted("\xA9 Acme").Add(" OR q = ").Literal("l'\xE9t\xE9");
    EXPECT_EQ(sql.Text(), "SELECT '\xE9' AS e FROM t WHERE p = '\xA9 Acme' OR q = 'l'\xE9t\xE9'");
    EXPECT_EQ(sql.Sent(), "SELECT '\u00E9' AS e FROM t WHERE p = ? OR q = 'l''\u00E9t\u00E9'");
    EXPECT_EQ(sql.Params()[0].value.utf8(), "\u00A9 Acme");
}

// The old way of splicing a value in, Add("'" + name + "'"), does not
// compile: only literals are SQL words (and Add("'PC01") is refused by the
// compiler for its lone apostrophe).
static_assert(!std::is_constructible_v<SqlWords, std::string>);
static_assert(!std::is_constructible_v<SqlWords, std::string_view>);
static_assert(!std::is_constructible_v<SqlWords, const char*>);

TEST(SqlTextTest, ParamShowsTheValueAsALiteral) {
    SqlText sql("UPDATE t SET a = ");
    sql.Param(Value::Text("it's"))
        .Add(", b = ")
        .Param(Value())
        .Add(", c = ")
        .Param(Value::Date({2027, 3, 5}));
    EXPECT_EQ(sql.Text(), "UPDATE t SET a = 'it''s', b = NULL, c = '2027-03-05'");
    EXPECT_EQ(sql.Sent(), "UPDATE t SET a = ?, b = ?, c = ?");
}

}  // namespace
}  // namespace kolbi
