// The record set on SQLite and PostgreSQL: reading and moving, writing back
// (values checked at the field write, text in both encodings, names compared
// as SQL Server compares them, one row changed of several identical ones),
// long values, prepared statements and errors.
#include "db/recordset.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/cp1252.h"
#include "db/command.h"
#include "db/db_test.h"
#include "db/name_key.h"
#include "log/procedure.h"

namespace kolbi {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using testing::ErrorOf;
using ::testing::HasSubstr;

class RecordsetTest : public testing::DbTest {
protected:
    void AddProduct(const std::string& name, const std::string& ignore) {
        db_->Run(
            "INSERT INTO SoftProduct (SOFTPRODUCT_PRODUCT, SOFTPRODUCT_VERSION, "
            "SOFTPRODUCT_IGNORE) VALUES ('" +
            name + "', '', " + ignore + ")");
    }
    Connection& connection() { return db_->connection(); }
};

TEST_P(RecordsetTest, ReadsMovesDeletesAndKeepsNullAsAValue) {
    AddProduct("Acme Tool", "0");
    AddProduct("Gizmo", "NULL");
    AddProduct("Zed", "1");
    Recordset rs;
    rs.Open(connection(), SqlText("SELECT * From SoftProduct ORDER BY SOFTPRODUCT_ID"));
    EXPECT_EQ(rs.RecordCount(), 3u);
    // Field names match without regard to case (PostgreSQL folds them).
    EXPECT_EQ(rs.Fields("softproduct_product").AsText(), "Acme Tool");
    rs.MoveNext();
    RuntimeError null_read = ErrorOf([&] { rs.Fields("SOFTPRODUCT_IGNORE").AsInteger(); });
    EXPECT_EQ(null_read.number(), errnum::kInvalidUseOfNull);
    EXPECT_THAT(null_read.description(), HasSubstr("SOFTPRODUCT_IGNORE"));
    rs.MoveLast();
    EXPECT_EQ(rs.Fields("SOFTPRODUCT_PRODUCT").AsText(), "Zed");
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }).number(), dberr::kNoCurrentRecord);
    EXPECT_EQ(ErrorOf([&] { rs.Fields("SOFTPRODUCT_PRODUCT"); }).number(), dberr::kNoCurrentRecord);
    rs.MoveFirst();
    RuntimeError unknown = ErrorOf([&] { rs.Fields("NoSuchField"); });
    EXPECT_EQ(unknown.number(), dberr::kItemNotFound);
    EXPECT_THAT(unknown.description(), HasSubstr("NoSuchField"));
    EXPECT_THAT(unknown.description(), HasSubstr("SELECT * From SoftProduct"));

    // A deleted row is skipped by every move and cannot be read.
    rs.MoveNext();
    rs.Delete();
    rs.Update();  // nothing left to save
    EXPECT_EQ(ErrorOf([&] { rs.Fields("SOFTPRODUCT_PRODUCT"); }).number(), dberr::kNoCurrentRecord);
    rs.MoveNext();
    EXPECT_EQ(rs.Fields("SOFTPRODUCT_PRODUCT").AsText(), "Zed");
    EXPECT_EQ(rs.RecordCount(), 2u);
    EXPECT_THAT(db_->Rows("SELECT SOFTPRODUCT_PRODUCT FROM SoftProduct ORDER BY 1"),
                ElementsAre("Acme Tool", "Zed"));
}

