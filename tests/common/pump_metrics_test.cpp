// What the pump tells of its work: the status facts, the metrics text and
// its file.
#include "common/pump_metrics.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "common/runtime_error.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

using std::chrono::milliseconds;
using ::testing::HasSubstr;

// A cycle's facts read as the operator expects them, with the rate of the
// cycle running while it runs; a cycle cut short says so and is no success.
TEST(PumpMetrics, StatusFactsAndThroughputFollowTheCycles) {
    FakeClock clock;
    ScopedClock scoped(clock);
    PumpMetrics metrics;
    EXPECT_EQ(metrics.StatusFacts(), "");
    EXPECT_EQ(metrics.Throughput(), std::nullopt);

    metrics.CycleStarted();
    for (int i = 0; i < 1234; ++i) metrics.CountReport();
    metrics.CountSetAside();
    metrics.CountError(75);
    metrics.CountError(errnum::kUnspecified);
    clock.Advance(milliseconds(2000));
    EXPECT_DOUBLE_EQ(metrics.Throughput().value(), 617.0);  // the cycle running
    clock.Advance(milliseconds(2200));
    clock.SetLocal({2026, 12, 4, 12, 3, 4});
    metrics.CycleEnded(true, 57, 3);
    EXPECT_EQ(metrics.StatusFacts(),
              "1,234 reports, 1 set aside, 2 errors; queue 57 + 3; last cycle 12:03:04 took 4.2 s");
    const std::string first = metrics.PrometheusText();

    metrics.CycleStarted();
    clock.Advance(milliseconds(60));
    EXPECT_EQ(metrics.Throughput(), std::nullopt);  // none yet in this one
    clock.AdvanceWall(milliseconds(60000));
    metrics.CycleEnded(false, 1000000, 0);
    EXPECT_THAT(metrics.StatusFacts(), HasSubstr("queue 1,000,000 + 0; last cycle 12:03:04 took "
                                                 "0.1 s (cut short)"));
    const std::string second = metrics.PrometheusText();
    auto value = [](const std::string& text, const std::string& name) {
        std::smatch match;
        EXPECT_TRUE(std::regex_search(text, match, std::regex("\n" + name + " (\\S+)\n"))) << name;
        return match[1].str();
    };
    EXPECT_EQ(value(second, "kolbipump_last_success_timestamp_seconds"),
              value(first, "kolbipump_last_success_timestamp_seconds"));
    EXPECT_EQ(value(second, "kolbipump_cycles_total"), "2");
    EXPECT_EQ(value(second, "kolbipump_database_errors_total"), "1");
    EXPECT_EQ(value(second, "kolbipump_cycle_duration_seconds"), "0.060");
}

// The unspecified error, the 0x80040Exx block and 3000-3999, bounds included.
TEST(PumpMetrics, DatabaseErrorsAreTheDataAccessNumbers) {
    for (std::int32_t number : {errnum::kUnspecified, -2147217920, -2147217665, 3000, 3999}) {
        EXPECT_TRUE(IsDatabaseErrorNumber(number)) << number;
    }
    for (std::int32_t number :
         {0, 75, 2999, 4000, -2147217921, -2147217664, errnum::kComponentBase}) {
        EXPECT_FALSE(IsDatabaseErrorNumber(number)) << number;
    }
}

// The file is replaced whole; one that cannot be written is said once per
// reason, not at every cycle.
TEST(WriteMetricsFile, ReplacesTheFileAndReportsAFailureOnce) {
    testing::TempFolder folder;
    const std::string path = folder / "kolbipump.prom";
    WriteMetricsFile(path, "a 1\n");
    WriteMetricsFile(path, "a 2\n");
    EXPECT_EQ(folder.Read("kolbipump.prom"), "a 2\n");
    EXPECT_FALSE(folder.Has("kolbipump.prom.tmp"));

    const std::string missing = folder / "no/such.prom";
    try {
        WriteMetricsFile(missing, "a 3\n");
        ADD_FAILURE() << "no failure";
    } catch (const RuntimeError& error) {
        EXPECT_THAT(error.description(), HasSubstr(missing));
    }
    EXPECT_NO_THROW(WriteMetricsFile(missing, "a 3\n"));
    WriteMetricsFile(path, "a 4\n");
    EXPECT_THROW(WriteMetricsFile(missing, "a 5\n"), RuntimeError);  // said again after a success
}

}  // namespace
}  // namespace kolbi
