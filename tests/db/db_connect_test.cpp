#include "db/db_connect.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/file_helpers.h"
#include "common/pending_events.h"
#include "common/pump_settings.h"
#include "common/status_text.h"
#include "db/db_test.h"
#include "log/write_log.h"

namespace kolbi {
namespace {

using testing::Backend;
using testing::DbTest;

class DBConnectTest : public DbTest {
protected:
    void TearDown() override {
        SetPendingEventsHandler(nullptr);
        DbTest::TearDown();
    }
};

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
    EXPECT_EQ(StatusText(), "");
    EXPECT_GE(yields, 1);
    // The activity row was blanked before events ran.
    EXPECT_EQ(rows_at_yield, std::vector<std::string>{"|"});
    EXPECT_TRUE(LogErrors().empty());

    // Connected already: nothing at all happens.
    db_->Run("UPDATE Transactions SET SIPoste = 'PC10'");
    yields = 0;
    SetStatusText("busy");
    DBConnect();
    EXPECT_EQ(yields, 0);
    EXPECT_EQ(StatusText(), "busy");
    EXPECT_EQ(db_->Rows("SELECT SIUser, SIPoste FROM Transactions"),
              std::vector<std::string>{"|PC10"});
}

TEST_P(DBConnectTest, TheCycleClosesAndReleasesTheConnection) {
    DBConnect();
    CloseDBConnection();
    EXPECT_FALSE(DBConnected());
    EXPECT_FALSE(DBConnection().IsOpen());
    DBConnect();  // the same object opens again
    EXPECT_TRUE(DBConnection().IsOpen());
    CloseAndReleaseDBConnection();
    EXPECT_FALSE(DBConnected());
    // A fresh object: it has not even a connection string yet.
    EXPECT_EQ(DBConnection().ConnectionString(), "");
    CloseDBConnection();  // closing what is closed does nothing
}

KOLBI_ON_BOTH_DATABASES(DBConnectTest);

// The failing open: one log entry naming the procedure and what could not be
// opened, DBConnected False, and the program's end with status 1.
class DBConnectFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAppFolderForTesting(app_.path(), "pump");
        Settings() = PumpSettings{};
        Settings().AppFolder = app_.path();
        Settings().SqlDateFormat = "DD-MM-YYYY";
        Settings().LogErrors = true;
    }
    void TearDown() override { CloseAndReleaseDBConnection(); }

    // Runs DBConnect, which must end the program; returns the error lines logged.
    std::vector<std::string> EndsTheProgram() {
        ScopedProgramEndTrap trap;
        try {
            DBConnect();
            ADD_FAILURE() << "DBConnect did not end the program";
        } catch (const ProgramEnded& ended) {
            EXPECT_EQ(ended.exit_status, kExitFailure);
        }
        EXPECT_FALSE(DBConnected());
        std::vector<std::string> lines;
        std::string log = app_.Read(std::filesystem::path(TodaysLogPath()).filename());
        std::size_t pos = 0;
        while ((pos = log.find("Error      ", pos)) != std::string::npos) {
            std::size_t end = log.find("\r\n", pos);
            lines.push_back(log.substr(pos, end - pos));
            pos = end;
        }
        return lines;
    }

    testing::TempFolder app_;
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(DBConnectFailureTest, AMissingDataSource) {
    Settings().DsnEntry = "kolbi_nowhere";
    std::vector<std::string> errors = EndsTheProgram();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(Contains(errors[0], "Error No: -2147467259, Error Description: "));
    EXPECT_TRUE(Contains(errors[0], "kolbi_nowhere"));
    EXPECT_TRUE(Contains(errors[0], "IM002"));
    EXPECT_TRUE(Contains(errors[0], ", in procedure DBConnect of Module ModALERT"));
}

TEST_F(DBConnectFailureTest, TheDriverFormNamesTheServerButNotThePassword) {
    Settings().DsnEntry = "  ";
    Settings().SQLSERVER = "127.0.0.1";
    Settings().Database = "Kolbi";
    Settings().SQLUser = "pump";
    Settings().SQLPass = "s3cret";
    std::vector<std::string> errors = EndsTheProgram();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(
        Contains(errors[0], "Driver={SQL Server};Server=127.0.0.1;Database=Kolbi;Uid=pump;Pwd=***"))
        << errors[0];
    EXPECT_FALSE(Contains(errors[0], "s3cret"));
}

TEST_F(DBConnectFailureTest, WithLoggingOffTheProgramStillEnds) {
    Settings().LogErrors = false;
    Settings().DsnEntry = "kolbi_nowhere";
    EXPECT_TRUE(EndsTheProgram().empty());
    EXPECT_FALSE(FileExists(TodaysLogPath()));
}

// A server that is not there and a password it refuses, for real.
TEST_F(DBConnectFailureTest, AServerThatIsDownOrRefusesTheLogin) {
    KOLBI_REQUIRE_POSTGRESQL();
    struct Case {
        std::string dsn;
        std::string reason;
    } cases[] = {
        {"kolbi_pg_down", "No such file or directory"},
        {"kolbi_pg_badpw", "password authentication failed"},
    };
    for (const Case& c : cases) {
        std::map<std::string, std::string> source = testing::ScratchDataSource(c.dsn);
        ASSERT_FALSE(source.empty()) << c.dsn;
        testing::AddDataSource(c.dsn, source);
        std::filesystem::remove(TodaysLogPath());
        Settings().DsnEntry = c.dsn;
        std::vector<std::string> errors = EndsTheProgram();
        ASSERT_EQ(errors.size(), 1u) << c.dsn;
        EXPECT_TRUE(Contains(errors[0], "DSN=" + c.dsn)) << errors[0];
        EXPECT_TRUE(Contains(errors[0], c.reason)) << errors[0];
        EXPECT_TRUE(Contains(errors[0], "in procedure DBConnect of Module ModALERT"));
        CloseAndReleaseDBConnection();
    }
}

}  // namespace
}  // namespace kolbi
