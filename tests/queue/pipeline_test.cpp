// The road of a report from the incoming folder to the database: the
// processing cycle, the report pass, the workstation record and the report's
// transaction, on both databases with real HE3 files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/cp1252.h"
#include "common/program_end.h"
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
using testing::kReport;
using testing::kThreeProducts;

class PipelineTest : public testing::QueueTest {
protected:
    // The next identity the table hands out is last + 1.
    void IdentityAfter(const std::string& table, const std::string& column, std::int64_t last) {
        if (GetParam() == Backend::kSqlite) {
            db_->Run("DELETE FROM sqlite_sequence WHERE name = '" + table + "'");
            db_->Run("INSERT INTO sqlite_sequence (name, seq) VALUES ('" + table + "', " +
                     std::to_string(last) + ")");
        } else {
            db_->Rows("SELECT setval(pg_get_serial_sequence('" + table + "', '" + column + "'), " +
                      std::to_string(last) + ")");
        }
    }
    // The rows of a query as UTF-8 texts; a row stored twice is a failure of its own.
    std::set<std::string> Set(const std::string& sql) {
        std::set<std::string> rows;
        for (const std::string& row : db_->Rows(sql)) {
            EXPECT_TRUE(rows.insert(Cp1252ToUtf8(row)).second) << "stored twice: " << row;
        }
        return rows;
    }
};

// What becomes of each compressed file: a complete report is decompressed,
// reaches the database and leaves the incoming folder, whatever its name (a
// workstation's name ends at the first "_" and is bound, never spliced). One
// that holds no complete HE3 stream waits while an agent may still be writing
// it, then goes to FAILED with a "file not found" line; a link goes there at
// once, never followed, as does one planted in the decompressed folder.
// Special files are never read.
TEST_P(PipelineTest, ACycleTakesEveryCompressedFileToItsEnd) {
    testing::TempFolder outside;
    outside.Write("target", "not to be touched");
    Drop("PC1_2026_12_04.SILog", kReport);
    Drop("Quote'd \"PC\" \\back_1.SILog", kReport);
    Drop("line\nbreak_1.SILog", kReport);
    // Cut inside its data bits, a report decodes in part: that part is no report.
    const std::string cut = clsHuffman().EncodeString(kThreeProducts);
    for (const char* age : {"fresh", "old"}) {
        incoming_->Write(std::string("junk_") + age + ".SILOG", "not an HE3 stream");
        incoming_->Write(std::string("empty_") + age + ".SILog", "");
        incoming_->Write(std::string("cut_") + age + ".SILog", cut.substr(0, cut.size() - 8));
    }
    for (const char* name : {"junk_old.SILOG", "empty_old.SILog", "cut_old.SILog"}) {
        std::filesystem::last_write_time(
            *incoming_ / name, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(11));
    }
    incoming_->Write("notes.txt", "left alone");
    ASSERT_EQ(::mkfifo((*incoming_ / "fifo_1.SILog").c_str(), 0600), 0);
    std::filesystem::create_symlink(outside / "target", *incoming_ / "link_1.SILog");
    std::filesystem::create_symlink(outside / "planted", *incoming_ / "incoming/PC9_1.SILog");
    Drop("PC9_1.SILog", kReport);
    RunCycle();

    EXPECT_THAT(Files(incoming_->path()), ElementsAre("cut_fresh.SILog", "empty_fresh.SILog",
                                                     "fifo_1.SILog", "junk_fresh.SILOG",
                                                     "notes.txt"));
    EXPECT_THAT(Files(pump_.app / "FAILED"),
                ElementsAre("PC9_1.SILog", "cut_old.SILog", "empty_old.SILog", "junk_old.SILOG",
                            "link_1.SILog"));
    EXPECT_TRUE(Files(*incoming_ / "incoming").empty());
    EXPECT_THAT(Links(), ElementsAre("line\nbreak|Editor Pro", "PC1|Editor Pro", "PC9|Editor Pro",
                                     "Quote'd \"PC\" \\back|Editor Pro"));
    EXPECT_EQ(outside.Read("target"), "not to be touched");
    EXPECT_FALSE(outside.Has("planted"));
    const auto not_found = AllOf(HasSubstr("Error No: 53"), HasSubstr("set aside in"),
                                 HasSubstr("in procedure Timer1_Timer of Feuille Form1"));
    const auto link = [](const std::string& name, const std::string& procedure) {
        return AllOf(HasSubstr(name + " is a symbolic link"), HasSubstr("set aside in"),
                     HasSubstr("in procedure " + procedure + " of Feuille Form1"));
    };
    EXPECT_THAT(pump_.LogLines(),
                ElementsAre(link("incoming/PC9_1.SILog", "Do_Log"), not_found, not_found,
                            not_found, link("link_1.SILog", "Timer1_Timer")));
    EXPECT_THAT(db_->Rows("SELECT SIUser, SIPoste FROM Transactions"), ElementsAre("|"));
    EXPECT_FALSE(DBConnected());
    EXPECT_TRUE(form_.Timer1.Enabled());
    EXPECT_TRUE(form_.timerService.Enabled());
}

