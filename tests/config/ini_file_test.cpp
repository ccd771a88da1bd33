#include "config/ini_file.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace kolbi {
namespace {

TEST(INIRead, GivesTheValueUpToANulOrTheEmptyString) {
    testing::TempFolder folder;
    folder.Write("a.ini", std::string("[SoftInventory]\r\nRefresh=10abc\r\nUser=sa\0junk\r\n", 46));
    const std::string file = folder / "a.ini";
    EXPECT_EQ(INIRead("softinventory", "REFRESH", file), "10abc");
    EXPECT_EQ(INIRead("SoftInventory", "User", file), "sa");
    EXPECT_EQ(INIRead("SoftInventory", "LogError", file), "");
    EXPECT_EQ(INIRead("SoftInventory", "Refresh", folder / "missing.ini"), "");
}

}  // namespace
}  // namespace kolbi
