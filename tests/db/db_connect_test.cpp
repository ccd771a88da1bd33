#include "db/db_connect.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/pending_events.h"
#include "common/status_text.h"
#include "db/connection_string.h"
#include "db/db_error.h"
#include "db/db_test.h"
#include "db/odbc_ini.h"
#include "db/schema_version.h"

namespace kolbi {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using testing::ExitStatusOf;
using ::testing::HasSubstr;
using ::testing::Not;

using DBConnectTest = testing::DbTest;

TEST_P(DBConnectTest, OpensOnceBlanksTheActivityRowAndLeavesTheStatusEmpty) {
    db_->Run("INSERT INTO Transactions VALUES ('someone', 'PC9')");
    SetStatusText("busy");
    int yields = 0;
    std::vector<std::string> rows_at_yield;
    SetPendingEventsHandler([&] {
        ++yields;
        EXPECT_EQ(StatusText(), "");
        rows_at_yield = db_->Rows("SELECT SIUser, SIPoste FROM Transactions");
    });
    DBConnect();
    EXPECT_TRUE(DBConnected());
    EXPECT_TRUE(DBConnection().IsOpen());
    EXPECT_EQ(DBConnection().ConnectionString(), "Provider=MSDASQL.1;Extended Properties='DSN=" +
                                                     db_->dsn() + ";Trusted_Connection=Yes'");
    EXPECT_GE(yields, 1);
    EXPECT_THAT(rows_at_yield, ElementsAre("|"));  // blanked before events ran
    EXPECT_THAT(pump_.LogLines(), ElementsAre());

    // Connected already: nothing at all happens.
    db_->Run("UPDATE Transactions SET SIPoste = 'PC10'");
    yields = 0;
    SetStatusText("busy");
    DBConnect();
    EXPECT_EQ(yields, 0);
    EXPECT_EQ(StatusText(), "busy");
    EXPECT_THAT(db_->Rows("SELECT SIUser, SIPoste FROM Transactions"), ElementsAre("|PC10"));

    // The cycle closes and releases the connection; closing twice does nothing.
    CloseDBConnection();
    EXPECT_FALSE(DBConnected());
    EXPECT_FALSE(DBConnection().IsOpen());
    DBConnect();  // the same object opens again
    EXPECT_TRUE(DBConnection().IsOpen());
    CloseAndReleaseDBConnection();
    EXPECT_FALSE(DBConnected());
    EXPECT_EQ(DBConnection().ConnectionString(), "");  // a fresh object
    CloseDBConnection();
}

// The step the report layer installs runs right after the open and before
// events, inside DBConnect's own failure handler: a failure there is
// DBConnect's, and ends the program after one report.
TEST_P(DBConnectTest, TheStepAfterTheOpenFailsAsDBConnect) {
    std::vector<std::string> order;
    SetAfterConnect([&] {
        order.push_back(DBConnection().IsOpen() ? "after the open" : "before the open");
        throw RuntimeError(dberr::kItemNotFound, "no field SIPoste");
    });
    SetPendingEventsHandler([&] { order.push_back("events"); });
    EXPECT_EQ(ExitStatusOf(DBConnect), kExitFailure);
    EXPECT_THAT(order, ElementsAre("after the open"));
    EXPECT_FALSE(DBConnected());
    EXPECT_THAT(pump_.LogLines(),
                ElementsAre(HasSubstr("Error No: 3265, Error Description: no field SIPoste, in "
                                      "procedure DBConnect of Module ModALERT")));
}

// A database of another schema version is not written to: DBConnect ends
// the program with one line saying what to do, whether the version is older,
// newer or not recorded at all.
TEST_P(DBConnectTest, RefusesASchemaThatIsNotCurrent) {
    const struct {
        const char* change;
        const char* said;
    } cases[] = {
        {"UPDATE SchemaVersion SET Version = Version - 1", "; run kolbidb upgrade"},
        {"UPDATE SchemaVersion SET Version = Version + 1", "newer than this pump knows"},
        {"DELETE FROM SchemaVersion", "records no schema version"},
    };
    std::size_t lines = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change);
        db_->Run(c.change);
        EXPECT_EQ(ExitStatusOf(DBConnect), kExitFailure);
        EXPECT_FALSE(DBConnected());
        const std::vector<std::string> log = pump_.LogLines();
        ASSERT_EQ(log.size(), ++lines);
        EXPECT_THAT(log.back(), AllOf(HasSubstr(c.said),
                                      HasSubstr("in procedure DBConnect of Module ModALERT")));
        db_->Run("DELETE FROM SchemaVersion");
        db_->Run("INSERT INTO SchemaVersion (Version) VALUES (" +
                 std::to_string(kSchemaVersion) + ")");
    }
}

