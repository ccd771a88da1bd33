#include "config/ini_file.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace kolbi {
namespace {

using testing::TempFolder;

TEST(INIRead, GivesTheValueOrTheEmptyString) {
    TempFolder folder;
    folder.Write("KolbiPumps.ini", "[SoftInventory]\r\nRefresh=10abc\r\n");
    const std::string file = folder / "KolbiPumps.ini";
    EXPECT_EQ(INIRead("softinventory", "REFRESH", file), "10abc");
    EXPECT_EQ(INIRead("SoftInventory", "LogError", file), "");
    EXPECT_EQ(INIRead("DataBase", "Refresh", file), "");
    EXPECT_EQ(INIRead("SoftInventory", "Refresh", folder / "missing.ini"), "");
}

TEST(INIRead, ValueEndsAtANulAndAt254Characters) {
    TempFolder folder;
    folder.Write("a.ini", std::string("[DataBase]\nSQLUser=sa\0junk\nSQLPass=", 35) +
                              std::string(300, 'p') + "\n");
    EXPECT_EQ(INIRead("DataBase", "SQLUser", folder / "a.ini"), "sa");
    EXPECT_EQ(INIRead("DataBase", "SQLPass", folder / "a.ini"), std::string(254, 'p'));
}

TEST(INIWrite, CreatesFileSectionAndKeyAndReadsBack) {
    TempFolder folder;
    const std::string file = folder / "KolbiPumps.ini";
    INIWrite("DataBase", "SqlDateFormat", "MM-DD-YY", file);
    INIWrite("SoftInventory", "Refresh", "2", file);
    INIWrite("DATABASE", "sqldateformat", "DD-MM-YY", file);
    EXPECT_EQ(INIRead("DataBase", "SqlDateFormat", file), "DD-MM-YY");
    EXPECT_EQ(INIRead("SoftInventory", "Refresh", file), "2");
}

TEST(INIWrite, AFailedWriteIsIgnored) {
    INIWrite("DataBase", "SqlDateFormat", "MM-DD-YY", "/nonexistent-folder/KolbiPumps.ini");
}

}  // namespace
}  // namespace kolbi