// A file that cannot be deleted goes to FAILED, each under a name of its own.
// A report that can be neither deleted nor moved once it is in the database
// waits for the next pass, logged once, and the reports behind it go on.
TEST_P(PipelineTest, UndeletableFilesAreMovedAsideOrLeftForTheNextPass) {
    testing::FailingFileSystem fs;
    fs.fail_remove = true;
    Drop("PC1_1.SILog", kReport);
    RunCycle();
    EXPECT_THAT(Files(pump_.app / "FAILED"), ElementsAre("PC1_1.2.SILog", "PC1_1.SILog"));
    EXPECT_THAT(Links(), ElementsAre("PC1|Editor Pro"));

    fs.fail_remove = false;
    fs.undeletable[*incoming_ / "incoming/PC2_1.SILog"] = -1;
    fs.fail_rename = true;
    Waiting("PC2_1.SILog", kReport);
    Waiting("PC3_1.SILog", kReport);
    Do_Log(form_);
    EXPECT_THAT(Files(*incoming_ / "incoming"), ElementsAre("PC2_1.SILog"));
    EXPECT_THAT(Links(), ElementsAre("PC1|Editor Pro", "PC2|Editor Pro", "PC3|Editor Pro"));
    EXPECT_THAT(pump_.LogLines(), ElementsAre(AllOf(HasSubstr("PC2_1.SILog can be neither deleted"),
                                                    HasSubstr("it is in the database"))));
}

// NEW is created. NUL, known, is stamped and reconciled with what it had, an
// alert per change; OLD's placeholder date makes this its first inventory, with
// no alert. PC1's second report is reconciled with its first, not linked again.
TEST_P(PipelineTest, WorkstationsAreCreatedOrStampedAndTheirProductsReconciled) {
    db_->Run("INSERT INTO Postes (Poste_Nom, Poste_FirstSoftInventory, Poste_LastSoftInventory) "
             "VALUES ('OLD', '1900-01-01', '1900-01-01')");
    db_->Run("INSERT INTO Postes (Poste_Nom, Poste_LastSoftInventory) "
             "VALUES ('NUL', '2001-01-01')");
    db_->Run("INSERT INTO SoftProduct (SOFTPRODUCT_ID, SOFTPRODUCT_PRODUCT) VALUES (99, 'Gone')");
    db_->Run("INSERT INTO PosteSoftware SELECT PosteID, 99 FROM Postes");
    Waiting("NEW_1.SILog", kReport);
    Waiting("NUL_1.SILog", kReport);
    Waiting("OLD_1.SILog", kReport);
    Waiting("PC1_1.SILog", "x!d!Alpha!1!A Corp\r\nx!d!Beta!1!B Corp\r\n");
    Waiting("PC1_2.SILog", "x!d!Alpha!1!A Corp\r\nx!d!Gamma!1!C Corp\r\n");
    Do_Log(form_);

    EXPECT_THAT(db_->Rows("SELECT Poste_Nom, Poste_FirstSoftInventory, Poste_LastSoftInventory, "
                          "PosteHardID, Poste_Mac, Poste_LastHardInventory FROM Postes "
                          "WHERE Poste_Nom <> 'PC1' ORDER BY Poste_Nom"),
                ElementsAre("NEW|2026-12-04|2026-12-04|0||2026-12-04",
                            "NUL|NULL|2026-12-04|NULL|NULL|NULL",
                            "OLD|2026-12-04|2026-12-04|NULL|NULL|NULL"));
    EXPECT_THAT(Links(), ElementsAre("NEW|Editor Pro", "NUL|Editor Pro", "OLD|Editor Pro",
                                     "PC1|Alpha", "PC1|Gamma"));
    EXPECT_THAT(db_->Rows("SELECT Changement_Poste, Changement_Critique, Changement_Data "
                          "FROM Changement ORDER BY Changement_ID"),
                ElementsAre("NUL|2||967|Editor Pro", "NUL|3||968|Gone"));
    EXPECT_THAT(pump_.LogLines(), ElementsAre());
    EXPECT_TRUE(form_.Timer1.Enabled());
    EXPECT_EQ(form_.Label1, "1 fichier(s) d\u00E9compress\u00E9(s) en attente...");
}

