// The systemd side of the service control: the unit file, install and
// uninstall, readiness, the event log and the signals, in process and on the
// real program.
#include "service/service_control.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>

#include <csignal>
#include <filesystem>

#include "service/fake_service_platform.h"
#include "service/unit_file.h"
#include "support/subprocess.h"

namespace kolbi {
namespace {

using ::testing::ElementsAre;
using testing::FakeServicePlatform;
using ::testing::HasSubstr;
using testing::RunProcess;
using testing::TempFolder;

const std::string kUnit = "kolbi-software-inventory-pump.service";
// Runs of the program keep systemctl out of reach, so that a test never
// reloads or enables anything on a machine where systemd runs.
const std::string kNoSystemctl = "PATH=/nonexistent";

void MakeSettings(ServiceControl& control) {
    control.Set(5, std::string("Kolbi Software Inventory Pump"));
    control.Set(9, std::string("Kolbi Software Inventory Pump"));
    control.Set(10, std::int32_t{2});
}

// A datagram socket standing in for systemd's notification socket.
class NotifySocket {
public:
    NotifySocket() : fd_(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path_.copy(address.sun_path, sizeof address.sun_path - 1);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~NotifySocket() { ::close(fd_); }
    const std::string& path() const { return path_; }
    // The next message, waiting up to timeout_ms; "" when none came.
    std::string Receive(int timeout_ms) {
        pollfd poll_fd{fd_, POLLIN, 0};
        char buffer[256] = {};
        if (::poll(&poll_fd, 1, timeout_ms) != 1) return "";
        ssize_t n = ::recv(fd_, buffer, sizeof buffer - 1, 0);
        return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    }

private:
    TempFolder folder_;
    std::string path_ = folder_ / "notify";
    int fd_;
};

TEST(UnitFile, NameAndEscapes) {
    EXPECT_EQ(UnitNameOf("Kolbi Software Inventory Pump"), kUnit);
    auto text = UnitFileText({"100% pump", "/opt/my pump/$x\\kolbipump", "/opt/my pump", kUnit});
    ASSERT_TRUE(text);
    EXPECT_THAT(*text, HasSubstr("\nDescription=100%% pump\n"));
    EXPECT_THAT(*text, HasSubstr("\nExecStart=:/bin/sh -c \"exec \\\"$0\\\"\" "
                                 "\"/opt/my pump/$x\\\\kolbipump\"\n"));
    EXPECT_THAT(*text, HasSubstr("\nWorkingDirectory=/opt/my pump\n"));
    EXPECT_FALSE(UnitFileText({"pump", "/opt/a\nb/kolbipump", "/opt/a\nb", kUnit}));
    EXPECT_FALSE(UnitFileText({"pump", "kolbipump", ".", kUnit}));
    EXPECT_EQ(FirstUnitFolder("/a:/b") + FirstUnitFolder(":/b") + FirstUnitFolder("/c"), "/a/c");
}

TEST(ServiceControl, InstallWritesTheUnitAndEnablesItWhenSystemdRuns) {
    for (bool systemd : {true, false}) {
        TempFolder units;
        FakeServicePlatform platform;
        platform.unit_folder = units.path();
        platform.systemctl_usable = systemd;
        ServiceControl control(platform);
        MakeSettings(control);
        ASSERT_TRUE(control.Install());
        EXPECT_THAT(units.Read(kUnit), HasSubstr("\nDescription=Kolbi Software Inventory Pump\n"));
        EXPECT_TRUE(control.Uninstall());
        EXPECT_FALSE(units.Has(kUnit));
        EXPECT_FALSE(control.Uninstall());  // nothing left to remove
        using Calls = std::vector<std::vector<std::string>>;
        const Calls calls{{"daemon-reload"},
                          {"enable", kUnit},
                          {"stop", kUnit},
                          {"disable", kUnit},
                          {"daemon-reload"}};
        EXPECT_EQ(platform.systemctl_calls, systemd ? calls : Calls{});
    }
    FakeServicePlatform platform;  // its unit folder does not exist
    ServiceControl control(platform);
    MakeSettings(control);
    EXPECT_FALSE(control.Install());
    EXPECT_THAT(control.LastError(), HasSubstr("/nonexistent-unit-folder/" + kUnit));
}

TEST(ServiceControl, EventLogStartAndSignals) {
    FakeServicePlatform platform;
    ServiceControl control(platform);
    control.LogEvent(0, 110, "Successfully paused service, Kolbi Software Inventory Pump");
    control.LogEvent(1, 109, "[5] Error during Form_Load event: boom");
    using Entry = std::pair<int, std::string>;
    EXPECT_THAT(platform.log_entries,
                ElementsAre(Entry{LOG_INFO,
                                  "event 110: Successfully paused service, Kolbi "
                                  "Software Inventory Pump"},
                            Entry{LOG_ERR, "event 109: [5] Error during Form_Load event: boom"}));

    control.StartService();  // not started by systemd: nobody to tell
    platform.under_manager = true;
    control.StartService();
    EXPECT_THAT(platform.notifications, ElementsAre("READY=1"));

    // An inherited ignore of SIGINT or SIGHUP is kept; a run in the background has one.
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
    ASSERT_TRUE(control.ListenToSignals());
    for (int signal : {SIGUSR1, SIGUSR2, SIGINT, SIGHUP, SIGTERM}) ::raise(signal);
    std::vector<ServiceEvent> events;
    while (auto event = control.TakeEvent()) events.push_back(*event);
    EXPECT_THAT(events, ElementsAre(ServiceEvent::kStart, ServiceEvent::kStart,
                                    ServiceEvent::kPause, ServiceEvent::kContinue,
                                    ServiceEvent::kStop, ServiceEvent::kStop, ServiceEvent::kStop));
    EXPECT_FALSE(control.EventPending());
}

// The real program with -i and -u, its unit folder given by SYSTEMD_UNIT_PATH
// (programs in awkward folders: host_failures_test.cpp).
TEST(ServiceControl, InstallAndUninstallSwitchesOfTheProgram) {
    TempFolder units;
    const std::string env = "SYSTEMD_UNIT_PATH=" + units.path() + ":";
    auto installed = RunProcess(KOLBIPUMP_PATH, {"-install"}, {env, kNoSystemctl});
    EXPECT_EQ(installed.exit_status, 0);
    EXPECT_EQ(installed.out + installed.err, "");
    const std::string executable = std::filesystem::canonical(KOLBIPUMP_PATH).string();
    EXPECT_THAT(units.Read(kUnit), HasSubstr("\nExecStart=" + executable + "\n"));
    EXPECT_THAT(units.Read(kUnit),
                HasSubstr("\nWorkingDirectory=" +
                          std::filesystem::path(executable).parent_path().string() + "\n"));
    auto removed = RunProcess(KOLBIPUMP_PATH, {"/u"}, {env, kNoSystemctl});
    EXPECT_EQ(removed.exit_status, 0);
    EXPECT_EQ(removed.out,
              "Kolbi Software Inventory Pump\nKolbi Software Inventory Pump uninstalled "
              "successfully\n");
    EXPECT_FALSE(units.Has(kUnit));
    auto unwritable = RunProcess(KOLBIPUMP_PATH, {"-i"},
                                 {"SYSTEMD_UNIT_PATH=" + units / "no/such", kNoSystemctl});
    EXPECT_EQ(unwritable.exit_status, 1);
    EXPECT_EQ(unwritable.out, "");
    EXPECT_THAT(unwritable.err, HasSubstr("cannot write"));
}

// The service as systemd runs it, without LANG: it says it is ready on the
// notification socket, and a stop (SIGTERM from systemctl, SIGINT from a
// terminal) wakes the real event loop's wait and ends it promptly, status 0.
TEST(ServiceControl, TheRunningServiceEndsPromptlyOnSigtermAndSigint) {
    for (int signal : {SIGTERM, SIGINT}) {
        NotifySocket notify;
        testing::Subprocess pump(
            KOLBIPUMP_PATH, {},
            {"NOTIFY_SOCKET=" + notify.path(), "LANG", "LC_ALL", "LC_CTYPE", "LANGUAGE"});
        ASSERT_EQ(notify.Receive(30000), "READY=1") << "the service never got ready";
        EXPECT_EQ(notify.Receive(30000), "STATUS=Running");
        const auto sent = std::chrono::steady_clock::now();
        ASSERT_EQ(::kill(pump.pid(), signal), 0);
        std::optional<testing::ProcessResult> ended = pump.Wait(std::chrono::seconds(10));
        ASSERT_TRUE(ended) << "signal " << signal << " did not end the service";
        EXPECT_EQ(ended->exit_status, 0) << "signal " << signal << ": " << ended->err;
        EXPECT_EQ(ended->out + ended->err, "");
        // Promptly: the loop's wait wakes on the signal, not on its next timer
        // (a sanitizer build's exit included).
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(3));
    }
}

}  // namespace
}  // namespace kolbi
