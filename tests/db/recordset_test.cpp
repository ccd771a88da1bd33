#include "db/recordset.h"

#include <gtest/gtest.h>

#include "common/runtime_error.h"
#include "db/command.h"
#include "db/db_error.h"
#include "db/db_test.h"

namespace kolbi {
namespace {

using testing::Backend;
using testing::DbTest;

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

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class RecordsetTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (!db_) return;
        connection_ = &db_->connection();
    }
    void AddProduct(const std::string& name, const std::string& ignore) {
        db_->Run(
            "INSERT INTO SoftProduct (SOFTPRODUCT_PRODUCT, SOFTPRODUCT_VERSION, "
            "SOFTPRODUCT_IGNORE) VALUES ('" +
            name + "', '', " + ignore + ")");
    }
    Connection* connection_ = nullptr;
};

TEST_P(RecordsetTest, ReadsMovesAndKeepsNullAsAValue) {
    AddProduct("Acme Tool", "0");
    AddProduct("Gizmo", "NULL");
    AddProduct("Zed", "1");
    Recordset rs;
    rs.Open(*connection_, SqlText("SELECT * From SoftProduct ORDER BY SOFTPRODUCT_ID"));
    EXPECT_EQ(rs.RecordCount(), 3u);
    ASSERT_FALSE(rs.Eof());
    // Field names match without regard to case (PostgreSQL folds them).
    EXPECT_EQ(rs.Fields("softproduct_product").AsText(), "Acme Tool");
    EXPECT_EQ(rs.Fields("SOFTPRODUCT_IGNORE").AsInt16(), 0);
    rs.MoveNext();
    EXPECT_TRUE(rs.Fields("SOFTPRODUCT_IGNORE").IsNull());
    RuntimeError null_read = ErrorOf([&] { rs.Fields("SOFTPRODUCT_IGNORE").AsInteger(); });
    EXPECT_EQ(null_read.number(), errnum::kInvalidUseOfNull);
    EXPECT_TRUE(Contains(null_read.description(), "SOFTPRODUCT_IGNORE")) << null_read.description();
    EXPECT_EQ(ErrorOf([&] { rs.Fields("SOFTPRODUCT_IGNORE").AsText(); }).number(),
              errnum::kInvalidUseOfNull);
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
    EXPECT_TRUE(Contains(unknown.description(), "NoSuchField"));
    EXPECT_TRUE(Contains(unknown.description(), "SELECT * From SoftProduct"));
    rs.Close();
}

// The workstation step's insert: AddNew, every column, Update, then re-read,
// move last and back first to learn the identity the database gave the row.
TEST_P(RecordsetTest, NewRowsIdentityIsReadBackAfterRequery) {
    const Value today = Value::Date({2026, 12, 4});
    SqlText lookup("SELECT * From Postes ");
    lookup.Add("WHERE Poste_Nom = ").QuotedUtf8("PC042");
    Recordset rs;
    rs.Open(*connection_, lookup);
    ASSERT_TRUE(rs.Eof());
    rs.AddNew();
    rs.SetField("Poste_Nom", Value::Utf8("PC042"));
    rs.SetField("Poste_Domain", Value::Text(""));
    rs.SetField("Poste_FirstSoftInventory", today);
    rs.SetField("Poste_LastSoftInventory", today);
    rs.SetField("PosteHardID", Value::Integer(0));
    rs.SetField("Poste_LastUser", Value::Text(""));
    rs.Update();
    // Until it is read again the new row's key is unknown; changing it must say so.
    rs.SetField("Poste_Mac", Value::Text("x"));
    RuntimeError unknown_key = ErrorOf([&] { rs.Update(); });
    EXPECT_EQ(unknown_key.number(), dberr::kRowNotFound);
    EXPECT_TRUE(Contains(unknown_key.description(), "Requery"));
    rs.Requery();
    rs.MoveLast();
    rs.MoveFirst();
    std::int16_t id = rs.Fields("PosteID").AsInt16();
    EXPECT_GT(id, 0);
    EXPECT_EQ(rs.Fields("Poste_FirstSoftInventory").value(), today);
    EXPECT_EQ(rs.Fields("Poste_FirstSoftInventory").AsText(), "2026-12-04");
    EXPECT_EQ(rs.Fields("Poste_Domain").AsText(), "");
    EXPECT_TRUE(rs.Fields("Poste_Mac").IsNull());
    // A second workstation gets another identity.
    db_->Run("INSERT INTO Postes (Poste_Nom) VALUES ('PC043')");
    EXPECT_EQ(db_->Rows("SELECT Poste_Nom FROM Postes WHERE PosteID = " + std::to_string(id)),
              std::vector<std::string>{"PC042"});
}

