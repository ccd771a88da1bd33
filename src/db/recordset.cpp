#include "db/recordset.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "common/ascii.h"
#include "common/cp1252.h"
#include "common/runtime_error.h"
#include "db/column_value.h"
#include "db/db_connect.h"
#include "db/db_error.h"

namespace kolbi {
namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Adds "in field X of <sql>" to a conversion error of a field.
template <class Convert>
auto Named(const std::string& name, const std::string& source, Convert&& convert) {
    try {
        return convert();
    } catch (const RuntimeError& e) {
        throw RuntimeError(e.number(), e.description() + " (field " + name + " of " + source + ")",
                           e.source(), e.sqlstate(), e.native_code());
    }
}

// Splits an SQL text into words: identifiers (plain, "quoted", [bracketed] or
// `quoted`, with their dots), single punctuation marks; string literals and
// comments are skipped.
std::vector<std::string> Words(std::string_view sql) {
    std::vector<std::string> words;
    std::size_t i = 0;
    auto is_word = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#' ||
               c == '@' || static_cast<unsigned char>(c) >= 0x80;
    };
    while (i < sql.size()) {
        char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '\'') {
            for (++i; i < sql.size(); ++i) {
                if (sql[i] == '\'') {
                    if (i + 1 < sql.size() && sql[i + 1] == '\'') {
                        ++i;
                    } else {
                        break;
                    }
                }
            }
            ++i;
            words.emplace_back("'");
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            while (i < sql.size() && sql[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            std::size_t end = sql.find("*/", i + 2);
            i = end == std::string_view::npos ? sql.size() : end + 2;
        } else if (is_word(c) || c == '"' || c == '[' || c == '`') {
            std::string word;
            while (i < sql.size()) {
                char d = sql[i];
                if (d == '"' || d == '[' || d == '`') {
                    char close = d == '[' ? ']' : d;
                    std::size_t end = sql.find(close, i + 1);
                    if (end == std::string_view::npos) end = sql.size() - 1;
                    word.append(sql.substr(i, end - i + 1));
                    i = end + 1;
                } else if (is_word(d) || d == '.') {
                    word.push_back(d);
                    ++i;
                } else {
                    break;
                }
            }
            words.push_back(std::move(word));
        } else {
            words.emplace_back(1, c);
            ++i;
        }
    }
    return words;
}

// The parts of a table name as written ("Postes", "dbo.Postes",
// "\"My Table\"", [x].[y]), each as the database stores it: a quoted part as
// it stands between its quotes, an unquoted one folded as the database folds it.
std::vector<std::string> NameParts(std::string_view written, const Connection& connection) {
    std::vector<std::string> parts(1);
    std::size_t i = 0;
    bool quoted_part = false;
    auto finish = [&] {
        if (!quoted_part) parts.back() = connection.FoldIdentifier(parts.back());
    };
    while (i < written.size()) {
        char c = written[i];
        if (c == '"' || c == '[' || c == '`') {
            const char close = c == '[' ? ']' : c;
            for (++i; i < written.size(); ++i) {
                if (written[i] == close) {
                    // A doubled closing mark stands for itself.
                    if (i + 1 < written.size() && written[i + 1] == close) {
                        parts.back().push_back(close);
                        ++i;
                        continue;
                    }
                    break;
                }
                parts.back().push_back(written[i]);
            }
            quoted_part = true;
            ++i;
        } else if (c == '.') {
            finish();
            parts.emplace_back();
            quoted_part = false;
            ++i;
        } else {
            parts.back().push_back(c);
            ++i;
        }
    }
    finish();
    return parts;
}

bool IsDistinct(std::string_view select) {
    std::vector<std::string> words = Words(select);
    return words.size() >= 2 && EqualsNoCase(words[0], "select") &&
           EqualsNoCase(words[1], "distinct");
}

}  // namespace

