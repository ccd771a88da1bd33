// A report's database work is one transaction: a statement that fails inside
// it costs that statement alone, and a pump that ends in the middle of a
// report leaves nothing of that report, on both databases.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "common/clock.h"
#include "common/pending_events.h"
#include "common/program_end.h"
#include "common/pump_settings.h"
#include "db/db_connect.h"
#include "db/db_test.h"
#include "report/do_log.h"
#include "ui/form1.h"

namespace kolbi {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::Backend;
using testing::DbTest;

// Three products, catalogued in this order: identifiers 1, 2 and 3.
const char kReport[] =
    "A!Editor!Editor Pro!4, 0!(c) 1999 Acme Corp.\r\n"
    "A!Viewer!Viewer Plus!2.1!Copyright 2003 Beta Inc.\r\n"
    "A!Mailer!Mailer!7!(c) Gamma\r\n";
// A workstation that has a product of its own besides those.
const char kLaterReport[] =
    "A!Tool!New Tool!1!(c) Delta\r\n"
    "A!Editor!Editor Pro!4, 0!(c) 1999 Acme Corp.\r\n";

class ReportTransactionTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (HasFatalFailure() || IsSkipped()) return;
        Settings().incomingFilesPath = incoming_.path();
        Settings().IncomingFolder = incoming_.path();
        std::filesystem::create_directory(incoming_ / "incoming");
        form_.lfLog.SetPath(incoming_ / "incoming");
    }
    void TearDown() override {
        SetPendingEventsHandler(nullptr);
        DbTest::TearDown();
    }

    void Waiting(const std::string& name, const char* report = kReport) {
        incoming_.Write("incoming/" + name, report);
    }

    // Calls action as soon as the pass has catalogued both products of the
    // second report (after all three of the first), before it links them.
    void InTheMiddleOfTheSecondReport(void (*action)()) {
        SetPendingEventsHandler([this, action, armed = false]() mutable {
            const int catalogued = form_.lstLogProd.ListCount();
            if (catalogued == 3) armed = true;
            if (armed && catalogued == 2) action();
        });
    }

    // What another session sees of each workstation: its links.
    std::vector<std::string> Links() {
        return db_->Rows(
            "SELECT p.Poste_Nom, l.PosteSoft_ProductID FROM Postes p "
            "LEFT JOIN PosteSoftware l ON l.PosteSoft_PosteID = p.PosteID "
            "ORDER BY p.Poste_Nom, l.PosteSoft_ProductID");
    }

    FakeClock clock_;
    ScopedClock scoped_clock_{clock_};
    testing::TempFolder incoming_;
    Form1 form_;
};

// The database refuses one link in the middle of the report: that failure is
// logged once, and the links before and after it, the workstation and the
// catalogue are all committed. (PostgreSQL would refuse every later statement
// of the transaction if the driver did not roll back to a savepoint.)
TEST_P(ReportTransactionTest, AStatementThatFailsCostsItselfAlone) {
    if (GetParam() == Backend::kSqlite) {
        db_->Run("CREATE TRIGGER refuse_link BEFORE INSERT ON PosteSoftware "
                 "WHEN NEW.PosteSoft_ProductID = 2 BEGIN SELECT RAISE(ABORT, 'refused'); END");
    } else {
        db_->Run("CREATE FUNCTION refuse_link() RETURNS trigger AS $$ BEGIN "
                 "IF NEW.PosteSoft_ProductID = 2 THEN "
                 "RAISE EXCEPTION 'refused' USING ERRCODE = 'check_violation'; END IF; "
                 "RETURN NEW; END $$ LANGUAGE plpgsql");
        db_->Run("CREATE TRIGGER refuse_link BEFORE INSERT ON PosteSoftware "
                 "FOR EACH ROW EXECUTE FUNCTION refuse_link()");
    }
    Waiting("PC1_1.SILog");
    Waiting("PC2_1.SILog");
    Do_Log(form_);

    const std::vector<std::string> errors = pump_.LogLines();
    ASSERT_EQ(errors.size(), 2u);  // one per report
    for (const std::string& error : errors) {
        EXPECT_THAT(error, HasSubstr("in procedure SaveNewPoste of Module ModSI"));
    }
    EXPECT_THAT(Links(), ElementsAre("PC1|1", "PC1|3", "PC2|1", "PC2|3"));
    EXPECT_EQ(db_->Rows("SELECT COUNT(*) FROM SoftProduct"), std::vector<std::string>{"3"});
    EXPECT_FALSE(DBConnection().InTransaction());
    EXPECT_TRUE(form_.Timer1.Enabled());
}

// The program ends while the second report is being catalogued (its
// workstation row and a new product written): the first report stands
// whole, nothing of the second is in the database, and the activity row
// still names the workstation the program was working on.
TEST_P(ReportTransactionTest, AnEndInTheMiddleOfAReportLeavesNothingOfIt) {
    Waiting("PC1_1.SILog");
    Waiting("PC2_1.SILog", kLaterReport);
    InTheMiddleOfTheSecondReport([] { EndProgram(kExitFailure); });
    EXPECT_THROW(Do_Log(form_), ProgramEnded);

    EXPECT_THAT(Links(), ElementsAre("PC1|1", "PC1|2", "PC1|3"));
    EXPECT_EQ(db_->Rows("SELECT COUNT(*) FROM SoftProduct"), std::vector<std::string>{"3"});
    EXPECT_THAT(db_->Rows("SELECT SIPoste FROM Transactions"), ElementsAre("PC2"));
    EXPECT_FALSE(DBConnection().InTransaction());
    EXPECT_TRUE(pump_.LogLines().empty());
}

// The same with the process killed outright: the database itself drops what
// the report had written.
TEST_P(ReportTransactionTest, AKilledPumpLeavesNothingOfTheReportInHand) {
    GTEST_FLAG_SET(death_test_style, "fast");
    Waiting("PC1_1.SILog");
    Waiting("PC2_1.SILog", kLaterReport);
    InTheMiddleOfTheSecondReport([] { std::raise(SIGKILL); });
    EXPECT_EXIT(Do_Log(form_), ::testing::KilledBySignal(SIGKILL), "");

    EXPECT_THAT(Links(), ElementsAre("PC1|1", "PC1|2", "PC1|3"));
    EXPECT_EQ(db_->Rows("SELECT COUNT(*) FROM SoftProduct"), std::vector<std::string>{"3"});
}

KOLBI_ON_BOTH_DATABASES(ReportTransactionTest);

}  // namespace
}  // namespace kolbi
