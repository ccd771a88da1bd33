#include "db/connection.h"

// clang-format off
#include <sql.h>
#include <sqlext.h>
// clang-format on
#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <list>
#include <map>
#include <optional>
#include <unordered_map>

#include "common/cp1252.h"
#include "db/column_value.h"
#include "db/connection_string.h"

namespace kolbi {
namespace {

// Statements kept prepared per connection; the pump uses about a dozen shapes,
// the rest of the room is for tools that run many different texts.
constexpr std::size_t kStatementCacheSize = 64;

// Reads every diagnostic record of a handle once.
struct Diagnostics {
    std::string sqlstate;
    std::int32_t native = 0;
    std::string messages;  // Windows-1252, one line
};

Diagnostics ReadDiagnostics(SQLSMALLINT handle_type, SQLHANDLE handle) {
    Diagnostics diagnostics;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        // Server messages (PostgreSQL's with their detail lines) outgrow
        // SQL_MAX_MESSAGE_LENGTH; what does not fit is cut.
        SQLCHAR message[2048] = {};
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRec(handle_type, handle, record, state, &native, message,
                                     sizeof message, &length);
        if (!SQL_SUCCEEDED(rc)) break;
        if (record == 1) {
            diagnostics.sqlstate = reinterpret_cast<char*>(state);
            diagnostics.native = native;
        } else {
            diagnostics.messages.append("; ");
        }
        std::string text(
            reinterpret_cast<char*>(message),
            std::min<std::size_t>(std::max<SQLSMALLINT>(length, 0), sizeof message - 1));
        // Drivers spread their messages over lines; the log wants one line.
        for (char& c : text) {
            if (c == '\n' || c == '\r' || c == '\t') c = ' ';
        }
        while (!text.empty() && (text.back() == ' ' || text.back() == ';')) text.pop_back();
        diagnostics.messages.append(Utf8ToCp1252(text));
    }
    if (diagnostics.messages.empty()) diagnostics.messages = "the driver gave no reason";
    return diagnostics;
}

// The one checked ODBC call: success, success with information and "no data"
// pass (the caller looks at the code); anything else becomes a RuntimeError.
// what() is only called on failure and says what was being done.
template <class What>
SQLRETURN Checked(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, Dbms dbms, What&& what) {
    if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO || rc == SQL_NO_DATA) return rc;
    Diagnostics d;
    if (rc == SQL_INVALID_HANDLE) {
        d.messages = "invalid handle";
    } else {
        d = ReadDiagnostics(handle_type, handle);
    }
    std::string description = what() + ": " + d.messages;
    if (!d.sqlstate.empty()) {
        description += " (SQLSTATE " + d.sqlstate + ", native " + std::to_string(d.native) + ")";
    }
    throw RuntimeError(ErrorNumberFor(d.sqlstate, d.native, dbms), description, "ODBC", d.sqlstate,
                       d.native);
}

// Drivers (SQLite's among them) load the driver manager's installer library
// to read their data source and unload it when the connection goes; each
// unload loses the library's cache of odbc.ini entries, a small leak per
// connection. Held resident once, it is loaded and read once.
void KeepInstallerLibraryLoaded() {
    static void* const handle = ::dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_NODELETE);
    (void)handle;  // without it, drivers load it themselves as before
}

SQLCHAR* Chars(const std::string& text) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.data()));
}

// The integer a pragma or a catalog call answered; -1 when there is none.
std::int64_t IntegerOf(const std::optional<std::string>& text) {
    if (!text) return -1;
    Value value = ValueFromColumnText(*text, SQL_INTEGER);
    return value.kind() == Value::Kind::kInteger ? value.integer() : -1;
}

// The buffers of one bound parameter; they must stay put until the statement
// has run, hence a list of these per execution.
struct ParameterBuffer {
    SQLLEN indicator = 0;
    std::int64_t integer = 0;
    SQLINTEGER integer32 = 0;
    double real = 0;
    SQL_DATE_STRUCT date{};
    SQL_TIMESTAMP_STRUCT timestamp{};
    std::string text;
};

