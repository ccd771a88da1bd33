// The product lookup the catalogue runs once per report line, with the
// statement prepared once and reused, and sent afresh every time:
//
//   build/bin/db_bench                       SQLite only
//   eval "$(scripts/pg-scratch.sh start /tmp/kolbi-pg)"; build/bin/db_bench   both
//
// items_per_second is lookups per second.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "db/recordset.h"
#include "db/test_database.h"

namespace kolbi {
namespace {

constexpr int kProducts = 2000;

std::string ProductName(int i) { return "Product number " + std::to_string(i); }

// One database per backend for the whole run, filled once.
testing::TestDatabase& Database(testing::Backend backend) {
    static std::unique_ptr<testing::TestDatabase> databases[2];
    auto& db = databases[static_cast<int>(backend)];
    if (!db) {
        db = std::make_unique<testing::TestDatabase>(backend);
        db->Run("DELETE FROM SoftProduct");
        for (int i = 0; i < kProducts; ++i) {
            SqlText insert("INSERT INTO SoftProduct (SOFTPRODUCT_PRODUCT, SOFTPRODUCT_VERSION) ");
            insert.Add("VALUES (").Quoted(ProductName(i)).Add(", '1.0')");
            db->connection().Execute(insert);
        }
    }
    return *db;
}

void ProductLookup(benchmark::State& state, testing::Backend backend, bool reuse) {
    Connection& connection = Database(backend).connection();
    connection.SetStatementReuse(reuse);
    int i = 0;
    std::int64_t found = 0;
    for (auto _ : state) {
        SqlText lookup("SELECT * From SoftProduct ");
        lookup.Add("WHERE SOFTPRODUCT_PRODUCT = ").Quoted(ProductName(i++ % kProducts)).Add(" ");
        Recordset rs;
        rs.Open(connection, lookup);
        if (!rs.Eof()) found += rs.Fields("SOFTPRODUCT_ID").AsInteger();
        rs.Close();
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(state.iterations());
    connection.SetStatementReuse(true);
}

void Register(testing::Backend backend) {
    const std::string name = "ProductLookup/" + testing::BackendName(backend);
    benchmark::RegisterBenchmark((name + "/prepared").c_str(), ProductLookup, backend, true)
        ->UseRealTime();
    benchmark::RegisterBenchmark((name + "/unprepared").c_str(), ProductLookup, backend, false)
        ->UseRealTime();
}

}  // namespace
}  // namespace kolbi

int main(int argc, char** argv) {
    kolbi::Register(kolbi::testing::Backend::kSqlite);
    if (kolbi::testing::PostgreSqlUnavailable().empty()) {
        kolbi::Register(kolbi::testing::Backend::kPostgreSql);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
