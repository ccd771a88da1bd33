#include "config/ini_t_stuff.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "common/status_text.h"
#include "support/failing_file_system.h"
#include "support/pump_fixture.h"
#include "ui/message_box.h"

namespace kolbi {
namespace {

using ::testing::ElementsAre;
using testing::ExitStatusOf;
using ::testing::HasSubstr;

class IniTStuffTest : public ::testing::Test, public MessageBoxPresenter {
protected:
    IniTStuffTest() {
        SetMessageBoxPresenter(this);
        std::filesystem::create_directories(pump_.app / "in/incoming");
        Settings() = PumpSettings{};  // as at the start: IniTStuff fills it
    }
    ~IniTStuffTest() override { SetMessageBoxPresenter(nullptr); }
    void ShowMessageBox(const std::string& prompt, MsgBoxStyle style,
                        const std::string& title) override {
        boxes_.push_back(title + "|" + prompt +
                         (style == MsgBoxStyle::kCritical ? "|critical" : ""));
    }
    std::optional<int> Run() {
        return ExitStatusOf([&] { IniTStuff(form_); });
    }
    std::string In() const { return "incomingFilesPath=" + pump_.app / "in" + "\r\n"; }

    testing::PumpEnvironment pump_;
    Form1 form_;
    std::vector<std::string> boxes_;
};

TEST_F(IniTStuffTest, FillsTheSettingsAndTheWindow) {
    pump_.WriteIni(
        "DsnEntry=Inventory\r\nSQLSERVER=srv01\r\nSQLUser=sa\r\nSQLPass=pw\r\n"
        "Database=SoftInv\r\nSqlDateFormat=MM-DD-YYYY\r\n",
        "Refresh=3\r\n" + In() + "LogError=yes\r\n");
    for (const char* name :
         {"in/PC2_1.SILOG", "in/pc1_1.silog", "in/notes.txt", "in/incoming/PC3_1.SILog"}) {
        pump_.app.Write(name, "x");
    }
    form_.RefreshTicks = 12;
    form_.StopRequested = true;
    const clsHuffman* old_codec = &form_.Huffman();
    ASSERT_EQ(Run(), std::nullopt);

    const PumpSettings& s = Settings();
    EXPECT_EQ(s.DsnEntry + "|" + s.SQLSERVER + "|" + s.SQLUser + "|" + s.SQLPass + "|" +
                  s.Database + "|" + s.SqlDateFormat + "|" + s.Refresh,
              "Inventory|srv01|sa|pw|SoftInv|MM-DD-YYYY|3");
    EXPECT_EQ(s.incomingFilesPath, pump_.app / "in");
    EXPECT_EQ(s.IncomingFolder, pump_.app / "in/");
    EXPECT_EQ(s.AppFolder, pump_.app.path());
    EXPECT_EQ(s.IniFile, pump_.app / "KolbiPumps.ini");
    EXPECT_TRUE(s.LogErrors);
    EXPECT_EQ(form_.RefreshTicks, 0);
    EXPECT_FALSE(form_.StopRequested);
    EXPECT_NE(&form_.Huffman(), old_codec);
    EXPECT_EQ(form_.lfLogCode.Path(), pump_.app / "in");
    EXPECT_THAT(form_.lfLogCode.Names(), ElementsAre("pc1_1.silog", "PC2_1.SILOG"));
    EXPECT_EQ(form_.lfLog.Path(), pump_.app / "in/incoming");
    EXPECT_THAT(form_.lfLog.Names(), ElementsAre("PC3_1.SILog"));
    EXPECT_EQ(form_.Label1, "1 fichier(s) décompressé(s) en attente...");
    EXPECT_EQ(StatusText(), "");
    EXPECT_EQ(pump_.Log(), "");
}

TEST_F(IniTStuffTest, MissingKeysGiveEmptyValuesAndTheMissingSubfolderIsMade) {
    std::filesystem::remove(pump_.app / "in/incoming");
    pump_.WriteIni("", "incomingFilesPath=" + pump_.app / "in/" + "\r\n");
    ASSERT_EQ(Run(), std::nullopt);
    EXPECT_EQ(Settings().SqlDateFormat + Settings().DsnEntry + Settings().Refresh, "");
    EXPECT_EQ(Settings().IncomingFolder, pump_.app / "in/");  // no second "/"
    EXPECT_TRUE(std::filesystem::is_directory(pump_.app / "in/incoming"));
    EXPECT_EQ(form_.lfLog.Path(), pump_.app / "in/incoming");
    EXPECT_EQ(form_.Label1, "0 fichier(s) décompressé(s) en attente...");
}

TEST_F(IniTStuffTest, LoggingIsOnOnlyWhenLogErrorHoldsAY) {
    const std::pair<const char*, bool> cases[] = {
        {"LogError=Yes\r\n", true},   {"LogError=y\r\n", true},   {"LogError=Only\r\n", true},
        {"LogError=TRUE\r\n", false}, {"LogError=no\r\n", false}, {"", false},
    };
    for (const auto& [line, on] : cases) {
        Settings().LogErrors = !on;
        pump_.WriteIni("", In() + line);
        ASSERT_EQ(Run(), std::nullopt);
        EXPECT_EQ(Settings().LogErrors, on) << line;
    }
}

TEST_F(IniTStuffTest, AFileInsteadOfAFolderPassesTheCheckAndTheListingFailureIsLogged) {
    pump_.app.Write("in.txt", "not a folder");
    pump_.WriteIni("SqlDateFormat=DD-MM-YYYY\r\n",
                   "incomingFilesPath=" + pump_.app / "in.txt" + "\r\nLogError=yes\r\n");
    ASSERT_EQ(Run(), std::nullopt);
    EXPECT_THAT(pump_.Log(),
                HasSubstr("Error No: 76, Error Description: Path not found: " +
                          pump_.app / "in.txt" + ", in procedure IniTStuff of Feuille Form1\r\n"));
    // The steps after the failing ones still ran.
    EXPECT_EQ(form_.Label1, "0 fichier(s) décompressé(s) en attente...");
}

// A missing incoming folder ends the program with a log line, forced on; a
// visible window shows the critical box first.
TEST_F(IniTStuffTest, AMissingIncomingFolderEndsTheProgram) {
    EXPECT_EQ(Run(), kExitFailure);  // no INI file at all
    EXPECT_TRUE(Settings().LogErrors);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_THAT(pump_.LogLines(),
                ElementsAre("Error        --> [ 2026-12-04, 9:5:3 ] Incoming Files Path  not "
                            "found or invalid !"));

    pump_.WriteIni("SqlDateFormat=DD-MM-YYYY\r\n", "incomingFilesPath=" + pump_.app / "nope\r\n");
    form_.Visible = true;
    EXPECT_EQ(Run(), kExitFailure);
    const std::string prompt =
        "Incoming Files Path " + pump_.app / "nope" + " not found or invalid !";
    EXPECT_THAT(boxes_, ElementsAre("DAVO Pump initialization error|" + prompt + "|critical"));
    EXPECT_THAT(pump_.Log(), HasSubstr(prompt + "\r\n"));
}

TEST_F(IniTStuffTest, AnUnwritableLogStillEndsTheProgramCleanly) {
    testing::FailingFileSystem fs;
    fs.fail_append = true;
    pump_.WriteIni("SqlDateFormat=garbage%s%n\r\n", "incomingFilesPath=" + pump_.app / "nope\r\n");
    EXPECT_EQ(Run(), kExitFailure);
    for (const auto& entry : std::filesystem::directory_iterator(pump_.app.path())) {
        EXPECT_NE(entry.path().extension(), ".log") << entry.path();
    }
}

}  // namespace
}  // namespace kolbi
