// The window's procedures on the event loop, driven by a fake clock: start-up
// modes, the tick rule, the service events and when handlers may run.
#include "service/pump_host.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <syslog.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include "common/pending_events.h"
#include "config/ini_file.h"
#include "service/fake_service_platform.h"
#include "support/pump_fixture.h"

namespace kolbi {
namespace {

using std::chrono::seconds;
using ::testing::AllOf;
using ::testing::ElementsAre;
using testing::ExitStatusOf;
using ::testing::HasSubstr;

// Stands in for the queue, the report pass and the database.
class RecordingProcessing : public Form1Processing {
public:
    void Do_Log(Form1& form) override {
        ++do_logs;
        Enter();
        if (on_do_log) on_do_log(form);
        --depth;
    }
    void ProcessingCycle(Form1& form, Procedure& Timer1_Timer) override {
        ++cycles;
        Enter();
        if (on_cycle) on_cycle(form, Timer1_Timer);
        --depth;
    }
    void CloseIdleConnection() override { ++idle_closes; }

    int do_logs = 0, cycles = 0, idle_closes = 0, deepest = 0;
    std::function<void(Form1&)> on_do_log;
    std::function<void(Form1&, Procedure&)> on_cycle;

private:
    void Enter() { deepest = std::max(deepest, ++depth); }
    int depth = 0;
};

class PumpHostTest : public ::testing::Test {
protected:
    PumpHostTest() {
        std::filesystem::create_directories(pump_.app / "in/incoming");
        WriteIni("1");
        host = std::make_unique<PumpHost>(platform, priority, PumpHost::Options{false});
        host->form().SetProcessing(&processing);
    }
    void WriteIni(const std::string& refresh) {
        pump_.WriteIni("SqlDateFormat=DD-MM-YYYY\r\n",
                       "Refresh=" + refresh + "\r\nincomingFilesPath=" + pump_.app / "in" +
                           "\r\nLogError=yes\r\n");
    }
    // Each returns the exit status when the program ended there.
    std::optional<int> Load(const std::string& command_line) {
        return ExitStatusOf([&] { host->Load(command_line); });
    }
    std::optional<int> Advance(seconds by) {  // moves the clock on and runs what came due
        pump_.clock.Advance(by);
        return ExitStatusOf([&] { host->loop().RunDue(); });
    }
    std::optional<int> DoEvents() {
        return ExitStatusOf([&] { host->loop().DoEvents(); });
    }
    Form1& form() { return host->form(); }

