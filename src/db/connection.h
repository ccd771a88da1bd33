#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/db_error.h"
#include "db/sql_text.h"
#include "db/value.h"

namespace kolbi {

// A column of a result as the driver describes it.
struct ColumnInfo {
    std::string name;         // the label of the result column
    std::string base_table;   // the table it comes from, spelled as the database does; "" unknown
    std::string base_column;  // its name in that table; "" unknown
    int sql_type = 0;         // the ODBC SQL type
};

// All rows of a query, read at once. The columns are shared with the
// prepared statement that gave them (described once for all its runs).
struct ResultSet {
    std::shared_ptr<const std::vector<ColumnInfo>> columns;
    std::vector<std::vector<Value>> rows;
};

// One ODBC connection: the only code that talks to the driver manager. Every
// ODBC call goes through one checked function, which on failure reads the
// diagnostics once and raises a RuntimeError carrying the number the failure
// maps to (ErrorNumberFor), the SQLSTATE, the native code and a description
// that names the connection string or the SQL text.
//
// Statements are prepared once per Sent() text and kept for reuse while the
// connection is open: the pump runs the same few shapes thousands of times.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The connection string as the program built it (see connection_string.h).
    void SetConnectionString(std::string connection_string);
    const std::string& ConnectionString() const;

    // Opens the connection with the ODBC form of ConnectionString(). Fails with
    // 3705 when already open, and with -2147467259 (and the driver's SQLSTATE)
    // when the driver manager or the database refuses; the description names
    // the connection string, its password hidden.
    void Open();
    // Closes the connection and forgets its prepared statements; an open
    // transaction is rolled back. Never fails: a connection whose server has
    // gone away is simply dropped.
    void Close();
    bool IsOpen() const;

    // What the driver reports as SQL_DBMS_NAME, and the DBMS it names.
    const std::string& DbmsName() const;
    Dbms dbms() const;

    // Runs a statement that returns rows and reads all of them.
    ResultSet Query(const SqlText& sql);
    // The same without preparing: for statements run once, whose answer must
    // reflect the tables as they are now (a driver may keep the columns a
    // prepared statement had when it was prepared).
    ResultSet QueryDirect(const SqlText& sql);
    // What becomes of a write when a later statement of its transaction fails
    // (see BeginTransaction).
    enum class Repeat {
        kSafe,   // sent again, it has the same effect: it may be
        kNever,  // the database chose values the program reads back (an identity)
    };
    // The writes made so far must never be sent again: the program is about
    // to read values the database chose for them (see Repeat::kNever).
    void KeepWrites();
    // Runs a statement that returns no rows; the number of rows it changed, or
    // -1 when the driver cannot tell.
    std::int64_t Execute(const SqlText& sql, Repeat repeat = Repeat::kSafe);
    // The same without preparing: for statements run once, such as DDL,
    // which not every driver can prepare, or of a shape that seldom comes again.
    std::int64_t ExecuteDirect(const SqlText& sql, Repeat repeat = Repeat::kSafe);

    // Makes the statements that follow one transaction, until
    // CommitTransaction or RollbackTransaction; 3705 when one is open already.
    // On SQLite it takes the database's write lock at once (BEGIN IMMEDIATE,
    // waiting for another writer as long as the data source's Timeout), so it
    // never fails halfway because another program wrote between its reads.
    // A statement that fails inside undoes its own changes only and the
    // others stand: SQLite aborts just the statement. PostgreSQL would refuse
    // everything after a failure: the connection then goes back to its last
    // savepoint and sends again the writes made since, which it keeps for
    // that. It moves the savepoint only past writes that must never be sent
    // twice (Repeat::kNever, KeepWrites), so writes cost no exchange of their own.
    void BeginTransaction();
    // Ends the open transaction, if any (nothing otherwise). A failed commit
    // leaves no transaction open either.
    void CommitTransaction();
    void RollbackTransaction();
    bool InTransaction() const;
    // The server rolled the open transaction back on its own (a deadlock's
    // victim, a serialisation failure, error dberr::kTransactionRolledBack):
    // every statement until it is ended fails unsent, and so does its commit.
    bool TransactionRolledBack() const;

    // The primary-key columns of a table (name as the database spells it),
    // empty when it has none; asked once per table and connection.
    const std::vector<std::string>& PrimaryKey(const std::string& table);
    // The columns the driver names as the best row identifier of a table
    // (a unique index without a primary key, SQLite's rowid...); may be empty.
    const std::vector<std::string>& BestRowIdentifier(const std::string& table);
    // A table or column name quoted for this database ("name", [name]...).
    std::string QuoteIdentifier(std::string_view name) const;
    // An unquoted name as the database stores it (PostgreSQL folds to lower case).
    std::string FoldIdentifier(std::string_view name) const;

    // Statement reuse is on by default; off, every statement is sent with
    // SQLExecDirect. Benchmarks compare the two.
    void SetStatementReuse(bool on);
    // Statements prepared since the connection was opened.
    std::int64_t PreparedCount() const;

private:
    ResultSet QueryImpl(const SqlText& sql, bool direct);
    std::int64_t ExecuteImpl(const SqlText& sql, bool direct, Repeat repeat);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kolbi
