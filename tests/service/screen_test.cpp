// The status screen for real: the program in visible mode inside tmux, read
// with capture-pane and driven with send-keys. The program runs without LANG,
// as under systemd, and must still draw its accented texts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/subprocess.h"

namespace kolbi {
namespace {

using ::testing::HasSubstr;

// A tmux server of our own on a socket named after this process, killed with
// everything in it when the object goes, whatever the test's outcome.
class Tmux {
public:
    ~Tmux() { Run({"kill-server"}); }
    testing::ProcessResult Run(std::vector<std::string> args) const {
        args.insert(args.begin(), {"-L", socket_, "-f", "/dev/null"});
        return testing::RunProcess("/usr/bin/tmux", args, {"LANG=C.UTF-8"});
    }
    std::string Screen() const { return Run({"capture-pane", "-p", "-t", "pump"}).out; }
    // Waits until the screen shows text: a minute at most, for a slow machine
    // or a sanitizer build; a fast one returns at once.
    bool WaitFor(const std::string& text) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (std::chrono::steady_clock::now() < deadline) {
            if (Screen().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

private:
    std::string socket_ = "kolbi-screen-test-" + std::to_string(::getpid());
};

TEST(StatusScreen, ShowsTheWindowTakesKeysAndGivesTheTerminalBack) {
    testing::TempFolder app;
    std::filesystem::copy_file(KOLBIPUMP_PATH, app / "kolbipump");
    std::filesystem::create_directories(app / "in/incoming");
    for (const char* name :
         {"in/B.silog", "in/a.SILog", "in/c.txt", "in/incoming/PC1_20261204.SILOG"}) {
        app.Write(name, "x");
    }
    app.Write("KolbiPumps.ini",
              "[SoftInventory]\r\nRefresh=1\r\nincomingFilesPath=" + app / "in\r\n");

    Tmux tmux;
    ASSERT_EQ(tmux.Run({"new-session", "-d", "-s", "pump", "-x", "100", "-y", "32",
                        // A test that dies cannot leave the session behind for long.
                        "timeout --foreground 300 env -u LANG -u LC_ALL -u LC_CTYPE '" +
                            app / "kolbipump" + "' -s; echo \"EXIT=$?\"; sleep 60"})
                  .exit_status,
              0)
        << "tmux is not installed (scripts/install-deps.sh)";
    ASSERT_TRUE(tmux.WaitFor("1 fichier(s) décompressé(s) en attente...")) << tmux.Screen();
    const std::string screen = tmux.Screen();
    for (const char* text :
         {"Tessmar Software Inventory Collector", "[ START ]",
          "Fichiers compressés en attente :", "File d'attente des fichiers entrant",
          "PC1_20261204.SILOG", "Produits via le LOG", "Produits via la BD", "Produits supprimés",
          "Produits ajoutés", "Do_Log : traitement des rapports non intégré"}) {
        EXPECT_THAT(screen, HasSubstr(text));
    }
    // The compressed files in name order, whatever the case of their extension.
    EXPECT_LT(screen.find("a.SILog"), screen.find("B.silog"));
    EXPECT_THAT(screen, HasSubstr("B.silog"));
    EXPECT_THAT(screen, ::testing::Not(HasSubstr("c.txt")));

    // START: the start of processing again, then one processing tick.
    tmux.Run({"send-keys", "-t", "pump", "s"});
    EXPECT_TRUE(tmux.WaitFor("Cycle de traitement des fichiers reçus non intégré"))
        << tmux.Screen();
    tmux.Run({"resize-window", "-t", "pump", "-x", "40", "-y", "10"});
    EXPECT_TRUE(tmux.WaitFor("Terminal trop petit")) << tmux.Screen();
    tmux.Run({"resize-window", "-t", "pump", "-x", "100", "-y", "32"});
    EXPECT_TRUE(tmux.WaitFor("Produits ajoutés")) << tmux.Screen();
    tmux.Run({"send-keys", "-t", "pump", "q"});
    EXPECT_TRUE(tmux.WaitFor("EXIT=0")) << tmux.Screen();
    // The terminal is given back: the shell's line is all that is left.
    EXPECT_THAT(tmux.Screen(), ::testing::Not(HasSubstr("Tessmar")));
}

}  // namespace
}  // namespace kolbi
