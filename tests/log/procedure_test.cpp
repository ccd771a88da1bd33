#include "log/procedure.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/file_helpers.h"
#include "common/program_end.h"
#include "common/pump_settings.h"
#include "log/write_log.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

using testing::TempFolder;

class ProcedureTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings() = PumpSettings{};
        Settings().AppFolder = app_.path();
        Settings().LogErrors = true;
        SetAppFolderForTesting(app_.path(), "pump");
        ResetDateFormatSwitchedForTesting();
    }

    std::string Log() { return app_.Read(TodaysLogPath().substr(app_.path().size())); }

    static void Fail(std::int32_t number) { throw RuntimeError(number, "it broke"); }

    TempFolder app_;
    std::vector<int> steps_;
};

TEST_F(ProcedureTest, ContinueReportsAndGoesOnWithTheNextStep) {
    Procedure proc("in procedure SaveNewPoste of Module ModSI", AfterReport::kContinue);
    EXPECT_TRUE(proc.Run([&] { steps_.push_back(1); }));
    EXPECT_FALSE(proc.Run([&] { Fail(94); }));
    EXPECT_TRUE(proc.Run([&] { steps_.push_back(3); }));
    EXPECT_EQ(steps_, (std::vector<int>{1, 3}));
    EXPECT_FALSE(proc.Left());
    EXPECT_NE(Log().find("Error No: 94, Error Description: it broke, in procedure SaveNewPoste of "
                         "Module ModSI\r\n"),
              std::string::npos);
}

TEST_F(ProcedureTest, LeaveSkipsEveryLaterStep) {
    Procedure proc("in procedure Do_Log of Feuille Form1", AfterReport::kLeave);
    proc.Run([&] { Fail(5); });
    EXPECT_FALSE(proc.Run([&] { steps_.push_back(2); }));
    EXPECT_TRUE(steps_.empty());
    EXPECT_TRUE(proc.Left());
}

TEST_F(ProcedureTest, LeaveIfDateFormatSwitchedLeavesOnlyAfterASwitch) {
    Procedure proc("in procedure Do_Log of Feuille Form1", LeaveIfDateFormatSwitched);
    proc.Run([&] { Fail(5); });
    EXPECT_FALSE(proc.Left());
    proc.Run([&] { Fail(errnum::kConversionFailed); });  // the log switches, then the rule leaves
    EXPECT_TRUE(proc.Left());
}

TEST_F(ProcedureTest, EndRuleEndsTheProgramAfterTheReport) {
    ScopedProgramEndTrap trap;
    bool cleared = false;
    Procedure proc("in procedure DBConnect of Module ModALERT", [&](const RuntimeError&) {
        cleared = true;
        return AfterReport::kEnd;
    });
    // A number without a log policy, so the end comes from the rule itself.
    EXPECT_THROW(proc.Run([&] { Fail(53); }), ProgramEnded);
    EXPECT_TRUE(cleared);
    EXPECT_NE(Log().find("in procedure DBConnect of Module ModALERT"), std::string::npos);
}

TEST_F(ProcedureTest, StandardExceptionsBecomeRunTimeErrorsAndCustomReportersSeeThem) {
    std::vector<std::string> reports;
    Procedure proc(
        "Error during Form_Load event: ", [](const RuntimeError&) { return AfterReport::kLeave; },
        [&](const RuntimeError& e, std::string_view location) {
            reports.push_back("[" + std::to_string(e.number()) + "] " + std::string(location) +
                              e.description());
        });
    proc.Run([] { throw std::out_of_range("index 7"); });
    EXPECT_EQ(reports, (std::vector<std::string>{"[5] Error during Form_Load event: index 7"}));
    EXPECT_TRUE(RunAbsorbed([] { throw std::bad_alloc(); }) == false);
    EXPECT_TRUE(RunAbsorbed([] {}));
}

}  // namespace
}  // namespace kolbi