// The catalogue fills empty columns one save at a time; each save must reach
// the same row, found by its primary key, and no other.
TEST_P(RecordsetTest, UpdatesReachTheRowByItsPrimaryKey) {
    AddProduct("Acme Tool", "0");
    AddProduct("Acme Tool 2", "0");
    Recordset rs;
    SqlText lookup("SELECT * From SoftProduct ");
    lookup.Add("WHERE SOFTPRODUCT_PRODUCT = ").Quoted("acme tool").Add(" ");
    rs.Open(*connection_, lookup);
    ASSERT_EQ(rs.RecordCount(), 1u);  // the comparison ignores case
    rs.SetField("SOFTPRODUCT_DESCRIPTION", Value::Text("A tool"));
    rs.Update();
    rs.SetField("SOFTPRODUCT_VERSION", Value::Text("1.0"));
    rs.Update();
    rs.Close();
    EXPECT_EQ(db_->Rows("SELECT SOFTPRODUCT_PRODUCT, SOFTPRODUCT_DESCRIPTION, SOFTPRODUCT_VERSION "
                        "FROM SoftProduct ORDER BY SOFTPRODUCT_ID"),
              (std::vector<std::string>{"Acme Tool|A tool|1.0", "Acme Tool 2|NULL|"}));

    // Someone else deleted the row since it was read: the save must not pass silently.
    rs.Open(*connection_, lookup);
    db_->Run("DELETE FROM SoftProduct");
    rs.SetField("SOFTPRODUCT_VERSION", Value::Text("2.0"));
    RuntimeError gone = ErrorOf([&] { rs.Update(); });
    EXPECT_EQ(gone.number(), dberr::kRowNotFound);
    EXPECT_TRUE(Contains(gone.description(), "SoftProduct")) << gone.description();
}

// PosteSoftware has no key: a link is found again by all its values, and
// deleting one of two identical links through the record set removes both.
TEST_P(RecordsetTest, DeletesByAllValuesWhereTheTableHasNoKey) {
    db_->Run("INSERT INTO PosteSoftware VALUES (1, 5)");
    db_->Run("INSERT INTO PosteSoftware VALUES (1, 5)");
    db_->Run("INSERT INTO PosteSoftware VALUES (1, 6)");
    db_->Run("INSERT INTO PosteSoftware VALUES (2, 5)");
    SqlText select("SELECT DISTINCT * From PosteSoftware ");
    select.Add("WHERE PosteSoft_PosteID = ").QuotedNumber(1).Add(" ");
    select.Add("AND PosteSoft_ProductID = ").QuotedNumber(5).Add(";");
    Recordset rs;
    rs.Open(*connection_, select);
    while (!rs.Eof()) {
        rs.Delete();
        rs.Update();
        rs.MoveNext();
    }
    rs.Close();
    EXPECT_EQ(db_->Rows("SELECT * FROM PosteSoftware ORDER BY PosteSoft_PosteID, "
                        "PosteSoft_ProductID"),
              (std::vector<std::string>{"1|6", "2|5"}));

    // Without DISTINCT both copies are read; the second delete finds nothing
    // left to delete, which is no error.
    db_->Run("INSERT INTO PosteSoftware VALUES (3, 7)");
    db_->Run("INSERT INTO PosteSoftware VALUES (3, 7)");
    rs.Open(*connection_, SqlText("SELECT * From PosteSoftware WHERE PosteSoft_PosteID = 3"));
    ASSERT_EQ(rs.RecordCount(), 2u);
    while (!rs.Eof()) {
        rs.Delete();
        rs.MoveNext();
    }
    EXPECT_TRUE(db_->Rows("SELECT * FROM PosteSoftware WHERE PosteSoft_PosteID = 3").empty());
}

TEST_P(RecordsetTest, DeletedRowIsSkippedAndCannotBeRead) {
    AddProduct("A", "0");
    AddProduct("B", "0");
    AddProduct("C", "0");
    Recordset rs;
    rs.Open(*connection_, SqlText("SELECT * From SoftProduct ORDER BY SOFTPRODUCT_PRODUCT"));
    rs.MoveNext();
    rs.Delete();
    rs.Update();  // nothing left to save
    EXPECT_EQ(ErrorOf([&] { rs.Fields("SOFTPRODUCT_PRODUCT"); }).number(), dberr::kNoCurrentRecord);
    rs.MoveNext();
    EXPECT_EQ(rs.Fields("SOFTPRODUCT_PRODUCT").AsText(), "C");
    rs.MoveFirst();
    EXPECT_EQ(rs.Fields("SOFTPRODUCT_PRODUCT").AsText(), "A");
    EXPECT_EQ(rs.RecordCount(), 2u);
    EXPECT_EQ(db_->Rows("SELECT SOFTPRODUCT_PRODUCT FROM SoftProduct ORDER BY 1"),
              (std::vector<std::string>{"A", "C"}));
}

