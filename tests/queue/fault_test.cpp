// What the everyday faults of a server do to the reports in the queue: a
// crash at any step of a report's life, an agent still writing, a full disk,
// a lost connection, a second pump, links, files the pump may not read. Each
// report ends wholly in the database or still on disk, never in part.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "common/file_system.h"
#include "common/folder_lock.h"
#include "common/program_end.h"
#include "common/status_text.h"
#include "db/statement_trace.h"
#include "queue/queue_test.h"
#include "report/do_log.h"
#include "support/failing_file_system.h"

namespace kolbi {
namespace {

using ::testing::AllOf;
using testing::Backend;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::kLaterReport;
using testing::kReport;
using testing::kThreeProducts;

// The steps of a report's life as the file system and the database see them
// (a file written, renamed, synced or deleted; a statement or a transaction's
// end sent), counted; at the chosen one the process ends outright, as
// kill -9 ends it, before the step happens.
class CrashingSeams : public FileSystemWrapper {
public:
    CrashingSeams() : FileSystemWrapper(real_), scope_(*this) {
        ObserveStatements([this](std::string_view what) { Step(std::string(what.substr(0, 60))); });
    }
    ~CrashingSeams() override { ObserveStatements(nullptr); }

    int crash_at = 0;  // 1-based; 0 never
    std::vector<std::string> steps;

    bool WriteNewFile(const std::string& path, std::string_view bytes) override {
        Step("write " + Name(path));
        return FileSystemWrapper::WriteNewFile(path, bytes);
    }
    bool SyncFileSystem(const std::string& path) override {
        Step("sync all " + path);
        return FileSystemWrapper::SyncFileSystem(path);
    }
    bool Rename(const std::string& from, const std::string& to) override {
        Step("rename " + Name(from) + " to " + Name(to));
        return FileSystemWrapper::Rename(from, to);
    }
    bool SyncFolder(const std::string& path) override {
        Step("sync " + path);
        return FileSystemWrapper::SyncFolder(path);
    }
    bool Remove(const std::string& path) override {
        Step("delete " + Name(path));
        return FileSystemWrapper::Remove(path);
    }

private:
    static std::string Name(const std::string& path) { return path.substr(path.rfind('/') + 1); }
    void Step(std::string what) {
        steps.push_back(std::move(what));
        if (static_cast<int>(steps.size()) == crash_at) ::kill(::getpid(), SIGKILL);
    }

    PosixFileSystem real_;
    ScopedFileSystem scope_;
};

class FaultTest : public testing::QueueTest {
protected:
    void TearDown() override {
        ReleaseIncomingFolder();
        QueueTest::TearDown();
    }
    // A scenario afresh, as a new process meets it: every table empty, its
    // identities started again (a database made afresh for each case would
    // cost a second each on PostgreSQL), a new incoming folder, no log, and
    // the window's lists empty.
    void Afresh() {
        CloseAndReleaseDBConnection();
        if (GetParam() == Backend::kPostgreSql) {
            db_->Run("TRUNCATE Changement, PosteSoftware, ODBC_DSN, ODBC_Drv, SoftProduct, Postes, "
                     "Transactions RESTART IDENTITY");
        } else {
            for (const char* table : {"Changement", "PosteSoftware", "ODBC_DSN", "ODBC_Drv",
                                      "SoftProduct", "Postes", "Transactions", "sqlite_sequence"}) {
                db_->Run(std::string("DELETE FROM ") + table);
            }
        }
        NewIncomingFolder();
        std::filesystem::remove(TodaysLogPath());
        form_.ClearAll();
        form_.lstInFile.Clear();
    }
    std::vector<std::string> Alerts() {
        return db_->Rows("SELECT Changement_Poste, Changement_Critique, Changement_Data "
                         "FROM Changement ORDER BY 1, 2, 3");
    }
    // A pump that starts again: a new process holds the folder afresh.
    void Restart() {
        ReleaseIncomingFolder();
        CloseAndReleaseDBConnection();
        RunCycle();
    }
    // What the database and the folders hold after a scenario.
    std::vector<std::string> Outcome() {
        std::vector<std::string> outcome = Links();
        for (const std::string& alert : Alerts()) outcome.push_back("alert " + alert);
        for (const std::string& file : Files(incoming_->path())) outcome.push_back("queued " + file);
        for (const std::string& file : Files(*incoming_ / "incoming")) {
            outcome.push_back("decompressed " + file);
        }
        for (const std::string& line : pump_.LogLines()) outcome.push_back(line);
        return outcome;
    }

