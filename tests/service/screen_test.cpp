// The status screen for real: the program in visible mode inside tmux, read
// with capture-pane and driven with send-keys.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "codec/cls_huffman.h"
#include "db/test_database.h"
#include "support/subprocess.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

using ::testing::HasSubstr;
using testing::RunProcess;
using testing::TempFolder;

std::string FindTmux() {
    for (const char* candidate : {"/usr/bin/tmux", "/usr/local/bin/tmux", "/bin/tmux"}) {
        if (::access(candidate, X_OK) == 0) return candidate;
    }
    return {};
}

// A tmux server of our own, gone with the object (and the program in it).
class Tmux {
public:
    explicit Tmux(std::string program) : program_(std::move(program)) {}
    ~Tmux() { (void)Run({"kill-server"}); }

    testing::ProcessResult Run(std::vector<std::string> args) const {
        args.insert(args.begin(), {"-L", socket_, "-f", "/dev/null"});
        return RunProcess(program_, args, {"LANG=C.UTF-8"});
    }
    // Starts the server with a session running command.
    bool Start(const std::string& command) const {
        return RunProcess(program_,
                          {"-L", socket_, "-f", "/dev/null", "new-session", "-d", "-s", "pump",
                           "-x", "100", "-y", "32", command},
                          {"LANG=C.UTF-8"}, /*capture_output=*/false)
                   .exit_status == 0;
    }
    std::string Screen() const { return Run({"capture-pane", "-p", "-t", "pump"}).out; }

    // Waits (ten seconds at most) until the screen shows text.
    bool WaitFor(const std::string& text) const {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (Screen().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

private:
    std::string program_;
    std::string socket_ = "kolbi-screen-test-" + std::to_string(::getpid());
};

// The pump's error logs, for a failure message.
std::string ReadLogs(const std::string& folder) {
    std::string logs;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".log") continue;
        std::ifstream in(entry.path());
        logs.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return logs;
}

// Waits (ten seconds at most) until done() holds.
bool Eventually(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

TEST(StatusScreen, ShowsTheWindowTakesKeysAndGivesTheTerminalBack) {
    const std::string tmux_program = FindTmux();
    ASSERT_FALSE(tmux_program.empty()) << "tmux is not installed (scripts/install-deps.sh)";

    testing::TestDatabase db(testing::Backend::kSqlite);
    TempFolder app;
    std::filesystem::copy_file(KOLBIPUMP_PATH, app / "kolbipump");
    std::filesystem::create_directories(app / "in/incoming");
    const std::string report = "A!Editor Pro 2000!Editor Pro!4, 0, 1!(c) 1999 Acme Corp.\r\n";
    app.Write("in/B.silog", "not HE3");
    app.Write("in/a_1.SILog", clsHuffman().EncodeString(report));
    app.Write("in/c.txt", "x");
    app.Write("in/incoming/PC1_20261204.SILOG", report);
    app.Write("KolbiPumps.ini",
              "[DataBase]\r\nDsnEntry=" + db.dsn() +
                  "\r\nSqlDateFormat=DD-MM-YYYY\r\n[SoftInventory]\r\n"
                  "Refresh=1\r\nLogError=yes\r\nincomingFilesPath=" +
                  app / "in" + "\r\n");

    Tmux tmux(tmux_program);
    ASSERT_TRUE(tmux.Start("env LANG=C.UTF-8 ODBCINI='" + std::string(::getenv("ODBCINI")) +
                           "' '" + app / "kolbipump" + "' -s; echo \"EXIT=$?\"; sleep 60"));
    ASSERT_TRUE(tmux.WaitFor("Tessmar Software Inventory Collector")) << tmux.Screen();
    // The start of processing takes the report that was waiting decompressed.
    // Names compare without regard to case.
    auto postes = [&] { return db.Rows("SELECT Poste_Nom FROM Postes ORDER BY Poste_Nom"); };
    EXPECT_TRUE(Eventually([&] { return postes() == std::vector<std::string>{"PC1"}; }));

    ASSERT_TRUE(tmux.WaitFor("B.silog")) << tmux.Screen();
    std::string screen = tmux.Screen();
    for (const char* text :
         {"[ START ]", "Fichiers compressés en attente :", "File d'attente des fichiers entrant",
          "Produits via le LOG", "Produits via la BD", "Produits supprimés", "Produits ajoutés"}) {
        EXPECT_THAT(screen, HasSubstr(text));
    }
    // The compressed files in name order, whatever the case of their extension.
    size_t a = screen.find("a_1.SILog");
    size_t b = screen.find("B.silog");
    EXPECT_NE(a, std::string::npos);
    EXPECT_NE(b, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_EQ(screen.find("c.txt"), std::string::npos);

    // START: the start of processing again, then one processing tick, which
    // takes both compressed files.
    tmux.Run({"send-keys", "-t", "pump", "s"});
    EXPECT_TRUE(Eventually([&] { return postes() == std::vector<std::string>{"a", "PC1"}; }))
        << tmux.Screen() << ReadLogs(app.path());
    EXPECT_TRUE(Eventually([&] { return !std::filesystem::exists(app / "in/B.silog"); }));

    tmux.Run({"resize-window", "-t", "pump", "-x", "40", "-y", "10"});
    EXPECT_TRUE(tmux.WaitFor("Terminal trop petit")) << tmux.Screen();
    tmux.Run({"resize-window", "-t", "pump", "-x", "100", "-y", "32"});
    EXPECT_TRUE(tmux.WaitFor("Produits ajoutés")) << tmux.Screen();

    tmux.Run({"send-keys", "-t", "pump", "q"});
    EXPECT_TRUE(tmux.WaitFor("EXIT=0")) << tmux.Screen();
    // The terminal is given back: the shell's line is all that is left.
    EXPECT_EQ(tmux.Screen().find("Tessmar"), std::string::npos);
}

}  // namespace
}  // namespace kolbi
