// The road of a report from the incoming folder to the database: the
// processing cycle, the report pass and the workstation record, on both
// databases with real HE3 files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "codec/cls_huffman.h"
#include "common/clock.h"
#include "common/pump_settings.h"
#include "db/db_connect.h"
#include "db/db_test.h"
#include "log/write_log.h"
#include "queue/processing_cycle.h"
#include "report/do_log.h"
#include "support/failing_file_system.h"
#include "ui/form1.h"

namespace kolbi {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::DbTest;

class PipelineTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (HasFatalFailure() || IsSkipped()) return;
        Settings().incomingFilesPath = incoming_.path();
        Settings().IncomingFolder = incoming_.path();
        std::filesystem::create_directory(incoming_ / "incoming");
        form_.lfLogCode.SetPath(incoming_.path());
        form_.lfLog.SetPath(incoming_ / "incoming");
    }

    // An agent's compressed report.
    void Drop(const std::string& name, const std::string& report) {
        incoming_.Write(name, clsHuffman().EncodeString(report));
    }
    // A report already decompressed, waiting for the pass.
    void Waiting(const std::string& name, const std::string& report) {
        incoming_.Write("incoming/" + name, report);
    }
    void RunCycle() {
        Procedure tick("in procedure Timer1_Timer of Feuille Form1", AfterReport::kContinue);
        ProcessingCycle(form_, tick);
    }
    std::vector<std::string> Files(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (!entry.is_directory()) names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> Postes() {
        return db_->Rows("SELECT Poste_Nom FROM Postes ORDER BY Poste_Nom");
    }

    FakeClock clock_;  // 4 December 2026
    ScopedClock scoped_clock_{clock_};
    testing::TempFolder incoming_;
    Form1 form_;
};

const char kReport[] = "A!Editor Pro 2000!Editor Pro!4, 0, 1!(c) 1999 Acme Corp.\r\n";

// Every compressed file leaves the incoming folder, whatever it held; the
// ones that were no HE3 stream (or empty) are each one "file not found".
TEST_P(PipelineTest, ACycleTakesEveryCompressedFileToItsEnd) {
    Drop("PC1_20261204.SILog", kReport);
    Drop("O'Brien PC_1.silog", kReport);
    incoming_.Write("junk_1.SILOG", "not an HE3 stream");
    incoming_.Write("empty_1.SILog", "");
    incoming_.Write("notes.txt", "left alone");
    RunCycle();

    EXPECT_THAT(Files(incoming_.path()), ElementsAre("notes.txt"));
    EXPECT_TRUE(Files(incoming_ / "incoming").empty());
    EXPECT_THAT(Postes(), ElementsAre("O'Brien PC", "PC1"));
    std::vector<std::string> errors = pump_.LogLines();
    ASSERT_EQ(errors.size(), 2u);
    for (const std::string& error : errors) {
        EXPECT_THAT(error, HasSubstr("Error No: 53"));
        EXPECT_THAT(error, HasSubstr("in procedure Timer1_Timer of Feuille Form1"));
    }
    EXPECT_THAT(db_->Rows("SELECT SIUser, SIPoste FROM Transactions"), ElementsAre("|"));
    EXPECT_FALSE(DBConnected());
    EXPECT_TRUE(form_.Timer1.Enabled());
    EXPECT_TRUE(form_.timerService.Enabled());
}

// A file that cannot be deleted goes to FAILED; one that can be neither
// deleted nor moved stays for the next cycle and does not hold up the queue.
// (A decompressed report that cannot be disposed of is read again by each
// iteration of the pass, so PC3's report waits behind PC2's.)
TEST_P(PipelineTest, UndeletableFilesAreMovedAsideOrLeftForTheNextCycle) {
    testing::FailingFileSystem fs;
    fs.fail_remove = true;
    std::filesystem::create_directory(pump_.app / "FAILED");
    Drop("PC1_1.SILog", kReport);
    RunCycle();
    EXPECT_THAT(Files(pump_.app / "FAILED"), ElementsAre("PC1_1.SILog"));
    EXPECT_THAT(Postes(), ElementsAre("PC1"));

    fs.fail_rename = true;
    Drop("PC2_1.SILog", kReport);
    Drop("PC3_1.SILog", kReport);
    RunCycle();
    EXPECT_THAT(Files(incoming_.path()), ElementsAre("PC2_1.SILog", "PC3_1.SILog"));
    EXPECT_THAT(Postes(), ElementsAre("PC1", "PC2"));
}

