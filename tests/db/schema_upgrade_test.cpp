// The schema as other programs meet it: a database of every earlier script
// upgraded without losing a row, and the current one read and written by the
// stock sqlite3 shell, Python and psql, with nothing loaded.
#include "db/schema_upgrade.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/file_system.h"
#include "db/db_test.h"
#include "db/recordset.h"
#include "db/schema.h"
#include "db/schema_version.h"
#include "support/subprocess.h"

namespace kolbi {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::ProcessResult;
using testing::RunProcess;

class SchemaUpgradeTest : public testing::DbTest {
protected:
    bool sqlite() const { return GetParam() == testing::Backend::kSqlite; }
    Connection& connection() { return db_->connection(); }
    // Looks a product up as the catalogue does: by its name's key.
    std::size_t ProductsNamed(const std::string& name) {
        Recordset rs;
        rs.Open(connection(),
                SqlText("SELECT * From SoftProduct WHERE SOFTPRODUCT_PRODUCT = ").Quoted(name));
        return rs.RecordCount();
    }
};

TEST_P(SchemaUpgradeTest, EveryEarlierScriptIsUpgradedWithoutLosingARow) {
    const std::string long_name(6000, 'p');
    for (const char* commit : {"8ac9242", "b8faf9a", "ad6821a"}) {
        SCOPED_TRACE(commit);
        db_ = std::make_unique<testing::TestDatabase>(GetParam(), false);
        const std::string path = std::string(KOLBI_SOURCE_DIR) + "/tests/db/old_schemas/" + commit +
                                 (sqlite() ? "-sqlite.sql" : "-postgresql.sql");
        for (const std::string& statement : SplitSqlScript(Fs().ReadFile(path).value())) {
            db_->Run(statement);
        }
        db_->Run("INSERT INTO Postes (Poste_Nom, PosteHardID) VALUES ('PC042 ', 1), ('PC043', 2)");
        db_->Run("DELETE FROM Postes WHERE Poste_Nom = 'PC043'");
        db_->Run("INSERT INTO SoftProduct (SOFTPRODUCT_PRODUCT) VALUES ('" + long_name + "')");
        db_->Run("INSERT INTO ODBC_DSN (DSN_POSTEID, DSN_Name) VALUES (1, 'Base')");
        EXPECT_THAT(SchemaNotCurrent(connection()).value_or(""), HasSubstr("run kolbidb upgrade"));
        EXPECT_FALSE(CompareWithScript(connection()).empty());

        EXPECT_THAT(UpgradeSchema(connection()), HasSubstr("Postes 1 row(s)"));
        EXPECT_EQ(SchemaNotCurrent(connection()), std::nullopt);
        EXPECT_THAT(CompareWithScript(connection()), ElementsAre());
        EXPECT_THAT(db_->Rows("SELECT PosteID, Poste_Nom, Poste_Nom_Key, PosteHardID FROM Postes"),
                    ElementsAre("1|PC042 |pc042|1"));
        EXPECT_THAT(db_->Rows("SELECT DSN_POSTEID, DSN_Name_Key FROM ODBC_DSN"),
                    ElementsAre("1|base"));
        EXPECT_EQ(ProductsNamed(std::string(6000, 'P') + " "), 1u);
        // Identities go on after the highest ever given, the deleted row's too.
        db_->Run("INSERT INTO Postes (Poste_Nom) VALUES ('PC044')");
        EXPECT_THAT(db_->Rows("SELECT PosteID FROM Postes WHERE Poste_Nom_Key = 'pc044'"),
                    ElementsAre("3"));
    }
}

// What the pump wrote, read and changed by the stock tools; what they write,
// found by the pump.
TEST_P(SchemaUpgradeTest, StockToolsUseTheDatabase) {
    Recordset rs;
    rs.Open(connection(), SqlText("SELECT * From Postes"));
    for (const char* name : {"PC042", "Caf\xE9 ", "CAF\xC9-2"}) {
        rs.AddNew();
        rs.SetField("Poste_Nom", Value::Text(name));
        rs.SetField("PosteHardID", Value::Integer(7));
        rs.SetField("Poste_FirstSoftInventory", Value::Date({2026, 12, 4}));
    }
    rs.Update();
    rs.Close();
    db_->Run(
        "INSERT INTO SoftProduct (SOFTPRODUCT_PRODUCT, SOFTPRODUCT_IGNORE) VALUES ('Tool', 0)");

    if (!sqlite()) {
        const auto source = testing::ScratchDataSource(std::getenv("KOLBI_TEST_PG_DSN"));
        const std::string database = db_->Rows("SELECT current_database()").at(0);
        const ProcessResult psql = RunProcess(
            "/usr/bin/psql",
            {"-h", source.at("Servername"), "-U", source.at("Username"), "-d", database, "-tAc",
             "SELECT count(*) FROM postes WHERE poste_nom LIKE 'PC%' AND "
             "poste_nom ILIKE 'caf%' IS NOT TRUE; UPDATE softproduct SET "
             "softproduct_product = 'TOOL  '; INSERT INTO postes (poste_nom) VALUES ('pc100')"});
        ASSERT_EQ(psql.exit_status, 0) << psql.err;
        EXPECT_THAT(psql.out, HasSubstr("1\n"));
    } else {
        const std::string file = db_->Rows("SELECT file FROM pragma_database_list").at(0);
        const ProcessResult shell = RunProcess(
            "/usr/bin/sqlite3",
            {file,
             "SELECT count(*) FROM Postes WHERE Poste_Nom = 'pc042';"
             "SELECT Poste_Nom FROM Postes ORDER BY Poste_Nom_Key, PosteHardID LIMIT 1;"
             "SELECT count(*) FROM Postes GROUP BY Poste_FirstSoftInventory;"
             "UPDATE SoftProduct SET SOFTPRODUCT_IGNORE = -1, SOFTPRODUCT_PRODUCT = 'TOOL  ';"
             "INSERT INTO Postes (Poste_Nom) VALUES ('pc100');"
             "VACUUM; PRAGMA integrity_check;"});
        ASSERT_EQ(shell.exit_status, 0) << shell.err;
        EXPECT_EQ(shell.out, "1\nCaf\u00E9 \n3\nok\n");
        const ProcessResult refused = RunProcess(
            "/usr/bin/sqlite3", {file, "INSERT INTO Postes (PosteHardID) VALUES ('zero')"});
        EXPECT_THAT(refused.err, HasSubstr("PosteHardID_type"));
        const ProcessResult dump =
            RunProcess("/usr/bin/sqlite3", {file, ".output " + file + ".sql", ".dump"});
        ASSERT_EQ(dump.exit_status, 0) << dump.err;
        const ProcessResult restore =
            RunProcess("/usr/bin/sqlite3", {file + ".2"}, {}, file + ".sql");
        ASSERT_EQ(restore.exit_status, 0) << restore.err;
        const ProcessResult python = RunProcess(
            "/usr/bin/python3",
            {"-c",
             "import sqlite3, sys\n"
             "db = sqlite3.connect(sys.argv[1])\n"
             "print(db.execute(\"SELECT count(*) FROM Postes WHERE Poste_Nom_Key LIKE 'caf%'\")"
             ".fetchone()[0])\n"
             "db.execute(\"UPDATE Postes SET Poste_Mac = 'm' WHERE PosteID = 1\")\n"
             "db.commit()\n"
             "print(db.execute('PRAGMA integrity_check').fetchone()[0])\n",
             file + ".2"});
        ASSERT_EQ(python.exit_status, 0) << python.err;
        EXPECT_EQ(python.out, "2\nok\n");
    }
    // The rows the tools wrote are found by the pump's look-ups.
    EXPECT_EQ(ProductsNamed("tool"), 1u);
    Recordset found;
    found.Open(connection(),
               SqlText("SELECT * From Postes WHERE Poste_Nom = ").QuotedUtf8("PC100"));
    EXPECT_EQ(found.RecordCount(), 1u);
}

KOLBI_ON_BOTH_DATABASES(SchemaUpgradeTest);

}  // namespace
}  // namespace kolbi