    testing::PumpEnvironment pump_;
    testing::FakeServicePlatform platform;
    std::vector<int> nice_values;
    ProcessPriority priority{[this](int nice) {
        nice_values.push_back(nice);
        return nice >= 19;  // only lowering is allowed, as for an ordinary user
    }};
    RecordingProcessing processing;
    std::unique_ptr<PumpHost> host;
};

TEST_F(PumpHostTest, ServiceModeHandsOverToTheManagerAndStartsProcessingAfter30Seconds) {
    platform.under_manager = true;
    ASSERT_EQ(Load(""), std::nullopt);
    using Setting = std::pair<int, ServiceControl::Value>;
    const std::string product = "Kolbi Software Inventory Pump";
    EXPECT_THAT(
        host->NTServiceOCX().SettingsMade(),
        ElementsAre(Setting{6, false}, Setting{2, std::int32_t{6}}, Setting{8, false},
                    Setting{5, product}, Setting{9, product}, Setting{10, std::int32_t{2}}));
    EXPECT_FALSE(form().Visible);
    EXPECT_FALSE(form().Timer1.Enabled());
    EXPECT_TRUE(form().TimerStart.Enabled());
    EXPECT_THAT(nice_values, ElementsAre(19));  // the idle class

    ASSERT_EQ(DoEvents(), std::nullopt);  // the manager's Start
    EXPECT_THAT(platform.notifications, ElementsAre("READY=1", "STATUS=Running"));
    EXPECT_TRUE(form().timerService.Enabled());
    ASSERT_EQ(Advance(seconds(29)), std::nullopt);
    EXPECT_EQ(processing.do_logs, 0);
    ASSERT_EQ(Advance(seconds(1)), std::nullopt);  // TimerStart: configuration, first pass
    EXPECT_EQ(Settings().Refresh, "1");
    EXPECT_EQ(processing.do_logs, 1);
    EXPECT_FALSE(form().TimerStart.Enabled());
    EXPECT_TRUE(form().Timer1.Enabled());
    ASSERT_EQ(Advance(seconds(30)), std::nullopt);  // the first tick of Timer1
    EXPECT_EQ(processing.cycles, 1);
    ASSERT_EQ(Advance(seconds(600)), std::nullopt);  // one late tick, not twenty
    EXPECT_EQ(processing.cycles, 2);
}

TEST_F(PumpHostTest, VisibleModeStartsAtOnceButProcessesOnlyAfterStart) {
    ASSERT_EQ(Load("  -S  "), std::nullopt);
    EXPECT_TRUE(form().Visible);
    EXPECT_EQ(processing.do_logs, 1);  // the start of processing ran inside Form_Load
    EXPECT_FALSE(form().Timer1.Enabled());
    EXPECT_EQ(form().timerService.Interval(), std::chrono::milliseconds(60000));
    EXPECT_TRUE(form().timerService.Enabled());
    ASSERT_EQ(Advance(seconds(300)), std::nullopt);
    EXPECT_EQ(processing.cycles, 0);  // nothing periodic before START
    host->loop().PressStart();
    ASSERT_EQ(Advance(seconds(0)), std::nullopt);
    EXPECT_EQ(processing.do_logs, 2);
    EXPECT_EQ(processing.cycles, 1);  // Refresh 1: START's tick processes
    ASSERT_EQ(Advance(seconds(30)), std::nullopt);
    EXPECT_EQ(processing.cycles, 2);
}

TEST_F(PumpHostTest, DetachedModeRunsAtNormalPriorityWithoutTheManager) {
    ASSERT_EQ(Load("-n"), std::nullopt);
    EXPECT_FALSE(form().Visible);
    EXPECT_THAT(nice_values, ElementsAre(0));  // refused here, and that is fine
    EXPECT_EQ(DoEvents(), std::nullopt);
    EXPECT_TRUE(platform.notifications.empty());
    ASSERT_EQ(Advance(seconds(30)), std::nullopt);
    EXPECT_EQ(processing.do_logs, 1);
}

TEST_F(PumpHostTest, RefreshDecidesWhichTicksProcessAndItsCountOverflowsIdle) {
    // I: an idle tick, P: a processing tick.
    const std::pair<const char*, const char*> cases[] = {
        {"3", "IIPIIP"},         {"", "PPP"},       {"0", "PPP"},
        {"-4", "PPP"},           {"2.5", "IIPIIP"}, {" 2 ", "IPIP"},
        {"10abc", "IIIIIIIIIP"}, {"abc", "PPP"},
    };
    for (const auto& [refresh, pattern] : cases) {
        WriteIni(refresh);
        form().Timer1.Disable();
        host->TimerStart_Timer();
        std::string seen;
        for (size_t i = 0; i < std::string(pattern).size(); ++i) {
            int cycles = processing.cycles, closes = processing.idle_closes;
            ASSERT_EQ(Advance(seconds(30)), std::nullopt);
            seen += processing.cycles > cycles ? 'P' : processing.idle_closes > closes ? 'I' : '-';
        }
        EXPECT_EQ(seen, pattern) << "Refresh=" << refresh;
    }
    WriteIni("99999");
    host->TimerStart_Timer();
    form().RefreshTicks = 32767;
    const int cycles = processing.cycles;
    host->Timer1_Timer();
    host->Timer1_Timer();
    EXPECT_EQ(form().RefreshTicks, 32767);
    EXPECT_EQ(processing.cycles, cycles);
    EXPECT_THAT(pump_.LogLines(),
                ElementsAre(HasSubstr("Error No: 6, Error Description: Overflow"),
                            HasSubstr(", in procedure Timer1_Timer of Feuille Form1")));
}

TEST_F(PumpHostTest, AFailureInTheCycleGoesOnUnlessTheDateFormatWasSwitched) {
    std::vector<std::string> steps;
    processing.on_cycle = [&](Form1& form, Procedure& proc) {
        form.Timer1.Disable();
        form.timerService.Disable();
        proc.Run([&] { throw RuntimeError(errnum::kFileNotFound, "File not found"); });
        proc.Run([&] { steps.push_back("after the file error"); });
        proc.Run([&] { throw RuntimeError(errnum::kConversionFailed, "bad date"); });
        proc.Run([&] { steps.push_back("after the date error"); });
    };
    host->TimerStart_Timer();
    host->Timer1_Timer();
    EXPECT_THAT(steps, ElementsAre("after the file error"));
    // The switch enabled Timer1 again, the handler the watchdog.
    EXPECT_TRUE(form().Timer1.Enabled());
    EXPECT_TRUE(form().timerService.Enabled());
    EXPECT_EQ(INIRead("DataBase", "SqlDateFormat", pump_.app / "KolbiPumps.ini"), "MM-DD-YY");
    // The log was named with the date format of its first line.
    EXPECT_THAT(pump_.app.Read("kolbipump-04-12-2026.log"),
                AllOf(HasSubstr("Error No: 53, Error Description: File not found, in procedure "
                                "Timer1_Timer of Feuille Form1\r\n"),
                      HasSubstr("Setting      --> [ 04-12-2026, 9:5:3 ] SQL Date Format was not "
                                "set or invalid, LOTUPump set SQL Date Format to MM-DD-YY.\r\n")));
    // A later cycle that fails before anything enabled Timer1 again still
    // leaves periodic processing running.
    processing.on_cycle = [&](Form1& form, Procedure& proc) {
        form.Timer1.Disable();
        proc.Run([&] { throw RuntimeError(errnum::kFileNotFound, "File not found"); });
    };
    host->Timer1_Timer();
    EXPECT_TRUE(form().Timer1.Enabled());
}

TEST_F(PumpHostTest, PauseAndContinueSwitchOnlyTheWatchdog) {
    ASSERT_EQ(Load(""), std::nullopt);
    ASSERT_EQ(DoEvents(), std::nullopt);            // Start
    ASSERT_EQ(Advance(seconds(30)), std::nullopt);  // the start of processing
    ::raise(SIGUSR1);                               // Pause, as the operator sends it
    ASSERT_EQ(DoEvents(), std::nullopt);
    EXPECT_FALSE(form().timerService.Enabled());
    EXPECT_TRUE(form().Timer1.Enabled());
    // Processing goes on while paused, but a stop request is not seen.
    form().StopRequested = true;
    ASSERT_EQ(Advance(seconds(150)), std::nullopt);
    EXPECT_EQ(processing.cycles, 1);
    ::raise(SIGUSR2);  // Continue
    ASSERT_EQ(DoEvents(), std::nullopt);
    using Entry = std::pair<int, std::string>;
    EXPECT_THAT(
        platform.log_entries,
        ElementsAre(
            Entry{LOG_INFO,
                  "event 110: Successfully paused service, Kolbi Software Inventory Pump"},
            Entry{LOG_INFO,
                  "event 110: Successfully continued service, Kolbi Software Inventory Pump"}));
    EXPECT_FALSE(form().StopRequested);  // Continue clears it
    form().StopRequested = true;
    // The watchdog counts a full minute from Continue, then ends the program.
    ASSERT_EQ(Advance(seconds(59)), std::nullopt);
    EXPECT_EQ(Advance(seconds(1)), kExitNormal);
    EXPECT_FALSE(form().timerService.Enabled());
}

// How a stop arrives decides where the program ends: between handlers at once;
// inside a cycle at its next safe point, between reports; inside a handler
// without one, when it returns; a stop request alone, at the watchdog's tick.
TEST_F(PumpHostTest, AStopEndsTheProgramAtTheFirstSafePlace) {
    enum How { kBetweenHandlers, kAtSafePoint, kWithoutSafePoint, kWatchdog };
    const std::pair<How, std::vector<std::string>> cases[] = {
        {kBetweenHandlers, {}},
        {kAtSafePoint, {"report 1 written"}},
        {kWithoutSafePoint, {"report 1 written", "report 2 written"}},
        {kWatchdog, {"report 1 written", "report 2 written"}},
    };
    host.reset();
    for (const auto& [how, written] : cases) {
        PumpHost pump_host(platform, priority, PumpHost::Options{false});
        RecordingProcessing recording;
        pump_host.form().SetProcessing(&recording);
        std::vector<std::string> reports;
        recording.on_cycle = [&, how = how](Form1& form, Procedure&) {
            if (how == kAtSafePoint) ::raise(SIGTERM);
            if (how == kWithoutSafePoint) pump_host.NTServiceOCX().Post(ServiceEvent::kStop);
            if (how == kWatchdog) form.StopRequested = true;
            LetPendingEventsRun();  // a stop is handled here...
            reports.push_back("report 1 written");
            if (how == kAtSafePoint) form.EndIfUnloadPending();  // ...and may end the program here
            reports.push_back("report 2 written");
        };
        ASSERT_EQ(ExitStatusOf([&] { pump_host.Load("-n"); }), std::nullopt);
        if (how == kBetweenHandlers) ::raise(SIGTERM);
        std::optional<int> status;
        for (int tick = 0; tick < 4 && !status; ++tick) {
            status = ExitStatusOf([&] {
                pump_host.loop().DoEvents();
                pump_.clock.Advance(seconds(30));
                pump_host.loop().RunDue();
            });
        }
        EXPECT_EQ(status, kExitNormal) << how;
        EXPECT_EQ(reports, written) << how;
        EXPECT_TRUE(pump_host.form().StopRequested) << how;
        EXPECT_FALSE(pump_host.form().timerService.Enabled()) << how;
    }
}

TEST_F(PumpHostTest, TicksAndStartThatComeDuringAHandlerRunAfterIt) {
    std::vector<std::string> order;
    processing.on_do_log = [&](Form1&) { order.push_back("Do_Log"); };
    processing.on_cycle = [&](Form1&, Procedure&) {
        order.push_back("cycle");
        if (order.size() > 2) return;
        pump_.clock.Advance(seconds(120));  // every timer comes due meanwhile
        host->loop().PressStart();
        LetPendingEventsRun();
        LetPendingEventsRun();
        order.push_back("cycle ends");
    };
    ASSERT_EQ(Load("-n"), std::nullopt);
    ASSERT_EQ(Advance(seconds(30)), std::nullopt);
    ASSERT_EQ(Advance(seconds(30)), std::nullopt);
    EXPECT_THAT(order, ElementsAre("Do_Log", "cycle", "cycle ends", "Do_Log", "cycle", "cycle"));
    EXPECT_EQ(processing.deepest, 1);
}

// A failure in Form_Load goes to the event log and ends Form_Load; one no
// procedure handled ends the program and says what it was.
TEST_F(PumpHostTest, UnhandledFailuresGoToTheEventLog) {
    processing.on_do_log = [](Form1&) {
        throw RuntimeError(errnum::kFileNotFound, "File not found");
    };
    ASSERT_EQ(Load("-s"), std::nullopt);
    EXPECT_TRUE(form().Timer1.Enabled());  // the last step, disabling Timer1, did not run
    processing.on_do_log = [](Form1&) {
        throw RuntimeError(errnum::kOutOfMemory, "Out of memory");
    };
    form().TimerStart.Enable();
    EXPECT_EQ(Advance(seconds(30)), kExitFailure);
    using Entry = std::pair<int, std::string>;
    EXPECT_THAT(
        platform.log_entries,
        ElementsAre(
            Entry{LOG_ERR, "event 109: [53] Error during Form_Load event: File not found"},
            Entry{LOG_ERR, "event 109: Run-time error 7 in TimerStart_Timer: Out of memory"}));
}

}  // namespace
}  // namespace kolbi
