#include "odbc/save_odbc_inventory.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "common/pending_events.h"
#include "common/replace_all.h"
#include "db/add_row.h"
#include "db/db_connect.h"
#include "db/recordset.h"
#include "log/procedure.h"

namespace kolbi {
namespace {

constexpr char kSeparator = '\xAC';  // "¬"
// Line lengths are 16-bit numbers: a longer line cannot even be counted.
constexpr std::size_t kLongestLine = 32767;

// The inventory's steps run silently: a failing one is absorbed and the next goes on.
const auto Absorbed = [](auto&& step) { RunAbsorbed(step); };

std::vector<std::string> Split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at = text.find(separator); at != std::string_view::npos;
         at = text.find(separator, start)) {
        parts.emplace_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.emplace_back(text.substr(start));
    return parts;
}

// A data source written "(" name ";" database ";" server ")": the parts keep
// their own spaces, a missing part is empty.
std::vector<std::string> DataSourceParts(std::string_view field) {
    std::string text = TrimSpaces(field);
    text.erase(
        std::remove_if(text.begin(), text.end(), [](char c) { return c == '(' || c == ')'; }),
        text.end());
    std::vector<std::string> parts = Split(text, ';');
    parts.resize(3);
    return parts;
}

// The driver's key in ODBC_Drv, the row added when there is none. Nothing
// when a step failed or the key does not fit 32 bits: the data source is then
// not recorded at all, rather than under some other driver's key.
std::optional<std::int32_t> DriverKey(const OdbcDriver& driver, std::int32_t ProductID,
                                      DriverCache& known_drivers) {
    if (const std::optional<std::int32_t> known = known_drivers.Find(driver)) return known;
    Recordset drivers;
    std::optional<std::int32_t> key;
    const SqlText lookup = SqlText("SELECT * from ODBC_Drv Where ODBC_DrvName =")
                               .Quoted(driver.name)
                               .Add(" AND ODBC_Desc =")
                               .Quoted(driver.description)
                               .Add(" AND ODBC_ProdVers =")
                               .Quoted(driver.version)
                               .Add(" AND ODBC_CPR =")
                               .Quoted(driver.maker)
                               .Add(";");
    if (RunAbsorbed([&] { drivers.Open(lookup); })) {
        bool found = false;
        RunAbsorbed([&] { found = !drivers.Eof(); });
        if (!found) {
            const FieldWrite row[] = {
                {"ODBC_PRODUCTID", Value::Integer(ProductID)},
                {"ODBC_DrvName", Value::Text(driver.name)},
                {"ODBC_Desc", Value::Text(driver.description)},
                {"ODBC_ProdVers", Value::Text(driver.version)},
                {"ODBC_CPR", Value::Text(driver.maker)},
            };
            AddRowAndReread(drivers, row, Absorbed);
        }
        RunAbsorbed([&] { key = drivers.Fields("ODBC_ID").AsInt32(); });
        if (key) known_drivers.Remember(driver, *key);
        RunAbsorbed([&] { drivers.Close(); });
    }
    RunAbsorbed([&] { LetPendingEventsRun(); });
    return key;
}

// Adds the workstation's data source under the driver's key unless a row
// with the same five values is there. A found row is left as it is: rows
// are only added, and the look-up compares without regard to case, so
// writing the reported values again could change what is stored.
void RecordDataSource(std::int32_t key, std::int32_t PosteID, const std::vector<std::string>& ds) {
    Recordset sources;
    const SqlText lookup = SqlText("SELECT * from ODBC_DSN Where DSN_ODBC_ID =")
                               .QuotedNumber(key)
                               .Add(" AND DSN_POSTEID =")
                               .QuotedNumber(PosteID)
                               .Add(" AND DSN_Name =")
                               .Quoted(ds[0])
                               .Add(" AND DSN_DBName =")
                               .Quoted(ds[1])
                               .Add(" AND DSN_ServName =")
                               .Quoted(ds[2])
                               .Add(";");
    if (RunAbsorbed([&] { sources.Open(lookup); })) {
        bool found = true;
        RunAbsorbed([&] { found = !sources.Eof(); });
        if (!found) {
            const FieldWrite row[] = {
                {"DSN_ODBC_ID", Value::Integer(key)}, {"DSN_POSTEID", Value::Integer(PosteID)},
                {"DSN_Name", Value::Text(ds[0])},     {"DSN_DBName", Value::Text(ds[1])},
                {"DSN_ServName", Value::Text(ds[2])},
            };
            AddRow(sources, row, Absorbed);
        }
        RunAbsorbed([&] { sources.Close(); });
    }
    RunAbsorbed([&] { LetPendingEventsRun(); });
}

}  // namespace

std::optional<OdbcLine> ParseOdbcLine(const std::string& Line) {
    if (Line.size() > kLongestLine) return std::nullopt;
    const std::vector<std::string> fields = Split(Line, kSeparator);
    if (fields.size() < 5) return std::nullopt;
    OdbcLine parsed{{TrimSpaces(fields[1]), TrimSpaces(fields[2]), TrimSpaces(fields[3]),
                     TrimSpaces(fields[4])},
                    {}};
    for (std::size_t i = 5; i < fields.size(); ++i) {
        parsed.data_sources.push_back(DataSourceParts(fields[i]));
    }
    return parsed;
}

void SaveOdbcInventory(std::int32_t PosteID, std::int32_t ProductID, const std::string& Line,
                       DriverCache& known_drivers) {
    const std::optional<OdbcLine> odbc = ParseOdbcLine(Line);
    if (!odbc) return;
    // A driver is recorded only together with a data source.
    for (const std::vector<std::string>& data_source : odbc->data_sources) {
        RunAbsorbed([&] {
            if (!DBConnected()) DBConnect();
        });
        const std::optional<std::int32_t> key = DriverKey(odbc->driver, ProductID, known_drivers);
        if (key) RecordDataSource(*key, PosteID, data_source);
    }
}

}  // namespace kolbi
