// The service host in process, on a fake platform and clock: start-up modes, the tick
// rule, service events, when handlers run, and installs where systemd runs.
#include "service/pump_host.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <syslog.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include "codec/cls_huffman.h"
#include "common/pending_events.h"
#include "queue/queue_test.h"
#include "service/leading_number.h"
#include "support/pump_fixture.h"

namespace kolbi {
namespace {

using std::chrono::seconds;
using ::testing::AllOf;
using ::testing::ElementsAre;
using testing::ExitStatusOf;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Entry = std::pair<int, std::string>;  // syslog priority, text

// Records what the pump asks of systemd and syslog.
class FakeServicePlatform : public ServicePlatform {
public:
    std::string ExecutablePath() override { return executable; }
    std::string UnitFolder() override { return unit_folder; }
    std::vector<std::string> UnitSearchPath() override { return {unit_folder}; }
    bool SystemctlUsable() override { return true; }
    int Systemctl(const std::vector<std::string>& arguments) override {
        systemctl_calls.push_back(arguments);
        return systemctl_status;
    }
    bool UnderServiceManager() override { return under_manager; }
    void Notify(const std::string& state) override {
        if (!under_manager) ADD_FAILURE() << "told systemd " << state << " without it";
        notified.push_back(state);
    }
    void SystemLog(int priority, const std::string& text) override {
        log_entries.emplace_back(priority, text);
    }

    std::string executable = "/opt/kolbi/kolbipump";
    std::string unit_folder;
    int systemctl_status = 0;
    bool under_manager = false;
    std::vector<std::string> notified;
    std::vector<std::vector<std::string>> systemctl_calls;
    std::vector<Entry> log_entries;
};

// Install reloads systemd and enables the unit (start mode 2); uninstall stops
// and disables it first. A unit whose service systemctl could not stop is
// kept. Runs of the real program, without systemctl: program_test.cpp.
TEST(ServiceControl, InstallAndUninstallWhereSystemctlRuns) {
    const std::string unit = "kolbi-software-inventory-pump.service";
    testing::TempFolder units;
    FakeServicePlatform platform;
    platform.unit_folder = units.path();
    ServiceControl control(platform);
    control.Set(5, std::string("Kolbi Software Inventory Pump"));
    control.Set(10, std::int32_t{2});
    EXPECT_TRUE(control.Install());
    EXPECT_TRUE(control.Uninstall());
    using Calls = std::vector<std::vector<std::string>>;
    EXPECT_EQ(platform.systemctl_calls, (Calls{{"daemon-reload"},
                                               {"enable", unit},
                                               {"stop", unit},
                                               {"disable", unit},
                                               {"daemon-reload"}}));
    platform.executable = "/opt/a\nb/kolbipump";  // a line break cannot stand in a unit
    EXPECT_FALSE(control.Install());
    platform.executable = "/opt/kolbi/kolbipump";
    platform.systemctl_status = 1;
    EXPECT_FALSE(control.Install());
    EXPECT_FALSE(control.Uninstall());
    EXPECT_EQ(control.LastError(),
              "systemctl stop " + unit + " failed (exit status 1); " + units / unit + " is kept");
}

// Stands in for the queue, the report pass and the database.
class RecordingProcessing : public Form1Processing {
public:
    void Do_Log(Form1& form) override {
        ++do_logs;
        if (on_do_log) on_do_log(form);
    }
    void ProcessingCycle(Form1& form, Procedure& Timer1_Timer) override {
        ++cycles;
        if (on_cycle) on_cycle(form, Timer1_Timer);
    }
    void CloseIdleConnection() override { ++idle_closes; }