std::string Field::AsText() const {
    return Named(name_, SourceText(), [&] { return value_.AsText(); });
}
std::string Field::AsUtf8() const {
    return Named(name_, SourceText(), [&] { return value_.AsUtf8(); });
}
std::int64_t Field::AsInteger() const {
    return Named(name_, SourceText(), [&] { return value_.AsInteger(); });
}
std::int32_t Field::AsInt32() const {
    return Named(name_, SourceText(), [&] { return value_.AsInt32(name_); });
}
double Field::AsDouble() const {
    return Named(name_, SourceText(), [&] { return value_.AsDouble(); });
}

const std::string& Field::SourceText() const {
    static const std::string none;
    return source_ ? source_->Text() : none;
}

std::string SingleTableOf(std::string_view select) {
    std::vector<std::string> words = Words(select);
    int depth = 0;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "(") ++depth;
        if (word == ")") --depth;
        if (depth != 0 || !EqualsNoCase(word, "from")) continue;
        if (i + 1 >= words.size() || words[i + 1] == "(") return {};
        const std::string& table = words[i + 1];
        // FROM t, u / FROM t [alias] JOIN u: more than one table.
        for (std::size_t j = i + 2; j < words.size() && j <= i + 4; ++j) {
            const std::string w = Lower(words[j]);
            if (w == "," || w == "join" || w == "inner" || w == "left" || w == "right" ||
                w == "full" || w == "cross" || w == "natural") {
                return {};
            }
            if (w == "where" || w == "order" || w == "group" || w == ";") break;
        }
        return table;
    }
    return {};
}

Recordset::~Recordset() = default;

const SqlText& Recordset::Source() const {
    static const SqlText none;
    return source_ ? *source_ : none;
}

void Recordset::Fail(std::int32_t number, const std::string& text) const {
    throw RuntimeError(number, text + " (record set of " + Source().Text() + ")");
}

void Recordset::RequireOpen(std::string_view operation) const {
    if (!open_) {
        Fail(errnum::kObjectClosed,
             "Operation is not allowed when the object is closed: " + std::string(operation));
    }
}

Recordset::Row& Recordset::CurrentRow(std::string_view operation) {
    RequireOpen(operation);
    if (position_ >= rows_.size() || rows_[position_].deleted) {
        Fail(dberr::kNoCurrentRecord,
             "Either BOF or EOF is True, or the current record has been deleted; " +
                 std::string(operation) + " requires a current record");
    }
    return rows_[position_];
}

std::size_t Recordset::ColumnIndex(std::string_view name) const {
    if (result_.columns) {
        const std::vector<ColumnInfo>& columns = Columns();
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (EqualsNoCase(columns[i].name, name)) return i;
        }
    }
    Fail(dberr::kItemNotFound,
         "Item cannot be found in the collection corresponding to the "
         "requested name: no field " +
             std::string(name));
}

void Recordset::Open(SqlText sql) { Open(DBConnection(), std::move(sql)); }

void Recordset::Open(Connection& connection, SqlText sql) {
    if (open_) {
        Fail(errnum::kObjectOpen,
             "Operation is not allowed when the object is open: Open " + sql.Text());
    }
    connection_ = &connection;
    source_ = std::make_shared<const SqlText>(std::move(sql));
    plan_.reset();
    Load();
    open_ = true;
}

void Recordset::Load() {
    // Reading again rows whose keys the database chose: they must stay as they are.
    if (std::any_of(rows_.begin(), rows_.end(), [](const Row& r) { return r.key_unknown; })) {
        connection_->KeepWrites();
    }
    result_ = connection_->Query(*source_);
    rows_.clear();
    rows_.reserve(result_.rows.size());
    for (std::vector<Value>& values : result_.rows) {
        Row& row = rows_.emplace_back();
        row.values = std::move(values);
    }
    result_.rows.clear();
    held_.clear();
    position_ = 0;
    editing_ = false;
}

bool Recordset::Eof() const {
    RequireOpen("EOF");
    return position_ >= rows_.size();
}