// Identifiers above 16 bits are read and written as they are. B's id does
// not fit 32 bits (a site that widened its keys; PostgreSQL's are widened
// here), nor does the one D is created with: their reports are set aside and
// logged, B's second report tries again, and nothing of theirs is filed
// under A, the workstation before them, or under C, the one after.
TEST_P(PipelineTest, IdentifiersAre32BitAndOneThatCannotBeReadIsNeverAnother) {
    if (GetParam() == Backend::kPostgreSql) {
        db_->Run("ALTER TABLE Postes ALTER COLUMN PosteID TYPE bigint");
    }
    db_->Run("INSERT INTO Postes (PosteID, Poste_Nom, Poste_FirstSoftInventory) VALUES "
             "(7, 'A', '2001-01-01'), (5000000000, 'B', '2001-01-01'), "
             "(70000, 'C', '2001-01-01')");
    db_->Run("INSERT INTO SoftProduct (SOFTPRODUCT_ID, SOFTPRODUCT_PRODUCT) "
             "VALUES (40000, 'Gone')");
    db_->Run("INSERT INTO PosteSoftware VALUES (7, 40000), (70000, 40000)");
    IdentityAfter("Postes", "posteid", 5000000000);
    IdentityAfter("SoftProduct", "softproduct_id", 40000);
    IdentityAfter("ODBC_Drv", "odbc_id", 50000);
    const std::string odbc = "\xAC" "d\xAC" "Drv\xAC" "1\xAC" "Maker\xAC" "(ds;db;srv)\r\n";
    Waiting("A_1.SILog", kReport);
    Waiting("B_1.SILog", "A!Mailer!Mailer!7!(c) Gamma\r\n" + odbc);
    Waiting("B_2.SILog", "A!Mailer!Mailer!7!(c) Gamma\r\n");
    Waiting("C_1.SILog", "A!Viewer!Viewer Plus!2.1!Copyright 2003 Beta Inc.\r\n" + odbc);
    Waiting("D_1.SILog", kReport);
    Do_Log(form_);

    EXPECT_THAT(db_->Rows("SELECT * FROM PosteSoftware ORDER BY 1, 2"),
                ElementsAre("7|40001", "70000|40002", "70000|40003"));
    EXPECT_THAT(db_->Rows("SELECT SOFTPRODUCT_ID, SOFTPRODUCT_PRODUCT FROM SoftProduct ORDER BY 1"),
                ElementsAre("40000|Gone", "40001|Editor Pro", "40002|Viewer Plus", "40003|Drv"));
    EXPECT_THAT(db_->Rows("SELECT Changement_Poste, Changement_Data FROM Changement "
                          "ORDER BY Changement_ID"),
                ElementsAre("A||967|Editor Pro", "A||968|Gone", "C||967|Viewer Plus",
                            "C||967|Drv", "C||968|Gone"));
    EXPECT_THAT(db_->Rows("SELECT ODBC_ID, ODBC_PRODUCTID, DSN_POSTEID, DSN_Name FROM ODBC_Drv "
                          "LEFT JOIN ODBC_DSN ON DSN_ODBC_ID = ODBC_ID"),
                ElementsAre("50001|40003|70000|ds"));
    const auto unreadable = AllOf(HasSubstr("Error No: 6"), HasSubstr("PosteID"),
                                  HasSubstr("in procedure Do_Log of Feuille Form1"));
    const auto set_aside = AllOf(HasSubstr("was not applied"), HasSubstr("set aside in"));
    EXPECT_THAT(pump_.LogLines(), ElementsAre(unreadable, set_aside, unreadable, set_aside,
                                              unreadable, set_aside));
    EXPECT_THAT(Files(pump_.app / "FAILED"), ElementsAre("B_1.SILog", "B_2.SILog", "D_1.SILog"));
    EXPECT_THAT(db_->Rows("SELECT Poste_Nom FROM Postes WHERE PosteID > 5000000000"),
                ElementsAre("D"));
    EXPECT_THAT(db_->Rows("SELECT SIUser, SIPoste FROM Transactions"), ElementsAre("|"));
    EXPECT_TRUE(Files(*incoming_ / "incoming").empty());
    EXPECT_TRUE(form_.Timer1.Enabled());
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
    EXPECT_THAT(Links(), ElementsAre("PC1|Editor Pro"));
    EXPECT_THAT(Files(*incoming_ / "incoming"), ElementsAre("PC2_1.SILog"));
}

