#include "db/connection.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <optional>
#include <set>

#include "common/cp1252.h"
#include "db/column_value.h"
#include "db/connection_string.h"
#include "db/odbc_check.h"
#include "db/parameter_binding.h"
#include "db/statement_cache.h"
#include "db/statement_trace.h"

namespace kolbi {
namespace {

using odbc::Chars;
using odbc::Checked;

// Statements kept prepared per connection; the pump uses about a dozen shapes,
// the rest of the room is for tools that run many different texts.
constexpr std::size_t kStatementCacheSize = 64;

// Drivers (SQLite's among them) load the driver manager's installer library
// to read their data source and unload it when the connection goes; each
// unload loses the library's cache of odbc.ini entries, a small leak per
// connection. Held resident once, it is loaded and read once.
void KeepInstallerLibraryLoaded() {
    static void* const handle = ::dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_NODELETE);
    (void)handle;  // without it, drivers load it themselves as before
}

// The integer a pragma or a catalog call answered; -1 when there is none.
std::int64_t IntegerOf(const std::optional<std::string>& text) {
    if (!text) return -1;
    Value value = ValueFromColumnText(*text, SQL_INTEGER);
    return value.kind() == Value::Kind::kInteger ? value.integer() : -1;
}

// PostgreSQL's driver can protect every statement of a transaction with a
// savepoint of its own (its default "level of rollback on errors"), at the
// price of one more exchange with the server per statement. The connection
// protects the statements itself for less (see Impl::Protecting) and turns
// the driver's protection off; connection-string options override the data
// source's.
constexpr const char* kPostgreSqlOptions = ";Protocol=7.4-0";

// The statements of a transaction sent as SQL.
enum class TransactionStatement {
    kBegin,
    kCommit,
    kRollback,
    kSavepoint,        // the first savepoint of a transaction
    kMoveSavepoint,    // the savepoint moved up to now
    kBackToSavepoint,  // back to the savepoint, which stays
    kNoWaitOutside,    // PostgreSQL: see Impl::BeginTransaction
    kWaitInside,
};
constexpr int kTransactionStatements = 8;

std::string TransactionStatementText(TransactionStatement which, Dbms dbms) {
    switch (which) {
        case TransactionStatement::kBegin:
            // SQLite: the write lock at once (see Connection::BeginTransaction).
            return dbms == Dbms::kSqlite ? "BEGIN IMMEDIATE" : "BEGIN";
        case TransactionStatement::kCommit:
            return "COMMIT";
        case TransactionStatement::kRollback:
            return "ROLLBACK";
        case TransactionStatement::kSavepoint:
            return "SAVEPOINT kolbi_write";
        case TransactionStatement::kMoveSavepoint:
            return "RELEASE SAVEPOINT kolbi_write; SAVEPOINT kolbi_write";
        case TransactionStatement::kBackToSavepoint:
            return "ROLLBACK TO SAVEPOINT kolbi_write";
        case TransactionStatement::kNoWaitOutside:
            return "SET synchronous_commit TO off";
        case TransactionStatement::kWaitInside:
            return "SET LOCAL synchronous_commit TO DEFAULT";
    }
    return {};
}

}  // namespace

struct Connection::Impl {
    std::string connection_string;
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool open = false;
    std::string dbms_name;
    Dbms dbms = Dbms::kUnknown;
    std::string quote = "\"";
    SQLUSMALLINT identifier_case = SQL_IC_MIXED;
    bool reuse = true;
    std::int64_t prepared = 0;
    SQLHSTMT schema_version_stmt = SQL_NULL_HSTMT;
    std::int64_t schema_version = -1;
    // An open transaction; on SQLite whether its schema has been checked, on
    // PostgreSQL whether a savepoint is set, and the writes made since it (or
    // since the transaction began), to be sent again after a failure.
    bool in_transaction = false;
    bool schema_checked = false;
    bool savepoint_set = false;
    struct Write {
        SqlText sql;
        bool direct;
    };
    std::vector<Write> since_savepoint;
    bool going_back = false;
    // Why the server rolled the open transaction back on its own (see
    // AbandonTransaction); empty while it stands.
    std::string rolled_back;
    // The driver lets bound columns be read again, in any order (SQLGetData).
    bool rereads_bound_columns = false;
    // The transaction statements sent as SQL, prepared on first use.
    SQLHSTMT transaction_stmts[kTransactionStatements] = {};

    odbc::StatementCache statements{kStatementCacheSize};
    odbc::BoundParameters parameters;
    std::map<std::string, std::vector<std::string>> primary_keys;
    std::map<std::string, std::vector<std::string>> row_identifiers;

