// The command line of the real program: what each switch shows and how the
// program ends.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/subprocess.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

using ::testing::HasSubstr;
using testing::RunProcess;
using testing::TempFolder;

const std::string kVersionBox = "Version\nKolbi Software Inventory Pump\n Version 4.2.0\n";
const std::string kHelpBox =
    "Kolbi Software Inventory Pump\n"
    "-i or /i to Install\n"
    "-u or /u to Un-Install\n"
    "-v or /v for version information\n"
    "-s or /s to set program to visible\n"
    "-? or /? to get this message\n";
const std::string kInvalidBox = "Kolbi Software Inventory Pump\nInvalid command option\n";
const std::string kNotUninstalledBox =
    "Kolbi Software Inventory Pump\nKolbi Software Inventory Pump failed to uninstall\n";

struct SwitchCase {
    std::vector<std::string> args;
    int exit_status;
    std::string out;
};

TEST(SwitchTable, OneShotSwitchesShowTheirBoxAndEnd) {
    TempFolder units;  // -u looks here and finds nothing
    const SwitchCase cases[] = {
        {{"-v"}, 0, kVersionBox},
        {{"/V"}, 0, kVersionBox},
        {{"-vx"}, 0, kVersionBox},
        {{"  -V  "}, 0, kVersionBox},
        {{"-v", "whatever", "follows"}, 0, kVersionBox},
        {{"-?"}, 0, kHelpBox},
        {{"/?"}, 0, kHelpBox},
        {{"-u"}, 1, kNotUninstalledBox},
        {{"/U"}, 1, kNotUninstalledBox},
        {{"-"}, 2, kInvalidBox},
        {{"s"}, 2, kInvalidBox},
        {{"-x"}, 2, kInvalidBox},
        {{"--v"}, 2, kInvalidBox},
        {{"- v"}, 2, kInvalidBox},
    };
    for (const SwitchCase& c : cases) {
        auto result = RunProcess(KOLBIPUMP_PATH, c.args,
                                 {"SYSTEMD_UNIT_PATH=" + units.path(), "PATH=/nonexistent"});
        std::string shown = ::testing::PrintToString(c.args);
        EXPECT_EQ(result.exit_status, c.exit_status) << shown;
        EXPECT_EQ(result.out, c.out) << shown;
        // A failed uninstall says why (tested with the unit file's switches).
        EXPECT_EQ(result.err.empty(), c.exit_status != 1) << shown;
    }
}

// Visible mode without a terminal runs without its screen; with no INI file the
// incoming folder is missing, which ends the program with status 1.
TEST(SwitchTable, VisibleModeWithoutIniEndsOnTheMissingFolder) {
    for (const char* visible : {"-s", "/D"}) {
        TempFolder app;
        std::filesystem::copy_file(KOLBIPUMP_PATH, app / "kolbipump");
        auto result = RunProcess(app / "kolbipump", {visible});
        EXPECT_EQ(result.exit_status, 1) << visible;
        EXPECT_EQ(result.out, "");
        EXPECT_THAT(result.err, HasSubstr("no status screen"));
        EXPECT_THAT(result.err, HasSubstr("DAVO Pump initialization error\n"
                                          "Incoming Files Path  not found or invalid !\n"));
        bool logged = false;
        for (const auto& entry : std::filesystem::directory_iterator(app.path())) {
            if (entry.path().extension() != ".log") continue;
            logged = true;
            EXPECT_THAT(app.Read(entry.path().filename()),
                        HasSubstr(" ] Incoming Files Path  not found or invalid !\r\n"));
        }
        EXPECT_TRUE(logged) << visible;
    }
}

}  // namespace
}  // namespace kolbi