    int do_logs = 0, cycles = 0, idle_closes = 0;
    std::function<void(Form1&)> on_do_log;
    std::function<void(Form1&, Procedure&)> on_cycle;
};

class PumpHostTest : public ::testing::Test {
protected:
    PumpHostTest() {
        std::filesystem::create_directories(pump_.app / "in/incoming");
        WriteIni("1");
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
    FakeServicePlatform platform;
    std::vector<int> nice_values;
    ProcessPriority priority{[this](int nice) {
        nice_values.push_back(nice);
        return nice >= 19;  // only lowering is allowed, as for an ordinary user
    }};
    RecordingProcessing processing;
    std::unique_ptr<PumpHost> host =
        std::make_unique<PumpHost>(platform, priority, PumpHost::Options{false});
};

// Readiness and its notifications on the real program: program_test.cpp.
TEST_F(PumpHostTest, ServiceModeStartsProcessingAfter30SecondsAndPauseStopsOnlyTheWatchdog) {
    ASSERT_EQ(Load(""), std::nullopt);
    EXPECT_THAT(nice_values, ElementsAre(19));  // the idle class
    ASSERT_EQ(DoEvents(), std::nullopt);        // the manager's Start
    ASSERT_EQ(Advance(seconds(29)), std::nullopt);
    EXPECT_EQ(processing.do_logs, 0);
    ASSERT_EQ(Advance(seconds(1)), std::nullopt);  // TimerStart: configuration, first pass
    EXPECT_EQ(processing.do_logs, 1);
    ASSERT_EQ(Advance(seconds(30)), std::nullopt);  // the first tick of Timer1
    EXPECT_EQ(processing.cycles, 1);
    ASSERT_EQ(Advance(seconds(600)), std::nullopt);  // one late tick, not twenty
    EXPECT_EQ(processing.cycles, 2);

    ::raise(SIGUSR1);  // Pause, as the operator sends it
    ASSERT_EQ(DoEvents(), std::nullopt);
    EXPECT_FALSE(form().timerService.Enabled());
    // Processing goes on while paused, but a stop request is not seen.
    form().StopRequested = true;
    ASSERT_EQ(Advance(seconds(150)), std::nullopt);
    EXPECT_EQ(processing.cycles, 3);
    ::raise(SIGUSR2);  // Continue
    ASSERT_EQ(DoEvents(), std::nullopt);
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
}

// How a Refresh text reads as a number.
TEST(LeadingNumber, TakesTheLongestNumericStartBlanksSkipped) {
    const std::pair<const char*, double> cases[] = {
        {"", 0},        {"abc", 0},  {" 3 ", 3},  {"10abc", 10}, {"2.5", 2.5}, {"1 2", 12},
        {"\t4\r\n", 4}, {"-2", -2},  {".5", 0.5}, {"1.", 1},      {"1e2", 100}, {"1D2", 100},
        {"1e+", 1},     {"+7x", 7},  {"-", 0},    {".", 0},       {"3,5", 3},   {"0x10", 0},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_DOUBLE_EQ(LeadingNumber(text), value) << "[" << text << "]";
    }
}

TEST_F(PumpHostTest, RefreshDecidesWhichTicksProcessAndItsCountOverflowsIdle) {
    // I: an idle tick, P: a processing tick.
    const std::pair<const char*, const char*> cases[] = {
        {"3", "IIPIIP"}, {"", "PPP"}, {"-4", "PPP"}, {"2.5", "IIPIIP"}};
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
    // Above 32767 the 16-bit count overflows: reported, and the count stays.
    WriteIni("99999");
    host->TimerStart_Timer();
    form().RefreshTicks = 32767;
    host->Timer1_Timer();
    EXPECT_EQ(form().RefreshTicks, 32767);
    EXPECT_THAT(pump_.LogLines(),
                ElementsAre(AllOf(HasSubstr("Error No: 6, Error Description: Overflow"),
                                  HasSubstr(", in procedure Timer1_Timer of Feuille Form1"))));
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
    // A later cycle that fails before anything enabled Timer1 again still
    // leaves periodic processing running.
    processing.on_cycle = [&](Form1& form, Procedure& proc) {
        form.Timer1.Disable();
        proc.Run([&] { throw RuntimeError(errnum::kFileNotFound, "File not found"); });
    };
    host->Timer1_Timer();
    EXPECT_TRUE(form().Timer1.Enabled());
}

// How a stop arrives decides where the program ends: between handlers at once;
// inside a cycle at its next safe point, between reports; inside a handler
// without one, when it returns. (A stop request alone: at the watchdog's tick.)
TEST_F(PumpHostTest, AStopEndsTheProgramAtTheFirstSafePlace) {
    enum How { kBetweenHandlers, kAtSafePoint, kWithoutSafePoint };
    const std::pair<How, std::vector<std::string>> cases[] = {
        {kBetweenHandlers, {}},
        {kAtSafePoint, {"report 1 written"}},
        {kWithoutSafePoint, {"report 1 written", "report 2 written"}},
    };
    for (const auto& [how, written] : cases) {
        SCOPED_TRACE(how);
        host.reset();  // a program per case, as each one ends
        host = std::make_unique<PumpHost>(platform, priority, PumpHost::Options{false});
        form().SetProcessing(&processing);
        std::vector<std::string> reports;
        processing.on_cycle = [&, how = how](Form1& form, Procedure&) {
            if (how == kAtSafePoint) ::raise(SIGTERM);
            if (how == kWithoutSafePoint) host->NTServiceOCX().Post(ServiceEvent::kStop);
            LetPendingEventsRun();  // a stop is handled here...
            reports.push_back("report 1 written");
            if (how == kAtSafePoint) form.EndIfUnloadPending();  // ...and may end the program here
            reports.push_back("report 2 written");
        };
        ASSERT_EQ(Load("-n"), std::nullopt);
        EXPECT_EQ(nice_values.back(), 0);  // detached: normal priority, refused here
        if (how == kBetweenHandlers) ::raise(SIGTERM);
        std::optional<int> status;
        for (int tick = 0; tick < 4 && !status; ++tick) {
            status = DoEvents();
            if (!status) status = Advance(seconds(30));
        }
        EXPECT_EQ(status, kExitNormal);
        EXPECT_EQ(reports, written);
    }
}

// Visible mode runs the start of processing inside Form_Load, then nothing
// periodic until START. A tick or START that comes due while a handler runs
// waits until that handler returns: handlers never nest.
TEST_F(PumpHostTest, VisibleModeProcessesAfterStartAndHandlersNeverNest) {
    std::vector<std::string> order;
    processing.on_do_log = [&](Form1&) { order.push_back("Do_Log"); };
    processing.on_cycle = [&](Form1&, Procedure&) {
        order.push_back("cycle");
        if (order.size() > 3) return;
        pump_.clock.Advance(seconds(120));  // every timer comes due meanwhile
        host->loop().PressStart();
        LetPendingEventsRun();
        LetPendingEventsRun();
        order.push_back("cycle ends");
    };
    ASSERT_EQ(Load("  -S  "), std::nullopt);
    ASSERT_EQ(Advance(seconds(300)), std::nullopt);
    EXPECT_THAT(order, ElementsAre("Do_Log"));
    host->loop().PressStart();
    ASSERT_EQ(Advance(seconds(0)), std::nullopt);
    EXPECT_THAT(order,
                ElementsAre("Do_Log", "Do_Log", "cycle", "cycle ends", "Do_Log", "cycle", "cycle"));
}

// A failure in Form_Load goes to the event log and ends Form_Load; one no
// procedure handled ends the program and says what it was; so does a fatal
// end whose failure the error log did not take.
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
    Settings().LogErrors = false;
    WriteLog("Error No: 75, Error Description: unreadable", kLevelError, 75);
    EXPECT_EQ(ExitStatusOf(EndProgramAfterFailure), kExitFailure);
    EXPECT_THAT(
        platform.log_entries,
        ElementsAre(
            Entry{LOG_ERR, "event 109: [53] Error during Form_Load event: File not found"},
            Entry{LOG_ERR, "event 109: Run-time error 7 in TimerStart_Timer: Out of memory"},
            Entry{LOG_ERR,
                  "event 109: Error No: 75, Error Description: unreadable (not in the "
                  "error log: logging is off)"}));
}

// The service as systemd runs it, on a real database and the pump's own
// processing. It is ready only once the INI was read and the database opened;
// a setup that cannot work ends the program first (status 1), the reason in
// the journal. Then the status line and the metrics file follow the rounds.
class ServiceRoundTest : public testing::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (HasFatalFailure() || IsSkipped()) return;
        std::filesystem::create_directories(pump_.app / "in/incoming");
        platform.under_manager = true;
    }
    void WriteIni(const std::string& dsn, const std::string& incoming) {
        pump_.WriteIni("DsnEntry=" + dsn + "\r\n",
                       "Refresh=1\r\nincomingFilesPath=" + incoming + "\r\nLogError=yes\r\n" +
                           "MetricsFile=" + pump_.app / "kolbipump.prom" + "\r\n");
    }
    std::optional<int> Advance(seconds by) {
        pump_.clock.Advance(by);
        return ExitStatusOf([&] { host->loop().RunDue(); });
    }
    std::string Metric(const std::string& name) {
        const std::string text = pump_.app.Read("kolbipump.prom");
        const std::size_t at = text.find("\n" + name + " ");
        if (at == std::string::npos) return "(none)";
        const std::size_t start = at + name.size() + 2;
        return text.substr(start, text.find('\n', start) - start);
    }