// The driver form as the pump builds it, with the test database's own driver
// in place of SQL Server (no such server runs here): a password holding ";",
// "}" and "=" reaches the driver whole, and the values before it too. The
// scratch PostgreSQL checks it (kolbi_pw's password); the SQLite driver has
// none to check but must still find its file.
TEST_P(DBConnectTest, TheDriverFormCarriesAPasswordHoldingSeparators) {
    const bool postgresql = GetParam() == testing::Backend::kPostgreSql;
    std::map<std::string, std::string> source = ReadDataSource(UserOdbcIniPath(), db_->dsn());
    Settings().DsnEntry = "";
    Settings().SQLSERVER = source["Servername"];
    Settings().Database = source["Database"];
    Settings().SQLUser = postgresql ? "kolbi_pw" : "pump";
    auto open = [&](const std::string& password) {
        Settings().SQLPass = password;
        std::string text = BuildConnectionString(Settings());
        text.replace(text.find("{SQL Server}"), 12, "{" + source["Driver"] + "}");
        auto connection = std::make_unique<Connection>();
        connection->SetConnectionString(text);
        connection->Open();
        return connection;
    };
    const std::string sql =
        postgresql ? "SELECT current_user" : "SELECT COUNT(*) FROM Transactions";
    const ResultSet rows = open("se;cr}et=")->Query(testing::SqlForTests::Statement(sql));
    ASSERT_EQ(rows.rows.size(), 1u);
    EXPECT_EQ(rows.rows[0][0].AsText(), postgresql ? "kolbi_pw" : "0");
}

KOLBI_ON_BOTH_DATABASES(DBConnectTest);

// A failing open: one log entry naming the procedure and what could not be
// opened (no part of a password, even one holding ";", "}" and "="),
// DBConnected False, and the end with status 1.
TEST(DBConnectFailureTest, EndsTheProgramWithOneLogLine) {
    const struct {
        std::string dsn;
        bool postgresql;
        std::vector<std::string> said;
    } cases[] = {
        {"kolbi_nowhere",
         false,
         {"Error No: -2147467259, Error Description: ", "kolbi_nowhere", "IM002"}},
        {"  ", false, {"Driver={SQL Server};Server=127.0.0.1;Database=Kolbi;Uid=pump;Pwd=***"}},
        {"kolbi_pg_down", true, {"DSN=kolbi_pg_down", "No such file or directory"}},
        {"kolbi_pg_badpw", true, {"DSN=kolbi_pg_badpw", "password authentication failed"}},
    };
    for (const auto& c : cases) {
        if (c.postgresql &&
            (testing::PostgreSqlSwitchedOff() || !testing::PostgreSqlUnavailable().empty())) {
            continue;  // the database tests report PostgreSQL's absence
        }
        testing::PumpEnvironment pump;
        Settings().DsnEntry = c.dsn;
        Settings().SQLSERVER = "127.0.0.1";
        Settings().Database = "Kolbi";
        Settings().SQLUser = "pump";
        Settings().SQLPass = "s3;cr}et=";
        if (c.postgresql) testing::AddDataSource(c.dsn, testing::ScratchDataSource(c.dsn));
        EXPECT_EQ(ExitStatusOf(DBConnect), kExitFailure) << c.dsn;
        EXPECT_FALSE(DBConnected());
        const std::vector<std::string> errors = pump.LogLines();
        ASSERT_EQ(errors.size(), 1u) << c.dsn;
        EXPECT_THAT(errors[0], HasSubstr(", in procedure DBConnect of Module ModALERT"));
        EXPECT_THAT(errors[0], AllOf(Not(HasSubstr("s3")), Not(HasSubstr("cr}"))));
        for (const std::string& part : c.said) EXPECT_THAT(errors[0], HasSubstr(part)) << c.dsn;
        CloseAndReleaseDBConnection();
    }
}

}  // namespace
}  // namespace kolbi