// A pass reads its folder once, and again only when that listing has run
// out: a report listed but gone meanwhile (taken by someone else) is skipped
// without a word, and those that land meanwhile are taken then, in name
// order. The same holds for the compressed files of a cycle.
TEST_P(PipelineTest, ReportsThatGoOrLandDuringAPassAreSkippedOrTakenInTheirTurn) {
    struct Case {
        bool compressed;
        std::vector<std::string> listed;  // workstations; the first one's report done,
        std::string gone;                 // this one's goes
        std::vector<std::string> landed;  // and these land
    };
    const Case cases[] = {
        {false, {"B", "D", "F"}, "D", {"E", "a", "c"}},
        {true, {"G", "H", "J"}, "H", {"K", "i"}},
    };
    for (const Case& c : cases) {
        const auto file = [&](const std::string& workstation) {
            return (c.compressed ? "" : "incoming/") + workstation + "_1.SILog";
        };
        const auto put = [&](const std::string& workstation) {
            incoming_->Write(file(workstation),
                             c.compressed ? clsHuffman().EncodeString(kReport) : kReport);
        };
        for (const std::string& workstation : c.listed) put(workstation);
        // A report is done once its file has gone; the compressed files of
        // a cycle go together once their reports are published, so there the
        // change comes once the first one is decoded: at the second pause,
        // the first being before the decoding.
        bool happened = false;
        int pauses = 0;
        SetPendingEventsHandler([&] {
            const bool first_done =
                c.compressed ? ++pauses == 2 : !incoming_->Has(file(c.listed.front()));
            if (happened || !first_done) return;
            happened = true;
            std::filesystem::remove(*incoming_ / file(c.gone));
            for (const std::string& workstation : c.landed) put(workstation);
        });
        c.compressed ? RunCycle() : Do_Log(form_);
        SetPendingEventsHandler(nullptr);
        EXPECT_TRUE(happened);
    }
    EXPECT_THAT(db_->Rows("SELECT Poste_Nom FROM Postes ORDER BY PosteID"),
                ElementsAre("B", "F", "a", "c", "E", "G", "i", "J", "K"));
    EXPECT_THAT(pump_.LogLines(), ElementsAre());
    EXPECT_THAT(Files(incoming_->path()), ElementsAre());
    EXPECT_THAT(Files(*incoming_ / "incoming"), ElementsAre());
}

