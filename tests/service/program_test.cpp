// The command line, and the real program run as an operator or systemd runs
// it: the one-shot switches, a start that fails, a program installed from any
// folder, and the running service's stop signals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <csignal>
#include <filesystem>

#include "db/test_database.h"
#include "service/command_line.h"
#include "support/subprocess.h"

namespace kolbi {
namespace {

using ::testing::AllOf;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::RunProcess;
using testing::TempFolder;

const std::string kUnit = "kolbi-software-inventory-pump.service";
// systemctl out of reach: a test never reloads or enables anything on a
// machine where systemd runs.
const std::string kNoSystemctl = "PATH=/nonexistent";

// The program under its own name in a folder of the test's.
std::string PlaceProgram(const TempFolder& app, const std::string& folder = "") {
    std::filesystem::create_directories(app / folder);
    const std::string program = app / (folder.empty() ? "" : folder + "/") + "kolbipump";
    std::filesystem::copy_file(KOLBIPUMP_PATH, program);
    return program;
}

TEST(CommandLine, TheFirstTwoCharactersOfTheTrimmedLowerCasedArgumentAreTheSwitch) {
    const std::pair<RunMode, std::vector<std::string>> cases[] = {
        {RunMode::kService, {"", "   "}},
        {RunMode::kInstall, {"-i", "/I", "-install"}},
        {RunMode::kUninstall, {"-u", "/u"}},
        {RunMode::kVersion, {"-v", "-vx", "/V"}},
        {RunMode::kHelp, {"-?", "/?"}},
        {RunMode::kVisible, {"-s", "  -S  ", "/s anything", "-d", "/D"}},
        {RunMode::kDetached, {"-n", "/n"}},
        {RunMode::kInvalid, {"-", "s", "--s", "- s", "\t-s", "-x", "i-"}},
    };
    for (const auto& [mode, command_lines] : cases) {
        for (const std::string& command_line : command_lines) {
            EXPECT_EQ(ModeOf(ArgumentOf(command_line)), mode) << "[" << command_line << "]";
        }
    }
}

// One run per kind of one-shot switch (the table above has the spellings); an
// install and an uninstall that succeed: UnitPaths below.
TEST(OneShotSwitches, ShowTheirBoxAndEnd) {
    TempFolder units;
    const std::string unit = units / "no/such/" + kUnit;
    const struct {
        std::vector<std::string> args;
        int exit_status;
        std::string out;
        std::string err;  // a failure says why on standard error
    } cases[] = {
        {{"-v", "whatever", "follows"},
         0,
         "Version\nKolbi Software Inventory Pump\n Version 4.2.0\n",
         ""},
        {{"/?"},
         0,
         "Kolbi Software Inventory Pump\n-i or /i to Install\n-u or /u to Un-Install\n-v or /v "
         "for version information\n-s or /s to set program to visible\n-? or /? to get this "
         "message\n",
         ""},
        {{"--v"}, 2, "Kolbi Software Inventory Pump\nInvalid command option\n", ""},
        {{"/U"},
         1,
         "Kolbi Software Inventory Pump\nKolbi Software Inventory Pump failed to uninstall\n",
         "kolbipump: " + unit + " is not there\n"},
        {{"-i"}, 1, "", "kolbipump: cannot write " + unit + ": No such file or directory\n"},
    };
    for (const auto& c : cases) {
        auto result = RunProcess(KOLBIPUMP_PATH, c.args,
                                 {"SYSTEMD_UNIT_PATH=" + units / "no/such", kNoSystemctl});
        EXPECT_EQ(result.exit_status, c.exit_status) << c.args[0];
        EXPECT_EQ(result.out, c.out) << c.args[0];
        EXPECT_EQ(result.err, c.err) << c.args[0];
    }
}

TEST(FatalStart, AnUnreadableIniOrAnUnwritableLogIsSaidOnTheTerminal) {
    for (bool ini_unreadable : {true, false}) {
        TempFolder app;
        const std::string program = PlaceProgram(app);
        // As root nothing is unreadable or read-only: folders stand in. A date
        // format without a date in it names the log whatever the day.
        const std::string log_name = "kolbipump-fixed.log";
        if (!ini_unreadable) app.Write("KolbiPumps.ini", "[DataBase]\r\nSqlDateFormat=fixed\r\n");
        std::filesystem::create_directory(app / (ini_unreadable ? "KolbiPumps.ini" : log_name));
        const std::string trace =
            ini_unreadable
                ? "kolbipump: Error No: 75, Error Description: Path/File access error: " +
                      app / "KolbiPumps.ini" +
                      " exists but cannot be read (not a regular file), in procedure INIRead of "
                      "Module ModDivers (not in the error log: logging is off)"
                : "kolbipump: Incoming Files Path  not found or invalid ! (not in the error log: " +
                      app / log_name + ": Is a directory)";
        // Only standard error on a terminal (script's).
        auto on_terminal = RunProcess("/usr/bin/script",
                                      {"-qec", program + " -s </dev/null >/dev/null", "/dev/null"});
        EXPECT_EQ(on_terminal.exit_status, 1);
        EXPECT_THAT(on_terminal.out, HasSubstr(trace));
        // Standard error that is no terminal (the journal) gets it from syslog
        // only; visible mode runs without its screen there.
        auto no_terminal = RunProcess(program, {"-s"});
        EXPECT_THAT(no_terminal.err, AllOf(HasSubstr("no status screen"), Not(HasSubstr(trace))));
        if (!ini_unreadable) {  // the message box, shown on the terminal instead
            EXPECT_THAT(no_terminal.err, HasSubstr("DAVO Pump initialization error\nIncoming Files "
                                                   "Path  not found or invalid !\n"));
        }
    }
}

// -i writes the unit (ExecStart= the program, WorkingDirectory= its folder,
// restarted after a failure) into the first folder of SYSTEMD_UNIT_PATH,
// escaped so that systemd runs exactly that program; -u removes it again.
TEST(UnitPaths, AProgramInAnyFolderInstallsAUnitSystemdTakes) {
    const std::string sh = ":/bin/sh -c \"exec \\\"$0\\\"\" ";
    const struct {
        std::string folder;
        std::string exec_start;  // after the program's temporary folder
        std::string working_directory;
        std::string exec_start_pre;  // "" when no check program is beside the pump
    } cases[] = {
        {"plain", "@plain/kolbipump", "@plain", ""},
        {"pay$HOME", ":@pay$HOME/kolbipump", "@pay$HOME", ":@pay$HOME/kolbipump-check"},
        {"a b 100% ${x}", ":\"@a b 100%% ${x}/kolbipump\"", "@a b 100%% ${x}",
         ":\"@a b 100%% ${x}/kolbipump-check\""},
        {"it's \"q\"", sh + "\"@it's \\\"q\\\"/kolbipump\"", "@it's \"q\"", ""},
        {"back\\slash\\", sh + "\"@back\\\\slash\\\\/kolbipump\"", "@back\\slash\\/", ""},
    };
    for (const auto& c : cases) {
        TempFolder app, units;
        const std::string program = PlaceProgram(app, c.folder);
        if (!c.exec_start_pre.empty()) {
            std::filesystem::copy_file("/bin/true", app / c.folder + "/kolbipump-check");
        }
        const std::vector<std::string> env{"SYSTEMD_UNIT_PATH=" + units.path() + ":/elsewhere",
                                           kNoSystemctl};
        // Installing again over the program's own unit is fine.
        for (int time = 0; time < 2; ++time) {
            auto installed = RunProcess(program, {"-install"}, env);
            ASSERT_EQ(installed.exit_status, 0) << c.folder << installed.err;
            EXPECT_EQ(installed.out + installed.err, "");
        }
        auto at_app = [&](std::string text) { return text.replace(text.find('@'), 1, app.path()); };
        const std::string unit = units.Read(kUnit);
        const std::string lines[] = {"Description=Kolbi Software Inventory Pump",
                                     "ExecStart=" + at_app(c.exec_start),
                                     "WorkingDirectory=" + at_app(c.working_directory),
                                     "Restart=on-failure", "RestartSec=30"};
        for (const std::string& line : lines) {
            EXPECT_THAT(unit, HasSubstr("\n" + line + "\n")) << c.folder;
        }
        if (c.exec_start_pre.empty()) {
            EXPECT_THAT(unit, Not(HasSubstr("ExecStartPre="))) << c.folder;
        } else {
            EXPECT_THAT(unit, HasSubstr("\nExecStartPre=" + at_app(c.exec_start_pre) + "\n"));
        }
        // The package's part is no copy's business.
        EXPECT_THAT(unit, AllOf(Not(ContainsRegex("@[A-Z_]+@")), Not(HasSubstr("User="))));
        auto verified = RunProcess(
            "/bin/sh", {"-c", "systemd-analyze verify --man=no \"$0\" 2>&1", units / kUnit});
        EXPECT_EQ(verified.exit_status, 0) << c.folder << verified.out;
        EXPECT_THAT(verified.out, Not(HasSubstr(kUnit))) << c.folder;

        auto removed = RunProcess(program, {"/u"}, env);
        EXPECT_EQ(removed.exit_status, 0);
        EXPECT_EQ(removed.out,
                  "Kolbi Software Inventory Pump\nKolbi Software Inventory Pump "
                  "uninstalled successfully\n");
        EXPECT_FALSE(units.Has(kUnit));
    }
}

// -i never takes over a unit of the same name that another program's
// installation owns: one of another program in the unit folder, one a
// package put in a folder of its own, or a masked unit; -u never removes
// one. The program says why and leaves them all as they were.
TEST(UnitPaths, AUnitThatIsAnotherProgramsIsLeftAlone) {
    const std::string another = "[Service]\nExecStart=/usr/bin/kolbipump\n";
    const struct {
        std::string name;
        bool in_other_folder;  // else in the unit folder -i writes to
        bool masked;
        std::string err;  // after "kolbipump: not installed: " and the unit's path
    } cases[] = {
        {"another program's", false, false,
         " runs /usr/bin/kolbipump, not this program: that program's -u removes it"},
        {"a package's", true, false,
         " runs /usr/bin/kolbipump, and is a unit of the same name installed apart (by a "
         "package?); a unit in @ would override it or be ignored. Use that one (systemctl "
         "enable " +
             kUnit + "), or remove it first"},
        {"masked", false, true,
         " is a link (a masked unit, or one linked in by another installation)"},
    };
    for (const auto& c : cases) {
        TempFolder app, units, other;
        const std::string program = PlaceProgram(app);
        const TempFolder& holder = c.in_other_folder ? other : units;
        if (c.masked) {
            std::filesystem::create_symlink("/dev/null", holder / kUnit);
        } else {
            holder.Write(kUnit, another);
        }
        const std::vector<std::string> env{"SYSTEMD_UNIT_PATH=" + units.path() + ":" + other.path(),
                                           kNoSystemctl};
        auto installed = RunProcess(program, {"-i"}, env);
        std::string err = c.err;
        if (size_t at = err.find('@'); at != std::string::npos) err.replace(at, 1, units.path());
        EXPECT_EQ(installed.exit_status, 1) << c.name;
        EXPECT_EQ(installed.err, "kolbipump: not installed: " + holder / kUnit + err + "\n");
        // Nor does -u remove a unit of the same name that is not its own.
        if (!c.in_other_folder) {
            auto removed = RunProcess(program, {"-u"}, env);
            EXPECT_EQ(removed.exit_status, 1) << c.name;
            EXPECT_EQ(removed.err, "kolbipump: not removed: " + holder / kUnit + err + "\n");
        }
        EXPECT_EQ(units.Has(kUnit), !c.in_other_folder) << c.name;
        if (!c.masked) {
            EXPECT_EQ(holder.Read(kUnit), another) << c.name;
        }
    }
}

// A packaged pump keeps its executables apart from its folder: the
// environment names the folder with the INI and the error log, absolute or
// relative to where the program is started.
TEST(ProgramFolder, TheEnvironmentNamesTheFolderOfTheIniAndTheLog) {
    for (const std::string named : {"absolute", "state"}) {
        TempFolder app, start;
        const std::string program = PlaceProgram(app);
        const std::string folder = named == "absolute" ? app / "state" : named;
        std::filesystem::create_directory(start / "state");
        std::filesystem::create_directory(app / "state");
        const TempFolder& holder = named == "absolute" ? app : start;
        holder.Write("state/KolbiPumps.ini", "[DataBase]\r\nSqlDateFormat=fixed\r\n");
        auto ran =
            RunProcess("/bin/sh", {"-c", "cd \"$1\" && exec \"$0\" -s", program, start.path()},
                       {"KOLBI_PUMP_FOLDER=" + folder});
        EXPECT_EQ(ran.exit_status, 1) << named;
        EXPECT_THAT(holder.Read("state/kolbipump-fixed.log"),
                    HasSubstr("Incoming Files Path  not found or invalid !"))
            << named;
        EXPECT_FALSE(app.Has("kolbipump-fixed.log")) << named;
    }
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

// The service as systemd runs it, without LANG: it says it is ready on the
// notification socket, and a stop (SIGTERM from systemctl, SIGINT from a
// terminal, SIGHUP from a closed one) wakes the real event loop's wait and
// ends it promptly, status 0. A hang-up ignored at the start (nohup) is not
// caught.
TEST(RunningService, EndsPromptlyOnAStopSignal) {
    testing::TestDatabase db(testing::Backend::kSqlite);
    TempFolder app;
    const std::string program = PlaceProgram(app);
    std::filesystem::create_directory(app / "in");
    app.Write("KolbiPumps.ini", "[DataBase]\r\nDsnEntry=" + db.dsn() +
                                    "\r\n[SoftInventory]\r\nincomingFilesPath=" + app / "in" +
                                    "\r\nLogError=yes\r\n");
    const struct {
        int signal;
        bool nohup;
    } cases[] = {{SIGTERM, false}, {SIGINT, false}, {SIGHUP, false}, {SIGHUP, true}};
    for (const auto& [signal, nohup] : cases) {
        SCOPED_TRACE("signal " + std::to_string(signal) + (nohup ? " under nohup" : ""));
        NotifySocket notify;
        testing::Subprocess pump(
            nohup ? "/usr/bin/nohup" : program,
            nohup ? std::vector<std::string>{program} : std::vector<std::string>{},
            {"NOTIFY_SOCKET=" + notify.path(), "LANG", "LC_ALL", "LC_CTYPE", "LANGUAGE"});
        ASSERT_GT(pump.pid(), 0);
        ASSERT_EQ(notify.Receive(30000), "READY=1") << "the service never got ready";
        EXPECT_EQ(notify.Receive(30000), "STATUS=Running");
        const auto sent = std::chrono::steady_clock::now();
        ASSERT_EQ(::kill(pump.pid(), signal), 0);
        if (nohup) {
            ASSERT_FALSE(pump.Wait(std::chrono::milliseconds(300))) << "the hang-up was caught";
            ASSERT_EQ(::kill(pump.pid(), SIGTERM), 0);
        }
        std::optional<testing::ProcessResult> ended = pump.Wait(std::chrono::seconds(10));
        ASSERT_TRUE(ended) << "the service did not end";
        EXPECT_EQ(ended->exit_status, 0) << ended->err;
        EXPECT_EQ(ended->out + ended->err, "");
        // Promptly: the loop's wait wakes on the signal, not on its next timer
        // (a sanitizer build's exit included).
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(3));
    }
}

}  // namespace
}  // namespace kolbi