// Names with apostrophes break nothing, and Windows-1252 text comes back as
// the same bytes while the database holds it as UTF-8.
TEST_P(RecordsetTest, ApostrophesAndWindows1252TextRoundTrip) {
    const std::string product =
        "L'\xC9"
        "diteur \xE9l\xE9gant \xA9 \x80 \xAC 50\x25";
    const std::string workstation = "O'Brien's Z\u00FCrich-PC";
    SqlText lookup("SELECT * From SoftProduct ");
    lookup.Add("WHERE SOFTPRODUCT_PRODUCT = ").Quoted(product).Add(" ");
    EXPECT_EQ(lookup.Text(),
              "SELECT * From SoftProduct WHERE SOFTPRODUCT_PRODUCT = '" + product + "' ");
    Recordset rs;
    rs.Open(*connection_, lookup);
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
    // An apostrophe in the value cannot end the literal early.
    SqlText injection("SELECT * From SoftProduct ");
    injection.Add("WHERE SOFTPRODUCT_PRODUCT = ").Quoted("x' OR '1'='1");
    rs.Close();
    rs.Open(*connection_, injection);
    EXPECT_TRUE(rs.Eof());
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
            rs.Open(*connection_,
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

// Every SQL text the pump sends, built with the builder, reads as the
// program has always written it and runs unchanged.
TEST_P(RecordsetTest, ThePumpsSqlTextsRunUnchanged) {
    db_->Run("INSERT INTO Postes (Poste_Nom) VALUES ('PC01')");
    AddProduct("Tool", "0");
    struct Case {
        SqlText sql;
        std::string text;
    };
    auto quoted = [](SqlWords head, std::int64_t n, SqlWords tail) {
        SqlText s;
        s.Add(head).QuotedNumber(n).Add(tail);
        return s;
    };
    std::vector<Case> selects = {
        {SqlText("SELECT * From Postes ").Add("WHERE Poste_Nom = ").QuotedUtf8("PC01"),
         "SELECT * From Postes WHERE Poste_Nom = 'PC01'"},
        {quoted("SELECT * From PosteSoftware WHERE PosteSoft_PosteID = ", 12, ""),
         "SELECT * From PosteSoftware WHERE PosteSoft_PosteID = '12'"},
        {SqlText("SELECT * From SoftProduct WHERE SOFTPRODUCT_PRODUCT = ").Quoted("Tool").Add(" "),
         "SELECT * From SoftProduct WHERE SOFTPRODUCT_PRODUCT = 'Tool' "},
        {SqlText("SELECT * from Transactions"), "SELECT * from Transactions"},
        {quoted("SELECT DISTINCT PosteSoft_ProductID From PosteSoftware WHERE PosteSoft_PosteID = ",
                1, " order by PosteSoft_ProductID ASC;"),
         "SELECT DISTINCT PosteSoft_ProductID From PosteSoftware WHERE PosteSoft_PosteID = '1' "
         "order by PosteSoft_ProductID ASC;"},
        {quoted("SELECT SOFTPRODUCT_PRODUCT,SOFTPRODUCT_IGNORE From SoftProduct WHERE "
                "SOFTPRODUCT_ID = ",
                1, ""),
         "SELECT SOFTPRODUCT_PRODUCT,SOFTPRODUCT_IGNORE From SoftProduct WHERE SOFTPRODUCT_ID = "
         "'1'"},
        {quoted("SELECT SOFTPRODUCT_PRODUCT,SOFTPRODUCT_IGNORE  From SoftProduct WHERE "
                "SOFTPRODUCT_ID = ",
                1, ""),
         "SELECT SOFTPRODUCT_PRODUCT,SOFTPRODUCT_IGNORE  From SoftProduct WHERE SOFTPRODUCT_ID = "
         "'1'"},
        {SqlText("SELECT DISTINCT * From PosteSoftware WHERE PosteSoft_PosteID = ")
             .QuotedNumber(1)
             .Add(" AND PosteSoft_ProductID = ")
             .QuotedNumber(2)
             .Add(";"),
         "SELECT DISTINCT * From PosteSoftware WHERE PosteSoft_PosteID = '1' AND "
         "PosteSoft_ProductID = '2';"},
        {SqlText("SELECT * from ODBC_Drv Where ODBC_DrvName =")
             .Quoted("DRV")
             .Add(" AND ODBC_Desc =")
             .Quoted("DESC")
             .Add(" AND ODBC_ProdVers =")
             .Quoted("1.0")
             .Add(" AND ODBC_CPR =")
             .Quoted("MAKER")
             .Add(";"),
         "SELECT * from ODBC_Drv Where ODBC_DrvName ='DRV' AND ODBC_Desc ='DESC' AND ODBC_ProdVers "
         "='1.0' AND ODBC_CPR ='MAKER';"},
        {SqlText("SELECT * from ODBC_DSN Where DSN_ODBC_ID =")
             .QuotedNumber(3)
             .Add(" AND DSN_POSTEID =")
             .QuotedNumber(1)
             .Add(" AND DSN_Name =")
             .Quoted(" DS1 ")
             .Add(" AND DSN_DBName =")
             .Quoted("DB1")
             .Add(" AND DSN_ServName =")
             .Quoted("SRV1")
             .Add(";"),
         "SELECT * from ODBC_DSN Where DSN_ODBC_ID ='3' AND DSN_POSTEID ='1' AND DSN_Name =' DS1 ' "
         "AND DSN_DBName ='DB1' AND DSN_ServName ='SRV1';"},
    };
    for (const Case& c : selects) {
        EXPECT_EQ(c.sql.Text(), c.text);
        Recordset rs;
        EXPECT_NO_THROW(rs.Open(*connection_, c.sql)) << c.text;
    }

    SqlText link("INSERT INTO PosteSoftware (PosteSoft_PosteID, PosteSoft_ProductID) ");
    link.Add("VALUES (").QuotedNumber(1).Add(", ").QuotedNumber(1).Add("  )");
    EXPECT_EQ(link.Text(),
              "INSERT INTO PosteSoftware (PosteSoft_PosteID, PosteSoft_ProductID) VALUES ('1', "
              "'1'  )");
    Command(*connection_).Execute(link);

    SqlText alert("INSERT INTO Changement ");
    alert
        .Add(
            "(Changement_Poste,Changement_User,Changement_Date,Changement_Type,"
            "Changement_Critique,Changement_Data,Changement_ACK)")
        .Add("VALUES (")
        .QuotedUtf8("PC01")
        .Add(",'',Getdate(),")
        .QuotedNumber(2)
        .Add(",")
        .QuotedNumber(2)
        .Add(",")
        .Quoted("|967|Tool")
        .Add(",'0')");
    EXPECT_EQ(alert.Text(),
              "INSERT INTO Changement (Changement_Poste,Changement_User,Changement_Date,"
              "Changement_Type,Changement_Critique,Changement_Data,Changement_ACK)VALUES "
              "('PC01','',Getdate(),'2','2','|967|Tool','0')");
    Command(*connection_).Execute(alert);

    EXPECT_EQ(db_->Rows("SELECT * FROM PosteSoftware"), std::vector<std::string>{"1|1"});
    ResultSet changes = connection_->Query(SqlText("SELECT * FROM Changement"));
    ASSERT_EQ(changes.rows.size(), 1u);
    // Changement_Date: the server's date and time, a timestamp on both databases.
    EXPECT_EQ(changes.rows[0][3].kind(), Value::Kind::kDateTime);
    EXPECT_EQ(db_->Rows("SELECT Changement_Poste, Changement_User, Changement_Type, "
                        "Changement_Critique, Changement_Data, Changement_ACK FROM Changement"),
              std::vector<std::string>{"PC01||2|2||967|Tool|0"});
}

// The product lookup runs once per report line: one prepared statement serves
// every name.
TEST_P(RecordsetTest, EachStatementShapeIsPreparedOnce) {
    AddProduct("Tool 7", "0");
    const std::int64_t before = connection_->PreparedCount();
    int found = 0;
    for (int i = 0; i < 50; ++i) {
        SqlText lookup("SELECT * From SoftProduct ");
        lookup.Add("WHERE SOFTPRODUCT_PRODUCT = ").Quoted("Tool " + std::to_string(i)).Add(" ");
        Recordset rs;
        rs.Open(*connection_, lookup);
        found += rs.Eof() ? 0 : 1;
    }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(connection_->PreparedCount() - before, 1);
}

// An operator may change a table while the pump holds its statements prepared.
TEST_P(RecordsetTest, APreparedStatementSurvivesAChangeOfItsTable) {
    db_->Run("INSERT INTO Transactions VALUES ('u', 'p')");
    Recordset rs;
    rs.Open(*connection_, SqlText("SELECT * from Transactions"));
    rs.Close();
    db_->Run("ALTER TABLE Transactions ADD SIComment VARCHAR(20)");
    rs.Open(*connection_, SqlText("SELECT * from Transactions"));
    EXPECT_EQ(rs.Fields("SIPoste").AsText(), "p");
    rs.SetField("SIPoste", Value::Text("q"));
    rs.Update();
    EXPECT_EQ(db_->Rows("SELECT SIPoste FROM Transactions"), std::vector<std::string>{"q"});
}

TEST_P(RecordsetTest, ErrorsCarryTheirNumberAndNameTheSqlText) {
    // An unknown column: a command error, not the end of the program.
    RuntimeError bad_column = ErrorOf([&] {
        Recordset rs;
        rs.Open(*connection_, SqlText("SELECT Poste_Colour From Postes"));
    });
    EXPECT_EQ(bad_column.number(), dberr::kErrorsInCommand);
    EXPECT_TRUE(Contains(bad_column.description(), "SELECT Poste_Colour From Postes"));
    EXPECT_FALSE(bad_column.sqlstate().empty());

    // A value the database refuses: a second row with the same identity.
    db_->Run("INSERT INTO Postes (PosteID, Poste_Nom) VALUES (7, 'A')");
    Recordset rs;
    rs.Open(*connection_, SqlText("SELECT * From Postes"));
    rs.AddNew();
    rs.SetField("PosteID", Value::Integer(7));
    RuntimeError duplicate = ErrorOf([&] { rs.Update(); });
    EXPECT_EQ(duplicate.number(), dberr::kIntegrityViolation) << duplicate.description();
    EXPECT_TRUE(Contains(duplicate.description(), "INSERT INTO")) << duplicate.description();

    // A key the pump cannot hold in 16 bits.
    db_->Run("INSERT INTO Postes (PosteID, Poste_Nom) VALUES (40000, 'Big')");
    Recordset big;
    big.Open(*connection_, SqlText("SELECT * From Postes WHERE Poste_Nom = 'Big'"));
    RuntimeError overflow = ErrorOf([&] { big.Fields("PosteID").AsInt16(); });
    EXPECT_EQ(overflow.number(), errnum::kOverflow);
    EXPECT_TRUE(Contains(overflow.description(), "PosteID"));

    // Closed and open record sets.
    Recordset closed;
    EXPECT_EQ(ErrorOf([&] { closed.Eof(); }).number(), errnum::kObjectClosed);
    EXPECT_EQ(ErrorOf([&] { closed.Close(); }).number(), errnum::kObjectClosed);
    EXPECT_EQ(ErrorOf([&] { big.Open(*connection_, SqlText("SELECT * From Postes")); }).number(),
              errnum::kObjectOpen);
    // A failed open leaves it closed, and the next use names the text it tried.
    Recordset failed;
    EXPECT_ANY_THROW(failed.Open(*connection_, SqlText("SELECT * From Nowhere")));
    RuntimeError after = ErrorOf([&] { failed.Eof(); });
    EXPECT_EQ(after.number(), errnum::kObjectClosed);
    EXPECT_TRUE(Contains(after.description(), "SELECT * From Nowhere"));
}

KOLBI_ON_BOTH_DATABASES(RecordsetTest);

// PostgreSQL refuses a text in an integer column, and the refusal is the
// conversion failure the error log switches its date format on.
TEST(PostgreSqlRecordsetTest, AValueTheColumnCannotHoldIsAConversionFailure) {
    KOLBI_REQUIRE_POSTGRESQL();
    testing::TestDatabase db(Backend::kPostgreSql);
    SqlText insert("INSERT INTO Postes (PosteHardID) VALUES (");
    insert.Quoted("zero").Add(")");
    RuntimeError refused = ErrorOf([&] { Command(db.connection()).Execute(insert); });
    EXPECT_EQ(refused.number(), errnum::kConversionFailed);
    EXPECT_EQ(refused.sqlstate().substr(0, 2), "22");
    EXPECT_TRUE(Contains(refused.description(), "'zero'")) << refused.description();
}

}  // namespace
}  // namespace kolbi