// Reports without a workstation name, and one that is still HE3, are set
// aside in FAILED with a line saying why, and end the pass; the still-HE3
// one leaves Timer1 off. Nothing of them reaches the database.
TEST_P(PipelineTest, ReportsThatEndThePass) {
    struct Case {
        std::string file, content, why;
        bool timer1_after;
    };
    const Case cases[] = {
        {"_x.SILog", kReport, "names no workstation", true},
        {"PC042.SILog", kReport, "has no \"_\"", true},
        {"A_1.SILog", "HE3\r\nbinary", "is still an HE3 stream", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Waiting(c.file, c.content);
        Waiting("Z_later.SILog", kReport);
        form_.Timer1.Disable();
        Do_Log(form_);
        EXPECT_THAT(Files(*incoming_ / "incoming"), ElementsAre("Z_later.SILog"));
        EXPECT_EQ(pump_.app.Read("FAILED/" + c.file), c.content);
        EXPECT_THAT(pump_.LogLines(), ElementsAre(HasSubstr(c.why)));
        EXPECT_EQ(form_.Timer1.Enabled(), c.timer1_after);
        std::filesystem::remove(*incoming_ / "incoming/Z_later.SILog");
        std::filesystem::remove(TodaysLogPath());
    }
    EXPECT_THAT(Links(), ElementsAre());
}

// Awkward product and ODBC lines: each is catalogued or left out as its
// fields say, and what is stored reads back exactly as reported. A product
// already catalogued only has its empty columns filled; a driver gets the
// product of its own line or none, never that of the line before.
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
        "x! d ! Spaced Tool ! 1 ! Spaced Corp ",            // spaces around the fields
        "x!d!Dup Tool!!Dup Corp", "x!d!Dup Tool!2!Dup Corp", "x!d!Dup Tool!3!Dup Corp",
        "x!" + accented + "!Caf\xE9 d'Or!2, 0!(c) 1999 O'Neil Soci\xE9t\xE9",
        "\xAC" "d\xAC" "DrvNone\xAC" "1\xAC" "Maker",           // no data source
        "\xAC" "d\xAC" "Drv200\xAC" "1\xAC" "Maker\xAC" + many_sources,
        "\xAC" "d\xAC" "DrvAnon\xAC" "1\xAC" "Copyright 2005\xAC" "(x;y;z)",  // no vendor
        "\xAC" "d\xAC" "DrvEnd\xAC" "1\xAC" "O'Maker\xAC" " (a'1;b;c) \xAC",  // "¬" at the end
        "\xAC" "d\xAC" "DrvLong\xAC" "1\xAC" "Maker\xAC" + std::string(32767, 'x'),  // too long
    };
    std::string report;
    for (const std::string& line : lines) report += line + "\r\n";
    Drop("PC1_1.SILog", report);
    RunCycle();

    EXPECT_THAT(pump_.LogLines(), ElementsAre());
    EXPECT_EQ(Set("SELECT SOFTPRODUCT_PRODUCT, SOFTPRODUCT_COPYRIGHT, SOFTPRODUCT_DESCRIPTION, "
                  "SOFTPRODUCT_VERSION FROM SoftProduct"),
              (std::set<std::string>{
                  long_name + "|Acme|d|1", "Spaced Tool|Spaced|d|1", "Dup Tool|Dup|d|2",
                  Cp1252ToUtf8("Cafe d Or|ONeil Soci\xE9t\xE9|" + accented + "|2.0"),
                  "DrvNone|Maker|d|1", "Drv200|Maker|d|1", "DrvEnd|OMaker|d|1",
                  "DrvLong|Maker|d|1"}));
    EXPECT_THAT(db_->Rows("SELECT COUNT(*) FROM PosteSoftware"), ElementsAre("8"));
    EXPECT_EQ(Set("SELECT d.ODBC_Desc, s.SOFTPRODUCT_PRODUCT FROM ODBC_Drv d "
                  "LEFT JOIN SoftProduct s ON s.SOFTPRODUCT_ID = d.ODBC_PRODUCTID"),
              (std::set<std::string>{"Drv200|Drv200", "DrvAnon|NULL", "DrvEnd|DrvEnd"}));
    EXPECT_THAT(db_->Rows("SELECT COUNT(*) FROM ODBC_DSN"), ElementsAre("203"));
    EXPECT_EQ(Set("SELECT DSN_Name, DSN_DBName, DSN_ServName FROM ODBC_DSN "
                  "WHERE DSN_DBName <> 'db'"),
              (std::set<std::string>{"x|y|z", "a'1|b|c", "||"}));
}

