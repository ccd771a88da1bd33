#include "log/write_log.h"

#include <gtest/gtest.h>

#include "common/clock.h"
#include "common/file_helpers.h"
#include "common/profile_file.h"
#include "common/program_end.h"
#include "common/pump_settings.h"
#include "common/runtime_error.h"
#include "support/failing_file_system.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

using testing::TempFolder;

const std::string kRule(84, '-');
const std::string kTitle =
    "- Tessmar Kolbi Soft Usage Data Pump ( ERROR LOG FILE )              version 4.2.0 -";

class WriteLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAppFolderForTesting(app_.path(), "pump");
        Settings() = PumpSettings{};
        Settings().AppFolder = app_.path();
        Settings().IniFile = app_ / "KolbiPumps.ini";
        Settings().SqlDateFormat = "DD-MM-YYYY";
        Settings().LogErrors = true;
        ResetDateFormatSwitchedForTesting();
        SetDateFormatSwitchHandler(nullptr);
        clock_.SetLocal({2026, 12, 4, 9, 5, 3});
    }

    std::string Log(const std::string& name = "pump-04-12-2026.log") { return app_.Read(name); }

    TempFolder app_;
    FakeClock clock_;
    ScopedClock clock_scope_{clock_};
};

TEST_F(WriteLogTest, FirstEntryOfTheDayGetsTheHeaderAndLaterOnesDoNot) {
    WriteLog("first", kLevelError, 5);
    WriteLog("second", kLevelWarning, 5);
    WriteLog("third", 7, 5);
    EXPECT_EQ(Log(), kRule + "\r\n" + kTitle + "\r\n" + kRule + "\r\n" +
                         "Error        --> [ 04-12-2026, 9:5:3 ] first\r\n"
                         "Warning      --> [ 04-12-2026, 9:5:3 ] second\r\n"
                         "  --> [ 04-12-2026, 9:5:3 ] third\r\n");
    EXPECT_EQ(kTitle.size(), 84u);
}

TEST_F(WriteLogTest, WritesNothingAndAppliesNoPolicyWhenLoggingIsOff) {
    Settings().LogErrors = false;
    ScopedProgramEndTrap trap;
    WriteLog("lost", kLevelError, errnum::kObjectClosed);
    WriteLog("lost", kLevelError, errnum::kConversionFailed);
    EXPECT_FALSE(app_.Has("pump-04-12-2026.log"));
    EXPECT_EQ(Settings().SqlDateFormat, "DD-MM-YYYY");
    EXPECT_FALSE(DateFormatSwitched());
}

TEST_F(WriteLogTest, ConnectionErrorsEndTheProgramAfterTheLine) {
    for (std::int32_t number : {errnum::kUnspecified, errnum::kObjectClosed, errnum::kObjectOpen}) {
        ScopedProgramEndTrap trap;
        try {
            WriteLog("fatal " + std::to_string(number), kLevelError, number);
            ADD_FAILURE() << number << " did not end the program";
        } catch (const ProgramEnded& ended) {
            EXPECT_EQ(ended.exit_status, kExitFailure);
        }
        EXPECT_NE(Log().find("fatal " + std::to_string(number) + "\r\n"), std::string::npos);
    }
}

TEST_F(WriteLogTest, ConversionErrorsSwitchTheDateFormatBackAndForth) {
    int window_updates = 0;
    SetDateFormatSwitchHandler([&] { ++window_updates; });

    WriteLog("bad date", kLevelError, errnum::kConversionFailed);
    EXPECT_EQ(Log(), kRule + "\r\n" + kTitle + "\r\n" + kRule + "\r\n" +
                         "Error        --> [ 04-12-2026, 9:5:3 ] bad date\r\n"
                         "Setting      --> [ 04-12-2026, 9:5:3 ] SQL Date Format was not set or "
                         "invalid, LOTUPump set SQL Date Format to MM-DD-YY.\r\n");
    EXPECT_EQ(Settings().SqlDateFormat, "MM-DD-YY");
    EXPECT_EQ(GetPrivateProfileString("DataBase", "SqlDateFormat", "", Settings().IniFile),
              "MM-DD-YY");
    EXPECT_TRUE(DateFormatSwitched());
    EXPECT_EQ(window_updates, 1);

    // The next one lands in the file named with the new format and switches back.
    WriteLog("bad again", kLevelError, errnum::kConversionFailed);
    EXPECT_NE(Log("pump-12-04-26.log").find("[ 12-04-26, 9:5:3 ] SQL Date Format was not set or "
                                            "invalid, LOTUPump set SQL Date Format to DD-MM-YY."),
              std::string::npos);
    EXPECT_EQ(Settings().SqlDateFormat, "DD-MM-YY");
    EXPECT_EQ(window_updates, 2);
}

TEST_F(WriteLogTest, OnlyTheFourExactDayFirstFormatsSwitchToMonthFirst) {
    struct Case {
        const char* before;
        const char* after;
    };
    for (const Case& c : std::initializer_list<Case>{{"DD-MM-YY", "MM-DD-YY"},
                                                     {"DD/MM/YYYY", "MM-DD-YY"},
                                                     {"dd-mm-yyyy", "DD-MM-YY"},
                                                     {"MM-DD-YY", "DD-MM-YY"},
                                                     {"", "DD-MM-YY"}}) {
        Settings().SqlDateFormat = c.before;
        WriteLog("bad date", kLevelError, errnum::kConversionFailed);
        EXPECT_EQ(Settings().SqlDateFormat, c.after) << c.before;
    }
}

TEST_F(WriteLogTest, AnUnwritableLogLosesTheLineButKeepsThePolicies) {
    testing::FailingFileSystem fs;
    fs.fail_append = true;
    WriteLog("bad date", kLevelError, errnum::kConversionFailed);
    EXPECT_FALSE(app_.Has("pump-04-12-2026.log"));
    EXPECT_EQ(Settings().SqlDateFormat, "MM-DD-YY");

    ScopedProgramEndTrap trap;
    EXPECT_THROW(WriteLog("lost", kLevelError, errnum::kUnspecified), ProgramEnded);
}

TEST(StandardErrorReportTest, JoinsNumberDescriptionAndLocation) {
    EXPECT_EQ(StandardErrorReport(94, "Invalid use of Null", "in procedure SetTransac of Module ModSI"),
              "Error No: 94, Error Description: Invalid use of Null, in procedure SetTransac of "
              "Module ModSI");
}

}  // namespace
}  // namespace kolbi
