// The profile-file reader and writer that INIRead and INIWrite stand on,
// against files written by hand the way operators write them.
#include "common/profile_file.h"

#include <gtest/gtest.h>

#include <string>

#include "support/failing_file_system.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

using testing::TempFolder;

constexpr const char* kOperatorFile =
    "; KolbiPumps.ini of the central pump\r\n"
    "orphan=before any section\r\n"
    "[DataBase]\r\n"
    "DsnEntry = Inventory DSN  \r\n"
    "SQLSERVER=srv01\r\n"
    "SQLUser=\"sa\"\r\n"
    "SQLPass='p=w;d'\r\n"
    "Database=\r\n"
    "sqlserver=second one is ignored\r\n"
    "\r\n"
    "[ SoftInventory ]\r\n"
    "Refresh=3\r\n"
    "incomingFilesPath=/srv/inventory/in\r\n"
    "LogError=Yes\r\n";

struct ReadCase {
    const char* section;
    const char* key;
    const char* expected;
};

TEST(ProfileFileRead, FindsValuesTheWayTheOperatorWroteThem) {
    TempFolder folder;
    folder.Write("KolbiPumps.ini", kOperatorFile);
    const std::string file = folder / "KolbiPumps.ini";
    const ReadCase cases[] = {
        {"DataBase", "DsnEntry", "Inventory DSN"},  // blanks around the value go
        {"database", "SQLSERVER", "srv01"},         // section names ignore case
        {"DATABASE", "SqlServer", "srv01"},         // key names ignore case; the first wins
        {"DataBase", "SQLUser", "sa"},              // one pair of quotes goes
        {"DataBase", "SQLPass", "p=w;d"},           // "=" and ";" inside a value stay
        {"DataBase", "Database", ""},               // present but empty: not the default
        {"SoftInventory", "Refresh", "3"},          // blanks inside the brackets go
        {"SoftInventory", "LogError", "Yes"},
        {"SoftInventory", "SQLSERVER", "(default)"},  // a key of another section
        {"DataBase", "orphan", "(default)"},          // a key before any section
        {"Missing", "Refresh", "(default)"},
    };
    for (const ReadCase& c : cases) {
        EXPECT_EQ(GetPrivateProfileString(c.section, c.key, "(default)", file), c.expected)
            << c.section << "/" << c.key;
    }
}

TEST(ProfileFileRead, MissingFileGivesTheDefault) {
    TempFolder folder;
    EXPECT_EQ(GetPrivateProfileString("DataBase", "DsnEntry", "", folder / "none.ini"), "");
    EXPECT_EQ(GetPrivateProfileString("DataBase", "DsnEntry", "x", folder / "none.ini"), "x");
}

TEST(ProfileFileRead, UnreadableFileReadsAsMissing) {
    TempFolder folder;
    folder.Write("KolbiPumps.ini", kOperatorFile);
    testing::FailingFileSystem fs;
    fs.unreadable.insert(folder / "KolbiPumps.ini");
    EXPECT_EQ(GetPrivateProfileString("DataBase", "SQLSERVER", "", folder / "KolbiPumps.ini"), "");
}

TEST(ProfileFileRead, LongValuesAreCutTo254Characters) {
    TempFolder folder;
    const std::string long_value(300, 'v');
    folder.Write("a.ini", "[DataBase]\nSQLPass=" + long_value + "\n");
    EXPECT_EQ(GetPrivateProfileString("DataBase", "SQLPass", "", folder / "a.ini"),
              long_value.substr(0, 254));
}

TEST(ProfileFileRead, UnixLineEndsAndAFinalLineWithoutEnd) {
    TempFolder folder;
    folder.Write("a.ini", "[SoftInventory]\nRefresh=5\nLogError=y");
    EXPECT_EQ(GetPrivateProfileString("SoftInventory", "Refresh", "", folder / "a.ini"), "5");
    EXPECT_EQ(GetPrivateProfileString("SoftInventory", "LogError", "", folder / "a.ini"), "y");
}

