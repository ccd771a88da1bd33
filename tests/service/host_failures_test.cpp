// How the service host fails where an operator looks: -i and -u say why and
// exit 1, a fatal start the error log did not take leaves a trace, an ignored
// hang-up stays ignored, and a program in any folder gets a unit systemd takes.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <thread>

#include "common/program_end.h"
#include "common/pump_settings.h"
#include "log/write_log.h"
#include "service/fake_service_platform.h"
#include "service/pump_host.h"
#include "support/subprocess.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::RunProcess;
using testing::TempFolder;

const std::string kUnit = "kolbi-software-inventory-pump.service";

// The program under its own name in a folder of the test's.
std::string PlaceProgram(const TempFolder& app, const std::string& folder = "") {
    std::filesystem::create_directories(app / folder);
    const std::string program = app / (folder.empty() ? "" : folder + "/") + "kolbipump";
    std::error_code linked;
    std::filesystem::create_hard_link(KOLBIPUMP_PATH, program, linked);
    if (linked) std::filesystem::copy_file(KOLBIPUMP_PATH, program);
    return program;
}

// Runs "program -s" with only its standard error on a terminal (script's).
testing::ProcessResult RunWithErrorsOnTerminal(const std::string& program) {
    return RunProcess("/usr/bin/script",
                      {"-qec", program + " -s </dev/null >/dev/null", "/dev/null"});
}

TEST(OneShotFailures, SystemctlFailingFailsInstallAndUninstall) {
    TempFolder units;
    testing::FakeServicePlatform platform;
    platform.unit_folder = units.path();
    platform.systemctl_usable = true;
    platform.systemctl_status = 1;
    ServiceControl control(platform);
    control.Set(5, std::string("Kolbi Software Inventory Pump"));
    control.Set(10, std::int32_t{2});
    EXPECT_FALSE(control.Install());
    EXPECT_EQ(control.LastError(),
              units / kUnit + " was written, but systemctl daemon-reload failed (exit status 1)");
    EXPECT_FALSE(control.Uninstall());
    EXPECT_EQ(control.LastError(),
              "systemctl stop " + kUnit + " failed (exit status 1); " + units / kUnit + " is kept");
    EXPECT_TRUE(units.Has(kUnit));

    auto removed = RunProcess(KOLBIPUMP_PATH, {"-u"},
                              {"SYSTEMD_UNIT_PATH=" + units / "none", "PATH=/nonexistent"});
    EXPECT_EQ(removed.exit_status, 1);
    EXPECT_THAT(removed.out, HasSubstr("Kolbi Software Inventory Pump failed to uninstall\n"));
    EXPECT_EQ(removed.err, "kolbipump: " + units / "none/" + kUnit + " is not there\n");
}

TEST(FatalStart, AFailureTheLogDidNotTakeGoesToTheSystemLog) {
    testing::FakeServicePlatform platform;
    ProcessPriority priority;
    PumpHost host(platform, priority, {false});
    Settings() = PumpSettings{};
    WriteLog("Error No: 75, Error Description: unreadable", kLevelError, 75);
    ScopedProgramEndTrap trap;
    EXPECT_THROW(EndProgramAfterFailure(), ProgramEnded);
    EXPECT_THAT(platform.log_entries,
                ElementsAre(std::pair<int, std::string>{
                    LOG_ERR,
                    "event 109: Error No: 75, Error Description: unreadable (not in "
                    "the error log: logging is off)"}));
}

