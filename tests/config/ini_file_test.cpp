// The INI file: read the way operators write it (through INIRead, as the pump
// reads), one line written back keeping the rest, and IniTStuff filling the
// settings and the window from it.
#include "config/ini_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "common/profile_file.h"
#include "common/status_text.h"
#include "config/ini_t_stuff.h"
#include "support/pump_fixture.h"

namespace kolbi {
namespace {

using testing::ExitStatusOf;
using ::testing::HasSubstr;

constexpr const char* kOperatorFile =
    "; KolbiPumps.ini of the central pump\r\n"
    "orphan=before any section\r\n"
    "[DataBase]\r\n"
    "DsnEntry = Inventory DSN  \r\n"
    "SQLSERVER=srv01\r\n"
    "SQLUser=\"sa\"\r\n"
    "SQLPass='p=w;d'\r\n"
    "sqlserver=second one is ignored\r\n"
    "\r\n"
    "[ SoftInventory ]\r\n"
    "Refresh=3\r\n"
    "incomingFilesPath=/srv/inventory/in\r\n"
    "LogError=Yes\r\n";

TEST(ProfileFileRead, FindsValuesTheWayTheOperatorWroteThem) {
    testing::TempFolder folder;
    folder.Write("KolbiPumps.ini", kOperatorFile);
    folder.Write("unix.ini", "\xEF\xBB\xBF[SoftInventory]\nRefresh=5\nUser=sa" +
                                 std::string(1, '\0') + "junk\nSQLPass=" + std::string(300, 'v') +
                                 "\nLogError=y");
    const struct {
        const char* file;
        const char* section;
        const char* key;
        std::string expected;
    } cases[] = {
        {"KolbiPumps.ini", "DataBase", "DsnEntry", "Inventory DSN"},  // blanks around go
        {"KolbiPumps.ini", "database", "SQLSERVER", "srv01"},         // section names ignore case
        {"KolbiPumps.ini", "DATABASE", "SqlServer", "srv01"},         // keys too; the first wins
        {"KolbiPumps.ini", "DataBase", "SQLUser", "sa"},              // one pair of quotes goes
        {"KolbiPumps.ini", "DataBase", "SQLPass", "p=w;d"},           // "=" and ";" inside stay
        {"KolbiPumps.ini", "SoftInventory", "Refresh", "3"},          // blanks inside [ ] go
        {"KolbiPumps.ini", "SoftInventory", "SQLSERVER", ""},         // another section's
        {"KolbiPumps.ini", "DataBase", "orphan", ""},                 // before any section
        {"none.ini", "DataBase", "DsnEntry", ""},
        // An editor's byte order mark, Unix line ends, a last line without one.
        {"unix.ini", "SoftInventory", "Refresh", "5"},
        {"unix.ini", "SoftInventory", "LogError", "y"},
        {"unix.ini", "SoftInventory", "User", "sa"},                      // up to a NUL
        {"unix.ini", "SoftInventory", "SQLPass", std::string(254, 'v')},  // cut at 254
    };
    for (const auto& c : cases) {
        EXPECT_EQ(INIRead(c.section, c.key, folder / c.file), c.expected)
            << c.file << " " << c.section << "/" << c.key;
    }
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

// A write changes its one line, or adds it at the end of its section (or of
// the file, with the section), and keeps every other byte of the file.
TEST(ProfileFileWrite, ChangesOneLineAndKeepsTheRest) {
    const std::string ops = kOperatorFile;
    const struct {
        std::optional<std::string> before;  // nothing: no file yet
        const char* section;
        const char* key;
        std::string after;
    } cases[] = {
        {std::nullopt, "DataBase", "SqlDateFormat", "[DataBase]\r\nSqlDateFormat=MM-DD-YY\r\n"},
        {ops, "database", "sqlserver", Replaced(ops, "SQLSERVER=srv01", "sqlserver=MM-DD-YY")},
        {ops, "DataBase", "SqlDateFormat",
         Replaced(ops, "\r\n\r\n[ Soft", "\r\nSqlDateFormat=MM-DD-YY\r\n\r\n[ Soft")},
        {"[SoftInventory]\nRefresh=3\n", "DataBase", "SqlDateFormat",
         "[SoftInventory]\nRefresh=3\n\n[DataBase]\nSqlDateFormat=MM-DD-YY\n"},
        {"\xEF\xBB\xBF[DataBase]\r\nSqlDateFormat=DD-MM-YY\r\n", "DataBase", "SqlDateFormat",
         "\xEF\xBB\xBF[DataBase]\r\nSqlDateFormat=MM-DD-YY\r\n"},
    };
    for (const auto& c : cases) {
        testing::TempFolder folder;
        if (c.before) folder.Write("a.ini", *c.before);
        ASSERT_TRUE(WritePrivateProfileString(c.section, c.key, "MM-DD-YY", folder / "a.ini"));
        EXPECT_EQ(folder.Read("a.ini"), c.after) << c.before.value_or("(no file)");
    }
}

class IniTStuffTest : public ::testing::Test {
protected:
    IniTStuffTest() {
        std::filesystem::create_directories(pump_.app / "in");
        Settings() = PumpSettings{};  // as at the start: IniTStuff fills it
    }
    std::optional<int> Run() {
        return ExitStatusOf([&] { IniTStuff(form_); });
    }

    testing::PumpEnvironment pump_;
    Form1 form_;
};

TEST_F(IniTStuffTest, FillsTheSettingsAndTheWindow) {
    pump_.WriteIni(
        "DsnEntry=Inventory\r\nSQLSERVER=srv01\r\nSQLUser=sa\r\nSQLPass=pw\r\n"
        "Database=SoftInv\r\nSqlDateFormat=MM-DD-YYYY\r\n",
        "Refresh=3\r\nincomingFilesPath=" + pump_.app / "in/" + "\r\nLogError=Yes\r\n");
    form_.RefreshTicks = 12;
    form_.StopRequested = true;
    const clsHuffman* old_codec = &form_.Huffman();
    ASSERT_EQ(Run(), std::nullopt);

    const PumpSettings& s = Settings();
    EXPECT_EQ(s.DsnEntry + "|" + s.SQLSERVER + "|" + s.SQLUser + "|" + s.SQLPass + "|" +
                  s.Database + "|" + s.SqlDateFormat + "|" + s.Refresh,
              "Inventory|srv01|sa|pw|SoftInv|MM-DD-YYYY|3");
    EXPECT_EQ(s.IncomingFolder, pump_.app / "in/");  // no second "/"
    EXPECT_TRUE(s.LogErrors);
    EXPECT_EQ(form_.RefreshTicks, 0);
    EXPECT_FALSE(form_.StopRequested);
    EXPECT_NE(&form_.Huffman(), old_codec);
    // The compressed files it lists: screen_test.cpp, on the real program.
    // The decompressed subfolder is the pump's own: made when missing.
    EXPECT_EQ(form_.lfLog.Path(), pump_.app / "in/incoming");
    EXPECT_TRUE(std::filesystem::is_directory(pump_.app / "in/incoming"));
    EXPECT_EQ(StatusText(), "");
    EXPECT_EQ(pump_.Log(), "");

    // Logging wants a "y" in LogError; missing keys read as empty; a folder
    // given without its "/" gets one.
    for (const char* log_error : {"LogError=TRUE\r\n", ""}) {
        pump_.WriteIni("", "incomingFilesPath=" + pump_.app / "in" + "\r\n" + log_error);
        ASSERT_EQ(Run(), std::nullopt);
        EXPECT_FALSE(Settings().LogErrors) << log_error;
        EXPECT_EQ(Settings().SqlDateFormat + Settings().DsnEntry + Settings().Refresh, "");
        EXPECT_EQ(Settings().IncomingFolder, pump_.app / "in/");
    }
}

// A file passes the existence check; listing it fails, which is logged, and
// the steps after it still run. (A missing incoming folder ends the program:
// program_test.cpp, on the real program.)
TEST_F(IniTStuffTest, AFileInsteadOfAFolderIsLoggedAndTheStepsGoOn) {
    pump_.app.Write("in.txt", "not a folder");
    pump_.WriteIni("", "incomingFilesPath=" + pump_.app / "in.txt" + "\r\nLogError=Only\r\n");
    ASSERT_EQ(Run(), std::nullopt);
    EXPECT_THAT(pump_.Log(),
                HasSubstr("Error No: 76, Error Description: Path not found: " +
                          pump_.app / "in.txt" + ", in procedure IniTStuff of Feuille Form1\r\n"));
    EXPECT_EQ(form_.Label1, "0 fichier(s) décompressé(s) en attente...");
}

}  // namespace
}  // namespace kolbi
