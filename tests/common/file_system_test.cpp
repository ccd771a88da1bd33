#include "common/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "common/confined_path.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

// A folder of the pump's below a confined root, swapped for a link (as anyone
// who may write the agents' share can do between two operations): no
// operation on a file in it reaches through the link, whatever it does. The
// root itself may be a link, as an administrator may configure it.
TEST(ConfinedFolders, AFolderSwappedForALinkIsNeverFollowed) {
    testing::TempFolder real_root, outside, links;
    const std::string root = links / "share";
    std::filesystem::create_directory_symlink(real_root.path(), root);
    std::filesystem::create_directory_symlink(outside.path(), real_root / "incoming");
    outside.Write("PC1_1.SILog", "outside");
    ConfineFoldersBelow({root});
    const std::string in = root + "/incoming/";
    const struct {
        const char* what;
        std::function<bool()> reaches_through;
    } operations[] = {
        {"read", [&] { return Fs().ReadQueuedFile(in + "PC1_1.SILog").has_value(); }},
        {"list", [&] { return Fs().ListFiles(in).has_value(); }},
        {"write", [&] { return Fs().WriteNewFile(in + "new", "x"); }},
        {"sync all", [&] { return Fs().SyncFileSystem(in); }},
        {"delete", [&] { return Fs().Remove(in + "PC1_1.SILog"); }},
        {"rename", [&] { return Fs().Rename(in + "PC1_1.SILog", in + "moved"); }},
        {"move out", [&] { return Fs().Rename(in + "PC1_1.SILog", root + "/moved"); }},
        {"copy", [&] { return Fs().CopyFile(in + "PC1_1.SILog", root + "/copied"); }},
        {"make folder", [&] { return Fs().CreateFolder(in + "FAILED"); }},
        {"identity", [&] { return Fs().Identity(in + "PC1_1.SILog").has_value(); }},
        {"sync", [&] { return Fs().SyncFolder(in); }},
    };
    for (const auto& operation : operations) {
        EXPECT_FALSE(operation.reaches_through()) << operation.what;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outside.path()), {}), 1);
    EXPECT_EQ(outside.Read("PC1_1.SILog"), "outside");
    EXPECT_TRUE(Fs().IsLink(in));
    EXPECT_TRUE(Fs().ListFiles(root).has_value()) << "the root itself is followed";

    ConfineFoldersBelow({});
    EXPECT_TRUE(Fs().ReadQueuedFile(in + "PC1_1.SILog").has_value()) << "no root, no confinement";
}

}  // namespace
}  // namespace kolbi
