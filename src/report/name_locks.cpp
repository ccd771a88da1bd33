#include "report/name_locks.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/cp1252.h"
#include "db/db_connect.h"
#include "db/name_key.h"
#include "odbc/save_odbc_inventory.h"
#include "report/catalogue.h"
#include "report/report_line.h"

namespace kolbi {
namespace {

// One statement takes at most this many locks: PostgreSQL allows 1,664
// columns in a select list.
constexpr std::size_t kLocksPerStatement = 1000;

// The lock of a name of one kind (a product and a workstation of the same
// name are different things): FNV-1a over the kind and the name's key.
std::int64_t LockOf(char kind, std::string_view utf8_name) {
    std::uint64_t hash = 14695981039346656037ULL;
    auto mix = [&](unsigned char byte) {
        hash ^= byte;
        hash *= 1099511628211ULL;
    };
    mix(static_cast<unsigned char>(kind));
    for (const char c : NameKey(utf8_name)) mix(static_cast<unsigned char>(c));
    return static_cast<std::int64_t>(hash);
}

// The locks of the names this report may create or fill in.
std::vector<std::int64_t> LocksFor(const ListBox& lstInFile, const PassState& pass,
                                   bool new_workstation) {
    std::vector<std::int64_t> locks;
    if (new_workstation) locks.push_back(LockOf('W', pass.workstation));
    for (const std::string& text : lstInFile.Items()) {
        // A line whose fields cannot be taken here fails again in its own
        // step, which reports it; it creates nothing.
        RunAbsorbed([&] {
            const ReportLine line = TakeFields(text);
            const CataloguedAs names = CatalogueNames(line);
            if (!names.product.empty() && !names.vendor.empty()) {
                const KnownProduct* seen = pass.known.products.Find(names.product);
                if (!seen || ProductCache::NeedsLookUp(*seen, line.description, names.vendor,
                                                       line.version)) {
                    locks.push_back(LockOf('P', Cp1252ToUtf8(names.product)));
                }
            }
            if (!line.odbc) return;
            // A driver is recorded only together with a data source.
            const std::optional<OdbcLine> odbc = ParseOdbcLine(line.odbc_line);
            if (odbc && !odbc->data_sources.empty() && !pass.known.drivers.Find(odbc->driver)) {
                locks.push_back(LockOf('D', Cp1252ToUtf8(odbc->driver.name)));
            }
        });
    }
    std::sort(locks.begin(), locks.end());
    locks.erase(std::unique(locks.begin(), locks.end()), locks.end());
    return locks;
}

}  // namespace

void LockNamesToCreate(const ListBox& lstInFile, const PassState& pass, bool new_workstation) {
    Connection& connection = DBConnection();
    if (connection.dbms() != Dbms::kPostgreSql) return;
    const std::vector<std::int64_t> locks = LocksFor(lstInFile, pass, new_workstation);
    // The select list is evaluated from left to right: the locks are taken
    // in ascending order, by every pump alike.
    for (std::size_t first = 0; first < locks.size(); first += kLocksPerStatement) {
        const std::size_t end = std::min(locks.size(), first + kLocksPerStatement);
        SqlText sql("SELECT ");
        for (std::size_t i = first; i < end; ++i) {
            if (i > first) sql.Add(", ");
            sql.Add("pg_advisory_xact_lock(").Number(locks[i]).Add(")");
        }
        // Its shape changes with the number of names: not worth keeping prepared.
        connection.ExecuteDirect(sql);
    }
}

}  // namespace kolbi
