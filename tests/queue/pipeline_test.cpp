// The road of a report from the incoming folder to the database: the
// processing cycle, the report pass and the workstation record, on both
// databases with real HE3 files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "codec/cls_huffman.h"
#include "common/clock.h"
#include "common/cp1252.h"
#include "common/pump_settings.h"
#include "db/db_connect.h"
#include "db/db_test.h"
#include "log/write_log.h"
#include "queue/processing_cycle.h"
#include "reportgen/manifest.h"
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
    // The rows of a query as UTF-8 texts, as the agents' expectations are.
    std::set<std::string> Set(const std::string& sql) {
        std::set<std::string> rows;
        for (const std::string& row : db_->Rows(sql)) rows.insert(Cp1252ToUtf8(row));
        return rows;
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

// A second report of the same workstation in one pass is reconciled with
// what the first one stored, not linked a second time.
TEST_P(PipelineTest, ASecondReportOfAWorkstationInOnePassIsReconciled) {
    Waiting("PC1_1.SILog", "x!d!Alpha!1!A Corp\r\nx!d!Beta!1!B Corp\r\n");
    Waiting("PC1_2.SILog", "x!d!Alpha!1!A Corp\r\nx!d!Gamma!1!C Corp\r\n");
    Do_Log(form_);
    EXPECT_THAT(db_->Rows("SELECT s.SOFTPRODUCT_PRODUCT FROM PosteSoftware l JOIN SoftProduct s "
                          "ON s.SOFTPRODUCT_ID = l.PosteSoft_ProductID ORDER BY 1"),
                ElementsAre("Alpha", "Gamma"));
    // Both reports belong to the workstation's first inventory: no alert.
    EXPECT_THAT(db_->Rows("SELECT COUNT(*) FROM Changement"), ElementsAre("0"));
}

// A stop that arrives during a pass ends the program once the report in
// hand is done with, before the next one.
TEST_P(PipelineTest, AStopWaitsForTheReportInHand) {
    struct StoppingHost : Form1Host {
        void Repaint() override {}
        void Unload() override {}
        bool UnloadPending() const override { return true; }
    } host;
    form_.SetHost(&host);
    Waiting("PC1_1.SILog", kReport);
    Waiting("PC2_1.SILog", kReport);
    EXPECT_THROW(Do_Log(form_), ProgramEnded);
    form_.SetHost(nullptr);
    EXPECT_THAT(Postes(), ElementsAre("PC1"));
    EXPECT_THAT(db_->Rows("SELECT COUNT(*) FROM PosteSoftware"), ElementsAre("1"));
    EXPECT_THAT(Files(incoming_ / "incoming"), ElementsAre("PC2_1.SILog"));
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

// Two rounds of simulated agents, the second with products installed and
// removed, against what the agents say they reported: links, alerts (none
// on first inventories, none for an ignored product), vendor names, ODBC rows.
TEST_P(PipelineTest, TwoRoundsOfAgentsEndAsTheyReported) {
    ReportGeneratorOptions options;
    options.seed = 7;
    options.products_per_report = 40;
    options.churn_percent = 10;
    const int workstations = 5;
    std::set<std::string> links, alerts, vendors, sources;
    std::string ignored;
    for (int round = 1; round <= 2; ++round) {
        options.round = round;
        SimulatedRound sim(options);
        links.clear();
        for (int n = 1; n <= workstations; ++n) {
            ExpectedReport expected;
            GeneratedReport report = sim.Report(n, expected);
            Drop(report.file_name, report.text);
            for (const ExpectedProduct& p : expected.installed) {
                links.insert(expected.workstation + "|" + p.product);
                if (!p.vendor.empty()) vendors.insert(p.product + "|" + p.vendor);
            }
            if (round == 2 && n == 1) {
                ASSERT_FALSE(expected.removed.empty());
                ignored = expected.removed.front();
                db_->connection().Execute(
                    SqlText("UPDATE SoftProduct SET SOFTPRODUCT_IGNORE = 1 ")
                        .Add("WHERE SOFTPRODUCT_PRODUCT = ")
                        .QuotedUtf8(ignored));
            }
            for (const std::string& name : expected.added) {
                alerts.insert(expected.workstation + "|2||967|" + name);
            }
            for (const std::string& name : expected.removed) {
                if (name != ignored) alerts.insert(expected.workstation + "|3||968|" + name);
            }
            for (const GeneratedDriverLine& driver : report.drivers) {
                for (const GeneratedDataSource& source : driver.sources) {
                    sources.insert(expected.workstation + "|" + driver.name + "|" + driver.version +
                                   "|" + source.name + "|" + source.database + "|" +
                                   source.server);
                }
            }
        }
        RunCycle();
        EXPECT_TRUE(pump_.LogLines().empty()) << pump_.LogLines().front();
        EXPECT_EQ(Set("SELECT p.Poste_Nom, s.SOFTPRODUCT_PRODUCT FROM PosteSoftware l "
                      "JOIN Postes p ON p.PosteID = l.PosteSoft_PosteID "
                      "JOIN SoftProduct s ON s.SOFTPRODUCT_ID = l.PosteSoft_ProductID"),
                  links)
            << "round " << round;
        EXPECT_EQ(Set("SELECT Changement_Poste, Changement_Critique, Changement_Data "
                      "FROM Changement WHERE Changement_Type = 2 AND Changement_ACK = 0"),
                  alerts)
            << "round " << round;
    }
    std::set<std::string> stored_vendors =
        Set("SELECT SOFTPRODUCT_PRODUCT, SOFTPRODUCT_COPYRIGHT FROM SoftProduct");
    for (const std::string& vendor : vendors) EXPECT_TRUE(stored_vendors.count(vendor)) << vendor;
    EXPECT_EQ(Set("SELECT p.Poste_Nom, d.ODBC_DrvName, d.ODBC_ProdVers, s.DSN_Name, "
                  "s.DSN_DBName, s.DSN_ServName FROM ODBC_DSN s "
                  "JOIN ODBC_Drv d ON d.ODBC_ID = s.DSN_ODBC_ID "
                  "JOIN Postes p ON p.PosteID = s.DSN_POSTEID"),
              sources);
}

// Awkward product and ODBC lines: each is catalogued or left out as its
// fields say, and what is stored reads back exactly as reported.
TEST_P(PipelineTest, AwkwardLinesAreStoredExactlyOrLeftOut) {
    std::string long_name;  // that no compression makes short
    for (unsigned i = 1; long_name.size() < 10000; i = i * 1103515245u + 12345u) {
        long_name += static_cast<char>('a' + (i >> 16) % 26);
    }
    std::string many_sources;
    for (int i = 0; i < 200; ++i) many_sources += "(ds" + std::to_string(i) + ";db;srv)\xAC";
    many_sources.pop_back();
    const std::string accented = "L'\xE9t\xE9 d'\xC8ve \xBD";
    const std::string lines[] = {
        "x!!!!",                                            // empty fields
        "x!d!" + long_name + "!1!Acme Inc.",                // a 10,000-character name
        "x!d!Vendorless!1!Copyright 2005",                  // the vendor normalises to nothing
        "x!d!Dup Tool!1!Dup Corp", "x!d!Dup Tool!2!Dup Corp",  // twice in one report
        "x!" + accented + "!Caf\xE9 d'Or!2, 0!(c) 1999 O'Neil Soci\xE9t\xE9",
        "\xAC" "d\xAC" "DrvNone\xAC" "1\xAC" "Maker",           // no data source
        "\xAC" "d\xAC" "Drv200\xAC" "1\xAC" "Maker\xAC" + many_sources,
        "\xAC" "d\xAC" "DrvEnd\xAC" "1\xAC" "Maker\xAC" "(a;b;c)\xAC",  // "¬" at the end
    };
    std::string report;
    for (const std::string& line : lines) report += line + "\r\n";
    Drop("PC1_1.SILog", report);
    RunCycle();

    EXPECT_TRUE(pump_.LogLines().empty()) << pump_.LogLines().front();
    EXPECT_EQ(Set("SELECT SOFTPRODUCT_PRODUCT, SOFTPRODUCT_COPYRIGHT, SOFTPRODUCT_DESCRIPTION "
                  "FROM SoftProduct"),
              (std::set<std::string>{
                  long_name + "|Acme|d", "Dup Tool|Dup|d",
                  Cp1252ToUtf8("Cafe d Or|ONeil Soci\xE9t\xE9|" + accented),
                  "DrvNone|Maker|d", "Drv200|Maker|d", "DrvEnd|Maker|d"}));
    EXPECT_EQ(db_->Rows("SELECT COUNT(*) FROM PosteSoftware"), std::vector<std::string>{"6"});
    EXPECT_EQ(Set("SELECT ODBC_Desc FROM ODBC_Drv"), (std::set<std::string>{"Drv200", "DrvEnd"}));
    EXPECT_EQ(db_->Rows("SELECT COUNT(*) FROM ODBC_DSN"), std::vector<std::string>{"202"});
}

KOLBI_ON_BOTH_DATABASES(PipelineTest);

}  // namespace
}  // namespace kolbi
