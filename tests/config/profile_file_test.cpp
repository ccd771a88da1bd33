// The profile-file reader and writer that INIRead and INIWrite stand on,
// against files written by hand the way operators write them.
#include "common/profile_file.h"

#include <gtest/gtest.h>

#include <optional>

#include "support/failing_file_system.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

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

TEST(ProfileFileRead, FindsValuesTheWayTheOperatorWroteThem) {
    testing::TempFolder folder;
    folder.Write("KolbiPumps.ini", kOperatorFile);
    folder.Write("unix.ini", "\xEF\xBB\xBF[SoftInventory]\nRefresh=5\nSQLPass=" +
                                 std::string(300, 'v') + "\nLogError=y");
    const struct {
        const char* file;
        const char* section;
        const char* key;
        std::string expected;
    } cases[] = {
        {"KolbiPumps.ini", "DataBase", "DsnEntry", "Inventory DSN"},    // blanks around go
        {"KolbiPumps.ini", "database", "SQLSERVER", "srv01"},           // section names ignore case
        {"KolbiPumps.ini", "DATABASE", "SqlServer", "srv01"},           // keys too; the first wins
        {"KolbiPumps.ini", "DataBase", "SQLUser", "sa"},                // one pair of quotes goes
        {"KolbiPumps.ini", "DataBase", "SQLPass", "p=w;d"},             // "=" and ";" inside stay
        {"KolbiPumps.ini", "DataBase", "Database", ""},                 // present but empty
        {"KolbiPumps.ini", "SoftInventory", "Refresh", "3"},            // blanks inside [ ] go
        {"KolbiPumps.ini", "SoftInventory", "SQLSERVER", "(default)"},  // another section's
        {"KolbiPumps.ini", "DataBase", "orphan", "(default)"},          // before any section
        {"KolbiPumps.ini", "Missing", "Refresh", "(default)"},
        {"none.ini", "DataBase", "DsnEntry", "(default)"},
        // An editor's byte order mark, Unix line ends, a last line without one.
        {"unix.ini", "SoftInventory", "Refresh", "5"},
        {"unix.ini", "SoftInventory", "LogError", "y"},
        {"unix.ini", "SoftInventory", "SQLPass", std::string(254, 'v')},  // cut at 254
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetPrivateProfileString(c.section, c.key, "(default)", folder / c.file),
                  c.expected)
            << c.file << " " << c.section << "/" << c.key;
    }
    testing::FailingFileSystem fs;
    fs.unreadable.insert(folder / "KolbiPumps.ini");  // reads as missing
    EXPECT_EQ(GetPrivateProfileString("DataBase", "SQLSERVER", "", folder / "KolbiPumps.ini"), "");
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
        EXPECT_EQ(GetPrivateProfileString(c.section, c.key, "", folder / "a.ini"), "MM-DD-YY");
    }
    testing::TempFolder folder;
    folder.Write("a.ini", ops);
    testing::FailingFileSystem fs;
    fs.fail_write = true;
    EXPECT_FALSE(WritePrivateProfileString("DataBase", "SQLSERVER", "x", folder / "a.ini"));
    EXPECT_EQ(folder.Read("a.ini"), ops);
}

}  // namespace
}  // namespace kolbi