    // PC1 has had its first inventory; its second report and PC2's first
    // arrive, and a cycle takes them, crashing at step `crash_at` (never at
    // 0). The steps seen are put into `steps`.
    void CrashingCycle(int crash_at, std::vector<std::string>* steps = nullptr) {
        Afresh();
        Waiting("PC1_1.SILog", kThreeProducts);
        Do_Log(form_);
        Drop("PC1_2.SILog", kLaterReport);
        Drop("PC2_1.SILog", kThreeProducts);
        CloseAndReleaseDBConnection();
        CrashingSeams seams;
        if (crash_at == 0) {
            RunCycle();
        } else {
            seams.crash_at = crash_at;
            EXPECT_EXIT(RunCycle(), ::testing::KilledBySignal(SIGKILL), "");
        }
        if (steps) *steps = seams.steps;
    }
};

// A table of crash points: the uninterrupted cycle lists every step of the
// two reports' lives (decoding each into a temporary file, its rename, the
// folder sync, the compressed file's deletion, each statement, each commit,
// the decompressed file's deletion), and a crash before each step, then a
// restart, must come to exactly what the uninterrupted run came to: every
// report in the database once, with its links and alerts, nothing on disk,
// nothing logged.
TEST_P(FaultTest, ACrashAtAnyStepThenARestartComesToTheSameDatabase) {
    GTEST_FLAG_SET(death_test_style, "fast");
    std::vector<std::string> steps;
    CrashingCycle(0, &steps);
    const std::vector<std::string> expected = Outcome();
    ASSERT_THAT(expected, ::testing::Contains("alert PC1|3||968|Viewer Plus"));
    ASSERT_GT(steps.size(), 20u);
    for (std::size_t n = 1; n <= steps.size(); ++n) {
        SCOPED_TRACE("crash before step " + std::to_string(n) + ": " + steps[n - 1]);
        CrashingCycle(static_cast<int>(n));
        Restart();
        EXPECT_EQ(Outcome(), expected);
        if (HasFailure()) break;
    }
}

// A full disk while decompressing: the compressed report stays, no part of
// the decompressed one is left, and the log says why; once there is room the
// report goes through.
TEST_P(FaultTest, AFullDiskKeepsTheCompressedReport) {
    Drop("PC1_1.SILog", kThreeProducts);
    {
        testing::FailingFileSystem fs;
        fs.durable_write_error = ENOSPC;
        RunCycle();
    }
    EXPECT_THAT(Files(incoming_->path()), ElementsAre("PC1_1.SILog"));
    EXPECT_TRUE(std::filesystem::is_empty(*incoming_ / "incoming"));
    EXPECT_THAT(pump_.LogLines(), ElementsAre(AllOf(HasSubstr("Error No: 61"),
                                                    HasSubstr("Disk full"),
                                                    HasSubstr("incoming/PC1_1.SILog"))));
    RunCycle();
    EXPECT_THAT(Links(), ElementsAre("PC1|Editor Pro", "PC1|Mailer", "PC1|Viewer Plus"));
    EXPECT_THAT(Files(incoming_->path()), ElementsAre());
}

// The connection goes while the second report is being linked (its
// workstation row and a new product written): the pump ends, the first report
// stands whole, nothing of the second is in the database, the activity row
// still names its workstation, and its file is still on disk for the pump
// that starts again.
TEST_P(FaultTest, ALostConnectionEndsThePumpWithTheReportOnDisk) {
    Waiting("PC1_1.SILog", kThreeProducts);
    Waiting("PC2_1.SILog", kLaterReport);
    int commits = 0;
    ObserveStatements([&](std::string_view what) {
        std::string text(what);
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (text == "commit") ++commits;
        const bool link = text.rfind("insert into", 0) == 0 &&
                          text.find("postesoftware") != std::string::npos;
        if (!link || commits == 0) return;
        if (GetParam() == Backend::kPostgreSql) {
            db_->Rows("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                      "WHERE datname = current_database() AND pid <> pg_backend_pid()");
        } else {
            throw RuntimeError(errnum::kUnspecified, "Communication link failure");
        }
    });
    EXPECT_EQ(testing::ExitStatusOf([&] { Do_Log(form_); }), kExitFailure);
    ObserveStatements(nullptr);
    CloseAndReleaseDBConnection();
    EXPECT_THAT(Links(), ElementsAre("PC1|Editor Pro", "PC1|Mailer", "PC1|Viewer Plus"));
    EXPECT_THAT(db_->Rows("SELECT COUNT(*) FROM SoftProduct"), ElementsAre("3"));
    EXPECT_THAT(db_->Rows("SELECT SIPoste FROM Transactions"), ElementsAre("PC2"));
    EXPECT_THAT(Files(*incoming_ / "incoming"), ElementsAre("PC2_1.SILog"));
    EXPECT_THAT(pump_.LogLines(), ::testing::SizeIs(1));
}

// A second pump on the same folder stands by while the first holds it, takes
// nothing and says so on its status line, then takes over.
TEST_P(FaultTest, ASecondPumpStandsByUntilTheFirstEnds) {
    FolderLock first_pump;
    ASSERT_TRUE(first_pump.TryHold(incoming_->path()));
    Drop("PC1_1.SILog", kReport);
    Waiting("PC2_1.SILog", kReport);
    RunCycle();
    Do_Log(form_);
    EXPECT_THAT(Files(incoming_->path()), ElementsAre("PC1_1.SILog"));
    EXPECT_THAT(Files(*incoming_ / "incoming"), ElementsAre("PC2_1.SILog"));
    EXPECT_EQ(StatusText(), kStandbyText);
    EXPECT_TRUE(form_.Timer1.Enabled());
    EXPECT_TRUE(form_.timerService.Enabled());

    first_pump.Release();
    RunCycle();
    EXPECT_THAT(Links(), ElementsAre("PC1|Editor Pro", "PC2|Editor Pro"));
    EXPECT_FALSE(first_pump.TryHold(incoming_->path()));
}

// Folders of the pump's that are links are not used: nothing is written
// through them, and the reports wait where they are, with a line saying why.
TEST_P(FaultTest, FoldersThatAreLinksAreNotUsed) {
    const std::string stream = clsHuffman().EncodeString(kReport);
    struct Case {
        const char* what;
        const char* link;  // which folder is a link
        const char* why;
    } cases[] = {
        {"decompressed folder", "incoming", "incoming/ is a symbolic link"},
        {"FAILED", "FAILED", "FAILED is a symbolic link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Afresh();
        testing::TempFolder outside;
        const std::string link = c.link == std::string("FAILED") ? pump_.app / "FAILED"
                                                                 : *incoming_ / "incoming";
        std::filesystem::remove_all(link);
        std::filesystem::create_directory_symlink(outside.path(), link);
        incoming_->Write("PC1_1.SILog", stream);
        incoming_->Write("cut_1.SILog", stream.substr(0, 20));
        std::filesystem::last_write_time(*incoming_ / "cut_1.SILog",
                                         std::filesystem::file_time_type::clock::now() -
                                             std::chrono::hours(1));
        RunCycle();
        EXPECT_TRUE(std::filesystem::is_empty(outside.path()));
        EXPECT_THAT(pump_.LogLines(), ElementsAre(HasSubstr(c.why)));
        EXPECT_THAT(Files(incoming_->path()), ::testing::Contains("cut_1.SILog"));
        std::filesystem::remove(link);
    }
    EXPECT_THAT(Links(), ElementsAre("PC1|Editor Pro"));
}

// Reports the pump may not read stay where they are, each logged once per
// cycle with the real reason; the others go on.
TEST_P(FaultTest, AReportThePumpMayNotReadStaysAndIsLogged) {
    testing::FailingFileSystem fs;
    Drop("PC1_1.SILog", kReport);
    Drop("PC2_1.SILog", kReport);
    Waiting("PC3_1.SILog", kReport);
    Waiting("PC4_1.SILog", kReport);
    fs.unreadable[*incoming_ / "PC1_1.SILog"] = EACCES;
    fs.unreadable[*incoming_ / "incoming/PC3_1.SILog"] = EACCES;
    RunCycle();
    EXPECT_THAT(Links(), ElementsAre("PC2|Editor Pro", "PC4|Editor Pro"));
    EXPECT_THAT(Files(incoming_->path()), ElementsAre("PC1_1.SILog"));
    EXPECT_THAT(Files(*incoming_ / "incoming"), ElementsAre("PC3_1.SILog"));
    const auto denied = [](const std::string& file, const std::string& procedure) {
        return AllOf(HasSubstr("Error No: 70, Error Description: Permission denied"),
                     HasSubstr(file), HasSubstr("in procedure " + procedure));
    };
    EXPECT_THAT(pump_.LogLines(),
                ElementsAre(denied("incoming/PC3_1.SILog", "Do_Log"),
                            denied("PC1_1.SILog", "Timer1_Timer"),
                            denied("incoming/PC3_1.SILog", "Do_Log")));
}

KOLBI_ON_BOTH_DATABASES(FaultTest);

}  // namespace
}  // namespace kolbi
