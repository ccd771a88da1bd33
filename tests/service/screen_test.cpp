// The status screen for real: the program in visible mode inside tmux, read
// with capture-pane and driven with send-keys, working on a SQLite database.
// It runs without LANG, as under systemd, and must still draw its accents.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "codec/cls_huffman.h"
#include "db/test_database.h"
#include "support/subprocess.h"

namespace kolbi {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Waits until done() holds: a minute at most, for a slow machine or a
// sanitizer build; a fast one goes on at once.
bool Eventually(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// A tmux server of our own on a socket in a folder of its own, killed with
// everything in it when the object goes, whatever the test's outcome; the
// folder goes with it, so no socket is left behind either.
class Tmux {
public:
    ~Tmux() { Run({"kill-server"}); }
    testing::ProcessResult Run(std::vector<std::string> args) const {
        args.insert(args.begin(), {"-S", folder_ / "tmux", "-f", "/dev/null"});
        return testing::RunProcess("/usr/bin/tmux", args, {"LANG=C.UTF-8"});
    }
    std::string Screen() const { return Run({"capture-pane", "-p", "-t", "pump"}).out; }
    bool WaitFor(const std::string& text) const {
        return Eventually([&] { return Screen().find(text) != std::string::npos; });
    }

private:
    testing::TempFolder folder_;
};

TEST(StatusScreen, ShowsTheWindowTakesKeysAndGivesTheTerminalBack) {
    testing::TestDatabase db(testing::Backend::kSqlite);
    testing::TempFolder app;
    std::filesystem::copy_file(KOLBIPUMP_PATH, app / "kolbipump");
    std::filesystem::create_directories(app / "in/incoming");
    const std::string report = "A!Editor Pro 2000!Editor Pro!4, 0, 1!(c) 1999 Acme Corp.\r\n";
    app.Write("in/B.silog", "not HE3");
    app.Write("in/a_1.SILog", clsHuffman().EncodeString(report));
    app.Write("in/c.txt", "x");
    app.Write("in/incoming/PC1_20261204.SILOG", report);
    app.Write("KolbiPumps.ini", "[DataBase]\r\nDsnEntry=" + db.dsn() +
                                    "\r\n[SoftInventory]\r\nRefresh=1\r\nLogError=yes\r\n"
                                    "incomingFilesPath=" +
                                    app / "in\r\n");

    Tmux tmux;
    ASSERT_EQ(tmux.Run({"new-session", "-d", "-s", "pump", "-x", "100", "-y", "32",
                        // A test that dies cannot leave the session behind for long.
                        "timeout --foreground 300 env -u LANG -u LC_ALL -u LC_CTYPE ODBCINI='" +
                            std::string(::getenv("ODBCINI")) + "' '" + app / "kolbipump" +
                            "' -s; echo \"EXIT=$?\"; sleep 60"})
                  .exit_status,
              0)
        << "tmux is not installed (scripts/install-deps.sh)";
    // The start of processing takes the report that was waiting decompressed.
    auto postes = [&] { return db.Rows("SELECT Poste_Nom FROM Postes ORDER BY Poste_Nom"); };
    EXPECT_TRUE(Eventually([&] { return postes() == std::vector<std::string>{"PC1"}; }));
    ASSERT_TRUE(tmux.WaitFor("B.silog")) << tmux.Screen();
    const std::string screen = tmux.Screen();
    for (const char* text :
         {"Tessmar Software Inventory Collector", "[ START ]",
          "Fichiers compressés en attente :", "File d'attente des fichiers entrant",
          "Produits via le LOG", "Produits via la BD", "Produits supprimés", "Produits ajoutés"}) {
        EXPECT_THAT(screen, HasSubstr(text));
    }
    // The compressed files in name order, whatever the case of their extension.
    EXPECT_LT(screen.find("a_1.SILog"), screen.find("B.silog"));
    EXPECT_THAT(screen, Not(HasSubstr("c.txt")));

    // START: the start of processing again, then a processing tick that takes
    // both compressed files. Names compare without regard to case.
    tmux.Run({"send-keys", "-t", "pump", "s"});
    EXPECT_TRUE(Eventually([&] {
        return postes() == std::vector<std::string>{"a", "PC1"};
    })) << tmux.Screen();
    tmux.Run({"resize-window", "-t", "pump", "-x", "40", "-y", "10"});
    EXPECT_TRUE(tmux.WaitFor("Terminal trop petit")) << tmux.Screen();
    tmux.Run({"resize-window", "-t", "pump", "-x", "100", "-y", "32"});
    EXPECT_TRUE(tmux.WaitFor("Produits ajoutés")) << tmux.Screen();
    tmux.Run({"send-keys", "-t", "pump", "q"});
    EXPECT_TRUE(tmux.WaitFor("EXIT=0")) << tmux.Screen();
    // The terminal is given back: the shell's line is all that is left.
    EXPECT_THAT(tmux.Screen(), Not(HasSubstr("Tessmar")));
}

}  // namespace
}  // namespace kolbi
