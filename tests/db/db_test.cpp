#include "db/db_test.h"

#include <sstream>

#include "common/file_helpers.h"
#include "common/pump_settings.h"
#include "db/db_connect.h"
#include "log/write_log.h"
#include "report/set_transac.h"

namespace kolbi::testing {

std::string BackendTestName(const ::testing::TestParamInfo<Backend>& param_info) {
    return BackendName(param_info.param);
}

void DbTest::SetUp() {
    if (GetParam() == Backend::kPostgreSql) KOLBI_REQUIRE_POSTGRESQL();
    db_ = std::make_unique<TestDatabase>(GetParam());
    SetAppFolderForTesting(app_.path(), "pump");
    Settings() = PumpSettings{};
    Settings().AppFolder = app_.path();
    Settings().SqlDateFormat = "DD-MM-YYYY";
    Settings().IniFile = app_ / "KolbiPumps.ini";
    Settings().LogErrors = true;
    Settings().DsnEntry = db_->dsn();
    ResetDateFormatSwitchedForTesting();
    InstallTransacAfterConnect();  // as the processing layer does
}

void DbTest::TearDown() {
    SetAfterConnect(nullptr);
    CloseAndReleaseDBConnection();
    SetDBConnected(false);
}

std::vector<std::string> DbTest::LogErrors() const {
    std::istringstream log(app_.Read(TodaysLogPath().substr(app_.path().size())));
    std::vector<std::string> errors;
    for (std::string line; std::getline(log, line);) {
        if (line.rfind("Error      ", 0) == 0) errors.push_back(line);
    }
    return errors;
}

}  // namespace kolbi::testing