TEST(FatalStart, AnUnreadableIniOrAnUnwritableLogIsSaidOnTheTerminal) {
    char today[16];
    const std::time_t now = std::time(nullptr);
    std::strftime(today, sizeof today, "%Y-%m-%d", std::localtime(&now));
    const std::string log_name = std::string("kolbipump-") + today + ".log";
    for (bool ini_unreadable : {true, false}) {
        TempFolder app;
        const std::string program = PlaceProgram(app);
        // As root nothing is unreadable or read-only: folders stand in.
        std::filesystem::create_directory(app / (ini_unreadable ? "KolbiPumps.ini" : log_name));
        const std::string trace =
            ini_unreadable
                ? "kolbipump: Error No: 75, Error Description: Path/File access error: " +
                      app / "KolbiPumps.ini" +
                      " exists but cannot be read (not a regular file), in procedure INIRead of "
                      "Module ModDivers (not in the error log: logging is off)"
                : "kolbipump: Incoming Files Path  not found or invalid ! (not in the error log: " +
                      app / log_name + ": Is a directory)";
        auto on_terminal = RunWithErrorsOnTerminal(program);
        EXPECT_EQ(on_terminal.exit_status, 1);
        EXPECT_THAT(on_terminal.out, HasSubstr(trace));
        // Standard error that is no terminal (the journal) gets it from syslog only.
        EXPECT_THAT(RunProcess(program, {"-s"}).err, Not(HasSubstr(trace)));
    }
}

// Runs the program as a service (readiness on a socket of the test's), sends a
// hang-up and then a stop; true when the hang-up alone ended it.
bool HangUpEnds(bool hangup_ignored) {
    TempFolder app;
    const std::string socket_path = app / "notify";
    int listener = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socket_path.copy(address.sun_path, sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const std::string program = PlaceProgram(app);
    std::string notify = "NOTIFY_SOCKET=" + socket_path;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGHUP, hangup_ignored ? SIG_IGN : SIG_DFL);  // nohup's way, or none
        const int null = ::open("/dev/null", O_RDWR);
        for (int fd : {0, 1, 2}) ::dup2(null, fd);
        char* env[] = {notify.data(), nullptr};
        ::execle(program.c_str(), program.c_str(), nullptr, env);
        ::_exit(127);
    }
    pollfd ready{listener, POLLIN, 0};
    EXPECT_EQ(::poll(&ready, 1, 10000), 1) << "no READY=1";
    ::close(listener);
    ::kill(pid, SIGHUP);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int status = 0;
    const bool ended = ::waitpid(pid, &status, WNOHANG) == pid;
    if (!ended) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, &status, 0);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return ended;
}

TEST(HangUp, StopsThePumpUnlessItWasIgnoredAtStart) {
    EXPECT_TRUE(HangUpEnds(false));
    EXPECT_FALSE(HangUpEnds(true));
}

TEST(UnitPaths, AProgramInAnyFolderGetsAUnitSystemdTakes) {
    const std::string sh = ":/bin/sh -c \"exec \\\"$0\\\"\" ";
    const struct {
        std::string folder;
        std::string exec_start;  // after the program's temporary folder
        std::string working_directory;
    } cases[] = {
        {"pay$HOME", ":@pay$HOME/kolbipump", "@pay$HOME"},
        {"a b 100% ${x}", ":\"@a b 100%% ${x}/kolbipump\"", "@a b 100%% ${x}"},
        {"it's \"q\"", sh + "\"@it's \\\"q\\\"/kolbipump\"", "@it's \"q\""},
        {"back\\slash\\", sh + "\"@back\\\\slash\\\\/kolbipump\"", "@back\\slash\\/"},
    };
    for (const auto& c : cases) {
        TempFolder app, units;
        const std::string program = PlaceProgram(app, c.folder);
        auto installed =
            RunProcess(program, {"-i"}, {"SYSTEMD_UNIT_PATH=" + units.path(), "PATH=/nonexistent"});
        ASSERT_EQ(installed.exit_status, 0) << c.folder << installed.err;
        auto at_app = [&](std::string text) { return text.replace(text.find('@'), 1, app.path()); };
        const std::string unit = units.Read(kUnit);
        EXPECT_THAT(unit, HasSubstr("\nExecStart=" + at_app(c.exec_start) + "\n")) << c.folder;
        EXPECT_THAT(unit, HasSubstr("\nWorkingDirectory=" + at_app(c.working_directory) + "\n"));
        auto verified = RunProcess(
            "/bin/sh", {"-c", "systemd-analyze verify --man=no \"$0\" 2>&1", units / kUnit});
        EXPECT_EQ(verified.exit_status, 0) << c.folder << verified.out;
        EXPECT_THAT(verified.out, Not(HasSubstr(kUnit))) << c.folder;
    }
}

}  // namespace
}  // namespace kolbi