void Recordset::SaveIfEditing() {
    if (editing_ || (position_ < rows_.size() && rows_[position_].is_new)) Update();
}

void Recordset::MoveNext() {
    RequireOpen("MoveNext");
    if (position_ >= rows_.size()) {
        Fail(dberr::kNoCurrentRecord,
             "Either BOF or EOF is True; MoveNext requires a current record");
    }
    SaveIfEditing();
    do {
        ++position_;
    } while (position_ < rows_.size() && rows_[position_].deleted);
}

void Recordset::MoveFirst() {
    RequireOpen("MoveFirst");
    SaveIfEditing();
    auto first = std::find_if(rows_.begin(), rows_.end(), [](const Row& r) { return !r.deleted; });
    if (first == rows_.end()) {
        Fail(dberr::kNoCurrentRecord, "Either BOF or EOF is True; MoveFirst finds no record");
    }
    position_ = static_cast<std::size_t>(first - rows_.begin());
}

void Recordset::MoveLast() {
    RequireOpen("MoveLast");
    SaveIfEditing();
    auto last = std::find_if(rows_.rbegin(), rows_.rend(), [](const Row& r) { return !r.deleted; });
    if (last == rows_.rend()) {
        Fail(dberr::kNoCurrentRecord, "Either BOF or EOF is True; MoveLast finds no record");
    }
    position_ = rows_.size() - 1 - static_cast<std::size_t>(last - rows_.rbegin());
}

Field Recordset::Fields(std::string_view name) const {
    RequireOpen("Fields");
    std::size_t column = ColumnIndex(name);
    if (position_ >= rows_.size() || rows_[position_].deleted) {
        Fail(dberr::kNoCurrentRecord,
             "Either BOF or EOF is True, or the current record has been deleted; reading field " +
                 std::string(name) + " requires a current record");
    }
    return Field(std::string(name), rows_[position_].values[column], source_);
}

void Recordset::SetField(std::string_view name, const Value& value) {
    std::size_t column = ColumnIndex(name);
    Row& row = CurrentRow("writing field " + std::string(name));
    Value converted = Named(std::string(name), Source().Text(),
                            [&] { return ValueForColumn(value, Columns()[column].sql_type); });
    if (row.written.empty()) {
        row.original = row.values;
        row.written.assign(row.values.size(), false);
    }
    row.values[column] = std::move(converted);
    row.written[column] = true;
    editing_ = true;
}

void Recordset::AddNew() {
    RequireOpen("AddNew");
    SaveIfEditing();
    Row row;
    row.values.assign(Columns().size(), Value());
    row.is_new = true;
    rows_.push_back(std::move(row));
    position_ = rows_.size() - 1;
    editing_ = true;
}

