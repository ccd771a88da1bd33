#include "report/set_transac.h"

#include <gtest/gtest.h>

#include "common/file_helpers.h"
#include "common/program_end.h"
#include "common/pump_settings.h"
#include "db/db_connect.h"
#include "db/db_test.h"
#include "log/write_log.h"

namespace kolbi {
namespace {

using testing::DbTest;

class SetTransacTest : public DbTest {
protected:
    std::vector<std::string> Row() { return db_->Rows("SELECT SIUser, SIPoste FROM Transactions"); }
};

TEST_P(SetTransacTest, InsertsIntoAnEmptyTableThenOverwritesThatRow) {
    ASSERT_TRUE(Row().empty());
    SetTransac("", "PC01");
    EXPECT_TRUE(DBConnected());  // it connected itself
    EXPECT_EQ(Row(), std::vector<std::string>{"|PC01"});
    SetTransac("", "Z\u00FCrich-PC");
    EXPECT_EQ(db_->connection().Query(SqlText("SELECT SIPoste FROM Transactions")).rows[0][0],
              Value::Utf8("Z\u00FCrich-PC"));
    SetTransac("", "");
    EXPECT_EQ(Row(), std::vector<std::string>{"|"});
    EXPECT_TRUE(LogErrors().empty());
}

// The table cannot be opened: that failure is reported and the next step
// meets a closed record set, an error on which the log ends the program.
TEST_P(SetTransacTest, AMissingTableEndsTheProgramAfterTwoReports) {
    DBConnect();
    db_->Run("DROP TABLE Transactions");
    try {
        SetTransac("", "PC01");
        ADD_FAILURE() << "the program went on";
    } catch (const ProgramEnded& ended) {
        EXPECT_EQ(ended.exit_status, kExitFailure);
    }
    std::vector<std::string> errors = LogErrors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[0].find("SELECT * from Transactions"), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find("in procedure SetTransac of Module ModSI"), std::string::npos);
    EXPECT_NE(errors[1].find("Error No: 3704"), std::string::npos) << errors[1];
}

TEST_P(SetTransacTest, WithLoggingOffEveryStepFailsQuietlyAndItReturns) {
    DBConnect();
    db_->Run("DROP TABLE Transactions");
    Settings().LogErrors = false;
    SetTransac("", "PC01");
    EXPECT_FALSE(FileExists(TodaysLogPath()));
}

// A column the table lacks: that write is reported, the others still happen.
TEST_P(SetTransacTest, AMissingColumnIsReportedAndTheRestIsWritten) {
    DBConnect();
    db_->Run("DROP TABLE Transactions");
    db_->Run("CREATE TABLE Transactions (SIUser VARCHAR(20))");
    SetTransac("", "PC01");
    std::vector<std::string> errors = LogErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Error No: 3265"), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find("SIPoste"), std::string::npos);
    EXPECT_EQ(db_->Rows("SELECT SIUser FROM Transactions"), std::vector<std::string>{""});
}

KOLBI_ON_BOTH_DATABASES(SetTransacTest);

}  // namespace
}  // namespace kolbi
