// kolbipump-check, run as a unit's ExecStartPre= runs it: each broken setup
// fails with status 1 and its reason on one line; a working one passes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "codec/cls_huffman.h"
#include "db/db_test.h"
#include "support/subprocess.h"

namespace kolbi {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;
using testing::ProcessResult;
using ::testing::StartsWith;
using testing::TempFolder;

std::string Ini(const std::string& database, const std::string& soft_inventory) {
    return "[DataBase]\r\n" + database + "[SoftInventory]\r\n" + soft_inventory;
}

// The names in a folder and its subfolders, sorted.
std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        names.push_back(std::filesystem::relative(entry.path(), folder).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

ProcessResult Check(const std::string& folder) {
    return testing::RunProcess(KOLBIPUMP_CHECK_PATH, {"--folder", folder});
}

TEST(PumpCheck, EachBrokenSetupFailsWithItsReason) {
    // As root every folder is writable: a file system that takes no files
    // stands in for a folder without write permission.
    const bool root = ::geteuid() == 0;
    struct Case {
        std::string what;
        std::string ini;  // "" for none; "/" for a folder in its place
        std::string reason;
    };
    TempFolder app;
    const std::string in = app / "in";
    const std::string read_only = root ? "/proc/sys" : app / "read-only";
    const std::string in_ini = "incomingFilesPath=" + in + "\r\n";
    const Case cases[] = {
        {"no INI", "", "configuration file " + app / "KolbiPumps.ini" + " is not there"},
        {"INI unreadable", "/", app / "KolbiPumps.ini" + " is not a regular file"},
        {"no DsnEntry", Ini("SQLUser=pump\r\n", in_ini),
         "names no data source: [DataBase] DsnEntry"},
        {"missing incoming folder", Ini("DsnEntry=x\r\n", "incomingFilesPath=" + in + "x\r\n"),
         "incoming folder " + in + "x is not there"},
        {"unwritable incoming folder",
         Ini("DsnEntry=x\r\n", "incomingFilesPath=" + read_only + "\r\n"),
         "incoming folder " + read_only + " cannot be written: "},
        {"decompressed folder a link", Ini("DsnEntry=x\r\n", in_ini),
         "decompressed folder " + in + "/incoming is a symbolic link"},
        {"unknown data source",
         Ini("DsnEntry=kolbi_no_such_dsn\r\n", "incomingFilesPath=" + app.path()),
         "data source kolbi_no_such_dsn cannot be reached: "},
        {"unreachable server",
         Ini("SQLSERVER=nowhere\r\nSQLUser=pump\r\nSQLPass=s3cret;x\r\n",
             "incomingFilesPath=" + app.path()),
         "server nowhere cannot be reached: "},
    };
    std::filesystem::create_directory(in);
    std::filesystem::create_directory_symlink("/tmp", in + "/incoming");
    if (!root) {
        std::filesystem::create_directory(read_only);
        std::filesystem::permissions(
            read_only, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(app / "KolbiPumps.ini");
        if (c.ini == "/") {
            std::filesystem::create_directory(app / "KolbiPumps.ini");
        } else if (!c.ini.empty()) {
            app.Write("KolbiPumps.ini", c.ini);
        }
        const ProcessResult run = Check(app.path());
        EXPECT_EQ(run.exit_status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_THAT(run.err, AllOf(StartsWith("kolbipump-check: "), HasSubstr(c.reason),
                                   Not(HasSubstr("s3cret")), MatchesRegex("[^\n]*\n")));
    }
    EXPECT_EQ(testing::RunProcess(KOLBIPUMP_CHECK_PATH, {"--folder"}).exit_status, 2);
}

class PumpCheckPasses : public testing::DbTest {};

// A working setup passes and says what it found; without --folder the tool
// reads the INI of its own folder, as the pump does.
TEST_P(PumpCheckPasses, AWorkingSetupPasses) {
    TempFolder app;
    std::filesystem::create_directories(app / "in/incoming");
    app.Write("in/PC042_1.SILog", clsHuffman().EncodeString("A!Tool!Tool!1!(c) Delta\r\n"));
    app.Write("KolbiPumps.ini",
              Ini("DsnEntry=" + db_->dsn() + "\r\n", "incomingFilesPath=" + app / "in" + "\r\n"));
    const std::string ok = "ok: " + app / "KolbiPumps.ini" + ", data source " + db_->dsn() + " (" +
                           (GetParam() == testing::Backend::kSqlite ? "SQLite" : "PostgreSQL") +
                           "), incoming folder " + app / "in" +
                           " (1 compressed and 0 decompressed report(s) waiting), schema current\n";
    const ProcessResult run = Check(app.path());
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.out, ok);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Names(app.path()),
              (std::vector<std::string>{"KolbiPumps.ini", "in", "in/PC042_1.SILog",
                                        "in/incoming"}));  // no probe left

    // A database of another schema version is refused, with what to do.
    db_->Run("UPDATE SchemaVersion SET Version = Version - 1");
    EXPECT_THAT(Check(app.path()).err, HasSubstr("; run kolbidb upgrade\n"));
    db_->Run("UPDATE SchemaVersion SET Version = Version + 1");

    const std::string beside = app / "kolbipump-check";
    std::filesystem::copy_file(KOLBIPUMP_CHECK_PATH, beside);
    const ProcessResult own = testing::RunProcess(beside, {});
    EXPECT_EQ(own.exit_status, 0) << own.err;
    EXPECT_EQ(own.out, ok);
}

KOLBI_ON_BOTH_DATABASES(PumpCheckPasses);

}  // namespace
}  // namespace kolbi
