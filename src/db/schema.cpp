#include "db/schema.h"

#include <algorithm>
#include <cctype>

#include "common/ascii.h"
#include "common/runtime_error.h"

namespace kolbi {

// Defined in the file the build generates from sql/*.sql.
std::string_view SchemaScriptText(std::string_view name);

namespace {

bool IsGoLine(std::string_view line) {
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front()))) {
        line.remove_prefix(1);
    }
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
        line.remove_suffix(1);
    }
    return EqualsNoCase(line, "GO");
}

// The text with every run of blanks and line breaks made one space.
std::string OneLine(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!out.empty() && out.back() != ' ') out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// A trigger's statements end with ";" each, the trigger itself with "END;".
bool InsideTriggerBody(std::string_view current) {
    std::string_view text = current;
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    if (!EqualsNoCase(text.substr(0, 14), "CREATE TRIGGER")) return false;
    return !(text.size() >= 3 && EqualsNoCase(text.substr(text.size() - 3), "END") &&
             (text.size() == 3 || std::isspace(static_cast<unsigned char>(text[text.size() - 4]))));
}

void Keep(std::vector<std::string>& statements, std::string& current) {
    auto first = current.find_first_not_of(" \t\r\n");
    if (first != std::string::npos) {
        auto last = current.find_last_not_of(" \t\r\n");
        statements.push_back(current.substr(first, last - first + 1));
    }
    current.clear();
}

// The pump's SQL needs Getdate(), which on SQLite the extension kolbi_getdate
// gives: a data source that does not load it is named as the cause, before
// any table is made.
void RequireSqliteExtension(Connection& connection) {
    try {
        connection.QueryDirect(SqlText("SELECT Getdate()"));
    } catch (const RuntimeError& e) {
        throw RuntimeError(e.number(),
                           "The data source does not load the extension kolbi_getdate "
                           "(LoadExt=), so Getdate() does not work: " +
                               OneLine(e.description()),
                           e.source(), e.sqlstate(), e.native_code());
    }
}

}  // namespace

const std::vector<PumpTable>& PumpTables() {
    static const std::vector<PumpTable> tables = {
        {"Postes",
         {"PosteID", "Poste_Nom", "Poste_Domain", "Poste_FirstSoftInventory",
          "Poste_LastSoftInventory", "PosteHardID", "PosteSoftID", "Poste_OpsID",
          "Poste_SerialNumber", "Poste_BiosSerialNum", "Poste_Mac", "Poste_LastSoftUsageReport",
          "Poste_FirstHardInventory", "Poste_LastHardInventory", "Poste_LastUser"}},
        {"SoftProduct",
         {"SOFTPRODUCT_ID", "SOFTPRODUCT_PRODUCT", "SOFTPRODUCT_DESCRIPTION", "SOFTPRODUCT_VERSION",
          "SOFTPRODUCT_COPYRIGHT", "SOFTPRODUCT_PACKAGE", "SOFTPRODUCT_LICENCE_GROUPE_NUMBER",
          "SOFTPRODUCT_LICENCE_NUMBER", "SOFTPRODUCT_LICENCE_ID", "SOFTPRODUCT_LICBUY",
          "SOFTPRODUCT_PRICE", "SOFTPRODUCT_IGNORE", "SOFTPRODUCT_USED"}},
        {"PosteSoftware", {"PosteSoft_PosteID", "PosteSoft_ProductID"}},
        {"Changement",
         {"Changement_Poste", "Changement_User", "Changement_Date", "Changement_Type",
          "Changement_Critique", "Changement_Data", "Changement_ACK"}},
        {"Transactions", {"SIUser", "SIPoste"}},
        {"ODBC_Drv",
         {"ODBC_ID", "ODBC_PRODUCTID", "ODBC_DrvName", "ODBC_Desc", "ODBC_ProdVers", "ODBC_CPR"}},
        {"ODBC_DSN", {"DSN_ODBC_ID", "DSN_POSTEID", "DSN_Name", "DSN_DBName", "DSN_ServName"}},
    };
    return tables;
}

std::string_view SchemaScript(Dbms dbms) {
    switch (dbms) {
        case Dbms::kSqlite:
            return SchemaScriptText("sqlite");
        case Dbms::kPostgreSql:
            return SchemaScriptText("postgresql");
        case Dbms::kSqlServer:
            return SchemaScriptText("sqlserver");
        case Dbms::kUnknown:
            break;
    }
    return {};
}

