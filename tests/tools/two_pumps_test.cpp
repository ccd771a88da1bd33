// Two pumps, each with its own drop folder, writing one PostgreSQL database
// at the same time: the reports of one network share their products and
// drivers, so both meet the same new names at once. The database must end
// as one pump alone leaves it, with no name stored twice and no error.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>

#include "db/db_test.h"
#include "support/subprocess.h"

namespace kolbi {
namespace {

using testing::ProcessResult;
using testing::Subprocess;
using testing::TempFolder;
using Rows = std::vector<std::string>;

constexpr int kPumps = 2;

// A pump's program folder with its INI; its drop folder is in/.
void SetUpPump(const TempFolder& app, const std::string& dsn) {
    std::filesystem::create_directories(app / "in/incoming");
    app.Write("KolbiPumps.ini", "[DataBase]\r\nDsnEntry=" + dsn +
                                    "\r\n[SoftInventory]\r\nRefresh=1\r\nincomingFilesPath=" +
                                    app / "in" + "\r\nLogError=yes\r\n");
}

std::vector<std::filesystem::path> Reports(const std::string& folder) {
    std::vector<std::filesystem::path> reports;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        reports.push_back(entry.path());
    }
    std::sort(reports.begin(), reports.end());
    return reports;
}

// The reports still in a pump's drop folder or its decompressed folder.
int ReportsLeft(const TempFolder& app) {
    int left = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(app / "in")) {
        if (entry.path().extension() == ".SILog") ++left;
    }
    return left;
}

// The error lines of every log in a program folder.
std::string ErrorLines(const TempFolder& app) {
    std::string errors;
    for (const auto& entry : std::filesystem::directory_iterator(app.path())) {
        if (entry.path().extension() != ".log") continue;
        std::ifstream log(entry.path());
        for (std::string line; std::getline(log, line);) {
            if (line.rfind("Error", 0) == 0) errors += line + "\n";
        }
    }
    return errors;
}

// kolbipump-once with the program folder app, in the background.
void StartPump(std::deque<Subprocess>& pumps, const TempFolder& app) {
    pumps.emplace_back(KOLBIPUMP_ONCE_PATH, std::vector<std::string>{"--quiet"},
                       std::vector<std::string>{"KOLBI_PUMP_FOLDER=" + app.path()});
}

// What a database holds, table by table, and the names it holds twice.
Rows Summary(testing::TestDatabase& db) {
    Rows summary;
    for (const char* table :
         {"SoftProduct", "Postes", "PosteSoftware", "ODBC_Drv", "ODBC_DSN", "Changement"}) {
        summary.push_back(table + std::string(" ") +
                          db.Rows(std::string("SELECT count(*) FROM ") + table).at(0));
    }
    for (const char* twice :
         {"SELECT SOFTPRODUCT_PRODUCT_Key FROM SoftProduct GROUP BY 1 HAVING count(*) > 1",
          "SELECT Poste_Nom_Key FROM Postes GROUP BY 1 HAVING count(*) > 1",
          "SELECT ODBC_DrvName_Key, ODBC_Desc_Key, ODBC_ProdVers_Key, ODBC_CPR_Key FROM ODBC_Drv "
          "GROUP BY 1, 2, 3, 4 HAVING count(*) > 1"}) {
        for (const std::string& row : db.Rows(twice)) summary.push_back("twice: " + row);
    }
    return summary;
}

class TwoPumpsTest : public testing::DbTest {};

TEST_P(TwoPumpsTest, MeetingTheSameNewNamesStoresEachOnce) {
    TempFolder reports;
    const ProcessResult made = testing::RunProcess(
        KOLBI_REPORTGEN_PATH, {"--workstations", "24", "--products", "60", "--seed", "15",
                               "--out", reports.path()});
    ASSERT_EQ(made.exit_status, 0) << made.err;

    // One pump alone, for reference.
    testing::TestDatabase alone_db(testing::Backend::kPostgreSql);
    TempFolder alone;
    SetUpPump(alone, alone_db.dsn());
    for (const auto& report : Reports(reports.path())) {
        std::filesystem::copy_file(report, alone / ("in/" + report.filename().string()));
    }
    const ProcessResult reference = testing::RunProcess(
        KOLBIPUMP_ONCE_PATH, {"--quiet"}, {"KOLBI_PUMP_FOLDER=" + alone.path()});
    ASSERT_EQ(reference.exit_status, 0) << reference.err;

    // The reports dealt out in turn, so that both pumps start with new names.
    std::vector<TempFolder> apps(kPumps);
    for (const TempFolder& app : apps) SetUpPump(app, db_->dsn());
    int turn = 0;
    for (const auto& report : Reports(reports.path())) {
        const TempFolder& app = apps[turn++ % kPumps];
        std::filesystem::rename(report, app / ("in/" + report.filename().string()));
    }
    std::deque<Subprocess> pumps;
    for (const TempFolder& app : apps) StartPump(pumps, app);
    for (std::size_t i = 0; i < pumps.size(); ++i) {
        const ProcessResult run = pumps[i].Wait().value_or(ProcessResult{});
        EXPECT_EQ(run.exit_status, 0) << run.err;
        EXPECT_EQ(ErrorLines(apps[i]), "");
        EXPECT_EQ(ReportsLeft(apps[i]), 0);
    }
    EXPECT_EQ(ErrorLines(alone), "");
    EXPECT_EQ(Summary(*db_), Summary(alone_db));
}

INSTANTIATE_TEST_SUITE_P(Databases, TwoPumpsTest, ::testing::Values(testing::Backend::kPostgreSql),
                         [](const auto& test) { return testing::BackendName(test.param); });

}  // namespace
}  // namespace kolbi