    FakeServicePlatform platform;
    ProcessPriority priority{[](int) { return true; }};
    std::unique_ptr<PumpHost> host =
        std::make_unique<PumpHost>(platform, priority, PumpHost::Options{false});
};

TEST_P(ServiceRoundTest, ABrokenSetupEndsBeforeReady) {
    const std::pair<std::string, std::string> broken[] = {
        {"kolbi_no_such_dsn", pump_.app / "in"},  // the database cannot be opened
        {db_->dsn(), pump_.app / "missing"},      // no incoming folder
    };
    for (const auto& [dsn, incoming] : broken) {
        SCOPED_TRACE(dsn + " " + incoming);
        WriteIni(dsn, incoming);
        pump_.journal.clear();
        EXPECT_EQ(ExitStatusOf([&] { host->Load(""); }), kExitFailure);
        EXPECT_THAT(platform.notified, IsEmpty());
        ASSERT_FALSE(pump_.journal.empty());
        EXPECT_EQ(pump_.journal.back().priority, 3);
        host = std::make_unique<PumpHost>(platform, priority, PumpHost::Options{false});
    }
}

TEST_P(ServiceRoundTest, StatusAndMetricsFollowTheRounds) {
    WriteIni(db_->dsn(), pump_.app / "in");
    ASSERT_EQ(ExitStatusOf([&] { host->Load(""); }), std::nullopt);
    EXPECT_TRUE(DBConnected());
    ASSERT_EQ(ExitStatusOf([&] { host->loop().DoEvents(); }), std::nullopt);  // Start
    EXPECT_THAT(platform.notified, ElementsAre("READY=1", "STATUS=Running"));
    EXPECT_FALSE(pump_.app.Has("kolbipump.prom"));

    // The start of processing, then a round with nothing to take.
    ASSERT_EQ(Advance(seconds(30)), std::nullopt);
    ASSERT_EQ(Advance(seconds(30)), std::nullopt);
    EXPECT_EQ(platform.notified.back(),
              "STATUS=Running: 0 reports, 0 set aside, 0 errors; queue 0 + 0; last cycle 09:05:03 "
              "took 0.0 s");
    EXPECT_EQ(Metric("kolbipump_cycles_total"), "1");
    const std::string first_success = Metric("kolbipump_last_success_timestamp_seconds");

    // A round of a report and a file that is none, and no agent writes any more.
    pump_.app.Write("in/PC042_1.SILog", clsHuffman().EncodeString(testing::kReport));
    pump_.app.Write("in/PC099_1.SILog", "no stream");
    pump_.clock.AdvanceWall(std::chrono::hours(1));
    ASSERT_EQ(Advance(seconds(30)), std::nullopt);
    EXPECT_THAT(platform.notified.back(),
                HasSubstr("STATUS=Running: 1 reports, 1 set aside, 1 errors; queue 0 + 0; "));
    EXPECT_EQ(Metric("kolbipump_reports_processed_total"), "1");
    EXPECT_EQ(Metric("kolbipump_reports_set_aside_total"), "1");
    EXPECT_EQ(Metric("kolbipump_errors_total"), "1");
    EXPECT_EQ(Metric("kolbipump_cycles_total"), "2");
    EXPECT_NE(Metric("kolbipump_last_success_timestamp_seconds"), first_success);

    ::raise(SIGUSR1);  // Pause keeps its word, with the facts after it
    ASSERT_EQ(ExitStatusOf([&] { host->loop().DoEvents(); }), std::nullopt);
    EXPECT_THAT(platform.notified.back(),
                HasSubstr("STATUS=Paused: the stop watchdog is off; 1 reports, 1 set aside"));
}

KOLBI_ON_BOTH_DATABASES(ServiceRoundTest);

}  // namespace
}  // namespace kolbi
