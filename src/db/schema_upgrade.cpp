#include "db/schema_upgrade.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>

#include "common/ascii.h"
#include "common/runtime_error.h"
#include "db/name_key.h"
#include "db/schema.h"
#include "db/schema_version.h"

namespace kolbi {
namespace {

// ODBC's SQL_CHAR: how the PostgreSQL driver describes a bpchar column.
constexpr int kSqlChar = 1;

// The text with every run of blanks made one space, in lower case: SQLite
// keeps a CREATE text as it was sent, but whitespace and case say nothing.
std::string Normalized(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!out.empty() && out.back() != ' ') out.push_back(' ');
        } else {
            out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::vector<std::string> SqliteDifferences(Connection& connection) {
    std::vector<std::string> problems;
    for (const std::string& statement : SplitSqlScript(SchemaScript(Dbms::kSqlite))) {
        // "CREATE TABLE|INDEX|TRIGGER name ..."
        const std::string normal = Normalized(statement);
        std::vector<std::string> words;
        std::size_t at = 0;
        while (words.size() < 3 && at < normal.size()) {
            std::size_t end = normal.find_first_of(" (", at);
            if (end == std::string::npos) end = normal.size();
            words.push_back(normal.substr(at, end - at));
            at = end + 1;
        }
        if (words.size() < 3 || words[0] != "create") continue;
        const std::string& kind = words[1];
        const std::string& name = words[2];
        ResultSet stored = connection.QueryDirect(
            SqlText("SELECT sql FROM sqlite_master WHERE lower(name) = ").Param(Value::Text(name)));
        if (stored.rows.empty() || stored.rows[0][0].IsNull()) {
            problems.push_back(kind + " " + name + " is missing");
        } else if (Normalized(stored.rows[0][0].AsText()) != normal) {
            problems.push_back(kind + " " + name +
                               " differs from the current script (types, collations, checks, "
                               "keys or indexed columns)");
        }
    }
    return problems;
}

// Every column (type, collation, identity, generation) and index of the
// tables in a PostgreSQL schema, one line each.
std::set<std::string> PostgreSqlShape(Connection& connection, const std::string& schema) {
    SqlText describe(
        "SELECT 'column ' || c.relname || '.' || a.attname || ' ' || "
        "format_type(a.atttypid, a.atttypmod) || coalesce(' collate ' || co.collname, '') || "
        "CASE WHEN a.attidentity <> '' THEN ' identity' ELSE '' END || "
        "coalesce(' generated ' || pg_get_expr(d.adbin, d.adrelid), '') "
        "FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
        "JOIN pg_namespace n ON n.oid = c.relnamespace "
        "LEFT JOIN pg_collation co ON co.oid = a.attcollation AND co.collname <> 'default' "
        "LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum "
        "AND a.attgenerated <> '' "
        "WHERE n.nspname = ");
    describe.Param(Value::Text(schema))
        .Add(
            " AND c.relkind = 'r' AND a.attnum > 0 AND NOT a.attisdropped "
            "UNION ALL SELECT 'index ' || regexp_replace(pg_get_indexdef(i.indexrelid), "
            "' ON [^ ]+[.]', ' ON ') "
            "FROM pg_index i JOIN pg_class c ON c.oid = i.indrelid "
            "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = ")
        .Param(Value::Text(schema));
    std::set<std::string> shape;
    const ResultSet result = connection.QueryDirect(describe);
    for (const auto& row : result.rows) shape.insert(row[0].AsText());
    return shape;
}

std::vector<std::string> PostgreSqlDifferences(Connection& connection) {
    ResultSet current = connection.QueryDirect(SqlText("SELECT current_schema()"));
    const std::string live_schema = current.rows.at(0).at(0).AsText();
    std::set<std::string> wanted;
    connection.BeginTransaction();
    try {
        connection.ExecuteDirect(SqlText("CREATE SCHEMA kolbi_reference"));
        connection.QueryDirect(
            SqlText("SELECT set_config('search_path', 'kolbi_reference, ' || "
                    "current_setting('search_path'), true)"));
        ApplySchema(connection);
        wanted = PostgreSqlShape(connection, "kolbi_reference");
    } catch (...) {
        connection.RollbackTransaction();
        throw;
    }
    connection.RollbackTransaction();
    const std::set<std::string> live = PostgreSqlShape(connection, live_schema);
    std::vector<std::string> problems;
    for (const std::string& line : wanted) {
        if (!live.count(line)) problems.push_back("not as the current script has it: " + line);
    }
    return problems;
}

// The identity column of the tables that have one.
const std::map<std::string, std::string>& IdentityColumns() {
    static const std::map<std::string, std::string> columns = {
        {"Postes", "PosteID"},
        {"SoftProduct", "SOFTPRODUCT_ID"},
        {"Changement", "Changement_ID"},
        {"ODBC_Drv", "ODBC_ID"},
    };
    return columns;
}

std::vector<ColumnInfo> ColumnInfosOf(Connection& connection, const std::string& table) {
    SqlText select("SELECT * FROM ");
    select.Identifier(connection, connection.FoldIdentifier(table)).Add(" WHERE 1 = 0");
    return *connection.QueryDirect(select).columns;
}

std::vector<std::string> ColumnsOf(Connection& connection, const std::string& table) {
    std::vector<std::string> names;
    for (const ColumnInfo& column : ColumnInfosOf(connection, table)) names.push_back(column.name);
    return names;
}

// A key column is the schema's to fill.
bool IsNameKey(const std::string& column) {
    constexpr std::string_view kSuffix = "_Key";
    return column.size() > kSuffix.size() &&
           EqualsNoCase(std::string_view(column).substr(column.size() - kSuffix.size()), kSuffix) &&
           HasNameKey(std::string_view(column).substr(0, column.size() - kSuffix.size()));
}

std::int64_t IntegerOr0(const ResultSet& result) {
    if (result.rows.empty() || result.rows[0].empty() || result.rows[0][0].IsNull()) return 0;
    return result.rows[0][0].AsInteger();
}

// The highest identity the table has given: its sequence's, or its highest key.
std::int64_t HighestIdentity(Connection& connection, const std::string& table,
                             const std::string& column) {
    std::int64_t highest = 0;
    if (connection.dbms() == Dbms::kSqlite) {
        highest = IntegerOr0(connection.QueryDirect(
            SqlText("SELECT seq FROM sqlite_sequence WHERE lower(name) = lower(")
                .Param(Value::Text(table))
                .Add(")")));
    } else {
        highest = IntegerOr0(connection.QueryDirect(
            SqlText("SELECT s.last_value FROM pg_sequences s WHERE quote_ident(s.schemaname) || "
                    "'.' || quote_ident(s.sequencename) = pg_get_serial_sequence(")
                .Param(Value::Text(connection.FoldIdentifier(table)))
                .Add(", ")
                .Param(Value::Text(connection.FoldIdentifier(column)))
                .Add(")")));
    }
    SqlText max("SELECT max(");
    max.Identifier(connection, connection.FoldIdentifier(column)).Add(") FROM ");
    max.Identifier(connection, connection.FoldIdentifier(table));
    return std::max(highest, IntegerOr0(connection.QueryDirect(max)));
}

void GoOnFrom(Connection& connection, const std::string& table, const std::string& column,
              std::int64_t highest) {
    if (highest <= 0) return;
    if (connection.dbms() == Dbms::kSqlite) {
        connection.ExecuteDirect(SqlText("DELETE FROM sqlite_sequence WHERE lower(name) = lower(")
                                     .Param(Value::Text(table))
                                     .Add(")"));
        connection.ExecuteDirect(SqlText("INSERT INTO sqlite_sequence (name, seq) VALUES (")
                                     .Param(Value::Text(table))
                                     .Add(", ")
                                     .Param(Value::Integer(highest))
                                     .Add(")"));
    } else {
        connection.QueryDirect(SqlText("SELECT setval(pg_get_serial_sequence(")
                                   .Param(Value::Text(connection.FoldIdentifier(table)))
                                   .Add(", ")
                                   .Param(Value::Text(connection.FoldIdentifier(column)))
                                   .Add("), ")
                                   .Param(Value::Integer(highest))
                                   .Add(")"));
    }
}

struct SetAside {
    std::string table;
    std::string copy;
    std::vector<std::string> columns;
    std::set<std::string> blank_padded;
    std::int64_t highest = 0;
    std::int64_t rows = 0;
};

void UpgradeInTransaction(Connection& connection, bool versioned, std::vector<SetAside>& tables) {
    for (const std::string& name : ExistingPumpTables(connection)) {
        SetAside table;
        table.table = name;
        table.copy = "kolbi_upgrade_" + name;
        for (const ColumnInfo& column : ColumnInfosOf(connection, name)) {
            table.columns.push_back(column.name);
            if (connection.dbms() == Dbms::kPostgreSql && column.sql_type == kSqlChar) {
                table.blank_padded.insert(column.name);
            }
        }
        auto identity = IdentityColumns().find(name);
        if (identity != IdentityColumns().end()) {
            table.highest = HighestIdentity(connection, name, identity->second);
        }
        SqlText copy("CREATE TEMP TABLE ");
        copy.Identifier(connection, connection.FoldIdentifier(table.copy))
            .Add(" AS SELECT * FROM ");
        copy.Identifier(connection, connection.FoldIdentifier(name));
        connection.ExecuteDirect(copy);
        SqlText drop("DROP TABLE ");
        drop.Identifier(connection, connection.FoldIdentifier(name));
        connection.ExecuteDirect(drop);
        tables.push_back(std::move(table));
    }
    // A version table of a later schema script than the first is made anew too.
    if (versioned) connection.ExecuteDirect(SqlText("DROP TABLE SchemaVersion"));
    ApplySchema(connection);
    for (SetAside& table : tables) {
        const std::vector<std::string> now = ColumnsOf(connection, table.table);
        std::vector<std::string> kept;
        for (const std::string& column : table.columns) {
            if (IsNameKey(column)) continue;
            if (std::any_of(now.begin(), now.end(),
                            [&](const std::string& c) { return EqualsNoCase(c, column); })) {
                kept.push_back(column);
            }
        }
        SqlText columns;
        SqlText values;
        for (std::size_t n = 0; n < kept.size(); ++n) {
            if (n > 0) {
                columns.Add(", ");
                values.Add(", ");
            }
            columns.Identifier(connection, kept[n]);
            // An earlier PostgreSQL script stored names as bpchar, whose
            // cast to text cuts the trailing spaces; its output keeps them.
            if (table.blank_padded.count(kept[n])) {
                values.Add("concat(").Identifier(connection, kept[n]).Add(")");
            } else {
                values.Identifier(connection, kept[n]);
            }
        }
        SqlText insert("INSERT INTO ");
        insert.Identifier(connection, connection.FoldIdentifier(table.table)).Add(" (");
        insert.Add(columns).Add(") SELECT ").Add(values).Add(" FROM ");
        insert.Identifier(connection, connection.FoldIdentifier(table.copy));
        table.rows = kept.empty() ? 0 : connection.ExecuteDirect(insert);
        auto identity = IdentityColumns().find(table.table);
        if (identity != IdentityColumns().end()) {
            GoOnFrom(connection, table.table, identity->second, table.highest);
        }
        SqlText drop("DROP TABLE ");
        drop.Identifier(connection, connection.FoldIdentifier(table.copy));
        connection.ExecuteDirect(drop);
    }
    if (connection.dbms() == Dbms::kPostgreSql) {
        // The collation of earlier scripts, which nothing uses any more.
        connection.ExecuteDirect(SqlText("DROP COLLATION IF EXISTS kolbi_name"));
    }
}

}  // namespace

std::vector<std::string> CompareWithScript(Connection& connection) {
    switch (connection.dbms()) {
        case Dbms::kSqlite:
            return SqliteDifferences(connection);
        case Dbms::kPostgreSql:
            return PostgreSqlDifferences(connection);
        case Dbms::kSqlServer:
        case Dbms::kUnknown:
            break;
    }
    return {};
}

std::string UpgradeSchema(Connection& connection) {
    if (connection.dbms() != Dbms::kSqlite && connection.dbms() != Dbms::kPostgreSql) {
        throw RuntimeError(errnum::kUnspecified,
                           "kolbidb upgrades SQLite and PostgreSQL databases; for " +
                               connection.DbmsName() + " run the changes of sql/ by hand");
    }
    const std::optional<int> before = RecordedSchemaVersion(connection);
    if (before && *before > kSchemaVersion) {
        throw RuntimeError(errnum::kUnspecified, "The database's schema is version " +
                                                     std::to_string(*before) +
                                                     ", newer than this kolbidb knows (" +
                                                     std::to_string(kSchemaVersion) + ")");
    }
    if (before == kSchemaVersion) {
        return "The schema is version " + std::to_string(kSchemaVersion) +
               " already; nothing to do.";
    }
    std::vector<SetAside> tables;
    connection.BeginTransaction();
    try {
        UpgradeInTransaction(connection, before.has_value(), tables);
        connection.CommitTransaction();
    } catch (...) {
        connection.RollbackTransaction();
        throw;
    }
    std::string done = (before ? "Schema version " + std::to_string(*before)
                               : std::string("A schema that records no version")) +
                       " brought to version " + std::to_string(kSchemaVersion) + ":";
    for (const SetAside& table : tables) {
        done += " " + table.table + " " + std::to_string(table.rows) + " row(s);";
    }
    done.back() = '.';
    return done;
}

}  // namespace kolbi
