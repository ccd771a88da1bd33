#include "db/sql_text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <type_traits>

#include "db/db_error.h"
#include "db/db_test.h"

namespace kolbi {
namespace {

// Values go to the database apart from the text, integers as integers; the
// text that errors and logs show has them where they stand.
TEST(SqlTextTest, SendsValuesApartAndShowsThemInPlace) {
    SqlText sql("SELECT * From Postes ");
    sql.Add("WHERE Poste_Nom = ").QuotedUtf8("O'Brien").Add(" AND a = ").QuotedNumber(12);
    sql.Add(" AND b = ").Number(-3);
    EXPECT_EQ(sql.Text(),
              "SELECT * From Postes WHERE Poste_Nom = 'O'Brien' AND a = '12' AND b = -3");
    EXPECT_EQ(sql.Sent(), "SELECT * From Postes WHERE Poste_Nom = ? AND a = ? AND b = ?");
    ASSERT_EQ(sql.Params().size(), 3u);
    EXPECT_EQ(sql.Params()[0].value, Value::Utf8("O'Brien"));
    EXPECT_EQ(sql.Params()[1].value, Value::Integer(12));
    EXPECT_EQ(sql.Params()[2].value, Value::Integer(-3));
    // A NUL never gets as far as a statement.
    EXPECT_EQ(testing::ErrorOf([&] { sql.QuotedUtf8(std::string("PC\0evil", 7)); }).number(),
              dberr::kValueRefused);
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
    sql.Param(Value::Text("it's")).Add(", b = ").Param(Value()).Add(", c = ");
    sql.Param(Value::Date({2027, 3, 5}));
    EXPECT_EQ(sql.Text(), "UPDATE t SET a = 'it''s', b = NULL, c = '2027-03-05'");
    EXPECT_EQ(sql.Sent(), "UPDATE t SET a = ?, b = ?, c = ?");
}

}  // namespace
}  // namespace kolbi
