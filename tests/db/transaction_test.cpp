// Transactions of a connection: what other sessions see, and statements that
// fail inside one, read or write, before or after the first write.
#include <gtest/gtest.h>

#include <cstdio>

#include "db/db_test.h"
#include "db/statement_trace.h"

namespace kolbi {
namespace {

using testing::DbTest;
using testing::SqlForTests;

class TransactionTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (!db_) return;
        pump_.SetConnectionString("DSN=" + db_->dsn());
        pump_.Open();
    }
    void Link(int product) {
        pump_.Execute(SqlText("INSERT INTO PosteSoftware (PosteSoft_PosteID, PosteSoft_ProductID) ")
                          .Add("VALUES (1, ")
                          .Number(product)
                          .Add(")"));
    }
    // What another session sees.
    std::vector<std::string> Links() {
        return db_->Rows("SELECT PosteSoft_ProductID FROM PosteSoftware ORDER BY 1");
    }
    Connection pump_;
};

TEST_P(TransactionTest, OthersSeeTheWorkOnlyOnceCommitted) {
    pump_.BeginTransaction();
    EXPECT_TRUE(pump_.InTransaction());
    Link(1);
    EXPECT_TRUE(Links().empty());
    pump_.CommitTransaction();
    EXPECT_EQ(Links(), std::vector<std::string>{"1"});

    pump_.BeginTransaction();
    Link(2);
    pump_.RollbackTransaction();
    pump_.BeginTransaction();
    Link(3);
    pump_.Close();  // an open transaction goes with the connection
    EXPECT_FALSE(pump_.InTransaction());
    EXPECT_EQ(Links(), std::vector<std::string>{"1"});
    EXPECT_THROW(pump_.BeginTransaction(), RuntimeError);  // closed
}

// PostgreSQL: the activity row's writes, outside transactions, do not wait
// for the disk; a report's transaction waits as the server is configured to.
TEST_P(TransactionTest, OnPostgreSqlOnlyTransactionsWaitForTheDisk) {
    if (GetParam() != testing::Backend::kPostgreSql) GTEST_SKIP() << "PostgreSQL only";
    db_->Run("DO $$ BEGIN EXECUTE format('ALTER DATABASE %I SET synchronous_commit TO "
             "remote_write', current_database()); END $$");
    pump_.Close();
    pump_.Open();
    const SqlText show = SqlForTests::Statement("SHOW synchronous_commit");
    EXPECT_EQ(pump_.QueryDirect(show).rows.at(0).at(0).AsText(), "off");
    pump_.BeginTransaction();
    EXPECT_EQ(pump_.QueryDirect(show).rows.at(0).at(0).AsText(), "remote_write");
    pump_.CommitTransaction();
    EXPECT_EQ(pump_.QueryDirect(show).rows.at(0).at(0).AsText(), "off");
}

// Each failing statement costs itself alone, whatever came before it.
TEST_P(TransactionTest, AFailedStatementLeavesTheOthersStanding) {
    const SqlText missing_table = SqlForTests::Statement("SELECT * FROM NoSuchTable");
    const SqlText bad_insert = SqlForTests::Statement("INSERT INTO NoSuchTable VALUES (1)");
    pump_.BeginTransaction();
    EXPECT_THROW(pump_.Query(missing_table), RuntimeError);  // before any write
    Link(1);
    EXPECT_THROW(pump_.Execute(bad_insert), RuntimeError);  // after one
    Link(2);
    EXPECT_THROW(pump_.Query(missing_table), RuntimeError);
    EXPECT_THROW(pump_.Query(missing_table), RuntimeError);
    Link(3);
    pump_.CommitTransaction();
    EXPECT_EQ(Links(), (std::vector<std::string>{"1", "2", "3"}));
}

// The trace the pipeline benchmark replays: statements with their values,
// and the transactions, in the order sent.
TEST_P(TransactionTest, TheTraceHoldsWhatWasSent) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    TraceStatementsTo(file);
    pump_.BeginTransaction();
    pump_.Query(SqlText("SELECT * FROM Postes WHERE Poste_Nom = ").QuotedUtf8("O'Brien"));
    pump_.CommitTransaction();
    TraceStatementsTo(nullptr);
    std::rewind(file);
    std::string trace;
    for (int c; (c = std::fgetc(file)) != EOF;) trace.push_back(static_cast<char>(c));
    std::fclose(file);
    const std::string select =
        "S 40 1\nSELECT * FROM Postes WHERE Poste_Nom = ?\nP 1 12 7 0 7\nO'Brien\n";
    EXPECT_NE(trace.find(select), std::string::npos) << trace;
    const bool sqlite = GetParam() == testing::Backend::kSqlite;
    EXPECT_LT(trace.find(sqlite ? "S 15 0\nBEGIN IMMEDIATE\n" : "T begin\n"), trace.find(select))
        << trace;
    EXPECT_NE(trace.find(sqlite ? "S 6 0\nCOMMIT\n" : "T commit\n"), std::string::npos) << trace;
}

KOLBI_ON_BOTH_DATABASES(TransactionTest);

}  // namespace
}  // namespace kolbi