const Recordset::WritePlan& Recordset::Plan() {
    if (plan_) return *plan_;
    WritePlan plan;
    const std::vector<ColumnInfo>& columns = Columns();

    // The table: the drivers name each column's table; where they do not, the
    // FROM clause of the text does. The text looked at is the one sent, where
    // every value is a "?" or a literal with its apostrophes doubled, so no
    // value can pass itself off as a table name.
    std::string table;
    bool from_driver = false;
    for (const ColumnInfo& column : columns) {
        if (column.base_table.empty()) continue;
        if (table.empty()) {
            table = column.base_table;
            from_driver = true;
        } else if (!EqualsNoCase(table, column.base_table)) {
            Fail(dberr::kErrorsInCommand,
                 "The row cannot be saved: the record set reads more than one table");
        }
    }
    if (from_driver) {
        plan.table = {table};
    } else {
        table = Utf8ToCp1252(SingleTableOf(Source().Sent()));
        if (table.empty()) {
            Fail(dberr::kErrorsInCommand,
                 "The row cannot be saved: the record set does not read a single table");
        }
        plan.table = NameParts(table, *connection_);
    }
    plan.shown_table = table;
    // Catalog functions take the name as stored.
    const std::string& catalog_name = plan.table.back();

    plan.writable.assign(columns.size(), true);
    plan.columns.resize(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        // A column without a table beside columns with one is computed.
        if (from_driver && columns[i].base_table.empty()) plan.writable[i] = false;
        plan.columns[i] = columns[i].base_column.empty() ? columns[i].name : columns[i].base_column;
    }

    auto find_all = [&](const std::vector<std::string>& names) {
        std::vector<std::size_t> indexes;
        for (const std::string& name : names) {
            auto found = std::find_if(plan.columns.begin(), plan.columns.end(),
                                      [&](const std::string& c) { return EqualsNoCase(c, name); });
            if (found == plan.columns.end()) return std::vector<std::size_t>();
            indexes.push_back(static_cast<std::size_t>(found - plan.columns.begin()));
        }
        return indexes;
    };
    const std::vector<std::string>& primary = connection_->PrimaryKey(catalog_name);
    plan.key = find_all(primary);
    if (plan.key.empty()) {
        if (!primary.empty()) {
            Fail(dberr::kErrorsInCommand, "The row cannot be saved: the key column " +
                                              primary.front() + " of table " + table +
                                              " is not among the columns read");
        }
        plan.key = find_all(connection_->BestRowIdentifier(catalog_name));
    }
    if (plan.key.empty()) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (plan.writable[i]) plan.key.push_back(i);
        }
        if (IsDistinct(Source().Sent())) {
            plan.locate = Locate::kGroup;
        } else {
            switch (connection_->dbms()) {
                case Dbms::kSqlite:
                    plan.locate = Locate::kFirstByRowid;
                    break;
                case Dbms::kPostgreSql:
                    plan.locate = Locate::kFirstByCtid;
                    break;
                case Dbms::kSqlServer:
                    plan.locate = Locate::kFirstByTop;
                    break;
                case Dbms::kUnknown:
                    plan.locate = Locate::kCannotLocate;
                    break;
            }
        }
    }
    plan_ = std::move(plan);
    return *plan_;
}

void Recordset::AppendTable(SqlText& statement) {
    const WritePlan& plan = Plan();
    for (std::size_t i = 0; i < plan.table.size(); ++i) {
        if (i > 0) statement.Add(".");
        statement.Identifier(*connection_, plan.table[i]);
    }
}

void Recordset::AppendConditions(SqlText& statement, const Row& row) {
    const WritePlan& plan = Plan();
    for (std::size_t n = 0; n < plan.key.size(); ++n) {
        const std::size_t column = plan.key[n];
        if (n > 0) statement.Add(" AND ");
        statement.Identifier(*connection_, plan.columns[column]);
        const Value& original = Original(row, column);
        if (original.IsNull()) {
            statement.Add(" IS NULL");
        } else {
            statement.Add(" = ").Param(original);
        }
    }
}

void Recordset::AppendWhereKey(SqlText& statement, const Row& row) {
    switch (Plan().locate) {
        case Locate::kByKey:
        case Locate::kGroup:
        case Locate::kFirstByTop:
            statement.Add(" WHERE ");
            AppendConditions(statement, row);
            return;
        case Locate::kFirstByRowid:
            statement.Add(" WHERE rowid = (SELECT rowid FROM ");
            break;
        case Locate::kFirstByCtid:
            statement.Add(" WHERE ctid = (SELECT ctid FROM ");
            break;
        case Locate::kCannotLocate:
            Fail(dberr::kErrorsInCommand,
                 "The row cannot be saved: table " + plan_->shown_table +
                     " has no key, and this database offers no way to change just one of "
                     "several identical rows");
    }
    AppendTable(statement);
    statement.Add(" WHERE ");
    AppendConditions(statement, row);
    statement.Add(" LIMIT 1)");
}

