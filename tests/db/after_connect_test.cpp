#include <gtest/gtest.h>

#include "common/pending_events.h"
#include "db/db_connect.h"
#include "db/db_error.h"
#include "db/db_test.h"

namespace kolbi {
namespace {

using testing::DbTest;

class AfterConnectTest : public DbTest {
protected:
    void TearDown() override {
        SetPendingEventsHandler(nullptr);
        DbTest::TearDown();
    }
};

// The step the report layer installs runs right after the open and before
// events, inside DBConnect's own failure handler: a failure there is
// DBConnect's, and ends the program after one report.
TEST_P(AfterConnectTest, RunsAfterTheOpenInsideDBConnectsFailureHandler) {
    std::vector<std::string> order;
    SetAfterConnect([&] {
        order.push_back(DBConnection().IsOpen() ? "after the open" : "before the open");
        throw RuntimeError(dberr::kItemNotFound, "no field SIPoste");
    });
    SetPendingEventsHandler([&] { order.push_back("events"); });
    EXPECT_THROW(DBConnect(), ProgramEnded);
    EXPECT_EQ(order, std::vector<std::string>{"after the open"});
    EXPECT_FALSE(DBConnected());
    std::vector<std::string> errors = pump_.LogLines();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Error No: 3265, Error Description: no field SIPoste, in procedure "
                             "DBConnect of Module ModALERT"),
              std::string::npos)
        << errors[0];
}

INSTANTIATE_TEST_SUITE_P(Sqlite, AfterConnectTest, ::testing::Values(testing::Backend::kSqlite),
                         testing::BackendTestName);

}  // namespace
}  // namespace kolbi