TEST_P(PipelineTest, AWorkstationIsCreatedOnceAndItsDatesStamped) {
    db_->Run("INSERT INTO Postes (Poste_Nom, Poste_FirstSoftInventory, Poste_LastSoftInventory) "
             "VALUES ('OLD', '1900-01-01', '1900-01-01')");
    db_->Run("INSERT INTO Postes (Poste_Nom, Poste_LastSoftInventory) VALUES ('NUL', '2001-01-01')");
    Waiting("NEW_1.SILog", kReport);
    Waiting("NUL_1.SILog", kReport);
    Waiting("OLD_1.SILog", kReport);
    Do_Log(form_);

    EXPECT_THAT(db_->Rows("SELECT Poste_Nom, Poste_FirstSoftInventory, Poste_LastSoftInventory, "
                          "PosteHardID, Poste_Mac, Poste_LastHardInventory FROM Postes "
                          "ORDER BY Poste_Nom"),
                ElementsAre("NEW|2026-12-04|2026-12-04|0||2026-12-04",
                            "NUL|NULL|2026-12-04|NULL|NULL|NULL",
                            "OLD|2026-12-04|2026-12-04|NULL|NULL|NULL"));
    EXPECT_TRUE(pump_.LogLines().empty());
    EXPECT_TRUE(form_.Timer1.Enabled());
    EXPECT_EQ(form_.Label1, "1 fichier(s) d\u00E9compress\u00E9(s) en attente...");
    for (const ListBox* list : {&form_.lstInFile, &form_.lstLogProd, &form_.lstDBProd}) {
        EXPECT_EQ(list->ListCount(), 0);
    }
}

// Reports without a workstation name are disposed of and end the pass; one
// that is still HE3 ends it too, and leaves Timer1 off.
TEST_P(PipelineTest, ReportsThatEndThePass) {
    struct Case {
        std::string file, content;
        bool logged, timer1_after;
    };
    const Case cases[] = {
        {"_x.SILog", kReport, false, true},
        {"PC042.SILog", kReport, true, true},
        {"A_1.SILog", "HE3\r\nbinary", false, false},
    };
    for (const Case& c : cases) {
        Waiting(c.file, c.content);
        Waiting("Z_later.SILog", kReport);
        form_.Timer1.Disable();
        Do_Log(form_);
        EXPECT_THAT(Files(incoming_ / "incoming"), ElementsAre("Z_later.SILog")) << c.file;
        EXPECT_EQ(pump_.LogLines().size(), c.logged ? 1u : 0u) << c.file;
        EXPECT_EQ(form_.Timer1.Enabled(), c.timer1_after) << c.file;
        std::filesystem::remove(incoming_ / "incoming/Z_later.SILog");
        std::filesystem::remove(TodaysLogPath());
    }
    EXPECT_THAT(Postes(), ElementsAre("A"));
}

// Names are bound, never spliced; special files are never read or followed.
TEST_P(PipelineTest, OddNamesAndSpecialFiles) {
    testing::TempFolder outside;
    outside.Write("target", "not to be touched");
    Drop("Quote'd \"PC\" \\back_1.SILog", kReport);
    Drop("line\nbreak_1.SILog", kReport);
    ASSERT_EQ(::mkfifo((incoming_ / "fifo_1.SILog").c_str(), 0600), 0);
    std::filesystem::create_symlink(outside / "target", incoming_ / "link_1.SILog");
    std::filesystem::create_symlink(outside / "planted", incoming_ / "incoming/PC9_1.SILog");
    Drop("PC9_1.SILog", kReport);
    RunCycle();

    EXPECT_THAT(Postes(), ElementsAre("line\nbreak", "PC9", "Quote'd \"PC\" \\back"));
    EXPECT_THAT(Files(incoming_.path()), ElementsAre("fifo_1.SILog"));
    EXPECT_EQ(outside.Read("target"), "not to be touched");
    EXPECT_FALSE(outside.Has("planted"));
}

KOLBI_ON_BOTH_DATABASES(PipelineTest);

}  // namespace
}  // namespace kolbi
