#include "common/file_helpers.h"

#include <gtest/gtest.h>

#include "support/failing_file_system.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

using testing::FailingFileSystem;
using testing::TempFolder;

class DeleteOrMoveToFailedTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAppFolderForTesting(app_.path(), "kolbipump");
        incoming_.Write("PC042_1.SILog", "report");
    }

    TempFolder app_;
    TempFolder incoming_;
    FailingFileSystem fs_;
};

TEST_F(DeleteOrMoveToFailedTest, DeletesTheFile) {
    DeleteOrMoveToFailed(incoming_ / "PC042_1.SILog");
    EXPECT_FALSE(incoming_.Has("PC042_1.SILog"));
}

TEST_F(DeleteOrMoveToFailedTest, MovesIntoFailedWhenTheDeletionFails) {
    ASSERT_TRUE(Fs().CreateFolder(app_ / "FAILED"));
    fs_.fail_remove = true;
    DeleteOrMoveToFailed(incoming_ / "PC042_1.SILog");
    EXPECT_FALSE(incoming_.Has("PC042_1.SILog"));
    EXPECT_EQ(app_.Read("FAILED/PC042_1.SILog"), "report");
}

TEST_F(DeleteOrMoveToFailedTest, LeavesTheFileWhenNeitherWorks) {
    // No FAILED folder: it is never created, so the move fails quietly.
    fs_.fail_remove = true;
    DeleteOrMoveToFailed(incoming_ / "PC042_1.SILog");
    EXPECT_TRUE(incoming_.Has("PC042_1.SILog"));
    EXPECT_FALSE(app_.Has("FAILED"));
}

TEST(FileExistsTest, TellsFilesFoldersAndMissingPathsApart) {
    TempFolder folder;
    folder.Write("a.txt", "");
    EXPECT_TRUE(FileExists(folder / "a.txt"));
    EXPECT_FALSE(FileExists(folder.path()));  // a folder has no file length
    EXPECT_FALSE(FileExists(folder / "missing"));
    EXPECT_TRUE(PathExists(folder / "a.txt"));
    EXPECT_TRUE(PathExists(folder.path()));
    EXPECT_FALSE(PathExists(folder / "missing"));
    EXPECT_FALSE(PathExists(""));
}

}  // namespace
}  // namespace kolbi