void Recordset::Insert(Row& row) {
    const WritePlan& plan = Plan();
    SqlText insert("INSERT INTO ");
    AppendTable(insert);
    std::vector<std::size_t> written;
    for (std::size_t i = 0; i < row.values.size(); ++i) {
        if (Written(row, i)) written.push_back(i);
    }
    if (written.empty()) {
        insert.Add(" DEFAULT VALUES");
    } else {
        insert.Add(" (");
        for (std::size_t n = 0; n < written.size(); ++n) {
            if (n > 0) insert.Add(", ");
            insert.Identifier(*connection_, plan.columns[written[n]]);
        }
        insert.Add(") VALUES (");
        for (std::size_t n = 0; n < written.size(); ++n) {
            if (n > 0) insert.Add(", ");
            insert.Param(row.values[written[n]], Columns()[written[n]].sql_type);
        }
        insert.Add(")");
    }
    connection_->Execute(insert);
    row.is_new = false;
    // Unless every key column was written, the database chose the key (an
    // identity) or the values (defaults): the row can be found again only
    // after Requery has read it, and from then on the insert must never be
    // sent twice.
    row.key_unknown = KeyUnknown(row);
}

void Recordset::HoldNewRows() {
    // On a closed record set it is no use of its own: the steps that use it say so.
    holding_ = open_ && (connection_->dbms() == Dbms::kPostgreSql ||
                         connection_->dbms() == Dbms::kSqlite);
}

std::vector<std::vector<std::size_t>> Recordset::HeldRuns() {
    // PostgreSQL takes at most 65,535 parameters in a statement, SQLite 32,766.
    constexpr std::size_t kMostParameters = 30000;
    std::vector<std::vector<std::size_t>> runs;
    std::size_t parameters = 0;
    for (std::size_t index : held_) {
        const Row& row = rows_[index];
        if (!row.held || row.deleted) continue;
        const std::size_t written =
            static_cast<std::size_t>(std::count(row.written.begin(), row.written.end(), true));
        if (runs.empty() || rows_[runs.back().front()].written != row.written ||
            parameters + written > kMostParameters) {
            runs.emplace_back();
            parameters = 0;
        }
        runs.back().push_back(index);
        parameters += written;
    }
    return runs;
}

