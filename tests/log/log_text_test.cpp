// What reaches the error log: one encoding, one line per entry, a file name
// that is a file, and a trace for a fatal failure the log did not take.
#include "log/log_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/clock.h"
#include "common/file_helpers.h"
#include "common/program_end.h"
#include "common/pump_settings.h"
#include "log/write_log.h"
#include "support/failing_file_system.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(LogLineText, UnknownTextBecomesOneLineOfUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"Z\xC3\xBCrich-PC", "Z\xC3\xBCrich-PC"},  // UTF-8 (a file name) stays
        {"Z\xFCrich \xA9 \x80", "Z\xC3\xBCrich \xC2\xA9 \xE2\x82\xAC"},  // Windows-1252
        {"a\r\nError        --> [ forged", "a  Error        --> [ forged"},
        {"a\rb\nc\x1B[2Jd\te", "a b c [2Jd\te"},
        {"nel\xC2\x85next", "nel next"},  // U+0085 NEXT LINE
        {"cp\x85", "cp\xE2\x80\xA6"},     // in Windows-1252 0x85 is an ellipsis
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(LogLineText(in), out) << in;
}

class LogBoundaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAppFolderForTesting(app_.path(), "pump");
        Settings() = PumpSettings{};
        Settings().AppFolder = app_.path();
        Settings().SqlDateFormat = "MM/DD/YYYY";
        Settings().LogErrors = true;
        clock_.SetLocal({2026, 12, 4, 9, 5, 3});
        SetUnloggedFailureHandler([this](const std::string& text) { told_.push_back(text); });
    }
    void TearDown() override { SetUnloggedFailureHandler(nullptr); }

    void EndAfterFailure() {
        ScopedProgramEndTrap trap;
        EXPECT_THROW(EndProgramAfterFailure(), ProgramEnded);
    }

    testing::TempFolder app_;
    FakeClock clock_;
    ScopedClock clock_scope_{clock_};
    std::vector<std::string> told_;
};

TEST_F(LogBoundaryTest, ASlashInTheDateFormatIsADashInTheFileNameOnly) {
    WriteLog("Poste Z\xFCrich\r\nforged", kLevelError, 5);
    EXPECT_EQ(TodaysLogPath(), app_ / "pump-12-04-2026.log");
    EXPECT_THAT(app_.Read("pump-12-04-2026.log"),
                HasSubstr("\r\nError        --> [ 12/04/2026, 9:5:3 ] Poste Z\xC3\xBCrich  "
                          "forged\r\n"));
}

TEST_F(LogBoundaryTest, AFatalFailureTheLogDidNotTakeIsToldElsewhere) {
    WriteLog("written", kLevelError, 5);
    EndAfterFailure();
    EXPECT_TRUE(told_.empty());

    Settings().LogErrors = false;
    WriteLog("Error No: 75, off\n", kLevelError, 75);
    EndAfterFailure();
    Settings().LogErrors = true;
    {
        testing::FailingFileSystem fs;
        fs.fail_append = true;
        WriteLog("unwritable", kLevelError, 5);
        EndAfterFailure();
    }
    EXPECT_THAT(told_,
                ElementsAre("Error No: 75, off  (not in the error log: logging is off)",
                            "unwritable (not in the error log: " + app_ / "pump-12-04-2026.log)"));
}

}  // namespace
}  // namespace kolbi
