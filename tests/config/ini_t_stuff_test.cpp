#include "config/ini_t_stuff.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "common/clock.h"
#include "common/file_helpers.h"
#include "common/program_end.h"
#include "common/pump_settings.h"
#include "common/status_text.h"
#include "log/write_log.h"
#include "support/failing_file_system.h"
#include "support/temp_folder.h"
#include "ui/message_box.h"

namespace kolbi {
namespace {

using ::testing::HasSubstr;
using testing::TempFolder;

struct RecordedBox {
    std::string prompt;
    MsgBoxStyle style;
    std::string title;
};

class RecordingBoxes : public MessageBoxPresenter {
public:
    RecordingBoxes() { SetMessageBoxPresenter(this); }
    ~RecordingBoxes() override { SetMessageBoxPresenter(nullptr); }
    void ShowMessageBox(const std::string& prompt, MsgBoxStyle style,
                        const std::string& title) override {
        boxes.push_back({prompt, style, title});
    }
    std::vector<RecordedBox> boxes;
};

class IniTStuffTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings() = PumpSettings{};
        SetStatusText("");
        ResetDateFormatSwitchedForTesting();
        SetAppFolderForTesting(app.path(), "kolbipump");
        std::filesystem::create_directories(app / "in/incoming");
    }

    void WriteIni(const std::string& soft_inventory, const std::string& database = "") {
        app.Write("KolbiPumps.ini",
                  "[DataBase]\r\n" + database + "[SoftInventory]\r\n" + soft_inventory);
    }

    // Runs IniTStuff and returns the exit status it ended the program with, if it did.
    std::optional<int> Run() {
        ScopedProgramEndTrap trap;
        try {
            IniTStuff(form);
        } catch (const ProgramEnded& ended) {
            return ended.exit_status;
        }
        return std::nullopt;
    }

    std::string Log(const std::string& date = "2026-12-04") {
        return app.Read("kolbipump-" + date + ".log");
    }

    FakeClock clock;
    ScopedClock scoped_clock{clock};
    TempFolder app;
    Form1 form;
    RecordingBoxes boxes;
};

TEST_F(IniTStuffTest, FillsTheSettingsAndTheWindow) {
    WriteIni("Refresh=3\r\nincomingFilesPath=" + app / "in" + "\r\nLogError=yes\r\n",
             "DsnEntry=Inventory\r\nSQLSERVER=srv01\r\nSQLUser=sa\r\nSQLPass=pw\r\n"
             "Database=SoftInv\r\nSqlDateFormat=MM-DD-YYYY\r\n");
    app.Write("in/PC2_1.SILOG", "x");
    app.Write("in/pc1_1.silog", "x");
    app.Write("in/notes.txt", "x");
    app.Write("in/incoming/PC3_1.SILog", "x");
    form.RefreshTicks = 12;
    form.StopRequested = true;
    const clsHuffman* old_codec = &form.Huffman();

    ASSERT_EQ(Run(), std::nullopt);

    const PumpSettings& s = Settings();
    EXPECT_EQ(s.DsnEntry, "Inventory");
    EXPECT_EQ(s.SQLSERVER, "srv01");
    EXPECT_EQ(s.SQLUser, "sa");
    EXPECT_EQ(s.SQLPass, "pw");
    EXPECT_EQ(s.Database, "SoftInv");
    EXPECT_EQ(s.SqlDateFormat, "MM-DD-YYYY");
    EXPECT_EQ(s.Refresh, "3");
    EXPECT_EQ(s.incomingFilesPath, app / "in");
    EXPECT_EQ(s.IncomingFolder, app / "in/");
    EXPECT_EQ(s.AppFolder, app.path());
    EXPECT_EQ(s.IniFile, app / "KolbiPumps.ini");
    EXPECT_TRUE(s.LogErrors);

    EXPECT_EQ(form.RefreshTicks, 0);
    EXPECT_FALSE(form.StopRequested);
    EXPECT_NE(&form.Huffman(), old_codec);
    EXPECT_EQ(form.lfLogCode.Path(), app / "in");
    EXPECT_EQ(form.lfLogCode.Names(), (std::vector<std::string>{"pc1_1.silog", "PC2_1.SILOG"}));
    EXPECT_EQ(form.lfLog.Path(), app / "in/incoming");
    EXPECT_EQ(form.lfLog.Names(), (std::vector<std::string>{"PC3_1.SILog"}));
    EXPECT_EQ(form.Label1, "1 fichier(s) décompressé(s) en attente...");
    EXPECT_EQ(StatusText(), "");
    EXPECT_FALSE(app.Has("kolbipump-12-04-2026.log"));  // nothing went wrong
}