// A pass asks the catalogue once per product, yet fills an empty column
// whenever a later line, of the same report or another, brings a text for
// it: Old's description and version stay empty through PC1's empty fields,
// are filled by PC2, and PC3's other texts change nothing.
TEST_P(PipelineTest, APassLooksEachProductUpOnceAndStillFillsEmptyColumns) {
    db_->Run("INSERT INTO SoftProduct (SOFTPRODUCT_PRODUCT, SOFTPRODUCT_DESCRIPTION, "
             "SOFTPRODUCT_VERSION, SOFTPRODUCT_COPYRIGHT) VALUES ('Old', '', '', 'Acme')");
    Waiting("PC1_1.SILog", "x!!Old!!Acme\r\nx!d1!New!!B Corp\r\n");
    Waiting("PC2_1.SILog", "x!dOld!Old!2!Acme\r\nx!d2!New!3!B Corp\r\nx!!New!!B Corp\r\n");
    Waiting("PC3_1.SILog", "x!dX!Old!9!Acme\r\nx!dY!New!8!B Corp\r\n");
    int look_ups = 0;
    ObserveStatements([&](std::string_view sent) {
        if (sent.find("From SoftProduct WHERE SOFTPRODUCT_PRODUCT") != std::string_view::npos) {
            ++look_ups;
        }
    });
    Do_Log(form_);
    ObserveStatements(nullptr);

    EXPECT_EQ(look_ups, 5);  // PC1: Old, New and its re-read; PC2: Old and New; PC3: none
    EXPECT_THAT(db_->Rows("SELECT SOFTPRODUCT_PRODUCT, SOFTPRODUCT_DESCRIPTION, "
                          "SOFTPRODUCT_VERSION FROM SoftProduct ORDER BY 1"),
                ElementsAre("New|d1|3", "Old|dOld|2"));
    EXPECT_THAT(Links(), ElementsAre("PC1|New", "PC1|Old", "PC2|New", "PC2|Old", "PC3|New",
                                     "PC3|Old"));
    EXPECT_THAT(pump_.LogLines(), ElementsAre());
}

// The database refuses one link in the middle of the report: that failure is
// logged once per report, and the links before and after it, the workstation
// and the catalogue are all committed. (PostgreSQL would refuse every later
// statement of the transaction if the driver did not roll back to a savepoint.)
TEST_P(PipelineTest, AStatementThatFailsInAReportCostsItselfAlone) {
    if (GetParam() == Backend::kSqlite) {
        db_->Run("CREATE TRIGGER refuse_link BEFORE INSERT ON PosteSoftware "
                 "WHEN NEW.PosteSoft_ProductID = 2 BEGIN SELECT RAISE(ABORT, 'refused'); END");
    } else {
        db_->Run("CREATE FUNCTION refuse_link() RETURNS trigger AS $$ BEGIN "
                 "IF NEW.PosteSoft_ProductID = 2 THEN "
                 "RAISE EXCEPTION 'refused' USING ERRCODE = 'check_violation'; END IF; "
                 "RETURN NEW; END $$ LANGUAGE plpgsql");
        db_->Run("CREATE TRIGGER refuse_link BEFORE INSERT ON PosteSoftware "
                 "FOR EACH ROW EXECUTE FUNCTION refuse_link()");
    }
    Waiting("PC1_1.SILog", kThreeProducts);
    Waiting("PC2_1.SILog", kThreeProducts);
    Do_Log(form_);

    const auto refused = HasSubstr("in procedure SaveNewPoste of Module ModSI");
    EXPECT_THAT(pump_.LogLines(), ElementsAre(refused, refused));  // one per report
    EXPECT_THAT(Links(),
                ElementsAre("PC1|Editor Pro", "PC1|Mailer", "PC2|Editor Pro", "PC2|Mailer"));
    EXPECT_THAT(db_->Rows("SELECT COUNT(*) FROM SoftProduct"), ElementsAre("3"));
    EXPECT_FALSE(DBConnection().InTransaction());
    EXPECT_TRUE(form_.Timer1.Enabled());
}

KOLBI_ON_BOTH_DATABASES(PipelineTest);

}  // namespace
}  // namespace kolbi
