#include "common/file_helpers.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <iterator>

#include "support/error_of.h"
#include "support/failing_file_system.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

// A report the pump is done with: deleted, or moved into FAILED when that
// fails, also when FAILED is on another file system than the incoming folder
// (the usual layout: the agents' share mounted apart from the program). FAILED
// is made when missing, but a FAILED that is a link is never used. A copy that
// cannot be finished, or whose source stays, is removed again.
TEST(DeleteOrMoveToFailed, DeletesOrMovesAsideOrLeavesTheFile) {
    enum Where { kGone, kInFailed, kLeft };
    enum Failed { kMissing, kFolder, kLink };
    const struct {
        const char* what;
        int failing_deletes;  // -1: every one
        Failed failed;
        bool cross_device, copy_breaks_off;
        Where where;
    } cases[] = {
        {"deleted", 0, kFolder, false, false, kGone},
        {"moved", -1, kFolder, false, false, kInFailed},
        {"no FAILED folder: made", -1, kMissing, false, false, kInFailed},
        {"FAILED is a link: not followed", -1, kLink, false, false, kLeft},
        {"moved to another file system", 1, kFolder, true, false, kInFailed},
        {"copied but the source stays", -1, kFolder, true, false, kLeft},
        {"copy breaks off", 1, kFolder, true, true, kLeft},
    };
    for (const auto& c : cases) {
        testing::TempFolder app, incoming, elsewhere;
        SetAppFolderForTesting(app.path(), "kolbipump");
        incoming.Write("PC042_1.SILog", "report");
        testing::FailingFileSystem fs;
        ASSERT_TRUE(c.failed != kFolder || Fs().CreateFolder(app / "FAILED"));
        if (c.failed == kLink) {
            std::filesystem::create_directory_symlink(elsewhere.path(), app / "FAILED");
        }
        fs.undeletable[incoming / "PC042_1.SILog"] = c.failing_deletes;
        fs.cross_device = c.cross_device;
        fs.copy_breaks_off = c.copy_breaks_off;
        EXPECT_EQ(DeleteOrMoveToFailed(incoming / "PC042_1.SILog"), c.where != kLeft) << c.what;
        EXPECT_EQ(incoming.Has("PC042_1.SILog"), c.where == kLeft) << c.what;
        EXPECT_EQ(app.Read("FAILED/PC042_1.SILog"), c.where == kInFailed ? "report" : "") << c.what;
        EXPECT_FALSE(elsewhere.Has("PC042_1.SILog")) << c.what;
    }
}

// What is set aside never replaces what was set aside before, and FAILED is
// readable by the service's group only.
TEST(MoveToFailed, KeepsEveryFileItSetsAside) {
    testing::TempFolder app, incoming;
    SetAppFolderForTesting(app.path(), "kolbipump");
    for (const char* content : {"first", "second", "third"}) {
        incoming.Write("PC042_1.SILog", content);
        EXPECT_EQ(MoveToFailed(incoming / "PC042_1.SILog"), std::nullopt);
    }
    EXPECT_EQ(app.Read("FAILED/PC042_1.SILog"), "first");
    EXPECT_EQ(app.Read("FAILED/PC042_1.2.SILog"), "second");
    EXPECT_EQ(app.Read("FAILED/PC042_1.3.SILog"), "third");
    struct stat st {};
    ASSERT_EQ(::stat((app / "FAILED").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0007, 0u);
}

// A report is published whole or not at all, never over one already there,
// and no temporary file is left behind either way.
TEST(PublishFileDurably, PutsTheWholeFileOrNothingAndNeverReplaces) {
    testing::TempFolder folder;
    EXPECT_TRUE(PublishFileDurably(folder / "PC042_1.SILog", "report"));
    EXPECT_FALSE(PublishFileDurably(folder / "PC042_1.SILog", "a later report"));
    EXPECT_EQ(folder.Read("PC042_1.SILog"), "report");
    {
        testing::FailingFileSystem fs;
        fs.durable_write_error = ENOSPC;
        const RuntimeError full =
            testing::ErrorOf([&] { PublishFileDurably(folder / "PC043_1.SILog", "report"); });
        EXPECT_EQ(full.number(), errnum::kDiskFull) << full.description();
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
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
