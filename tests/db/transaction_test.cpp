// Transactions of a connection.
#include <gtest/gtest.h>

#include <cstdio>
#include <future>

#include "db/db_test.h"
#include "db/statement_trace.h"

namespace kolbi {
namespace {

using testing::ErrorOf;
using testing::SqlForTests;

class TransactionTest : public testing::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (!db_) return;
        pumps_.SetConnectionString("DSN=" + db_->dsn());
        pumps_.Open();
    }
    void Link(int product) {
        pumps_.Execute(SqlText("INSERT INTO PosteSoftware VALUES (1, ").Number(product).Add(")"));
    }
    // What another session sees.
    std::vector<std::string> Links() {
        return db_->Rows("SELECT PosteSoft_ProductID FROM PosteSoftware ORDER BY 1");
    }
    Connection pumps_;
};

// Others see the work only once committed; each failing statement costs
// itself alone, read or write, before or after the first write.
TEST_P(TransactionTest, OthersSeeTheWorkOnceCommittedWhateverFailedInIt) {
    const SqlText missing_table = SqlForTests::Statement("SELECT * FROM NoSuchTable");
    pumps_.BeginTransaction();
    EXPECT_TRUE(pumps_.InTransaction());
    EXPECT_THROW(pumps_.Query(missing_table), RuntimeError);  // before any write
    Link(1);
    EXPECT_THROW(pumps_.Execute(SqlForTests::Statement("INSERT INTO NoSuchTable VALUES (1)")),
                 RuntimeError);  // after one
    Link(2);
    EXPECT_THROW(pumps_.Query(missing_table), RuntimeError);
    EXPECT_THROW(pumps_.Query(missing_table), RuntimeError);
    Link(3);
    EXPECT_TRUE(Links().empty());
    pumps_.CommitTransaction();
    EXPECT_EQ(Links(), (std::vector<std::string>{"1", "2", "3"}));

    pumps_.BeginTransaction();
    Link(4);
    pumps_.RollbackTransaction();
    pumps_.BeginTransaction();
    Link(5);
    pumps_.Close();  // an open transaction goes with the connection
    EXPECT_FALSE(pumps_.InTransaction());
    EXPECT_EQ(Links(), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_THROW(pumps_.BeginTransaction(), RuntimeError);  // closed
}

class PostgreSqlTransactionTest : public TransactionTest {};

// PostgreSQL: the activity row's writes, outside transactions, do not wait
// for the disk; a report's transaction waits as the server is configured to.
TEST_P(PostgreSqlTransactionTest, OnlyTransactionsWaitForTheDisk) {
    db_->Run(
        "DO $$ BEGIN EXECUTE format('ALTER DATABASE %I SET synchronous_commit TO "
        "remote_write', current_database()); END $$");
    pumps_.Close();
    pumps_.Open();
    const SqlText show = SqlForTests::Statement("SHOW synchronous_commit");
    EXPECT_EQ(pumps_.QueryDirect(show).rows.at(0).at(0).AsText(), "off");
    pumps_.BeginTransaction();
    EXPECT_EQ(pumps_.QueryDirect(show).rows.at(0).at(0).AsText(), "remote_write");
    pumps_.CommitTransaction();
    EXPECT_EQ(pumps_.QueryDirect(show).rows.at(0).at(0).AsText(), "off");
}

// PostgreSQL: writes cost no savepoint of their own; after a failure the
// ones since the last savepoint are sent again, and a write whose identity
// was read (Repeat::kNever) is never sent twice, so the identity stays.
TEST_P(PostgreSqlTransactionTest, WritesCostNoSavepointAndAnIdentityReadStays) {
    int savepoints = 0;
    ObserveStatements([&](std::string_view sent) {
        if (sent.find("SAVEPOINT kolbi_write") != std::string_view::npos &&
            sent.find("ROLLBACK") == std::string_view::npos) {
            ++savepoints;
        }
    });
    pumps_.BeginTransaction();
    Link(1);
    Link(2);
    EXPECT_EQ(savepoints, 0);
    pumps_.Execute(SqlForTests::Statement("INSERT INTO Changement (Changement_Poste) VALUES ('x')"),
                   Connection::Repeat::kNever);
    EXPECT_EQ(savepoints, 1);
    const SqlText ids = SqlForTests::Statement("SELECT Changement_ID FROM Changement");
    const std::string id = pumps_.Query(ids).rows.at(0).at(0).AsText();
    Link(3);
    EXPECT_THROW(pumps_.Query(SqlForTests::Statement("SELECT * FROM NoSuchTable")), RuntimeError);
    Link(4);
    pumps_.CommitTransaction();
    ObserveStatements(nullptr);
    EXPECT_EQ(Links(), (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(db_->Rows("SELECT Changement_ID FROM Changement"), std::vector<std::string>{id});
}

// PostgreSQL: two sessions that wait for each other in a circle. The
// server rolls one back; that one is given up whole, as going back to a
// savepoint would apply its work without the statement that failed: nothing
// more is sent in it and its commit fails, with a number that leaves the
// program running. The other session goes on at once, and the victim's
// connection serves the next transaction.
TEST_P(PostgreSqlTransactionTest, ADeadlocksVictimIsGivenUpWhole) {
    Link(1);
    Link(2);
    Connection other;
    other.SetConnectionString("DSN=" + db_->dsn());
    other.Open();
    auto relink = [](Connection& session, int from, int to) {
        return ErrorOf([&] {
            session.Execute(SqlForTests::Statement(
                "UPDATE PosteSoftware SET PosteSoft_ProductID = " + std::to_string(to) +
                " WHERE PosteSoft_ProductID = " + std::to_string(from)));
        });
    };
    pumps_.BeginTransaction();
    other.BeginTransaction();
    ASSERT_EQ(relink(pumps_, 1, 11).number(), 0);
    ASSERT_EQ(relink(other, 2, 12).number(), 0);
    std::future<RuntimeError> others = std::async(std::launch::async, [&] {
        return relink(other, 1, 21);
    });
    const RuntimeError ours = relink(pumps_, 2, 22);
    const RuntimeError theirs = others.get();
    ASSERT_NE(ours.number() == 0, theirs.number() == 0) << ours.description() << theirs.description();
    const bool we_lost = ours.number() != 0;
    Connection& victim = we_lost ? pumps_ : other;
    Connection& survivor = we_lost ? other : pumps_;
    EXPECT_EQ((we_lost ? ours : theirs).number(), dberr::kTransactionRolledBack);
    EXPECT_TRUE(victim.TransactionRolledBack());
    EXPECT_FALSE(survivor.TransactionRolledBack());
    EXPECT_EQ(relink(victim, 11, 31).number(), dberr::kTransactionRolledBack);

    survivor.CommitTransaction();
    EXPECT_EQ(ErrorOf([&] { victim.CommitTransaction(); }).number(),
              dberr::kTransactionRolledBack);
    EXPECT_FALSE(victim.InTransaction());
    EXPECT_EQ(Links(), (we_lost ? std::vector<std::string>{"12", "21"}
                                : std::vector<std::string>{"11", "22"}));
    victim.BeginTransaction();
    EXPECT_EQ(relink(victim, we_lost ? 12 : 11, 5).number(), 0);
    victim.CommitTransaction();
    EXPECT_EQ(Links().at(0), "5");
}

// The trace the pipeline benchmark replays: statements with their values
// (a name looked up by its key), and the transactions, in the order sent.
TEST_P(TransactionTest, TheTraceHoldsWhatWasSent) {
    testing::TempFolder folder;
    std::FILE* file = std::fopen((folder / "trace").c_str(), "w");
    ASSERT_NE(file, nullptr);
    TraceStatementsTo(file);
    pumps_.BeginTransaction();
    pumps_.Query(SqlText("SELECT * FROM Postes WHERE Poste_Nom = ").QuotedUtf8("O'Brien"));
    pumps_.CommitTransaction();
    TraceStatementsTo(nullptr);
    std::fclose(file);
    const std::string trace = folder.Read("trace");
    const std::string select =
        "S 44 1\nSELECT * FROM Postes WHERE Poste_Nom_Key = ?\nP 1 12 7 0 7\no'brien\n";
    const bool sqlite = GetParam() == testing::Backend::kSqlite;
    EXPECT_LT(trace.find(sqlite ? "S 15 0\nBEGIN IMMEDIATE\n" : "T begin\n"), trace.find(select))
        << trace;
    EXPECT_NE(trace.find(select), std::string::npos) << trace;
    EXPECT_NE(trace.find(sqlite ? "S 6 0\nCOMMIT\n" : "T commit\n"), std::string::npos) << trace;
}

KOLBI_ON_BOTH_DATABASES(TransactionTest);
INSTANTIATE_TEST_SUITE_P(Databases, PostgreSqlTransactionTest,
                         ::testing::Values(testing::Backend::kPostgreSql),
                         [](const auto& test) { return testing::BackendName(test.param); });

}  // namespace
}  // namespace kolbi
