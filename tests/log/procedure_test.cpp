#include "log/procedure.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "support/pump_fixture.h"

namespace kolbi {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

void Fail(std::int32_t number) { throw RuntimeError(number, "it broke"); }

class ProcedureTest : public ::testing::Test {
protected:
    testing::PumpEnvironment pump_;
    std::vector<int> steps_;
};

TEST_F(ProcedureTest, ContinueReportsAndGoesOnLeaveSkipsEveryLaterStep) {
    Procedure proc("in procedure SaveNewPoste of Module ModSI", AfterReport::kContinue);
    EXPECT_TRUE(proc.Run([&] { steps_.push_back(1); }));
    EXPECT_FALSE(proc.Run([&] { Fail(94); }));
    EXPECT_TRUE(proc.Run([&] { steps_.push_back(3); }));
    EXPECT_FALSE(proc.Left());
    EXPECT_THAT(pump_.LogLines(),
                ElementsAre(HasSubstr(" ] Error No: 94, Error Description: it broke, in procedure "
                                      "SaveNewPoste of Module ModSI")));

    Procedure leave("in procedure Do_Log of Feuille Form1", AfterReport::kLeave);
    leave.Run([&] { Fail(5); });
    EXPECT_FALSE(leave.Run([&] { steps_.push_back(4); }));
    EXPECT_TRUE(leave.Left());
    EXPECT_THAT(steps_, ElementsAre(1, 3));
}

TEST_F(ProcedureTest, LeaveIfDateFormatSwitchedLeavesOnlyAfterASwitch) {
    Procedure proc("in procedure Do_Log of Feuille Form1", LeaveIfDateFormatSwitched);
    proc.Run([&] { Fail(5); });
    EXPECT_FALSE(proc.Left());
    proc.Run([&] { Fail(errnum::kConversionFailed); });  // the log switches, then the rule leaves
    EXPECT_TRUE(proc.Left());
}

TEST_F(ProcedureTest, EndRuleEndsTheProgramAfterTheReport) {
    bool cleared = false;
    Procedure proc("in procedure DBConnect of Module ModALERT", [&](const RuntimeError&) {
        cleared = true;
        return AfterReport::kEnd;
    });
    // A number without a log policy, so the end comes from the rule itself.
    EXPECT_EQ(testing::ExitStatusOf([&] { proc.Run([&] { Fail(53); }); }), kExitFailure);
    EXPECT_TRUE(cleared);
    EXPECT_THAT(pump_.Log(), HasSubstr("in procedure DBConnect of Module ModALERT"));
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
    EXPECT_THAT(reports, ElementsAre("[5] Error during Form_Load event: index 7"));
    EXPECT_FALSE(RunAbsorbed([] { throw std::bad_alloc(); }));
    EXPECT_TRUE(RunAbsorbed([] {}));
}

}  // namespace
}  // namespace kolbi
