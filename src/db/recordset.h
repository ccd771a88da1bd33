#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"
#include "db/sql_text.h"
#include "db/value.h"

namespace kolbi {

// One field of the current row, with what the error messages need to name it.
class Field {
public:
    // source is the record set's SQL text, shared rather than copied: a field
    // is read thousands of times a report, its error message rarely made.
    Field(std::string name, Value value, std::shared_ptr<const SqlText> source)
        : name_(std::move(name)), value_(std::move(value)), source_(std::move(source)) {}

    const std::string& Name() const { return name_; }
    // The value as read: Null stays Null.
    const Value& value() const { return value_; }
    bool IsNull() const { return value_.IsNull(); }

    // The conversions of Value; a failure (Null 94, mismatch 13, overflow 6)
    // names the field and the SQL text of its record set.
    std::string AsText() const;
    std::string AsUtf8() const;
    std::int64_t AsInteger() const;
    std::int32_t AsInt32() const;
    double AsDouble() const;

private:
    const std::string& SourceText() const;

    std::string name_;
    Value value_;
    std::shared_ptr<const SqlText> source_;
};

// The record set every database procedure of the pump works with: opened from
// an SQL text, it reads all rows at once and keeps them (a client-side keyset),
// and writes changes back as INSERT, UPDATE and DELETE statements on the one
// table the SELECT reads, keyed by that table's primary key. Where the table
// has none, a row is found by all the values it had when it was read, and
// exactly one of several identical rows is changed (SQLite's rowid,
// PostgreSQL's ctid, SQL Server's TOP (1)); a row of a SELECT DISTINCT stands
// for all the identical rows it was made of, and a change applies to all of them.
//
// Errors are run-time errors numbered as the pump's log expects them: 3704 on a
// closed record set, 3705 on opening an open one, 3021 without a current row,
// 3265 for an unknown field name, and the database's own errors (db_error.h).
class Recordset {
public:
    Recordset() = default;
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // Runs the SELECT on the shared connection (DBConnection) or on the one
    // given, reads its rows and stands on the first. 3705 when already open;
    // when the query fails the record set stays closed.
    void Open(SqlText sql);
    void Open(Connection& connection, SqlText sql);
    bool IsOpen() const { return open_; }
    // The SQL text it was last opened with.
    const SqlText& Source() const;

    // True when there is no current row: past the last row, or no row at all.
    bool Eof() const;
    // Moves. Leaving a row with unsaved field writes saves them first.
    // MoveNext at the end, and MoveFirst/MoveLast without rows, fail with 3021.
    void MoveNext();
    void MoveFirst();
    void MoveLast();

    // The field of the current row whose name matches without regard to
    // case; it carries the name as asked for, for error messages.
    Field Fields(std::string_view name) const;
    // Writes a field of the current row (or of the row begun by AddNew); the
    // database sees it at Update. The value is converted to the column's type
    // here (ValueForColumn in column_value.h), so a value the column cannot
    // take fails at this write (-2147217913 for a wrong kind) and leaves the
    // row's other writes as they are.
    void SetField(std::string_view name, const Value& value);
    // Begins a new row (every field Null until written) and stands on it.
    void AddNew();
    // Saves the current row: INSERT for a row begun by AddNew, UPDATE of the
    // written fields otherwise; nothing when nothing was written. A new row
    // whose table assigns its key is saved, but its key is only known after
    // Requery. When the save fails its writes are dropped (a new row goes
    // away), so later steps are not held up by the same failure.
    void Update();
    // From now until Close, rows begun by AddNew are held at Update instead
    // of being inserted one by one, where that saves work: an exchange with
    // the server per row (PostgreSQL), or the driver's binding and stepping
    // per row (SQLite); elsewhere, or on a closed record set, nothing changes.
    void HoldNewRows();
    // Inserts the held rows together, in one statement per run of rows that
    // write the same columns. Where the database refuses such a statement,
    // nothing of it stays (Connection::BeginTransaction), and its rows are
    // inserted one by one, each as a step of `run` (a procedure's Run): a
    // refused row fails as its own Update would have, and the others are saved.
    template <class Run>
    void SaveHeldRows(Run&& run) {
        for (const std::vector<std::size_t>& rows : HeldRuns()) {
            if (InsertTogether(rows)) continue;
            for (std::size_t row : rows) run([&] { InsertHeld(row); });
        }
        held_.clear();
    }
    // Deletes the current row from the table at once; it stays current until
    // the next move and a following Update does nothing.
    void Delete();
    // Runs the SELECT again and stands on the first row; unsaved writes are dropped.
    void Requery();
    // Closes; unsaved writes are dropped.
    void Close();