TEST_F(IniTStuffTest, MissingKeysGiveEmptyValuesNotTheDefaults) {
    WriteIni("incomingFilesPath=" + app / "in/" + "\r\n");
    ASSERT_EQ(Run(), std::nullopt);
    EXPECT_EQ(Settings().SqlDateFormat, "");
    EXPECT_EQ(Settings().DsnEntry, "");
    EXPECT_EQ(Settings().Refresh, "");
    // Given with its trailing separator, the folder does not get a second one.
    EXPECT_EQ(Settings().IncomingFolder, app / "in/");
    EXPECT_EQ(form.lfLog.Path(), app / "in/incoming");
    EXPECT_EQ(form.Label1, "0 fichier(s) décompressé(s) en attente...");
}

TEST_F(IniTStuffTest, LoggingIsOnOnlyWhenLogErrorHoldsAY) {
    const std::pair<const char*, bool> cases[] = {
        {"LogError=Yes\r\n", true},
        {"LogError=y\r\n", true},
        {"LogError=Only\r\n", true},
        {"LogError=TRUE\r\n", false},
        {"LogError=no\r\n", false},
        {"LogError=1\r\n", false},
        {"", false},
    };
    for (const auto& [line, on] : cases) {
        Settings().LogErrors = !on;
        WriteIni("incomingFilesPath=" + app / "in" + "\r\n" + line);
        ASSERT_EQ(Run(), std::nullopt);
        EXPECT_EQ(Settings().LogErrors, on) << line;
    }
}

TEST_F(IniTStuffTest, MakesTheDecompressedFolderWhenItIsMissing) {
    std::filesystem::remove(app / "in/incoming");
    WriteIni("incomingFilesPath=" + app / "in" + "\r\nLogError=yes\r\n");
    ASSERT_EQ(Run(), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_directory(app / "in/incoming"));
    EXPECT_EQ(form.lfLog.Path(), app / "in/incoming");
}

TEST_F(IniTStuffTest, AFileInsteadOfAFolderPassesTheCheckAndTheListingFailureIsLogged) {
    app.Write("in.txt", "not a folder");
    WriteIni("incomingFilesPath=" + app / "in.txt" + "\r\nLogError=yes\r\n",
             "SqlDateFormat=DD-MM-YYYY\r\n");
    ASSERT_EQ(Run(), std::nullopt);
    EXPECT_THAT(Log("04-12-2026"),
                HasSubstr("Error No: 76, Error Description: Path not found: " + app / "in.txt" +
                          ", in procedure IniTStuff of Feuille Form1\r\n"));
    // The steps after the failing ones still ran.
    EXPECT_EQ(StatusText(), "");
    EXPECT_EQ(form.Label1, "0 fichier(s) décompressé(s) en attente...");
}

TEST_F(IniTStuffTest, NoIniFileEndsTheProgramWithALogLine) {
    Settings().LogErrors = false;
    EXPECT_EQ(Run(), kExitFailure);
    EXPECT_TRUE(Settings().LogErrors);  // forced on for the line
    EXPECT_TRUE(boxes.boxes.empty());   // invisible: no message box
    EXPECT_EQ(Log(),
              std::string(84, '-') + "\r\n" +
                  "- Tessmar Kolbi Soft Usage Data Pump ( ERROR LOG FILE )              version "
                  "4.2.0 -\r\n" +
                  std::string(84, '-') + "\r\n" +
                  "Error        --> [ 2026-12-04, 9:5:3 ] Incoming Files Path  not found or "
                  "invalid !\r\n");
}

TEST_F(IniTStuffTest, VisibleWindowShowsTheCriticalBoxFirst) {
    WriteIni("incomingFilesPath=" + app / "nope" + "\r\n", "SqlDateFormat=DD-MM-YYYY\r\n");
    form.Visible = true;
    EXPECT_EQ(Run(), kExitFailure);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, "DAVO Pump initialization error");
    EXPECT_EQ(boxes.boxes[0].prompt,
              "Incoming Files Path " + app / "nope" + " not found or invalid !");
    EXPECT_EQ(boxes.boxes[0].style, MsgBoxStyle::kCritical);
    EXPECT_THAT(Log("04-12-2026"), HasSubstr(boxes.boxes[0].prompt + "\r\n"));
}

TEST_F(IniTStuffTest, AnUnusableLogNameOrFolderStillEndsTheProgramCleanly) {
    {
        testing::FailingFileSystem fs;
        fs.fail_append = true;
        WriteIni("incomingFilesPath=" + app / "nope" + "\r\n", "SqlDateFormat=garbage%s%n\r\n");
        EXPECT_EQ(Run(), kExitFailure);
    }
    for (const auto& entry : std::filesystem::directory_iterator(app.path())) {
        EXPECT_NE(entry.path().extension(), ".log") << entry.path();
    }
}

TEST_F(IniTStuffTest, LongValuesAreCut) {
    WriteIni("incomingFilesPath=" + app / "in" + "\r\n",
             "SQLPass=" + std::string(300, 'x') + "\r\n");
    ASSERT_EQ(Run(), std::nullopt);
    EXPECT_EQ(Settings().SQLPass, std::string(254, 'x'));
}

}  // namespace
}  // namespace kolbi
