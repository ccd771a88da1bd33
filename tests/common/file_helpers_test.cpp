#include "common/file_helpers.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/failing_file_system.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

// A report the pump is done with: deleted, or moved into FAILED when that
// fails, also when FAILED is on another file system than the incoming folder
// (the usual layout: the agents' share mounted apart from the program). A copy
// that cannot be finished, or whose source stays, is removed again.
TEST(DeleteOrMoveToFailed, DeletesOrMovesAsideOrLeavesTheFile) {
    enum Where { kGone, kInFailed, kLeft };
    const struct {
        const char* what;
        int failing_deletes;  // -1: every one
        bool failed_folder, cross_device, copy_breaks_off;
        Where where;
    } cases[] = {
        {"deleted", 0, true, false, false, kGone},
        {"moved", -1, true, false, false, kInFailed},
        {"no FAILED folder: never made", -1, false, false, false, kLeft},
        {"moved to another file system", 1, true, true, false, kInFailed},
        {"copied but the source stays", -1, true, true, false, kLeft},
        {"copy breaks off", 1, true, true, true, kLeft},
    };
    for (const auto& c : cases) {
        testing::TempFolder app, incoming;
        SetAppFolderForTesting(app.path(), "kolbipump");
        incoming.Write("PC042_1.SILog", "report");
        testing::FailingFileSystem fs;
        ASSERT_TRUE(!c.failed_folder || Fs().CreateFolder(app / "FAILED"));
        fs.undeletable[incoming / "PC042_1.SILog"] = c.failing_deletes;
        fs.cross_device = c.cross_device;
        fs.copy_breaks_off = c.copy_breaks_off;
        DeleteOrMoveToFailed(incoming / "PC042_1.SILog");
        EXPECT_EQ(incoming.Has("PC042_1.SILog"), c.where == kLeft) << c.what;
        EXPECT_EQ(app.Has("FAILED/PC042_1.SILog"), c.where == kInFailed) << c.what;
        EXPECT_EQ(app.Read("FAILED/PC042_1.SILog"), c.where == kInFailed ? "report" : "") << c.what;
        EXPECT_EQ(app.Has("FAILED"), c.failed_folder) << c.what;
    }
}

// The same for real between two file systems, where this machine has them.
TEST(MoveFile, CopiesAcrossFileSystemsAndRemovesTheSource) {
    testing::TempFolder disk, memory("/dev/shm");
    struct stat a {
    }, b{};
    if (::stat(disk.path().c_str(), &a) != 0 || ::stat(memory.path().c_str(), &b) != 0 ||
        a.st_dev == b.st_dev) {
        GTEST_SKIP() << "no second file system (a tmpfs at /dev/shm) here";
    }
    memory.Write("PC042_1.SILog", std::string(200000, 'r'));
    ASSERT_TRUE(MoveFile(memory / "PC042_1.SILog", disk / "PC042_1.SILog"));
    EXPECT_FALSE(memory.Has("PC042_1.SILog"));
    EXPECT_EQ(disk.Read("PC042_1.SILog"), std::string(200000, 'r'));
    EXPECT_FALSE(MoveFile(memory / "missing", disk / "missing"));
    EXPECT_FALSE(disk.Has("missing"));
}

}  // namespace
}  // namespace kolbi
