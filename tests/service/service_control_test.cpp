// The systemd side of the service control: the unit file, install and
// uninstall, readiness, the event log and the signals.
#include "service/service_control.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "service/fake_service_platform.h"
#include "service/unit_file.h"
#include "support/subprocess.h"
#include "support/temp_folder.h"

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
    control.Set(6, false);
    control.Set(2, std::int32_t{6});
    control.Set(8, false);
    control.Set(5, std::string("Kolbi Software Inventory Pump"));
    control.Set(9, std::string("Kolbi Software Inventory Pump"));
    control.Set(10, std::int32_t{2});
}

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    for (size_t start = 0;;) {
        size_t end = folders.find(':', start);
        std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (end == std::string::npos) return {};
        start = end + 1;
    }
}

// systemd-analyze verify on a unit file. The tool comes with the project's
// dependencies, so its absence is a failure, never a skip.
void ExpectUnitVerifies(const std::string& unit_path) {
    std::string analyze = FindOnPath("systemd-analyze");
    ASSERT_FALSE(analyze.empty()) << "systemd-analyze is not installed (scripts/install-deps.sh)";
    auto result = RunProcess(analyze, {"verify", "--man=no", unit_path});
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.err.find(kUnit), std::string::npos) << result.err;
}

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
}

TEST(ServiceControl, InstallWritesTheUnitAndEnablesItWhenSystemdRuns) {
    TempFolder units;
    FakeServicePlatform platform;
    platform.unit_folder = units.path();
    platform.systemctl_usable = true;
    ServiceControl control(platform);
    MakeSettings(control);

    ASSERT_TRUE(control.Install());
    std::string unit = units.Read(kUnit);
    EXPECT_THAT(unit, HasSubstr("\nDescription=Kolbi Software Inventory Pump\n"));
    EXPECT_THAT(unit, HasSubstr("\nType=notify\n"));
    EXPECT_THAT(unit, HasSubstr("\nExecStart=/opt/kolbi/kolbipump\n"));
    EXPECT_THAT(unit, HasSubstr("\nWorkingDirectory=/opt/kolbi\n"));
    EXPECT_THAT(unit, HasSubstr("\nWantedBy=multi-user.target\n"));
    using Call = std::vector<std::string>;
    EXPECT_THAT(platform.systemctl_calls,
                ElementsAre(Call{"daemon-reload"}, Call{"enable", kUnit}));

    platform.systemctl_calls.clear();
    EXPECT_TRUE(control.Uninstall());
    EXPECT_FALSE(units.Has(kUnit));
    EXPECT_THAT(platform.systemctl_calls,
                ElementsAre(Call{"stop", kUnit}, Call{"disable", kUnit}, Call{"daemon-reload"}));

    platform.systemctl_calls.clear();
    EXPECT_FALSE(control.Uninstall());  // nothing left to remove
    EXPECT_TRUE(platform.systemctl_calls.empty());
}

TEST(ServiceControl, WithoutSystemdOnlyTheFileIsWrittenAndRemoved) {
    TempFolder units;
    FakeServicePlatform platform;
    platform.unit_folder = units.path();
    ServiceControl control(platform);
    MakeSettings(control);
    ASSERT_TRUE(control.Install());
    EXPECT_TRUE(units.Has(kUnit));
    EXPECT_TRUE(control.Uninstall());
    EXPECT_TRUE(platform.systemctl_calls.empty());
}

TEST(ServiceControl, AnUnwritableUnitFolderFailsWithAReason) {
    FakeServicePlatform platform;
    ServiceControl control(platform);
    MakeSettings(control);
    EXPECT_FALSE(control.Install());
    EXPECT_THAT(control.LastError(), HasSubstr("/nonexistent-unit-folder/" + kUnit));
}

TEST(ServiceControl, FirstFolderOfTheUnitPath) {
    EXPECT_EQ(FirstUnitFolder("/a:/b"), "/a");
    EXPECT_EQ(FirstUnitFolder("/a:"), "/a");
    EXPECT_EQ(FirstUnitFolder("/a"), "/a");
    EXPECT_EQ(FirstUnitFolder(":/b"), "");
}

TEST(ServiceControl, EventLogTypesBecomeSyslogPriorities) {
    FakeServicePlatform platform;
    ServiceControl control(platform);
    control.LogEvent(0, 110, "Successfully paused service, Kolbi Software Inventory Pump");
    control.LogEvent(1, 109, "[5] Error during Form_Load event: boom");
    using Entry = std::pair<int, std::string>;
    EXPECT_THAT(platform.log_entries,
                ElementsAre(Entry{LOG_INFO,
                                  "event 110: Successfully paused service, Kolbi Software "
                                  "Inventory Pump"},
                            Entry{LOG_ERR, "event 109: [5] Error during Form_Load event: boom"}));
}