struct Statement {
    SQLHSTMT handle = SQL_NULL_HSTMT;
    std::string sent;
};

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

    // Prepared statements by Sent() text, most recently used first.
    std::list<Statement> statements;
    std::unordered_map<std::string, std::list<Statement>::iterator> by_text;
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

    SQLHSTMT NewStatement(const std::string& context) {
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        Checked(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_HANDLE_DBC, dbc, dbms,
                [&] { return "Cannot prepare " + context; });
        return stmt;
    }

    void FreeStatements() {
        for (Statement& statement : statements) SQLFreeHandle(SQL_HANDLE_STMT, statement.handle);
        statements.clear();
        by_text.clear();
    }

    // The prepared statement for a text, preparing it on first use.
    SQLHSTMT Prepared(const SqlText& sql) {
        auto found = by_text.find(sql.Sent());
        if (found != by_text.end()) {
            statements.splice(statements.begin(), statements, found->second);
            return found->second->handle;
        }
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
        if (statements.size() >= kStatementCacheSize) {
            SQLFreeHandle(SQL_HANDLE_STMT, statements.back().handle);
            by_text.erase(statements.back().sent);
            statements.pop_back();
        }
        statements.push_front({stmt, sql.Sent()});
        by_text[sql.Sent()] = statements.begin();
        return stmt;
    }

    void Forget(const SqlText& sql) {
        auto found = by_text.find(sql.Sent());
        if (found == by_text.end()) return;
        SQLFreeHandle(SQL_HANDLE_STMT, found->second->handle);
        statements.erase(found->second);
        by_text.erase(found);
    }

    // SQLite's driver describes a prepared statement's columns once, when it
    // is prepared; after another program changed the table, "SELECT *" would
    // be read with the old columns. The schema's version number says when to
    // prepare afresh, for about the price of one more step in the database.
    void ForgetStatementsIfSqliteSchemaChanged() {
        if (dbms != Dbms::kSqlite) return;
        static const std::string pragma = "PRAGMA schema_version";
        if (schema_version_stmt == SQL_NULL_HSTMT) {
            schema_version_stmt = NewStatement(pragma);
            CheckStmt(SQLPrepare(schema_version_stmt, Chars(pragma),
                                 static_cast<SQLINTEGER>(pragma.size())),
                      schema_version_stmt, [&] { return "Cannot prepare " + pragma; });
        }
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
            FreeStatements();
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
    void RunPrepared(const SqlText& sql, std::list<ParameterBuffer>& buffers, Consume& consume) {
        ForgetStatementsIfSqliteSchemaChanged();
        SQLHSTMT stmt = Prepared(sql);
        // A statement that failed before may still hold a cursor or bindings.
        SQLFreeStmt(stmt, SQL_CLOSE);
        SQLFreeStmt(stmt, SQL_RESET_PARAMS);
        try {
            Bind(stmt, sql, buffers);
            CheckStmt(SQLExecute(stmt), stmt, [&] { return "Cannot run " + sql.Text(); });
            consume(stmt);
        } catch (...) {
            SQLFreeStmt(stmt, SQL_CLOSE);
            SQLFreeStmt(stmt, SQL_RESET_PARAMS);
            throw;
        }
        SQLFreeStmt(stmt, SQL_CLOSE);
        SQLFreeStmt(stmt, SQL_RESET_PARAMS);
    }

    void Bind(SQLHSTMT stmt, const SqlText& sql, std::list<ParameterBuffer>& buffers) {
        SQLUSMALLINT number = 0;
        for (const SqlText::Parameter& parameter : sql.Params()) {
            ParameterBuffer& b = buffers.emplace_back();
            const Value& v = parameter.value;
            SQLSMALLINT c_type = SQL_C_CHAR;
            SQLSMALLINT sql_type = SQL_VARCHAR;
            SQLULEN size = 1;
            SQLSMALLINT digits = 0;
            SQLPOINTER data = nullptr;
            switch (v.kind()) {
                case Value::Kind::kNull:
                    sql_type = parameter.sql_type != 0 ? parameter.sql_type : SQL_VARCHAR;
                    b.indicator = SQL_NULL_DATA;
                    data = b.text.data();
                    break;
                case Value::Kind::kInteger:
                    if (v.integer() >= INT32_MIN && v.integer() <= INT32_MAX) {
                        b.integer32 = static_cast<SQLINTEGER>(v.integer());
                        c_type = SQL_C_SLONG, sql_type = SQL_INTEGER, size = 10;
                        data = &b.integer32;
                    } else {
                        b.integer = v.integer();
                        c_type = SQL_C_SBIGINT, sql_type = SQL_BIGINT, size = 19;
                        data = &b.integer;
                    }
                    break;
                case Value::Kind::kDouble:
                    b.real = v.real();
                    c_type = SQL_C_DOUBLE, sql_type = SQL_DOUBLE, size = 15;
                    data = &b.real;
                    break;
                case Value::Kind::kText:
                    b.text = v.utf8();
                    b.indicator = static_cast<SQLLEN>(b.text.size());
                    size = std::max<SQLULEN>(1, b.text.size());
                    sql_type = b.text.size() > 4000 ? SQL_LONGVARCHAR : SQL_VARCHAR;
                    data = b.text.data();
                    break;
                case Value::Kind::kDate:
                    b.date.year = static_cast<SQLSMALLINT>(v.date().year);
                    b.date.month = static_cast<SQLUSMALLINT>(v.date().month);
                    b.date.day = static_cast<SQLUSMALLINT>(v.date().day);
                    c_type = SQL_C_TYPE_DATE, sql_type = SQL_TYPE_DATE, size = 10;
                    data = &b.date;
                    break;
                case Value::Kind::kDateTime: {
                    const DateTimeValue& t = v.date_time();
                    b.timestamp = {static_cast<SQLSMALLINT>(t.year),
                                   static_cast<SQLUSMALLINT>(t.month),
                                   static_cast<SQLUSMALLINT>(t.day),
                                   static_cast<SQLUSMALLINT>(t.hour),
                                   static_cast<SQLUSMALLINT>(t.minute),
                                   static_cast<SQLUSMALLINT>(t.second),
                                   t.fraction / 1000 * 1000};
                    c_type = SQL_C_TYPE_TIMESTAMP, sql_type = SQL_TYPE_TIMESTAMP;
                    // Microseconds are the finest every database here keeps.
                    digits = t.fraction == 0 ? 0 : 6;
                    size = t.fraction == 0 ? 19 : 26;
                    data = &b.timestamp;
                    break;
                }
            }
            ++number;
            CheckStmt(SQLBindParameter(stmt, number, SQL_PARAM_INPUT, c_type, sql_type, size,
                                       digits, data, 0, &b.indicator),
                      stmt, [&] { return "Cannot pass the values of " + sql.Text(); });
        }
    }

    // Runs the statement of sql and calls consume(stmt) while its result is
    // there. With reuse the statement stays prepared afterwards.
    template <class Consume>
    void Run(const SqlText& sql, Consume&& consume, bool direct = false) {
        if (!open) ThrowNotOpen(sql.Text());
        std::list<ParameterBuffer> buffers;
        if (reuse && !direct) {
            try {
                RunPrepared(sql, buffers, consume);
            } catch (const RuntimeError& e) {
                // PostgreSQL refuses a prepared statement whose table changed
                // shape since it was prepared; prepared afresh it runs.
                if (e.sqlstate() != "0A000") throw;
                Forget(sql);
                buffers.clear();
                RunPrepared(sql, buffers, consume);
            }
            return;
        }
        SQLHSTMT stmt = NewStatement(sql.Text());
        try {
            Bind(stmt, sql, buffers);
            CheckStmt(
                SQLExecDirect(stmt, Chars(sql.Sent()), static_cast<SQLINTEGER>(sql.Sent().size())),
                stmt, [&] { return "Cannot run " + sql.Text(); });
            consume(stmt);
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
            throw;
        }
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

    std::vector<ColumnInfo> Describe(SQLHSTMT stmt, const SqlText& sql) {
        SQLSMALLINT count = 0;
        CheckStmt(SQLNumResultCols(stmt, &count), stmt,
                  [&] { return "Cannot read the columns of " + sql.Text(); });
        std::vector<ColumnInfo> columns(count);
        for (SQLUSMALLINT i = 1; i <= count; ++i) {
            SQLCHAR name[256] = {};
            SQLSMALLINT name_length = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            CheckStmt(SQLDescribeCol(stmt, i, name, sizeof name, &name_length, &type, &size,
                                     &digits, &nullable),
                      stmt, [&] { return "Cannot read the columns of " + sql.Text(); });
            ColumnInfo& column = columns[i - 1];
            column.name = Utf8ToCp1252(reinterpret_cast<char*>(name));
            column.sql_type = type;
            column.base_table = Utf8ToCp1252(ColumnText(stmt, i, SQL_DESC_BASE_TABLE_NAME));
            column.base_column = Utf8ToCp1252(ColumnText(stmt, i, SQL_DESC_BASE_COLUMN_NAME));
        }
        return columns;
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
    std::string odbc = Cp1252ToUtf8(OdbcConnectionString(d.connection_string));
    SQLSMALLINT out_length = 0;
    refused(SQLDriverConnect(d.dbc, nullptr, Chars(odbc), static_cast<SQLSMALLINT>(odbc.size()),
                             nullptr, 0, &out_length, SQL_DRIVER_NOPROMPT),
            SQL_HANDLE_DBC, d.dbc);
    d.open = true;

    char buffer[256] = {};
    SQLSMALLINT length = 0;
    if (SQL_SUCCEEDED(SQLGetInfo(d.dbc, SQL_DBMS_NAME, buffer, sizeof buffer, &length))) {
        d.dbms_name = buffer;
    }
    d.dbms = DbmsFromName(d.dbms_name);
    char quote[8] = {};
    if (SQL_SUCCEEDED(SQLGetInfo(d.dbc, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &length))) {
        d.quote = quote;
        if (d.quote == " ") d.quote.clear();
    }
    SQLUSMALLINT identifier_case = SQL_IC_MIXED;
    if (SQL_SUCCEEDED(SQLGetInfo(d.dbc, SQL_IDENTIFIER_CASE, &identifier_case,
                                 sizeof identifier_case, nullptr))) {
        d.identifier_case = identifier_case;
    }
}

void Connection::Close() {
    Impl& d = *impl_;
    d.FreeStatements();
    if (d.schema_version_stmt != SQL_NULL_HSTMT) {
        SQLFreeHandle(SQL_HANDLE_STMT, d.schema_version_stmt);
        d.schema_version_stmt = SQL_NULL_HSTMT;
    }
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
    auto read_all = [&](SQLHSTMT stmt) {
        result = ResultSet();
        result.columns = impl_->Describe(stmt, sql);
        const auto count = static_cast<SQLUSMALLINT>(result.columns.size());
        while (impl_->CheckStmt(SQLFetch(stmt), stmt, [&] {
            return "Cannot read the rows of " + sql.Text();
        }) != SQL_NO_DATA) {
            std::vector<Value>& row = result.rows.emplace_back();
            row.reserve(count);
            for (SQLUSMALLINT i = 1; i <= count; ++i) {
                const ColumnInfo& info = result.columns[i - 1];
                std::optional<std::string> text = impl_->ReadColumn(stmt, i, info.name, sql.Text());
                row.push_back(text ? ValueFromColumnText(std::move(*text), info.sql_type)
                                   : Value());
            }
        }
    };
    impl_->Run(sql, read_all, direct);
    return result;
}

std::int64_t Connection::Execute(const SqlText& sql) { return ExecuteImpl(sql, false); }

std::int64_t Connection::ExecuteDirect(const SqlText& sql) { return ExecuteImpl(sql, true); }

std::int64_t Connection::ExecuteImpl(const SqlText& sql, bool direct) {
    std::int64_t changed = -1;
    impl_->Run(
        sql,
        [&](SQLHSTMT stmt) {
            SQLLEN count = -1;
            if (SQL_SUCCEEDED(SQLRowCount(stmt, &count))) changed = count;
        },
        direct);
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

void Connection::SetStatementReuse(bool on) {
    if (!on) impl_->FreeStatements();
    impl_->reuse = on;
}

std::int64_t Connection::PreparedCount() const { return impl_->prepared; }

}  // namespace kolbi