std::vector<std::string> SplitSqlScript(std::string_view script) {
    std::vector<std::string> statements;
    std::string current;
    std::size_t i = 0;
    bool line_start = true;
    while (i < script.size()) {
        if (line_start) {
            std::size_t end = script.find('\n', i);
            std::string_view line =
                script.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
            if (IsGoLine(line)) {
                Keep(statements, current);
                i = end == std::string_view::npos ? script.size() : end + 1;
                continue;
            }
        }
        char c = script[i];
        line_start = false;
        if (c == '-' && i + 1 < script.size() && script[i + 1] == '-') {
            while (i < script.size() && script[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < script.size() && script[i + 1] == '*') {
            std::size_t end = script.find("*/", i + 2);
            i = end == std::string_view::npos ? script.size() : end + 2;
        } else if (c == '\'' || c == '"' || c == '[') {
            char close = c == '[' ? ']' : c;
            std::size_t end = script.find(close, i + 1);
            if (end == std::string_view::npos) end = script.size() - 1;
            current.append(script.substr(i, end - i + 1));
            i = end + 1;
        } else if (c == ';' && InsideTriggerBody(current)) {
            current.push_back(c);
            ++i;
        } else if (c == ';') {
            Keep(statements, current);
            ++i;
        } else {
            if (c == '\n') line_start = true;
            current.push_back(c);
            ++i;
        }
    }
    Keep(statements, current);
    return statements;
}

void ApplySchema(Connection& connection) {
    std::string_view script = SchemaScript(connection.dbms());
    if (script.empty()) {
        throw RuntimeError(errnum::kUnspecified,
                           "No schema script for the database " + connection.DbmsName() +
                               " (SQLite, PostgreSQL and SQL Server have one)");
    }
    if (connection.dbms() == Dbms::kSqlite) RequireSqliteExtension(connection);
    std::vector<std::string> statements = SplitSqlScript(script);
    for (std::size_t n = 0; n < statements.size(); ++n) {
        // DDL takes no parameters: the script the program carries goes as it
        // is written.
        try {
            connection.ExecuteDirect(SqlText::Verbatim(statements[n]));
        } catch (const RuntimeError& e) {
            throw RuntimeError(e.number(),
                               "Statement " + std::to_string(n + 1) + " of the " +
                                   connection.DbmsName() +
                                   " schema script failed: " + OneLine(e.description()),
                               e.source(), e.sqlstate(), e.native_code());
        }
    }
}

namespace {

// SELECT * FROM <table> WHERE 1 = 0: the columns of a table, no rows. The
// name is written unquoted in the pump's SQL, so it is folded as the database
// folds such names.
SqlText NoRowsOf(Connection& connection, const std::string& table) {
    SqlText select("SELECT * FROM ");
    select.Identifier(connection, connection.FoldIdentifier(table)).Add(" WHERE 1 = 0");
    return select;
}

}  // namespace

std::vector<std::string> ExistingPumpTables(Connection& connection) {
    std::vector<std::string> existing;
    for (const PumpTable& table : PumpTables()) {
        try {
            connection.QueryDirect(NoRowsOf(connection, table.name));
            existing.push_back(table.name);
        } catch (const RuntimeError&) {
            // Missing (or unreadable, which the check reports in detail).
        }
    }
    return existing;
}

std::vector<std::string> CheckSchema(Connection& connection) {
    std::vector<std::string> problems;
    for (const PumpTable& table : PumpTables()) {
        ResultSet result;
        try {
            result = connection.QueryDirect(NoRowsOf(connection, table.name));
        } catch (const RuntimeError& e) {
            problems.push_back("table " + table.name +
                               " is missing or cannot be read: " + e.description());
            continue;
        }
        for (const std::string& column : table.columns) {
            bool found =
                std::any_of(result.columns->begin(), result.columns->end(),
                            [&](const ColumnInfo& c) { return EqualsNoCase(c.name, column); });
            if (!found) problems.push_back("table " + table.name + " has no column " + column);
        }
    }
    try {
        ResultSet now = connection.QueryDirect(SqlText("SELECT Getdate()"));
        if (now.rows.size() != 1 || now.rows[0].empty() || now.rows[0][0].IsNull()) {
            problems.push_back("Getdate() gives no date");
        }
    } catch (const RuntimeError& e) {
        problems.push_back("Getdate() does not work: " + e.description());
    }
    return problems;
}

}  // namespace kolbi
