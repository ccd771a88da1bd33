#include "report/set_transac.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "db/db_test.h"

namespace kolbi {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

using SetTransacTest = testing::DbTest;

// The table cannot be opened: that failure is reported and the next step
// meets a closed record set, an error on which the log ends the program. A
// column the table lacks costs that write alone.
TEST_P(SetTransacTest, AMissingTableEndsTheProgramAMissingColumnOnlyItsWrite) {
    DBConnect();
    db_->Run("DROP TABLE Transactions");
    EXPECT_EQ(testing::ExitStatusOf([] { SetTransac("", "PC01"); }), kExitFailure);
    EXPECT_THAT(pump_.LogLines(),
                ElementsAre(AllOf(HasSubstr("SELECT * from Transactions"),
                                  HasSubstr("in procedure SetTransac of Module ModSI")),
                            HasSubstr("Error No: 3704")));
    std::filesystem::remove(TodaysLogPath());
    db_->Run("CREATE TABLE Transactions (SIUser VARCHAR(20))");
    SetTransac("", "PC01");
    EXPECT_THAT(pump_.LogLines(),
                ElementsAre(AllOf(HasSubstr("Error No: 3265"), HasSubstr("SIPoste"))));
    EXPECT_THAT(db_->Rows("SELECT SIUser FROM Transactions"), ElementsAre(""));
}

KOLBI_ON_BOTH_DATABASES(SetTransacTest);

}  // namespace
}  // namespace kolbi