TEST(ServiceControl, StartTellsTheManagerAndRaisesStart) {
    FakeServicePlatform platform;
    ServiceControl control(platform);
    control.StartService();
    EXPECT_TRUE(platform.notifications.empty());  // not started by systemd
    EXPECT_EQ(control.TakeEvent(), ServiceEvent::kStart);

    platform.under_manager = true;
    control.StartService();
    EXPECT_THAT(platform.notifications, ElementsAre("READY=1"));
    EXPECT_EQ(control.TakeEvent(), ServiceEvent::kStart);
    EXPECT_EQ(control.TakeEvent(), std::nullopt);
}

TEST(ServiceControl, ReadinessReachesTheNotifySocket) {
    TempFolder folder;
    const std::string socket_path = folder / "notify";
    int listener = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socket_path.size(), sizeof address.sun_path);
    socket_path.copy(address.sun_path, socket_path.size());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    ::setenv("NOTIFY_SOCKET", socket_path.c_str(), 1);
    LinuxServicePlatform platform;
    ServiceControl control(platform);
    control.StartService();
    ::unsetenv("NOTIFY_SOCKET");

    char buffer[256] = {};
    ssize_t n = ::recv(listener, buffer, sizeof buffer - 1, MSG_DONTWAIT);
    ::close(listener);
    EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0), "READY=1");
}

TEST(ServiceControl, SignalsBecomeEventsInTheOrderTheyCame) {
    FakeServicePlatform platform;
    ServiceControl control(platform);
    ASSERT_TRUE(control.ListenToSignals());
    EXPECT_FALSE(control.EventPending());
    ::raise(SIGUSR1);
    ::raise(SIGUSR2);
    ::raise(SIGINT);
    ::raise(SIGHUP);
    ::raise(SIGTERM);
    EXPECT_TRUE(control.EventPending());
    EXPECT_EQ(control.TakeEvent(), ServiceEvent::kPause);
    EXPECT_EQ(control.TakeEvent(), ServiceEvent::kContinue);
    EXPECT_EQ(control.TakeEvent(), ServiceEvent::kStop);
    EXPECT_EQ(control.TakeEvent(), ServiceEvent::kStop);
    EXPECT_EQ(control.TakeEvent(), ServiceEvent::kStop);
    EXPECT_EQ(control.TakeEvent(), std::nullopt);
}

// The real program with -i and -u, its unit folder given by SYSTEMD_UNIT_PATH.
TEST(ServiceControl, InstallAndUninstallSwitchesOfTheProgram) {
    TempFolder units;
    const std::string env = "SYSTEMD_UNIT_PATH=" + units.path() + ":";
    auto installed = RunProcess(KOLBIPUMP_PATH, {"-install"}, {env, kNoSystemctl});
    EXPECT_EQ(installed.exit_status, 0);
    EXPECT_EQ(installed.out, "");
    EXPECT_EQ(installed.err, "");
    ASSERT_TRUE(units.Has(kUnit));
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
    EXPECT_EQ(unwritable.exit_status, 1);  // the install's result is not shown...
    EXPECT_EQ(unwritable.out, "");
    EXPECT_THAT(unwritable.err, HasSubstr("cannot write"));  // ...but the reason is
}

TEST(ServiceControl, TheInstalledUnitVerifies) {
    TempFolder units;
    auto installed =
        RunProcess(KOLBIPUMP_PATH, {"-i"}, {"SYSTEMD_UNIT_PATH=" + units.path(), kNoSystemctl});
    ASSERT_EQ(installed.exit_status, 0);
    ExpectUnitVerifies(units / kUnit);
}

TEST(ServiceControl, AProgramInAnAwkwardFolderStillGetsAValidUnit) {
    TempFolder units;
    TempFolder app;
    std::filesystem::create_directory(app / "Kolbi pump 100%");
    const std::string program = app / "Kolbi pump 100%/kolbipump";
    std::filesystem::copy_file(KOLBIPUMP_PATH, program);
    auto installed =
        RunProcess(program, {"-i"}, {"SYSTEMD_UNIT_PATH=" + units.path(), kNoSystemctl});
    ASSERT_EQ(installed.exit_status, 0) << installed.err;
    EXPECT_THAT(units.Read(kUnit),
                HasSubstr("\nExecStart=\"" + app / "Kolbi pump 100%%/kolbipump\"\n"));
    ExpectUnitVerifies(units / kUnit);
}

}  // namespace
}  // namespace kolbi