// The workstation step's insert: AddNew, every column, Update. A failing
// field write is reported once, and the row's next writes and its save still
// happen; nothing but the checked values reaches the table. Then re-read,
// move last and back first to learn the identity the database gave the row.
TEST_P(RecordsetTest, ANewRowIsCheckedFieldByFieldAndItsIdentityReadBack) {
    Recordset rs;
    rs.Open(connection(), SqlText("SELECT * From Postes WHERE Poste_Nom = ").QuotedUtf8("PC042"));
    ASSERT_TRUE(rs.Eof());
    std::vector<std::int32_t> errors;
    Procedure proc(
        "in procedure SaveNewPoste of Feuille Form1",
        [](const RuntimeError&) { return AfterReport::kContinue; },
        [&](const RuntimeError& e, std::string_view) { errors.push_back(e.number()); });
    proc.Run([&] { rs.AddNew(); });
    proc.Run([&] { rs.SetField("Poste_Nom", Value::Utf8("PC042")); });
    proc.Run([&] { rs.SetField("PosteHardID", Value::Text("zero")); });
    proc.Run([&] { rs.SetField("Poste_FirstSoftInventory", Value::Text("4-12-2026")); });
    proc.Run([&] { rs.SetField("PosteSoftID", Value::Text(" 7 ")); });
    proc.Run([&] { rs.SetField("Poste_LastSoftInventory", Value::Date({2026, 12, 4})); });
    proc.Run([&] { rs.SetField("Poste_Domain", Value::Text("")); });
    proc.Run([&] { rs.Update(); });
    EXPECT_THAT(errors, ElementsAre(errnum::kConversionFailed, errnum::kConversionFailed));
    EXPECT_THAT(db_->Rows("SELECT Poste_Nom, PosteHardID, Poste_FirstSoftInventory, Poste_Mac, "
                          "PosteSoftID, Poste_LastSoftInventory, Poste_Domain FROM Postes"),
                ElementsAre("PC042|NULL|NULL|NULL|7|2026-12-04|"));

    // Until it is read again the new row's key is unknown; changing it must say so.
    rs.SetField("Poste_Mac", Value::Text("x"));
    RuntimeError unknown_key = ErrorOf([&] { rs.Update(); });
    EXPECT_EQ(unknown_key.number(), dberr::kRowNotFound);
    EXPECT_THAT(unknown_key.description(), HasSubstr("Requery"));
    rs.Requery();
    rs.MoveLast();
    rs.MoveFirst();
    const std::int32_t id = rs.Fields("PosteID").AsInt32();
    EXPECT_GT(id, 0);
    EXPECT_TRUE(rs.Fields("Poste_Mac").IsNull());
    db_->Run("INSERT INTO Postes (Poste_Nom) VALUES ('PC043')");  // another identity
    EXPECT_THAT(db_->Rows("SELECT Poste_Nom FROM Postes WHERE PosteID = " + std::to_string(id)),
                ElementsAre("PC042"));
}

// Someone else deleted the row since it was read: the save must not pass
// silently. (Saves reaching their row by its key, one column at a time, with
// another row beside it: the catalogue's, in pipeline_test.cpp.)
TEST_P(RecordsetTest, AnUpdateOfARowDeletedMeanwhileFails) {
    AddProduct("Acme Tool", "0");
    Recordset rs;
    rs.Open(connection(), SqlText("SELECT * From SoftProduct"));
    db_->Run("DELETE FROM SoftProduct");
    rs.SetField("SOFTPRODUCT_VERSION", Value::Text("2.0"));
    RuntimeError gone = ErrorOf([&] { rs.Update(); });
    EXPECT_EQ(gone.number(), dberr::kRowNotFound);
    EXPECT_THAT(gone.description(), HasSubstr("SoftProduct"));
}

// PosteSoftware has no key: writing back one of several identical rows
// changes exactly that one. (A SELECT DISTINCT row deleted stands for all of
// them: the reconciliation's unlinking, compare_prod_list_test.cpp.)
TEST_P(RecordsetTest, OneOfIdenticalRowsIsChangedAlone) {
    db_->Run("INSERT INTO PosteSoftware VALUES (1, 5), (1, 5), (1, 5), (2, 5)");
    Recordset rs;
    rs.Open(connection(),
            SqlText("SELECT * From PosteSoftware WHERE PosteSoft_PosteID = ").QuotedNumber(1));
    rs.SetField("PosteSoft_ProductID", Value::Integer(6));
    rs.MoveNext();
    rs.Delete();
    rs.Close();
    EXPECT_THAT(db_->Rows("SELECT * FROM PosteSoftware ORDER BY 1, 2"),
                ElementsAre("1|5", "1|6", "2|5"));
}

