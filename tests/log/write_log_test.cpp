// The error log: the date as its pattern writes it, one line of UTF-8 per
// entry, each day's file with its header, the policies that hang on an
// error's number, and the one failure mechanism that reports to it (a failing
// step is reported, then the procedure's rule says whether the next one runs).
#include "log/write_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <tuple>

#include "common/profile_file.h"
#include "common/pump_metrics.h"
#include "common/runtime_error.h"
#include "db/db_error.h"
#include "log/journal.h"
#include "log/log_date.h"
#include "log/log_text.h"
#include "log/procedure.h"
#include "support/failing_file_system.h"
#include "support/pump_fixture.h"

namespace kolbi {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using testing::ExitStatusOf;
using ::testing::HasSubstr;
using ::testing::Not;

// The usual patterns show in the log tests below.
TEST(FormatLogDate, LettersInEitherCaseAndAnythingElseStandsForItself) {
    EXPECT_EQ(FormatLogDate("dd-mm-yyyy YYYYMMDD YYY x", {2026, 12, 4, 9, 5, 3}),
              "04-12-2026 20261204 26Y x");
}

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
// second file with its own. A "/" in the date format, which would make a
// folder of the date, is a "-" in the file name only.
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
    // What failed is for the pump's user and its group, not for everyone.
    struct stat st {};
    ASSERT_EQ(::stat((pump_.app / "pump-05-12-2026.log").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    Settings().SqlDateFormat = "MM/DD/YYYY";
    WriteLog("Poste Z\xFCrich\r\nforged", kLevelError, 5);
    EXPECT_EQ(Log("12-05-2026"),
              kHeader + "Error        --> [ 12/05/2026, 0:0:1 ] Poste Z\xC3\xBCrich  forged\r\n");
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
    // Only the four exact day-first formats switch to month-first.
    const std::pair<const char*, const char*> switches[] = {{"MM-DD-YY", "DD-MM-YY"},
                                                            {"DD-MM-YY", "MM-DD-YY"},
                                                            {"DD/MM/YYYY", "MM-DD-YY"},
                                                            {"dd-mm-yyyy", "DD-MM-YY"},
                                                            {"", "DD-MM-YY"}};
    for (const auto& [before, after] : switches) {
        Settings().SqlDateFormat = before;
        WriteLog("bad date", kLevelError, errnum::kConversionFailed);
        EXPECT_EQ(Settings().SqlDateFormat, after) << before;
    }
    EXPECT_EQ(window_updates, 6);
}

// A lost connection or an object in the wrong state ends the program after
// its line. An entry the log did not take is handed on when the program ends
// on it: the host says it on syslog and the terminal. With logging off those
// errors end the program all the same and no other number does, nor does the
// date format switch; an unwritable log keeps every policy.
TEST_F(WriteLogTest, AnEntryTheLogDidNotTakeIsHandedOnAtAFatalEnd) {
    std::vector<std::string> told;
    SetUnloggedFailureHandler([&](const std::string& text) { told.push_back(text); });
    Settings().LogErrors = false;
    for (std::int32_t number : {errnum::kConversionFailed, 5, 3706, errnum::kUnspecified + 1}) {
        EXPECT_EQ(ExitStatusOf([&] { WriteLog("off", kLevelError, number); }), std::nullopt)
            << number;
    }
    EXPECT_FALSE(DateFormatSwitched());
    for (std::int32_t number : {errnum::kUnspecified, errnum::kObjectClosed, errnum::kObjectOpen}) {
        EXPECT_EQ(
            ExitStatusOf([&] { WriteLog("lost " + std::to_string(number), kLevelError, number); }),
            kExitFailure);
    }
    EXPECT_EQ(pump_.Log(), "");
    Settings().LogErrors = true;
    for (std::int32_t number : {errnum::kUnspecified, errnum::kObjectClosed, errnum::kObjectOpen}) {
        const std::string line = "fatal " + std::to_string(number);
        EXPECT_EQ(ExitStatusOf([&] { WriteLog(line, kLevelError, number); }), kExitFailure);
        EXPECT_THAT(Log(), HasSubstr(line + "\r\n"));
    }
    testing::FailingFileSystem fs;
    fs.fail_append = true;
    WriteLog("bad date", kLevelError, errnum::kConversionFailed);  // switches all the same
    EXPECT_EQ(ExitStatusOf([] { WriteLog("unwritable", kLevelError, errnum::kUnspecified); }),
              kExitFailure);
    WriteLog("lost", kLevelError, 5);
    fs.fail_append = false;
    WriteLog("written after it", kLevelError, 5);
    EXPECT_EQ(ExitStatusOf(EndProgramAfterFailure), kExitFailure);  // nothing to hand on
    SetUnloggedFailureHandler(nullptr);
    EXPECT_THAT(
        told, ElementsAre("lost -2147467259 (not in the error log: logging is off)",
                          "lost 3704 (not in the error log: logging is off)",
                          "lost 3705 (not in the error log: logging is off)",
                          "unwritable (not in the error log: " + pump_.app / "pump-12-04-26.log)"));
}

void Fail(std::int32_t number) { throw RuntimeError(number, "it broke"); }

// Every line reaches the journal, logging on or off, as the file has it and
// with its number and place as fields; a date-format switch's line as a
// notice. Errors count, database ones apart.
TEST_F(WriteLogTest, EveryLineAlsoGoesToTheJournalWithItsNumberAndProcedure) {
    const std::string where = "in procedure SaveNewPoste of Module ModSI";
    Procedure proc(where, AfterReport::kContinue);
    proc.Run([] { Fail(errnum::kConversionFailed); });
    Settings().LogErrors = false;
    proc.Run([] { Fail(dberr::kIntegrityViolation); });
    WriteLog("Poste Z\xFCrich\r\nforged", kLevelWarning, 0);
    WriteLog("Incoming Files Path  not found or invalid !", kLevelError, 0,
             "Error during NTServiceOCX_Start event, ");
    using Entry = std::tuple<int, std::string, std::int32_t, std::string>;
    std::vector<Entry> entries;
    for (const JournalEntry& e : pump_.journal) {
        entries.emplace_back(e.priority, e.message, e.error_number, e.location);
    }
    EXPECT_THAT(
        entries,
        ElementsAre(
            Entry{3, "Error No: -2147217913, Error Description: it broke, " + where, -2147217913,
                  where},
            Entry{5,
                  "Setting      --> [ 04-12-2026, 9:5:3 ] SQL Date Format was not set or invalid, "
                  "LOTUPump set SQL Date Format to MM-DD-YY.",
                  0, ""},
            Entry{3, "Error No: -2147217873, Error Description: it broke, " + where, -2147217873,
                  where},
            Entry{4, "Poste Z\xC3\xBCrich  forged", 0, ""},
            Entry{3, "Incoming Files Path  not found or invalid !", 0,
                  "Error during NTServiceOCX_Start event, "}));
    EXPECT_EQ(ProcedureOf(where), "SaveNewPoste");
    EXPECT_EQ(ProcedureOf("Error during NTServiceOCX_Start event, "),
              "Error during NTServiceOCX_Start event, ");
    // Logging was off for the rest.
    EXPECT_THAT(Log(), AllOf(HasSubstr("-2147217913"), Not(HasSubstr("-2147217873"))));
    EXPECT_THAT(Metrics().PrometheusText(),
                AllOf(HasSubstr("\nkolbipump_errors_total 3\n"),
                      HasSubstr("\nkolbipump_database_errors_total 2\n")));
}

TEST_F(WriteLogTest, ProcedureContinueReportsAndGoesOnLeaveSkipsEveryLaterStep) {
    std::vector<int> steps;
    Procedure proc("in procedure SaveNewPoste of Module ModSI", AfterReport::kContinue);
    EXPECT_TRUE(proc.Run([&] { steps.push_back(1); }));
    EXPECT_FALSE(proc.Run([&] { Fail(94); }));
    EXPECT_TRUE(proc.Run([&] { steps.push_back(3); }));
    proc.Run([] { throw std::out_of_range("index 7"); });  // what the standard library throws
    EXPECT_FALSE(proc.Left());
    EXPECT_FALSE(RunAbsorbed([] { throw std::bad_alloc(); }));  // silent: nothing logged
    EXPECT_TRUE(RunAbsorbed([] {}));
    EXPECT_THAT(pump_.LogLines(),
                ElementsAre(HasSubstr(" ] Error No: 94, Error Description: it broke, in procedure "
                                      "SaveNewPoste of Module ModSI"),
                            HasSubstr(" ] Error No: 5, Error Description: index 7, in procedure "
                                      "SaveNewPoste of Module ModSI")));

    Procedure leave("in procedure Do_Log of Feuille Form1", AfterReport::kLeave);
    leave.Run([&] { Fail(5); });
    EXPECT_FALSE(leave.Run([&] { steps.push_back(4); }));
    EXPECT_TRUE(leave.Left());
    EXPECT_THAT(steps, ElementsAre(1, 3));

    // The report pass leaves only once a failure has switched the date format.
    Procedure report_pass("in procedure Do_Log of Feuille Form1", LeaveIfDateFormatSwitched);
    report_pass.Run([&] { Fail(5); });
    EXPECT_FALSE(report_pass.Left());
    report_pass.Run([&] { Fail(errnum::kConversionFailed); });
    EXPECT_TRUE(report_pass.Left());
}

}  // namespace
}  // namespace kolbi
