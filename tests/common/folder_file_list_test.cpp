#include "common/folder_file_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/error_of.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> NamesOf(const FolderFileList& list) {
    return {list.Names().begin(), list.Names().end()};
}

TEST(FolderFileList, ListsMatchingFilesWithoutRegardToCaseInNameOrder) {
    testing::TempFolder folder;
    for (const char* name : {"PC2_1.SILog", "pc1_9.silog", "PC1_10.SILOG", "notes.txt",
                             "x.SILog.part", ".hidden.SILog"}) {
        folder.Write(name, "x");
    }
    std::filesystem::create_directory(folder / "sub.SILog");
    FolderFileList list("*.SILog");
    list.SetPath(folder.path());
    EXPECT_THAT(NamesOf(list), ElementsAre("PC1_10.SILOG", "pc1_9.silog", "PC2_1.SILog"));
    EXPECT_EQ(list.List(0), "PC1_10.SILOG");
    EXPECT_THROW((void)list.List(3), RuntimeError);
    list.SetPattern("*.txt;*.PART");
    EXPECT_THAT(NamesOf(list), ElementsAre("notes.txt", "x.SILog.part"));
    list.SetPattern("pc?_1*.silog");
    EXPECT_THAT(NamesOf(list), ElementsAre("PC1_10.SILOG", "PC2_1.SILog"));
}

// It holds what it read, less the names dropped, until refreshed; a folder
// that is missing when set is "Path not found" and keeps the previous one,
// one gone later lists nothing.
TEST(FolderFileList, HoldsWhatItReadUntilRefreshed) {
    testing::TempFolder folder;
    folder.Write("a.SILog", "x");
    FolderFileList list("*.SILog");
    list.SetPath(folder.path());
    folder.Write("b.SILog", "x");
    EXPECT_EQ(list.ListCount(), 1);
    EXPECT_EQ(testing::ErrorOf([&] { list.SetPath(folder / "missing"); }).number(), 76);
    EXPECT_THROW(list.SetPath(folder / "a.SILog"), RuntimeError);  // a file is no folder
    EXPECT_EQ(list.Path(), folder.path());
    EXPECT_EQ(list.ListCount(), 1);
    list.Refresh();
    EXPECT_EQ(list.ListCount(), 2);
    list.DropFirst();  // a pass has taken a.SILog, which is still there
    EXPECT_THAT(NamesOf(list), ElementsAre("b.SILog"));
    list.DropFirst(2);
    EXPECT_EQ(list.ListCount(), 0);
    list.Refresh();
    EXPECT_EQ(list.List(0), "a.SILog");
    std::filesystem::remove_all(folder.path());
    list.Refresh();
    EXPECT_EQ(list.ListCount(), 0);
}

}  // namespace
}  // namespace kolbi