// Text is stored as UTF-8 and Windows-1252 given back as the same bytes; name
// columns ignore case and trailing spaces as SQL Server does, and give back
// exactly what was stored.
TEST_P(RecordsetTest, NamesRoundTripAndCompareAsSqlServerDoes) {
    Recordset rs;
    rs.Open(connection(), SqlText("SELECT * From SoftProduct"));
    for (const char* name : {"Tool", "Acme ", "Z\xFCrich \x8A \x80 \xAC"}) {
        rs.AddNew();
        rs.SetField("SOFTPRODUCT_PRODUCT", Value::Text(name));
    }
    rs.Update();
    rs.Close();
    const struct {
        std::string looked_up;
        std::vector<std::string> found;
    } cases[] = {
        {"TOOL  ", {"Tool"}},
        {"acme", {"Acme "}},
        {" Tool", {}},
        {"To ol", {}},
        {"Z\xDCRICH \x9A \x80 \xAC", {"Z\xFCrich \x8A \x80 \xAC"}},  // beyond ASCII: Ü, Š
        {"Zurich \x8A \x80 \xAC", {}},                               // accents count
    };
    for (const auto& c : cases) {
        rs.Open(connection(), SqlText("SELECT * From SoftProduct WHERE SOFTPRODUCT_PRODUCT = ")
                                  .Quoted(c.looked_up)
                                  .Add(" "));
        std::vector<std::string> found;
        for (; !rs.Eof(); rs.MoveNext()) found.push_back(rs.Fields("SOFTPRODUCT_PRODUCT").AsText());
        rs.Close();
        EXPECT_EQ(found, c.found) << "'" << c.looked_up << "'";
    }
    // A name an agent wrote in Windows-1252 bytes, no UTF-8, is read as such;
    // no database receives invalid UTF-8.
    rs.Open(connection(), SqlText("SELECT * From SoftProduct WHERE SOFTPRODUCT_PRODUCT = ")
                              .QuotedUtf8("z\xFCrich \x8A \x80 \xAC"));
    EXPECT_EQ(rs.Fields("SOFTPRODUCT_PRODUCT").AsUtf8(), "Z\u00FCrich \u0160 \u20AC \u00AC");
    rs.Close();
    const bool sqlite = GetParam() == testing::Backend::kSqlite;
    if (sqlite) {
        EXPECT_THAT(db_->Rows("SELECT hex(SOFTPRODUCT_PRODUCT) FROM SoftProduct"),
                    Contains(HasSubstr("5AC3BC7269636820C5A020E282AC20C2AC")));
    }
    db_->Run(
        "INSERT INTO ODBC_Drv (ODBC_DrvName, ODBC_Desc, ODBC_ProdVers, ODBC_CPR) "
        "VALUES ('SQL Server', 'd', '1.0', 'M')");
    rs.Open(connection(), SqlText("SELECT * from ODBC_Drv Where ODBC_DrvName =")
                              .Quoted("sql server ")
                              .Add(" AND ODBC_Desc =")
                              .Quoted("D")
                              .Add(" AND ODBC_ProdVers =")
                              .Quoted("1.0 ")
                              .Add(" AND ODBC_CPR =")
                              .Quoted("m"));
    EXPECT_EQ(rs.RecordCount(), 1u);
    rs.Close();
    // What a program of its own writes is keyed as what the pump writes.
    std::string capitals;
    for (int c = 0x20; c < 0x100; ++c) capitals.push_back(static_cast<char>(c));
    Command(connection())
        .Execute(
            SqlText("INSERT INTO Postes (Poste_Nom) VALUES (").Quoted(capitals + "  ").Add(")"));
    EXPECT_THAT(db_->Rows("SELECT Poste_Nom_Key FROM Postes"),
                ElementsAre(Utf8ToCp1252(NameKey(Cp1252ToUtf8(capitals)))));
}

// A fetched column has room for 255 bytes, a piece read whole 1,023: values
// around both and far beyond come back whole, a UTF-8 character cut between
// two pieces included, on the first run of a statement and on its later ones.
TEST_P(RecordsetTest, LongValuesComeBackWhole) {
    std::vector<std::string> values;
    for (std::size_t size : {255, 256, 257, 1023, 1024, 2047, 10000}) {
        values.push_back(std::string(size - 2, 'd') + "\u00E9");  // sizes in UTF-8 bytes
    }
    for (std::size_t at : {1021, 1022, 2044, 2045}) {  // "é" then "€" across a boundary
        values.push_back(std::string(at, 'x') + "\u00E9\u20AC" + std::string(600, 'y'));
    }
    for (const std::string& value : values) {
        Command(connection())
            .Execute(SqlText("INSERT INTO SoftProduct (SOFTPRODUCT_DESCRIPTION) VALUES (")
                         .Param(Value::Utf8(value))
                         .Add(")"));
    }
    for (int run = 0; run < 2; ++run) {
        Recordset rs;
        rs.Open(connection(), SqlText("SELECT * From SoftProduct ORDER BY SOFTPRODUCT_ID"));
        for (const std::string& value : values) {
            ASSERT_FALSE(rs.Eof());
            EXPECT_EQ(rs.Fields("SOFTPRODUCT_DESCRIPTION").AsUtf8(), value) << value.size();
            rs.MoveNext();
        }
    }
}

