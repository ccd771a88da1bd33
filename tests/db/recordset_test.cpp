#include "db/recordset.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "db/command.h"
#include "db/db_test.h"

namespace kolbi {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Runs a step that must fail and returns its error.
template <class Step>
RuntimeError ErrorOf(Step&& step) {
    try {
        step();
    } catch (const RuntimeError& e) {
        return e;
    }
    ADD_FAILURE() << "no error";
    return RuntimeError(0, "");
}

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

TEST_P(RecordsetTest, ReadsMovesAndKeepsNullAsAValue) {
    AddProduct("Acme Tool", "0");
    AddProduct("Gizmo", "NULL");
    AddProduct("Zed", "1");
    Recordset rs;
    rs.Open(connection(), SqlText("SELECT * From SoftProduct ORDER BY SOFTPRODUCT_ID"));
    EXPECT_EQ(rs.RecordCount(), 3u);
    // Field names match without regard to case (PostgreSQL folds them).
    EXPECT_EQ(rs.Fields("softproduct_product").AsText(), "Acme Tool");
    EXPECT_EQ(rs.Fields("SOFTPRODUCT_IGNORE").AsInt16(), 0);
    rs.MoveNext();
    EXPECT_TRUE(rs.Fields("SOFTPRODUCT_IGNORE").IsNull());
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
    EXPECT_EQ(rs.Fields("SOFTPRODUCT_PRODUCT").AsText(), "Acme Tool");
    RuntimeError unknown = ErrorOf([&] { rs.Fields("NoSuchField"); });
    EXPECT_EQ(unknown.number(), dberr::kItemNotFound);
    EXPECT_THAT(unknown.description(), HasSubstr("NoSuchField"));
    EXPECT_THAT(unknown.description(), HasSubstr("SELECT * From SoftProduct"));
}

// The workstation step's insert: AddNew, every column, Update, then re-read,
// move last and back first to learn the identity the database gave the row.
TEST_P(RecordsetTest, ANewRowsIdentityIsReadBackAfterRequery) {
    const Value today = Value::Date({2026, 12, 4});
    Recordset rs;
    rs.Open(connection(), SqlText("SELECT * From Postes WHERE Poste_Nom = ").QuotedUtf8("PC042"));
    ASSERT_TRUE(rs.Eof());
    rs.AddNew();
    rs.SetField("Poste_Nom", Value::Utf8("PC042"));
    rs.SetField("Poste_Domain", Value::Text(""));
    rs.SetField("Poste_FirstSoftInventory", today);
    rs.SetField("PosteHardID", Value::Integer(0));
    rs.Update();
    // Until it is read again the new row's key is unknown; changing it must say so.
    rs.SetField("Poste_Mac", Value::Text("x"));
    RuntimeError unknown_key = ErrorOf([&] { rs.Update(); });
    EXPECT_EQ(unknown_key.number(), dberr::kRowNotFound);
    EXPECT_THAT(unknown_key.description(), HasSubstr("Requery"));
    rs.Requery();
    rs.MoveLast();
    rs.MoveFirst();
    const std::int16_t id = rs.Fields("PosteID").AsInt16();
    EXPECT_GT(id, 0);
    EXPECT_EQ(rs.Fields("Poste_FirstSoftInventory").value(), today);
    EXPECT_EQ(rs.Fields("Poste_FirstSoftInventory").AsText(), "2026-12-04");
    EXPECT_EQ(rs.Fields("Poste_Domain").AsText(), "");
    EXPECT_TRUE(rs.Fields("Poste_Mac").IsNull());
    db_->Run("INSERT INTO Postes (Poste_Nom) VALUES ('PC043')");  // another identity
    EXPECT_THAT(db_->Rows("SELECT Poste_Nom FROM Postes WHERE PosteID = " + std::to_string(id)),
                ElementsAre("PC042"));
}

// The catalogue fills empty columns one save at a time; each save must reach
// the same row, found by its primary key, and no other.
TEST_P(RecordsetTest, UpdatesReachTheRowByItsPrimaryKey) {
    AddProduct("Acme Tool", "0");
    AddProduct("Acme Tool 2", "0");
    Recordset rs;
    SqlText lookup("SELECT * From SoftProduct WHERE SOFTPRODUCT_PRODUCT = ");
    lookup.Quoted("acme tool");
    rs.Open(connection(), lookup);
    ASSERT_EQ(rs.RecordCount(), 1u);  // the comparison ignores case
    rs.SetField("SOFTPRODUCT_DESCRIPTION", Value::Text("A tool"));
    rs.Update();
    rs.SetField("SOFTPRODUCT_VERSION", Value::Text("1.0"));
    rs.Update();
    rs.Close();
    EXPECT_THAT(db_->Rows("SELECT SOFTPRODUCT_PRODUCT, SOFTPRODUCT_DESCRIPTION, "
                          "SOFTPRODUCT_VERSION FROM SoftProduct ORDER BY SOFTPRODUCT_ID"),
                ElementsAre("Acme Tool|A tool|1.0", "Acme Tool 2|NULL|"));

    // Someone else deleted the row since it was read: the save must not pass silently.
    rs.Open(connection(), lookup);
    db_->Run("DELETE FROM SoftProduct");
    rs.SetField("SOFTPRODUCT_VERSION", Value::Text("2.0"));
    RuntimeError gone = ErrorOf([&] { rs.Update(); });
    EXPECT_EQ(gone.number(), dberr::kRowNotFound);
    EXPECT_THAT(gone.description(), HasSubstr("SoftProduct"));
}

TEST_P(RecordsetTest, ADeletedRowIsSkippedAndCannotBeRead) {
    AddProduct("A", "0");
    AddProduct("B", "0");
    AddProduct("C", "0");
    Recordset rs;
    rs.Open(connection(), SqlText("SELECT * From SoftProduct ORDER BY SOFTPRODUCT_PRODUCT"));
    rs.MoveNext();
    rs.Delete();
    rs.Update();  // nothing left to save
    EXPECT_EQ(ErrorOf([&] { rs.Fields("SOFTPRODUCT_PRODUCT"); }).number(), dberr::kNoCurrentRecord);
    rs.MoveNext();
    EXPECT_EQ(rs.Fields("SOFTPRODUCT_PRODUCT").AsText(), "C");
    rs.MoveFirst();
    EXPECT_EQ(rs.Fields("SOFTPRODUCT_PRODUCT").AsText(), "A");
    EXPECT_EQ(rs.RecordCount(), 2u);
    EXPECT_THAT(db_->Rows("SELECT SOFTPRODUCT_PRODUCT FROM SoftProduct ORDER BY 1"),
                ElementsAre("A", "C"));
}

// Names with apostrophes break nothing, Windows-1252 text comes back as the
// same bytes while the database holds UTF-8, and values longer than one read
// (1,023 bytes) come back whole, a UTF-8 character cut by the read included.
TEST_P(RecordsetTest, ApostrophesWindows1252AndLongValuesRoundTrip) {
    const std::string product =
        "L'\xC9"
        "diteur \xE9l\xE9gant \xA9 \x80 \xAC 50%";
    const std::string workstation = "O'Brien's Z\u00FCrich-PC";
    SqlText lookup("SELECT * From SoftProduct WHERE SOFTPRODUCT_PRODUCT = ");
    lookup.Quoted(product);
    Recordset rs;
    rs.Open(connection(), lookup);
    ASSERT_TRUE(rs.Eof());
    rs.AddNew();
    rs.SetField("SOFTPRODUCT_PRODUCT", Value::Text(product));
    rs.SetField("SOFTPRODUCT_COPYRIGHT", Value::Utf8(workstation));
    rs.Update();
    rs.Requery();
    ASSERT_EQ(rs.RecordCount(), 1u);
    EXPECT_EQ(rs.Fields("SOFTPRODUCT_PRODUCT").AsText(), product);
    EXPECT_EQ(rs.Fields("SOFTPRODUCT_PRODUCT").AsUtf8(),
              "L'\u00C9diteur \u00E9l\u00E9gant \u00A9 \u20AC \u00AC 50%");
    EXPECT_EQ(rs.Fields("SOFTPRODUCT_COPYRIGHT").AsUtf8(), workstation);
    rs.Close();
    rs.Open(
        connection(),
        SqlText("SELECT * From SoftProduct WHERE SOFTPRODUCT_PRODUCT = ").Quoted("x' OR '1'='1"));
    EXPECT_TRUE(rs.Eof());

    db_->Run("CREATE TABLE Notes (n INTEGER, v TEXT)");
    std::vector<std::string> values;
    for (std::size_t size : {1022, 1023, 1024, 2046, 2047, 5000}) values.emplace_back(size, 'x');
    for (std::size_t at : {1021, 1022, 2044, 2045}) {  // "é" then "€" across a boundary
        values.push_back(std::string(at, 'x') + "\u00E9\u20AC" + std::string(600, 'y'));
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        Command(connection())
            .Execute(SqlText("INSERT INTO Notes VALUES (")
                         .Number(std::int64_t(i))
                         .Add(", ")
                         .Param(Value::Utf8(values[i]))
                         .Add(")"));
    }
    rs.Close();
    rs.Open(connection(), SqlText("SELECT * From Notes ORDER BY n"));
    for (const std::string& value : values) {
        ASSERT_FALSE(rs.Eof());
        EXPECT_EQ(rs.Fields("v").AsUtf8(), value) << value.size() << " bytes";
        rs.MoveNext();
    }
}

// Values around the room a fetched column is given, and far beyond it, come
// back whole, on the first run of a statement and on its later ones.
TEST_P(RecordsetTest, LongValuesComeBackWhole) {
    const std::size_t lengths[] = {255, 256, 257, 1023, 1024, 10000};
    for (std::size_t length : lengths) {
        // Multi-byte in UTF-8: the room is counted in the driver's bytes.
        const std::string description = std::string(length - 1, 'd') + "\xE9";
        const std::string name = "P" + std::to_string(length);
        for (int run = 0; run < 2; ++run) {
            Recordset rs;
            rs.Open(connection(),
                    SqlText("SELECT * From SoftProduct WHERE SOFTPRODUCT_PRODUCT = ").Quoted(name));
            if (run == 0) {
                rs.AddNew();
                rs.SetField("SOFTPRODUCT_PRODUCT", Value::Text(name));
                rs.SetField("SOFTPRODUCT_DESCRIPTION", Value::Text(description));
                rs.Update();
                rs.Requery();
            }
            ASSERT_FALSE(rs.Eof()) << length;
            EXPECT_EQ(rs.Fields("SOFTPRODUCT_DESCRIPTION").AsText(), description) << length;
            EXPECT_EQ(rs.Fields("SOFTPRODUCT_PRODUCT").AsText(), name) << length;
        }
    }
}

// Getdate() is sent as written: PostgreSQL's schema defines it, the SQLite
// data source loads a function of ours.
TEST_P(RecordsetTest, GetdateGivesTheServersDateAndTime) {
    SqlText alert(
        "INSERT INTO Changement (Changement_Poste,Changement_Date,Changement_ACK) VALUES (");
    alert.QuotedUtf8("PC01").Add(",Getdate(),'0')");
    Command(connection()).Execute(alert);
    ResultSet changes = connection().Query(SqlText("SELECT Changement_Date FROM Changement"));
    ASSERT_EQ(changes.rows.size(), 1u);
    EXPECT_EQ(changes.rows[0][0].kind(), Value::Kind::kDateTime);
    EXPECT_GE(changes.rows[0][0].AsText(), "2026-") << "not today's date";
}

// The product lookup runs once per report line: one prepared statement serves
// every name. A tool running more shapes than the connection keeps gets the
// evicted ones prepared again, the ones used last kept, and right answers.
TEST_P(RecordsetTest, StatementsArePreparedOnceAndAgainOnlyAfterEviction) {
    AddProduct("Tool 7", "0");
    std::int64_t before = connection().PreparedCount();
    int found = 0;
    for (int i = 0; i < 50; ++i) {
        Recordset rs;
        rs.Open(connection(), SqlText("SELECT * From SoftProduct WHERE SOFTPRODUCT_PRODUCT = ")
                                  .Quoted("Tool " + std::to_string(i)));
        found += rs.Eof() ? 0 : 1;
    }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(connection().PreparedCount() - before, 1);

    AddProduct("Tool 8", "0");
    // Shape i asks i + 1 times for the same identity: a text of its own.
    auto product_of_shape = [&](int i) {
        SqlText sql("SELECT SOFTPRODUCT_PRODUCT From SoftProduct WHERE SOFTPRODUCT_ID = ");
        sql.Number(i % 2 + 1);
        for (int k = 0; k < i; ++k) sql.Add(" AND SOFTPRODUCT_ID = ").Number(i % 2 + 1);
        ResultSet result = connection().Query(sql);
        return result.rows.size() == 1 ? result.rows[0][0].AsText() : "(none)";
    };
    for (int i = 0; i < 100; ++i) ASSERT_EQ(product_of_shape(i), i % 2 ? "Tool 8" : "Tool 7") << i;
    before = connection().PreparedCount();
    EXPECT_EQ(product_of_shape(99), "Tool 8");  // used last: still prepared
    EXPECT_EQ(connection().PreparedCount(), before);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(product_of_shape(i), i % 2 ? "Tool 8" : "Tool 7") << i;
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
    rs.SetField("SIPoste", Value::Text("q"));
    rs.Update();
    EXPECT_THAT(db_->Rows("SELECT SIPoste FROM Transactions"), ElementsAre("q"));
}

TEST_P(RecordsetTest, ErrorsCarryTheirNumberAndNameTheSqlText) {
    // An unknown column: a command error, not the end of the program.
    RuntimeError bad_column = ErrorOf([&] {
        Recordset rs;
        rs.Open(connection(), SqlText("SELECT Poste_Colour From Postes"));
    });
    EXPECT_EQ(bad_column.number(), dberr::kErrorsInCommand);
    EXPECT_THAT(bad_column.description(), HasSubstr("SELECT Poste_Colour From Postes"));
    EXPECT_FALSE(bad_column.sqlstate().empty());

    // A value the database refuses: a second row with the same identity.
    db_->Run("INSERT INTO Postes (PosteID, Poste_Nom) VALUES (7, 'A'), (40000, 'Big')");
    Recordset rs;
    rs.Open(connection(), SqlText("SELECT * From Postes ORDER BY PosteID"));
    rs.AddNew();
    rs.SetField("PosteID", Value::Integer(7));
    RuntimeError duplicate = ErrorOf([&] { rs.Update(); });
    EXPECT_EQ(duplicate.number(), dberr::kIntegrityViolation) << duplicate.description();
    EXPECT_THAT(duplicate.description(), HasSubstr("INSERT INTO"));

    // A key the pump cannot hold in 16 bits.
    rs.MoveLast();
    RuntimeError overflow = ErrorOf([&] { rs.Fields("PosteID").AsInt16(); });
    EXPECT_EQ(overflow.number(), errnum::kOverflow);
    EXPECT_THAT(overflow.description(), HasSubstr("PosteID"));

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

// PostgreSQL refuses a text in an integer column, and the refusal is the
// conversion failure the error log switches its date format on.
TEST(PostgreSqlRecordsetTest, AValueTheColumnCannotHoldIsAConversionFailure) {
    KOLBI_REQUIRE_POSTGRESQL();
    testing::TestDatabase db(testing::Backend::kPostgreSql);
    SqlText insert("INSERT INTO Postes (PosteHardID) VALUES (");
    insert.Quoted("zero").Add(")");
    RuntimeError refused = ErrorOf([&] { Command(db.connection()).Execute(insert); });
    EXPECT_EQ(refused.number(), errnum::kConversionFailed);
    EXPECT_EQ(refused.sqlstate().substr(0, 2), "22");
    EXPECT_THAT(refused.description(), HasSubstr("'zero'"));
}

}  // namespace
}  // namespace kolbi