bool Recordset::InsertTogether(const std::vector<std::size_t>& rows) {
    if (rows.size() < 2) return false;
    try {
        const WritePlan& plan = Plan();
        const Row& first = rows_[rows.front()];
        std::vector<std::size_t> written;
        for (std::size_t i = 0; i < first.values.size(); ++i) {
            if (Written(first, i)) written.push_back(i);
        }
        if (written.empty()) return false;
        SqlText insert("INSERT INTO ");
        AppendTable(insert);
        insert.Add(" (");
        for (std::size_t n = 0; n < written.size(); ++n) {
            if (n > 0) insert.Add(", ");
            insert.Identifier(*connection_, plan.columns[written[n]]);
        }
        insert.Add(") VALUES ");
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (r > 0) insert.Add(", ");
            insert.Add("(");
            for (std::size_t n = 0; n < written.size(); ++n) {
                if (n > 0) insert.Add(", ");
                insert.Param(rows_[rows[r]].values[written[n]], Columns()[written[n]].sql_type);
            }
            insert.Add(")");
        }
        const bool key_unknown = KeyUnknown(first);
        // Its shape changes with the number of rows: not worth keeping prepared.
        connection_->ExecuteDirect(insert);
        for (std::size_t index : rows) {
            Row& row = rows_[index];
            row.is_new = false;
            row.held = false;
            row.key_unknown = key_unknown;
            Settle(row);
        }
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

void Recordset::InsertHeld(std::size_t index) {
    Row& row = rows_[index];
    if (!row.held) return;
    row.held = false;
    try {
        Insert(row);
    } catch (...) {
        // As Update drops a new row it could not save; the others keep their places.
        row.deleted = true;
        Settle(row);
        throw;
    }
    Settle(row);
}

bool Recordset::KeyUnknown(const Row& row) {
    const WritePlan& plan = Plan();
    return std::any_of(plan.key.begin(), plan.key.end(),
                       [&](std::size_t k) { return !Written(row, k); });
}

void Recordset::UpdateRow(Row& row) {
    const WritePlan& plan = Plan();
    if (row.key_unknown) {
        Fail(dberr::kRowNotFound, "Row cannot be located for updating: the new row of " +
                                      plan.shown_table + " must be read again (Requery) first");
    }
    SqlText update("UPDATE ");
    if (plan.locate == Locate::kFirstByTop) update.Add("TOP (1) ");
    AppendTable(update);
    update.Add(" SET ");
    bool first = true;
    for (std::size_t i = 0; i < row.values.size(); ++i) {
        if (!Written(row, i)) continue;
        if (!plan.writable[i]) {
            Fail(dberr::kErrorsInCommand,
                 "The field " + Columns()[i].name + " is computed and cannot be written");
        }
        if (!first) update.Add(", ");
        update.Identifier(*connection_, plan.columns[i])
            .Add(" = ")
            .Param(row.values[i], Columns()[i].sql_type);
        first = false;
    }
    if (first) return;
    AppendWhereKey(update, row);
    std::int64_t changed = connection_->Execute(update);
    if (changed == 0) {
        Fail(dberr::kRowNotFound,
             "Row cannot be located for updating; some values may have been changed since it "
             "was last read: " +
                 update.Text());
    }
}

void Recordset::Update() {
    RequireOpen("Update");
    if (position_ >= rows_.size()) {
        if (editing_) Fail(dberr::kNoCurrentRecord, "Update requires a current record");
        return;
    }
    Row& row = rows_[position_];
    if (row.deleted) return;
    if (row.held) return;
    if (row.is_new && holding_) {
        row.held = true;
        held_.push_back(position_);
        editing_ = false;
        return;
    }
    try {
        if (row.is_new) {
            Insert(row);
        } else if (editing_) {
            UpdateRow(row);
        }
    } catch (...) {
        // The writes that could not be saved are dropped, so that the
        // procedure's next steps (a move, the next field) are not held up by
        // the same failure again and again.
        if (row.is_new) {
            rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(position_));
            position_ = rows_.size();
        } else {
            if (!row.original.empty()) row.values = std::move(row.original);
            Settle(row);
        }
        editing_ = false;
        throw;
    }
    Settle(row);
    editing_ = false;
}

void Recordset::Delete() {
    Row& row = CurrentRow("Delete");
    editing_ = false;
    if (row.is_new) {
        row.deleted = true;
        return;
    }
    const WritePlan& plan = Plan();
    if (row.key_unknown) {
        Fail(dberr::kRowNotFound, "Row cannot be located for deletion: the new row of " +
                                      plan.shown_table + " must be read again (Requery) first");
    }
    SqlText statement("DELETE ");
    if (plan.locate == Locate::kFirstByTop) statement.Add("TOP (1) ");
    statement.Add("FROM ");
    AppendTable(statement);
    AppendWhereKey(statement, row);
    if (connection_->Execute(statement) == 0) {
        Fail(dberr::kRowNotFound,
             "Row cannot be located for deletion; it may have been deleted since it was last "
             "read: " +
                 statement.Text());
    }
    row.deleted = true;
}

void Recordset::Requery() {
    RequireOpen("Requery");
    Load();
}

void Recordset::Close() {
    RequireOpen("Close");
    open_ = false;
    holding_ = false;
    held_.clear();
    rows_.clear();
    result_ = ResultSet();
    position_ = 0;
    editing_ = false;
    plan_.reset();
}

std::size_t Recordset::RecordCount() const {
    RequireOpen("RecordCount");
    return static_cast<std::size_t>(
        std::count_if(rows_.begin(), rows_.end(), [](const Row& r) { return !r.deleted; }));
}

}  // namespace kolbi