// The product lookup runs once per report line: one prepared statement serves
// every value. A tool running more shapes of statement than the connection
// keeps gets the evicted ones prepared again, the ones used last kept, and
// right answers.
TEST_P(RecordsetTest, StatementsArePreparedOnceAndAgainOnlyAfterEviction) {
    AddProduct("Tool 1", "0");
    AddProduct("Tool 2", "0");
    // Shape i asks i + 1 times for the same identity: a text of its own.
    auto product = [&](int shape, int id) {
        SqlText sql("SELECT SOFTPRODUCT_PRODUCT From SoftProduct WHERE SOFTPRODUCT_ID = ");
        sql.Number(id);
        for (int k = 0; k < shape; ++k) sql.Add(" AND SOFTPRODUCT_ID = ").Number(id);
        ResultSet result = connection().Query(sql);
        return result.rows.size() == 1 ? result.rows[0][0].AsText() : "(none)";
    };
    for (int i = 0; i < 100; ++i) ASSERT_EQ(product(i, 2), "Tool 2") << i;
    const std::int64_t before = connection().PreparedCount();
    EXPECT_EQ(product(99, 1), "Tool 1");  // used last, now with another value: still prepared
    EXPECT_EQ(connection().PreparedCount(), before);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(product(i, i % 2 + 1), "Tool " + std::to_string(i % 2 + 1));
    EXPECT_EQ(connection().PreparedCount(), before + 10);
}

// An operator may change a table while the pump holds its statements prepared.
TEST_P(RecordsetTest, APreparedStatementSurvivesAChangeOfItsTable) {
    db_->Run("INSERT INTO Transactions VALUES ('u', 'p')");
    Recordset rs;
    rs.Open(connection(), SqlText("SELECT * from Transactions"));
    rs.Close();
    db_->Run("ALTER TABLE Transactions ADD SIComment VARCHAR(20)");
    rs.Open(connection(), SqlText("SELECT * from Transactions"));
    EXPECT_EQ(rs.Fields("SIPoste").AsText(), "p");
    EXPECT_TRUE(rs.Fields("SIComment").IsNull());  // described anew, not from before the change
    rs.SetField("SIPoste", Value::Text("q"));
    rs.Update();
    EXPECT_THAT(db_->Rows("SELECT SIPoste FROM Transactions"), ElementsAre("q"));
}

TEST_P(RecordsetTest, ErrorsCarryTheirNumberAndNameTheSqlText) {
    // An unknown column: a command error, not the end of the program.
    RuntimeError bad_column = ErrorOf(
        [&] { Recordset().Open(connection(), SqlText("SELECT Poste_Colour From Postes")); });
    EXPECT_EQ(bad_column.number(), dberr::kErrorsInCommand);
    EXPECT_THAT(bad_column.description(), HasSubstr("SELECT Poste_Colour From Postes"));

    // A value the database refuses: a second row with the same identity.
    db_->Run("INSERT INTO Postes (PosteID, Poste_Nom) VALUES (7, 'A')");
    Recordset rs;
    rs.Open(connection(), SqlText("SELECT * From Postes"));
    rs.AddNew();
    rs.SetField("PosteID", Value::Integer(7));
    RuntimeError duplicate = ErrorOf([&] { rs.Update(); });
    EXPECT_EQ(duplicate.number(), dberr::kIntegrityViolation) << duplicate.description();
    EXPECT_THAT(duplicate.description(), HasSubstr("INSERT INTO"));

    // Statements are held to the column types too: SQLite no longer stores a
    // text in an INTEGER column, it refuses it as PostgreSQL does, with the
    // error the log switches its date format on.
    RuntimeError refused = ErrorOf([&] {
        Command(connection())
            .Execute(SqlText("INSERT INTO Postes (PosteHardID) VALUES (").Quoted("zero").Add(")"));
    });
    EXPECT_EQ(refused.number(), errnum::kConversionFailed);
    EXPECT_THAT(refused.description(), HasSubstr("'zero'"));
    SqlText too_big("INSERT INTO SoftProduct (SOFTPRODUCT_IGNORE) VALUES (");
    too_big.Number(40000).Add(")");
    EXPECT_EQ(ErrorOf([&] { Command(connection()).Execute(too_big); }).number(),
              dberr::kDataOverflow);

    // Closed and open record sets; a failed open leaves it closed, and the
    // next use names the text it tried.
    Recordset closed;
    EXPECT_EQ(ErrorOf([&] { closed.Eof(); }).number(), errnum::kObjectClosed);
    EXPECT_EQ(ErrorOf([&] { closed.Close(); }).number(), errnum::kObjectClosed);
    EXPECT_EQ(ErrorOf([&] { rs.Open(connection(), SqlText("SELECT * From Postes")); }).number(),
              errnum::kObjectOpen);
    EXPECT_ANY_THROW(closed.Open(connection(), SqlText("SELECT * From Nowhere")));
    RuntimeError after = ErrorOf([&] { closed.Eof(); });
    EXPECT_EQ(after.number(), errnum::kObjectClosed);
    EXPECT_THAT(after.description(), HasSubstr("SELECT * From Nowhere"));
}

KOLBI_ON_BOTH_DATABASES(RecordsetTest);

}  // namespace
}  // namespace kolbi
