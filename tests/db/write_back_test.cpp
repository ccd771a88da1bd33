// Writing through the record set and the statements, the same on SQLite and
// PostgreSQL: values checked at the field write, names compared as SQL Server
// compares them, one row changed of several identical ones.

#include <gtest/gtest.h>

#include "common/runtime_error.h"
#include "db/command.h"
#include "db/db_error.h"
#include "db/db_test.h"
#include "db/recordset.h"
#include "log/procedure.h"

namespace kolbi {
namespace {

using testing::DbTest;

// The number of the error a step raises; 0 when it raises none.
template <class Step>
std::int32_t ErrorNumber(Step&& step) {
    try {
        step();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.description().find('\0'), std::string::npos);
        return e.number();
    }
    return 0;
}

class WriteBackTest : public DbTest {
protected:
    bool OnSqlite() const { return GetParam() == testing::Backend::kSqlite; }
    std::vector<std::string> Links() {
        return db_->Rows("SELECT * FROM PosteSoftware ORDER BY 1, 2");
    }
};

// A failing field write is reported once, and the row's next writes and its
// save still happen; nothing but the checked values reaches the table.
TEST_P(WriteBackTest, AValueTheColumnCannotTakeFailsAtItsFieldWrite) {
    Recordset rs;
    rs.Open(db_->connection(), SqlText("SELECT * From Postes"));
    std::vector<std::int32_t> errors;
    Procedure proc(
        "in procedure SaveNewPoste of Feuille Form1",
        [](const RuntimeError&) { return AfterReport::kContinue; },
        [&](const RuntimeError& e, std::string_view) { errors.push_back(e.number()); });
    proc.Run([&] { rs.AddNew(); });
    proc.Run([&] { rs.SetField("Poste_Nom", Value::Utf8("PC01")); });
    proc.Run([&] { rs.SetField("PosteHardID", Value::Text("zero")); });
    proc.Run([&] { rs.SetField("Poste_FirstSoftInventory", Value::Text("4-12-2026")); });
    proc.Run([&] { rs.SetField("Poste_Mac", Value::Utf8(std::string("PC\0evil", 7))); });
    proc.Run([&] { rs.SetField("PosteSoftID", Value::Text(" 7 ")); });
    proc.Run([&] { rs.SetField("Poste_LastSoftInventory", Value::Date({2026, 12, 4})); });
    proc.Run([&] { rs.Update(); });
    EXPECT_EQ(errors, (std::vector<std::int32_t>{errnum::kConversionFailed,
                                                 errnum::kConversionFailed, dberr::kValueRefused}));
    EXPECT_EQ(db_->Rows("SELECT Poste_Nom, PosteHardID, Poste_FirstSoftInventory, Poste_Mac, "
                        "PosteSoftID, Poste_LastSoftInventory FROM Postes"),
              std::vector<std::string>{"PC01|NULL|NULL|NULL|7|2026-12-04"});

    // Statements are held to the column types too: SQLite no longer stores a
    // text in an INTEGER column, it refuses it as PostgreSQL does. A NUL
    // never gets as far as a statement.
    SqlText insert("INSERT INTO Postes (PosteHardID) VALUES (");
    insert.Quoted("zero").Add(")");
    EXPECT_EQ(ErrorNumber([&] { Command(db_->connection()).Execute(insert); }),
              errnum::kConversionFailed);
    SqlText too_big("INSERT INTO SoftProduct (SOFTPRODUCT_IGNORE) VALUES (");
    too_big.Number(40000).Add(")");
    EXPECT_EQ(ErrorNumber([&] { Command(db_->connection()).Execute(too_big); }),
              dberr::kDataOverflow);
    EXPECT_EQ(ErrorNumber([&] { insert.QuotedUtf8(std::string("PC\0evil", 7)); }),
              dberr::kValueRefused);
}

// A workstation name an agent wrote in Windows-1252 bytes is stored, and
// found, as the UTF-8 of those characters; no database receives invalid UTF-8.
TEST_P(WriteBackTest, ANameThatIsNoUtf8IsReadAsWindows1252) {
    Recordset rs;
    rs.Open(db_->connection(), SqlText("SELECT * From Postes"));
    rs.AddNew();
    rs.SetField("Poste_Nom", Value::Utf8("Z\xFCrich-PC"));
    rs.Update();
    SqlText lookup("SELECT Poste_Nom From Postes WHERE Poste_Nom = ");
    lookup.QuotedUtf8("Z\xFCrich-PC");
    EXPECT_EQ(db_->connection().Query(lookup).rows,
              std::vector<std::vector<Value>>{{Value::Utf8("Z\u00FCrich-PC")}});
    if (OnSqlite()) {
        EXPECT_EQ(db_->Rows("SELECT hex(Poste_Nom) FROM Postes"),
                  std::vector<std::string>{"5AC3BC726963682D5043"});
    }
}

// Name columns ignore case and trailing spaces as SQL Server does, through
// their index, and give back exactly what was stored.
TEST_P(WriteBackTest, NameColumnsCompareAsSqlServerDoes) {
    db_->Run(
        "INSERT INTO SoftProduct (SOFTPRODUCT_PRODUCT) VALUES ('Tool'), ('Acme '), "
        "('Z\xFCrich \x8A')");
    struct Case {
        std::string looked_up;
        std::vector<std::string> found;
    } cases[] = {
        {"TOOL  ", {"Tool"}},
        {"acme", {"Acme "}},
        {" Tool", {}},
        {"To ol", {}},
        {"Z\xDCRICH \x9A", {"Z\xFCrich \x8A"}},  // beyond ASCII: Ü, Š
        {"Zurich \x8A", {}},                     // accents count
    };
    for (const Case& c : cases) {
        Recordset rs;
        rs.Open(db_->connection(), SqlText("SELECT * From SoftProduct WHERE SOFTPRODUCT_PRODUCT = ")
                                       .Quoted(c.looked_up)
                                       .Add(" "));
        std::vector<std::string> found;
        for (; !rs.Eof(); rs.MoveNext()) found.push_back(rs.Fields("SOFTPRODUCT_PRODUCT").AsText());
        EXPECT_EQ(found, c.found) << "'" << c.looked_up << "'";
    }
    db_->Run(
        "INSERT INTO ODBC_Drv (ODBC_DrvName, ODBC_Desc, ODBC_ProdVers, ODBC_CPR) "
        "VALUES ('SQL Server', 'd', '1.0', 'M')");
    EXPECT_EQ(db_->Rows("SELECT ODBC_ID FROM ODBC_Drv WHERE ODBC_DrvName = 'sql server ' AND "
                        "ODBC_Desc = 'D' AND ODBC_ProdVers = '1.0 ' AND ODBC_CPR = 'm'")
                  .size(),
              1u);

    if (OnSqlite()) {
        EXPECT_NE(db_->Rows("EXPLAIN QUERY PLAN SELECT * From SoftProduct WHERE "
                            "SOFTPRODUCT_PRODUCT = 'x'")[0]
                      .find("USING INDEX IX_SoftProduct_PRODUCT"),
                  std::string::npos);
    } else {
        db_->Run("SET enable_seqscan = off");
        SqlText plan("EXPLAIN SELECT * From SoftProduct WHERE SOFTPRODUCT_PRODUCT = ");
        plan.Quoted("x");
        EXPECT_NE(db_->connection().Query(plan).rows[0][0].AsText().find("ix_softproduct_product"),
                  std::string::npos);
    }
}

// PosteSoftware has no key: writing back one of several identical rows
// changes exactly that one; a SELECT DISTINCT row stands for all of them.
TEST_P(WriteBackTest, OneOfIdenticalRowsIsChangedAlone) {
    db_->Run("INSERT INTO PosteSoftware VALUES (1, 5), (1, 5), (1, 5), (2, 5)");
    Recordset rs;
    rs.Open(db_->connection(),
            SqlText("SELECT * From PosteSoftware WHERE PosteSoft_PosteID = ").QuotedNumber(1));
    rs.SetField("PosteSoft_ProductID", Value::Integer(6));
    rs.MoveNext();
    rs.Delete();
    rs.Close();
    EXPECT_EQ(Links(), (std::vector<std::string>{"1|5", "1|6", "2|5"}));

    db_->Run("INSERT INTO PosteSoftware VALUES (1, 6)");
    rs.Open(db_->connection(),
            SqlText("SELECT DISTINCT * From PosteSoftware WHERE PosteSoft_ProductID = ")
                .QuotedNumber(6));
    rs.Delete();
    EXPECT_EQ(Links(), (std::vector<std::string>{"1|5", "2|5"}));
}

KOLBI_ON_BOTH_DATABASES(WriteBackTest);

}  // namespace
}  // namespace kolbi