    // The number of rows read and not deleted.
    std::size_t RecordCount() const;

private:
    struct Row {
        std::vector<Value> values;
        // Both empty until a field of the row is written: most rows are only
        // read, and copying every value read would double the reading.
        std::vector<Value> original;  // the values as read, kept at the first write
        std::vector<bool> written;
        bool is_new = false;  // begun by AddNew, not yet inserted
        bool deleted = false;
        bool key_unknown = false;  // inserted; the database chose values we have not read
        bool held = false;         // new, its insert held for SaveHeldRows
    };
    // How a row is found again in its table.
    enum class Locate {
        kByKey,         // the key columns identify it
        kGroup,         // a SELECT DISTINCT row: every row with its values
        kFirstByRowid,  // the first row with its values, by SQLite's rowid
        kFirstByCtid,   // the same by PostgreSQL's ctid
        kFirstByTop,    // the same with SQL Server's TOP (1)
        kCannotLocate,  // no key, and no way to change just one of identical rows
    };
    struct WritePlan {
        std::vector<std::string> table;  // its name as stored, in parts (schema, table)
        std::string shown_table;         // its name as written, for messages
        std::vector<std::size_t> key;    // result columns that identify a row
        Locate locate = Locate::kByKey;
        std::vector<bool> writable;        // result columns that belong to the table
        std::vector<std::string> columns;  // column names as stored, per result column
    };

    [[noreturn]] void Fail(std::int32_t number, const std::string& text) const;
    void RequireOpen(std::string_view operation) const;
    Row& CurrentRow(std::string_view operation);
    std::size_t ColumnIndex(std::string_view name) const;
    void Load();
    void SaveIfEditing();
    const WritePlan& Plan();
    void AppendTable(SqlText& statement);
    // " WHERE ..." finding the row; SQL Server's TOP (1) goes in the head.
    void AppendWhereKey(SqlText& statement, const Row& row);
    void AppendConditions(SqlText& statement, const Row& row);
    void Insert(Row& row);
    bool KeyUnknown(const Row& row);
    // The held rows in runs that write the same columns, of a size one statement takes.
    std::vector<std::vector<std::size_t>> HeldRuns();
    bool InsertTogether(const std::vector<std::size_t>& rows);
    void InsertHeld(std::size_t row);
    void UpdateRow(Row& row);
    const std::vector<ColumnInfo>& Columns() const { return *result_.columns; }
    static bool Written(const Row& row, std::size_t column) {
        return !row.written.empty() && row.written[column];
    }
    static const Value& Original(const Row& row, std::size_t column) {
        return row.original.empty() ? row.values[column] : row.original[column];
    }
    // The row has been saved or its writes dropped: nothing written any more.
    static void Settle(Row& row) {
        row.original.clear();
        row.written.clear();
    }

    Connection* connection_ = nullptr;
    std::shared_ptr<const SqlText> source_;
    bool open_ = false;
    ResultSet result_;
    std::vector<Row> rows_;
    std::size_t position_ = 0;
    bool editing_ = false;
    bool holding_ = false;
    std::vector<std::size_t> held_;  // rows_ indexes, in the order of their Update
    std::optional<WritePlan> plan_;
};

// The one table a SELECT reads ("" for a join, a list of tables, a subquery
// or no FROM), as written in the text: "SELECT * From Postes WHERE ..." gives
// "Postes".
std::string SingleTableOf(std::string_view select);

}  // namespace kolbi