    std::string Shown() const { return HidePassword(connection_string); }

    [[noreturn]] void ThrowNotOpen(const std::string& what) const {
        throw RuntimeError(dberr::kConnectionNotUsable,
                           "The connection cannot be used to perform this operation: it is "
                           "closed (" +
                               what + ")");
    }

    template <class What>
    SQLRETURN CheckStmt(SQLRETURN rc, SQLHSTMT stmt, What&& what) {
        return Checked(rc, SQL_HANDLE_STMT, stmt, dbms, std::forward<What>(what));
    }

    template <class What>
    SQLRETURN CheckDbc(SQLRETURN rc, What&& what) {
        return Checked(rc, SQL_HANDLE_DBC, dbc, dbms, std::forward<What>(what));
    }

    SQLHSTMT NewStatement(const std::string& context) {
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        CheckDbc(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt),
                 [&] { return "Cannot prepare " + context; });
        return stmt;
    }

    // A statement prepared on its own handle, outside the cache.
    SQLHSTMT PrepareOwn(const std::string& text) {
        SQLHSTMT stmt = NewStatement(text);
        SQLRETURN rc = SQLPrepare(stmt, Chars(text), static_cast<SQLINTEGER>(text.size()));
        try {
            CheckStmt(rc, stmt, [&] { return "Cannot prepare " + text; });
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
            throw;
        }
        return stmt;
    }

    void FreeOwn(SQLHSTMT& stmt) {
        if (stmt != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        stmt = SQL_NULL_HSTMT;
    }

    // The prepared statement for a text, preparing it on first use.
    odbc::PreparedStatement& Prepared(const SqlText& sql) {
        if (odbc::PreparedStatement* found = statements.Find(sql.Sent())) return *found;
        SQLHSTMT stmt = NewStatement(sql.Text());
        SQLRETURN rc =
            SQLPrepare(stmt, Chars(sql.Sent()), static_cast<SQLINTEGER>(sql.Sent().size()));
        try {
            CheckStmt(rc, stmt, [&] { return "Cannot prepare " + sql.Text(); });
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
            throw;
        }
        ++prepared;
        return statements.Add(stmt, sql.Sent());
    }

    // SQLite's driver describes a prepared statement's columns once, when it
    // is prepared (and so do we, see PreparedStatement); after another program
    // changed the table, "SELECT *" would be read with the old columns. The
    // schema's version number says when to prepare afresh, for about the price
    // of one more step in the database. Inside a transaction it is asked once:
    // the transaction holds the write lock from its start, so nobody changes
    // the schema under it.
    void ForgetStatementsIfSqliteSchemaChanged() {
        if (dbms != Dbms::kSqlite) return;
        if (in_transaction) {
            if (schema_checked) return;
            schema_checked = true;
        }
        static const std::string pragma = "PRAGMA schema_version";
        if (schema_version_stmt == SQL_NULL_HSTMT) schema_version_stmt = PrepareOwn(pragma);
        SQLHSTMT stmt = schema_version_stmt;
        std::optional<std::string> text;
        try {
            CheckStmt(SQLExecute(stmt), stmt, [&] { return "Cannot run " + pragma; });
            if (CheckStmt(SQLFetch(stmt), stmt, [&] { return "Cannot run " + pragma; }) !=
                SQL_NO_DATA) {
                text = ReadColumn(stmt, 1, "schema_version", pragma);
            }
        } catch (...) {
            SQLFreeStmt(stmt, SQL_CLOSE);
            throw;
        }
        SQLFreeStmt(stmt, SQL_CLOSE);
        const std::int64_t version = IntegerOf(text);
        if (version != schema_version && schema_version != -1) {
            statements.Clear();
            // SQLite reloads the changed schema on the first statement that
            // reads a table, not on the pragma; until then new statements
            // would still be described with the old columns.
            static const std::string touch = "SELECT 1 FROM sqlite_master LIMIT 1";
            SQLHSTMT reload = NewStatement(touch);
            try {
                CheckStmt(
                    SQLExecDirect(reload, Chars(touch), static_cast<SQLINTEGER>(touch.size())),
                    reload, [&] { return "Cannot run " + touch; });
            } catch (const RuntimeError&) {
                // Whatever failed here fails again, and better named, in the statement itself.
            }
            SQLFreeHandle(SQL_HANDLE_STMT, reload);
        }
        schema_version = version;
    }

    template <class Consume>
    void RunPrepared(const SqlText& sql, Consume& consume) {
        ForgetStatementsIfSqliteSchemaChanged();
        odbc::PreparedStatement& statement = Prepared(sql);
        SQLHSTMT stmt = statement.handle;
        try {
            parameters.Bind(stmt, sql, dbms);
            CheckStmt(SQLExecute(stmt), stmt, [&] { return "Cannot run " + sql.Text(); });
            consume(stmt, &statement);
        } catch (...) {
            // Nothing of a failed run stays for the next: no cursor, no bindings.
            SQLFreeStmt(stmt, SQL_CLOSE);
            SQLFreeStmt(stmt, SQL_RESET_PARAMS);
            throw;
        }
        // The bindings stay: the next run of this text binds every parameter again.
        SQLFreeStmt(stmt, SQL_CLOSE);
    }

    // Runs the statement of sql and calls consume(stmt, prepared) while its
    // result is there; prepared is the cache entry, null for a direct run.
    // With reuse the statement stays prepared afterwards.
    // writes: the statement may change rows; repeat: what may become of it
    // when a later statement of the transaction fails.
    template <class Consume>
    void Run(const SqlText& sql, Consume&& consume, bool direct = false, bool writes = false,
             Repeat repeat = Repeat::kSafe) {
        if (!open) ThrowNotOpen(sql.Text());
        // SQL Server's collation compares names as the pump wants; SQLite and
        // PostgreSQL compare the keys their schemas keep (db/name_key.h).
        if (sql.ComparesNames() && (dbms == Dbms::kSqlite || dbms == Dbms::kPostgreSql)) {
            Run(sql.WithNameKeys(), consume, direct, writes, repeat);
            return;
        }
        if (!in_transaction) {
            RunOnce(sql, consume, direct);
            return;
        }
        if (!rolled_back.empty()) ThrowRolledBack("Cannot run " + sql.Text());
        try {
            RunOnce(sql, consume, direct);
        } catch (const RuntimeError& e) {
            if (e.number() == dberr::kTransactionRolledBack) {
                AbandonTransaction(e.description());
            } else {
                BackToLastWrite();
            }
            throw;
        }
        if (!writes || !Protecting()) return;
        if (repeat == Repeat::kNever || since_savepoint.size() >= kMostWritesKept) {
            MarkWrite();
        } else {
            since_savepoint.push_back({sql, direct});
        }
    }

    template <class Consume>
    void RunOnce(const SqlText& sql, Consume& consume, bool direct) {
        if (reuse && !direct) {
            try {
                RunPrepared(sql, consume);
            } catch (const RuntimeError& e) {
                // PostgreSQL refuses a prepared statement whose table changed
                // shape since it was prepared; prepared afresh it runs.
                if (e.sqlstate() != "0A000") throw;
                BackToLastWrite();
                statements.Forget(sql.Sent());
                RunPrepared(sql, consume);
            }
            return;
        }
        SQLHSTMT stmt = NewStatement(sql.Text());
        try {
            parameters.Bind(stmt, sql, dbms);
            CheckStmt(
                SQLExecDirect(stmt, Chars(sql.Sent()), static_cast<SQLINTEGER>(sql.Sent().size())),
                stmt, [&] { return "Cannot run " + sql.Text(); });
            consume(stmt, nullptr);
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
            throw;
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    }

    // A transaction statement sent as SQL, on its own prepared handle.
    void RunTransactionStatement(TransactionStatement which) {
        const std::string text = TransactionStatementText(which, dbms);
        SQLHSTMT& stmt = transaction_stmts[static_cast<int>(which)];
        if (stmt == SQL_NULL_HSTMT) stmt = PrepareOwn(text);
        statement_trace::Discard();
        statement_trace::Statement(text);
        SQLRETURN rc = SQLExecute(stmt);
        try {
            CheckStmt(rc, stmt, [&] { return "Cannot run " + text; });
        } catch (...) {
            SQLFreeStmt(stmt, SQL_CLOSE);
            throw;
        }
        SQLFreeStmt(stmt, SQL_CLOSE);
    }

    // PostgreSQL ends a transaction at the first statement that fails in it.
    // Its driver can set a savepoint before every statement, at the price of
    // one more exchange with the server per statement, and so would moving a
    // savepoint of ours after every write. Failures are rare, though: the
    // connection keeps the writes made since its savepoint instead, and after
    // a failed statement, read or write, goes back to the savepoint and sends
    // them again, so the transaction stands as it was before that statement.
    // A write whose database-chosen values the program has read (an identity)
    // cannot be sent again: the savepoint moves past it at once.
    bool Protecting() const { return in_transaction && dbms == Dbms::kPostgreSql; }

    // Past that many writes kept the savepoint moves: a failure late in a
    // long transaction then sends few again.
    static constexpr std::size_t kMostWritesKept = 512;

    void MarkWrite() {
        RunTransactionStatement(savepoint_set ? TransactionStatement::kMoveSavepoint
                                              : TransactionStatement::kSavepoint);
        savepoint_set = true;
        since_savepoint.clear();
    }

    // After a failed statement: the transaction as it was before it. Without
    // a savepoint it begins afresh. Should the server refuse even that, the
    // statements that follow say so.
    void BackToLastWrite() {
        if (!Protecting() || going_back) return;
        going_back = true;
        std::vector<Write> writes = std::move(since_savepoint);
        since_savepoint.clear();
        try {
            if (savepoint_set) {
                RunTransactionStatement(TransactionStatement::kBackToSavepoint);
            } else {
                // The driver begins the next one with the next statement.
                statement_trace::Transaction("rollback");
                CheckDbc(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK),
                         [&] { return "Cannot roll back the transaction of " + Shown(); });
                RunTransactionStatement(TransactionStatement::kWaitInside);
            }
            // They succeeded on this very state a moment ago.
            auto nothing = [](SQLHSTMT, odbc::PreparedStatement*) {};
            for (const Write& write : writes) RunOnce(write.sql, nothing, write.direct);
            if (!writes.empty()) MarkWrite();
        } catch (const RuntimeError& e) {
            if (e.number() == dberr::kTransactionRolledBack) AbandonTransaction(e.description());
        }
        going_back = false;
    }

    // The server has rolled the transaction back (a deadlock's victim): going
    // back to a savepoint and sending the writes again would complete it
    // without the statement that failed, a report applied in part. It is
    // given up whole instead: its locks go at once, so the session it waited
    // for goes on, nothing more is sent in it, and its commit fails.
    void AbandonTransaction(const std::string& why) {
        rolled_back = why;
        savepoint_set = false;
        since_savepoint.clear();
        if (TransactionsInSql()) {
            RunSilently("ROLLBACK");
        } else {
            statement_trace::Transaction("rollback");
            SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
        }
    }

    [[noreturn]] void ThrowRolledBack(const std::string& what) const {
        throw RuntimeError(dberr::kTransactionRolledBack,
                           what + ": the server rolled the transaction back (" + rolled_back + ")");
    }

    void SetAutocommit(bool on) {
        CheckDbc(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                                   reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(
                                       on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
                                   SQL_IS_UINTEGER),
                 [&] {
                     return std::string(on ? "Cannot end the transaction of "
                                           : "Cannot begin a transaction on ") +
                            Shown();
                 });
    }

    // SQLite takes its transactions as SQL (BEGIN IMMEDIATE, see
    // Connection::BeginTransaction); other databases through the driver.
    bool TransactionsInSql() const { return dbms == Dbms::kSqlite; }

    // On PostgreSQL a statement outside a transaction is committed without
    // waiting for the disk (set once per connection): the pump's only such
    // writes are the activity row's, whose last second a server crash may
    // lose at no harm, and a report then costs one wait for the disk, not
    // two. A transaction waits as the server is configured to.
    void BeginTransaction() {
        if (TransactionsInSql()) {
            RunTransactionStatement(TransactionStatement::kBegin);
        } else {
            statement_trace::Transaction("begin");
            SetAutocommit(false);
            if (dbms == Dbms::kPostgreSql)
                RunTransactionStatement(TransactionStatement::kWaitInside);
        }
        in_transaction = true;
        schema_checked = false;
        savepoint_set = false;
        since_savepoint.clear();
    }

    // Ends the open transaction: commit or roll back.
    void EndTransaction(bool commit) {
        in_transaction = false;
        schema_checked = false;
        savepoint_set = false;
        since_savepoint.clear();
        if (!rolled_back.empty()) {
            const std::string why = std::move(rolled_back);
            rolled_back.clear();
            if (!TransactionsInSql()) SetAutocommit(true);
            if (commit) {
                throw RuntimeError(dberr::kTransactionRolledBack,
                                   "Cannot commit the transaction of " + Shown() +
                                       ": the server rolled it back (" + why + ")");
            }
            return;
        }
        if (TransactionsInSql()) {
            try {
                RunTransactionStatement(commit ? TransactionStatement::kCommit
                                               : TransactionStatement::kRollback);
            } catch (const RuntimeError&) {
                // SQLite keeps a transaction it could not commit.
                RunSilently("ROLLBACK");
                throw;
            }
            return;
        }
        statement_trace::Transaction(commit ? "commit" : "rollback");
        try {
            CheckDbc(SQLEndTran(SQL_HANDLE_DBC, dbc, commit ? SQL_COMMIT : SQL_ROLLBACK), [&] {
                return std::string(commit ? "Cannot commit the transaction of "
                                          : "Cannot roll back the transaction of ") +
                       Shown();
            });
        } catch (...) {
            // Whatever the server made of it, the connection goes on committing each statement.
            SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                              reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER);
            throw;
        }
        SetAutocommit(true);
    }

    // A statement whose failure is of no interest.
    void RunSilently(const std::string& text) {
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))) return;
        SQLExecDirect(stmt, Chars(text), static_cast<SQLINTEGER>(text.size()));
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    }

    std::string ColumnText(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field) {
        SQLCHAR buffer[512] = {};
        SQLSMALLINT length = 0;
        SQLRETURN rc =
            SQLColAttribute(stmt, column, field, buffer, sizeof buffer, &length, nullptr);
        // Drivers that do not know a column's origin say so by failing here.
        if (!SQL_SUCCEEDED(rc)) return {};
        return std::string(
            reinterpret_cast<char*>(buffer),
            std::min<std::size_t>(std::max<SQLSMALLINT>(length, 0), sizeof buffer - 1));
    }

    std::shared_ptr<const std::vector<ColumnInfo>> Describe(SQLHSTMT stmt, const SqlText& sql) {
        SQLSMALLINT count = 0;
        CheckStmt(SQLNumResultCols(stmt, &count), stmt,
                  [&] { return "Cannot read the columns of " + sql.Text(); });
        auto columns = std::make_shared<std::vector<ColumnInfo>>(count);
        for (SQLUSMALLINT i = 1; i <= count; ++i) {
            SQLCHAR name[256] = {};
            SQLSMALLINT name_length = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            CheckStmt(SQLDescribeCol(stmt, i, name, sizeof name, &name_length, &type, &size,
                                     &digits, &nullable),
                      stmt, [&] { return "Cannot read the columns of " + sql.Text(); });
            ColumnInfo& column = (*columns)[i - 1];
            column.name = Utf8ToCp1252(reinterpret_cast<char*>(name));
            column.sql_type = type;
            column.base_table = Utf8ToCp1252(ColumnText(stmt, i, SQL_DESC_BASE_TABLE_NAME));
            column.base_column = Utf8ToCp1252(ColumnText(stmt, i, SQL_DESC_BASE_COLUMN_NAME));
        }
        return columns;
    }

    // Binds the columns of a prepared statement to its row buffer, once:
    // a fetch then fills them all, where reading them one by one costs a
    // call into the driver manager each. Only with a driver that lets a bound
    // column be read again (a value longer than its room is); false otherwise.
    bool BindColumns(odbc::PreparedStatement& statement) {
        if (!rereads_bound_columns) return false;
        const std::size_t count = statement.columns->size();
        if (statement.lengths.size() == count) return true;
        statement.row.assign(count * odbc::kBoundColumnBytes, '\0');
        statement.lengths.assign(count, 0);
        for (std::size_t i = 0; i < count; ++i) {
            SQLRETURN rc =
                SQLBindCol(statement.handle, static_cast<SQLUSMALLINT>(i + 1), SQL_C_CHAR,
                           statement.row.data() + i * odbc::kBoundColumnBytes,
                           odbc::kBoundColumnBytes, &statement.lengths[i]);
            if (!SQL_SUCCEEDED(rc)) {
                SQLFreeStmt(statement.handle, SQL_UNBIND);
                statement.lengths.clear();
                return false;
            }
        }
        return true;
    }

    // A bound column of the fetched row; read again whole when it did not fit.
    std::optional<std::string> BoundColumn(const odbc::PreparedStatement& statement,
                                           SQLUSMALLINT column, const std::string& name,
                                           const std::string& source) {
        const SQLLEN length = statement.lengths[column - 1];
        if (length == SQL_NULL_DATA) return std::nullopt;
        if (length >= 0 && static_cast<std::size_t>(length) < odbc::kBoundColumnBytes) {
            return std::string(statement.row.data() + (column - 1) * odbc::kBoundColumnBytes,
                               static_cast<std::size_t>(length));
        }
        return ReadColumn(statement.handle, column, name, source);
    }

    // One column of the current row, read as text in as many pieces as it takes.
    std::optional<std::string> ReadColumn(SQLHSTMT stmt, SQLUSMALLINT column,
                                          const std::string& name, const std::string& source) {
        std::string text;
        char buffer[1024];
        for (;;) {
            SQLLEN indicator = 0;
            SQLRETURN rc =
                CheckStmt(SQLGetData(stmt, column, SQL_C_CHAR, buffer, sizeof buffer, &indicator),
                          stmt, [&] { return "Cannot read the field " + name + " of " + source; });
            if (rc == SQL_NO_DATA) break;
            if (indicator == SQL_NULL_DATA) return std::nullopt;
            // The length the driver gives is trusted only when it fits the
            // buffer: a warning that is no truncation still ends the value, and
            // SQL_NO_TOTAL or a bad length never reads past the buffer.
            const bool last_piece =
                indicator >= 0 && static_cast<std::size_t>(indicator) < sizeof buffer;
            if (last_piece) {
                text.append(buffer, static_cast<std::size_t>(indicator));
                break;
            }
            // Truncated: the buffer is full but for its terminating zero.
            text.append(buffer, sizeof buffer - 1);
        }
        return text;
    }

    std::vector<std::string> CatalogColumns(const std::string& table, bool primary) {
        std::vector<std::string> names;
        const std::string context =
            std::string(primary ? "primary key of table " : "row identifier of table ") + table;
        SQLHSTMT stmt = NewStatement(context);
        try {
            SQLRETURN rc;
            std::string table_utf8 = Cp1252ToUtf8(table);
            if (primary) {
                rc = SQLPrimaryKeys(stmt, nullptr, 0, nullptr, 0, Chars(table_utf8),
                                    static_cast<SQLSMALLINT>(table_utf8.size()));
            } else {
                rc = SQLSpecialColumns(
                    stmt, SQL_BEST_ROWID, nullptr, 0, nullptr, 0, Chars(table_utf8),
                    static_cast<SQLSMALLINT>(table_utf8.size()), SQL_SCOPE_CURROW, SQL_NULLABLE);
            }
            CheckStmt(rc, stmt, [&] { return "Cannot read the " + context; });
            // Column 4 of SQLPrimaryKeys, column 2 of SQLSpecialColumns: COLUMN_NAME.
            const SQLUSMALLINT name_column = primary ? 4 : 2;
            std::vector<std::pair<int, std::string>> ordered;
            while (CheckStmt(SQLFetch(stmt), stmt, [&] { return "Cannot read the " + context; }) !=
                   SQL_NO_DATA) {
                std::optional<std::string> name =
                    ReadColumn(stmt, name_column, "COLUMN_NAME", context);
                int sequence = static_cast<int>(ordered.size());
                if (primary) {
                    const std::int64_t key_seq = IntegerOf(ReadColumn(stmt, 5, "KEY_SEQ", context));
                    if (key_seq >= 0) sequence = static_cast<int>(key_seq);
                }
                if (name) ordered.emplace_back(sequence, Utf8ToCp1252(*name));
            }
            std::stable_sort(ordered.begin(), ordered.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            for (auto& entry : ordered) names.push_back(std::move(entry.second));
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
            throw;
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        return names;
    }
};

Connection::Connection() : impl_(std::make_unique<Impl>()) {}

Connection::~Connection() { Close(); }

void Connection::SetConnectionString(std::string connection_string) {
    impl_->connection_string = std::move(connection_string);
}

const std::string& Connection::ConnectionString() const { return impl_->connection_string; }

void Connection::Open() {
    Impl& d = *impl_;
    if (d.open) {
        throw RuntimeError(
            errnum::kObjectOpen,
            "Operation is not allowed when the object is open (connection " + d.Shown() + ")");
    }
    // Whatever the driver says, a connection that cannot be opened is the
    // unspecified failure; its SQLSTATE and native code stay in the error.
    auto refused = [&](SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle) {
        try {
            Checked(rc, type, handle, d.dbms,
                    [&] { return "Cannot open the database connection " + d.Shown(); });
        } catch (const RuntimeError& e) {
            Close();
            throw RuntimeError(errnum::kUnspecified, e.description(), e.source(), e.sqlstate(),
                               e.native_code());
        }
    };
    KeepInstallerLibraryLoaded();
    refused(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &d.env), SQL_HANDLE_ENV, d.env);
    refused(
        SQLSetEnvAttr(d.env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
        SQL_HANDLE_ENV, d.env);
    refused(SQLAllocHandle(SQL_HANDLE_DBC, d.env, &d.dbc), SQL_HANDLE_ENV, d.env);
    const std::string odbc = Cp1252ToUtf8(OdbcConnectionString(d.connection_string));
    // Which connection strings lead to PostgreSQL is learnt once per process.
    static std::set<std::string> postgresql;
    bool with_options = postgresql.count(odbc) != 0;
    auto connect = [&] {
        const std::string text = with_options ? odbc + kPostgreSqlOptions : odbc;
        SQLSMALLINT out_length = 0;
        refused(SQLDriverConnect(d.dbc, nullptr, Chars(text), static_cast<SQLSMALLINT>(text.size()),
                                 nullptr, 0, &out_length, SQL_DRIVER_NOPROMPT),
                SQL_HANDLE_DBC, d.dbc);
        d.open = true;
        char buffer[256] = {};
        SQLSMALLINT length = 0;
        if (SQL_SUCCEEDED(SQLGetInfo(d.dbc, SQL_DBMS_NAME, buffer, sizeof buffer, &length))) {
            d.dbms_name = buffer;
        }
        d.dbms = DbmsFromName(d.dbms_name);
    };
    connect();
    if (d.dbms == Dbms::kPostgreSql && !with_options) {
        SQLDisconnect(d.dbc);
        d.open = false;
        postgresql.insert(odbc);
        with_options = true;
        connect();
    }
    if (with_options) {
        statement_trace::ConnectionOptions(kPostgreSqlOptions);
        try {
            d.RunTransactionStatement(TransactionStatement::kNoWaitOutside);
        } catch (const RuntimeError&) {
            // A server that cannot: every commit waits for the disk, as before.
        }
    }
    if (d.dbms == Dbms::kSqlite) {
        // The pump deletes a report's file once its transaction has committed,
        // so the commit must be on the disk by then, whatever the data source
        // says (WAL with NORMAL syncs only at checkpoints).
        d.RunSilently("PRAGMA synchronous=FULL");
    }
    SQLSMALLINT length = 0;
    char quote[8] = {};
    if (SQL_SUCCEEDED(SQLGetInfo(d.dbc, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &length))) {
        d.quote = quote;
        if (d.quote == " ") d.quote.clear();
    }
    SQLUINTEGER getdata = 0;
    d.rereads_bound_columns = SQL_SUCCEEDED(SQLGetInfo(d.dbc, SQL_GETDATA_EXTENSIONS, &getdata,
                                                       sizeof getdata, nullptr)) &&
                              (getdata & (SQL_GD_BOUND | SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER)) ==
                                  (SQL_GD_BOUND | SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER);
    SQLUSMALLINT identifier_case = SQL_IC_MIXED;
    if (SQL_SUCCEEDED(SQLGetInfo(d.dbc, SQL_IDENTIFIER_CASE, &identifier_case,
                                 sizeof identifier_case, nullptr))) {
        d.identifier_case = identifier_case;
    }
}

void Connection::Close() {
    Impl& d = *impl_;
    if (d.in_transaction) {
        // Some drivers refuse to disconnect in the middle of a transaction;
        // what it did is undone, as it would be when the program ended.
        try {
            d.EndTransaction(false);
        } catch (const RuntimeError&) {
            // The server undoes it when the connection goes.
        }
    }
    d.statements.Clear();
    d.FreeOwn(d.schema_version_stmt);
    for (SQLHSTMT& stmt : d.transaction_stmts) d.FreeOwn(stmt);
    d.in_transaction = false;
    d.rolled_back.clear();
    d.schema_checked = false;
    d.schema_version = -1;
    d.primary_keys.clear();
    d.row_identifiers.clear();
    if (d.dbc != SQL_NULL_HDBC) {
        if (d.open) SQLDisconnect(d.dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, d.dbc);
        d.dbc = SQL_NULL_HDBC;
    }
    if (d.env != SQL_NULL_HENV) {
        SQLFreeHandle(SQL_HANDLE_ENV, d.env);
        d.env = SQL_NULL_HENV;
    }
    d.open = false;
    d.prepared = 0;
}

bool Connection::IsOpen() const { return impl_->open; }

const std::string& Connection::DbmsName() const { return impl_->dbms_name; }

Dbms Connection::dbms() const { return impl_->dbms; }

ResultSet Connection::Query(const SqlText& sql) { return QueryImpl(sql, false); }

ResultSet Connection::QueryDirect(const SqlText& sql) { return QueryImpl(sql, true); }

ResultSet Connection::QueryImpl(const SqlText& sql, bool direct) {
    ResultSet result;
    auto read_all = [&](SQLHSTMT stmt, odbc::PreparedStatement* prepared) {
        result = ResultSet();
        if (prepared && prepared->columns) {
            result.columns = prepared->columns;
        } else {
            result.columns = impl_->Describe(stmt, sql);
            if (prepared) prepared->columns = result.columns;
        }
        const std::vector<ColumnInfo>& columns = *result.columns;
        const auto count = static_cast<SQLUSMALLINT>(columns.size());
        const bool bound = prepared && impl_->BindColumns(*prepared);
        while (impl_->CheckStmt(SQLFetch(stmt), stmt, [&] {
            return "Cannot read the rows of " + sql.Text();
        }) != SQL_NO_DATA) {
            std::vector<Value>& row = result.rows.emplace_back();
            row.reserve(count);
            for (SQLUSMALLINT i = 1; i <= count; ++i) {
                const ColumnInfo& info = columns[i - 1];
                std::optional<std::string> text =
                    bound ? impl_->BoundColumn(*prepared, i, info.name, sql.Text())
                          : impl_->ReadColumn(stmt, i, info.name, sql.Text());
                row.push_back(text ? ValueFromColumnText(std::move(*text), info.sql_type)
                                   : Value());
            }
        }
    };
    impl_->Run(sql, read_all, direct);
    return result;
}

std::int64_t Connection::Execute(const SqlText& sql, Repeat repeat) {
    return ExecuteImpl(sql, false, repeat);
}

std::int64_t Connection::ExecuteDirect(const SqlText& sql, Repeat repeat) {
    return ExecuteImpl(sql, true, repeat);
}

std::int64_t Connection::ExecuteImpl(const SqlText& sql, bool direct, Repeat repeat) {
    std::int64_t changed = -1;
    impl_->Run(
        sql,
        [&](SQLHSTMT stmt, odbc::PreparedStatement*) {
            SQLLEN count = -1;
            if (SQL_SUCCEEDED(SQLRowCount(stmt, &count))) changed = count;
        },
        direct, true, repeat);
    return changed;
}

const std::vector<std::string>& Connection::PrimaryKey(const std::string& table) {
    auto found = impl_->primary_keys.find(table);
    if (found != impl_->primary_keys.end()) return found->second;
    if (!impl_->open) impl_->ThrowNotOpen("table " + table);
    return impl_->primary_keys[table] = impl_->CatalogColumns(table, true);
}

const std::vector<std::string>& Connection::BestRowIdentifier(const std::string& table) {
    auto found = impl_->row_identifiers.find(table);
    if (found != impl_->row_identifiers.end()) return found->second;
    if (!impl_->open) impl_->ThrowNotOpen("table " + table);
    std::vector<std::string> names;
    try {
        names = impl_->CatalogColumns(table, false);
    } catch (const RuntimeError&) {
        // Not every driver answers this for every table; no identifier then.
    }
    return impl_->row_identifiers[table] = std::move(names);
}

std::string Connection::QuoteIdentifier(std::string_view name) const {
    const std::string& q = impl_->quote;
    if (q.empty()) return std::string(name);
    std::string out = q;
    for (char c : name) {
        out.push_back(c);
        if (q.size() == 1 && c == q[0]) out.push_back(c);
    }
    // SQL Server's driver gives '"' too; the closing mark of "[" would be "]".
    return out + q;
}

std::string Connection::FoldIdentifier(std::string_view name) const {
    std::string out(name);
    if (impl_->identifier_case == SQL_IC_LOWER) {
        for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else if (impl_->identifier_case == SQL_IC_UPPER) {
        for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

void Connection::BeginTransaction() {
    Impl& d = *impl_;
    if (!d.open) d.ThrowNotOpen("BEGIN TRANSACTION");
    if (d.in_transaction) {
        throw RuntimeError(errnum::kObjectOpen,
                           "A transaction is open already on the connection " + d.Shown());
    }
    d.BeginTransaction();
}

void Connection::CommitTransaction() {
    if (!impl_->in_transaction) return;
    impl_->EndTransaction(true);
}

void Connection::RollbackTransaction() {
    if (!impl_->in_transaction) return;
    impl_->EndTransaction(false);
}

bool Connection::InTransaction() const { return impl_->in_transaction; }

bool Connection::TransactionRolledBack() const {
    return impl_->in_transaction && !impl_->rolled_back.empty();
}

void Connection::KeepWrites() {
    if (impl_->Protecting() && !impl_->since_savepoint.empty()) impl_->MarkWrite();
}

void Connection::SetStatementReuse(bool on) {
    if (!on) impl_->statements.Clear();
    impl_->reuse = on;
}

std::int64_t Connection::PreparedCount() const { return impl_->prepared; }

}  // namespace kolbi