TEST(ProfileFileRead, ByteOrderMarkOfAnEditorDoesNotHideTheFirstSection) {
    TempFolder folder;
    folder.Write("a.ini", "\xEF\xBB\xBF[DataBase]\r\nSQLSERVER=srv01\r\n");
    EXPECT_EQ(GetPrivateProfileString("DataBase", "SQLSERVER", "", folder / "a.ini"), "srv01");
}

TEST(ProfileFileWrite, CreatesTheFileWithWindowsLineEnds) {
    TempFolder folder;
    ASSERT_TRUE(
        WritePrivateProfileString("DataBase", "SqlDateFormat", "MM-DD-YY", folder / "n.ini"));
    EXPECT_EQ(folder.Read("n.ini"), "[DataBase]\r\nSqlDateFormat=MM-DD-YY\r\n");
}

TEST(ProfileFileWrite, ReplacesTheKeyAndKeepsEveryOtherLine) {
    TempFolder folder;
    folder.Write("KolbiPumps.ini", kOperatorFile);
    ASSERT_TRUE(
        WritePrivateProfileString("database", "sqlserver", "srv02", folder / "KolbiPumps.ini"));
    std::string expected = kOperatorFile;
    expected.replace(expected.find("SQLSERVER=srv01"), 15, "sqlserver=srv02");
    EXPECT_EQ(folder.Read("KolbiPumps.ini"), expected);
}

TEST(ProfileFileWrite, AddsAMissingKeyAtTheEndOfItsSection) {
    TempFolder folder;
    folder.Write("KolbiPumps.ini", kOperatorFile);
    ASSERT_TRUE(WritePrivateProfileString("DataBase", "SqlDateFormat", "DD-MM-YY",
                                          folder / "KolbiPumps.ini"));
    std::string expected = kOperatorFile;
    expected.insert(expected.find("\r\n\r\n[ SoftInventory ]") + 2, "SqlDateFormat=DD-MM-YY\r\n");
    EXPECT_EQ(folder.Read("KolbiPumps.ini"), expected);
    EXPECT_EQ(GetPrivateProfileString("DataBase", "SqlDateFormat", "", folder / "KolbiPumps.ini"),
              "DD-MM-YY");
}

TEST(ProfileFileWrite, AddsAMissingSectionAndKeepsUnixLineEnds) {
    TempFolder folder;
    folder.Write("a.ini", "[SoftInventory]\nRefresh=3\n");
    ASSERT_TRUE(
        WritePrivateProfileString("DataBase", "SqlDateFormat", "MM-DD-YY", folder / "a.ini"));
    EXPECT_EQ(folder.Read("a.ini"),
              "[SoftInventory]\nRefresh=3\n\n[DataBase]\nSqlDateFormat=MM-DD-YY\n");
}

TEST(ProfileFileWrite, KeepsTheByteOrderMark) {
    TempFolder folder;
    folder.Write("a.ini", "\xEF\xBB\xBF[DataBase]\r\nSqlDateFormat=DD-MM-YY\r\n");
    ASSERT_TRUE(
        WritePrivateProfileString("DataBase", "SqlDateFormat", "MM-DD-YY", folder / "a.ini"));
    EXPECT_EQ(folder.Read("a.ini"), "\xEF\xBB\xBF[DataBase]\r\nSqlDateFormat=MM-DD-YY\r\n");
}

TEST(ProfileFileWrite, ReportsAFileThatCannotBeWritten) {
    TempFolder folder;
    folder.Write("a.ini", "[DataBase]\r\nSqlDateFormat=DD-MM-YY\r\n");
    testing::FailingFileSystem fs;
    fs.fail_write = true;
    EXPECT_FALSE(
        WritePrivateProfileString("DataBase", "SqlDateFormat", "MM-DD-YY", folder / "a.ini"));
    EXPECT_EQ(folder.Read("a.ini"), "[DataBase]\r\nSqlDateFormat=DD-MM-YY\r\n");
}

}  // namespace
}  // namespace kolbi
