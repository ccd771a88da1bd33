#include "log/write_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/profile_file.h"
#include "common/runtime_error.h"
#include "support/failing_file_system.h"
#include "support/pump_fixture.h"

namespace kolbi {
namespace {

using testing::ExitStatusOf;
using ::testing::HasSubstr;

const std::string kHeader =
    std::string(84, '-') +
    "\r\n- Tessmar Kolbi Soft Usage Data Pump ( ERROR LOG FILE )              version 4.2.0 -\r\n" +
    std::string(84, '-') + "\r\n";

class WriteLogTest : public ::testing::Test {
protected:
    testing::PumpEnvironment pump_{"pump"};
    std::string Log(const std::string& date = "04-12-2026") {
        return pump_.app.Read("pump-" + date + ".log");
    }
};

// The header opens each day's file, so a log running across midnight gets a
// second file with its own.
TEST_F(WriteLogTest, EachDaysFileBeginsWithTheHeader) {
    WriteLog("first", kLevelError, 5);
    WriteLog("second", kLevelWarning, 5);
    pump_.clock.SetLocal({2026, 12, 4, 23, 59, 59});
    WriteLog("third", 7, 5);
    pump_.clock.SetLocal({2026, 12, 5, 0, 0, 1});
    WriteLog("after midnight", kLevelError, 5);
    EXPECT_EQ(Log(), kHeader +
                         "Error        --> [ 04-12-2026, 9:5:3 ] first\r\n"
                         "Warning      --> [ 04-12-2026, 9:5:3 ] second\r\n"
                         "  --> [ 04-12-2026, 23:59:59 ] third\r\n");
    EXPECT_EQ(Log("05-12-2026"),
              kHeader + "Error        --> [ 05-12-2026, 0:0:1 ] after midnight\r\n");
}

TEST_F(WriteLogTest, WritesNothingAndAppliesNoPolicyWhenLoggingIsOff) {
    Settings().LogErrors = false;
    EXPECT_EQ(ExitStatusOf([] { WriteLog("lost", kLevelError, errnum::kObjectClosed); }),
              std::nullopt);
    WriteLog("lost", kLevelError, errnum::kConversionFailed);
    EXPECT_EQ(pump_.Log(), "");
    EXPECT_EQ(Settings().SqlDateFormat, "DD-MM-YYYY");
    EXPECT_FALSE(DateFormatSwitched());
}

TEST_F(WriteLogTest, ConnectionErrorsEndTheProgramAfterTheLine) {
    for (std::int32_t number : {errnum::kUnspecified, errnum::kObjectClosed, errnum::kObjectOpen}) {
        const std::string line = "fatal " + std::to_string(number);
        EXPECT_EQ(ExitStatusOf([&] { WriteLog(line, kLevelError, number); }), kExitFailure);
        EXPECT_THAT(Log(), HasSubstr(line + "\r\n"));
    }
}

TEST_F(WriteLogTest, ConversionErrorsSwitchTheDateFormatBackAndForth) {
    int window_updates = 0;
    SetDateFormatSwitchHandler([&] { ++window_updates; });
    WriteLog("bad date", kLevelError, errnum::kConversionFailed);
    EXPECT_EQ(Log(), kHeader +
                         "Error        --> [ 04-12-2026, 9:5:3 ] bad date\r\n"
                         "Setting      --> [ 04-12-2026, 9:5:3 ] SQL Date Format was not set or "
                         "invalid, LOTUPump set SQL Date Format to MM-DD-YY.\r\n");
    EXPECT_EQ(GetPrivateProfileString("DataBase", "SqlDateFormat", "", Settings().IniFile),
              "MM-DD-YY");
    EXPECT_TRUE(DateFormatSwitched());
    EXPECT_EQ(window_updates, 1);

    // The next one lands in the file named with the new format and switches back.
    WriteLog("bad again", kLevelError, errnum::kConversionFailed);
    EXPECT_THAT(Log("12-04-26"), HasSubstr("[ 12-04-26, 9:5:3 ] SQL Date Format was not set or "
                                           "invalid, LOTUPump set SQL Date Format to DD-MM-YY."));
    EXPECT_EQ(window_updates, 2);
    // Only the four exact day-first formats switch to month-first.
    for (const auto& [before, after] :
         std::initializer_list<std::pair<const char*, const char*>>{{"DD-MM-YY", "MM-DD-YY"},
                                                                    {"DD/MM/YYYY", "MM-DD-YY"},
                                                                    {"dd-mm-yyyy", "DD-MM-YY"},
                                                                    {"", "DD-MM-YY"}}) {
        Settings().SqlDateFormat = before;
        WriteLog("bad date", kLevelError, errnum::kConversionFailed);
        EXPECT_EQ(Settings().SqlDateFormat, after) << before;
    }
}

TEST_F(WriteLogTest, AnUnwritableLogLosesTheLineButKeepsThePolicies) {
    testing::FailingFileSystem fs;
    fs.fail_append = true;
    WriteLog("bad date", kLevelError, errnum::kConversionFailed);
    EXPECT_FALSE(pump_.app.Has("pump-04-12-2026.log"));
    EXPECT_EQ(Settings().SqlDateFormat, "MM-DD-YY");
    EXPECT_EQ(ExitStatusOf([] { WriteLog("lost", kLevelError, errnum::kUnspecified); }),
              kExitFailure);
}

TEST(StandardErrorReportTest, JoinsNumberDescriptionAndLocation) {
    EXPECT_EQ(
        StandardErrorReport(94, "Invalid use of Null", "in procedure SetTransac of Module ModSI"),
        "Error No: 94, Error Description: Invalid use of Null, in procedure SetTransac of "
        "Module ModSI");
}

}  // namespace
}  // namespace kolbi
