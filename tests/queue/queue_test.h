#pragma once

// The pump's queue on a real database: an incoming folder of the test's own,
// the main window's listings pointed at it, and ways to drop reports, run a
// cycle and see what became of them.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "codec/cls_huffman.h"
#include "common/pending_events.h"
#include "common/pump_settings.h"
#include "db/db_test.h"
#include "log/procedure.h"
#include "queue/processing_cycle.h"
#include "support/temp_folder.h"
#include "ui/form1.h"

namespace kolbi::testing {

inline constexpr char kReport[] = "A!Editor Pro 2000!Editor Pro!4, 0, 1!(c) 1999 Acme Corp.\r\n";
// Three products, catalogued in this order: identifiers 1, 2 and 3.
inline constexpr char kThreeProducts[] =
    "A!Editor!Editor Pro!4, 0!(c) 1999 Acme Corp.\r\n"
    "A!Viewer!Viewer Plus!2.1!Copyright 2003 Beta Inc.\r\n"
    "A!Mailer!Mailer!7!(c) Gamma\r\n";
// A workstation that has a product of its own besides those.
inline constexpr char kLaterReport[] =
    "A!Tool!New Tool!1!(c) Delta\r\n"
    "A!Editor!Editor Pro!4, 0!(c) 1999 Acme Corp.\r\n";

class QueueTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (HasFatalFailure() || IsSkipped()) return;
        NewIncomingFolder();
    }
    // A new, empty incoming folder with its decompressed subfolder, in use
    // from now on.
    void NewIncomingFolder() {
        incoming_ = std::make_unique<TempFolder>();
        Settings().incomingFilesPath = incoming_->path();
        Settings().IncomingFolder = incoming_->path();
        std::filesystem::create_directory(*incoming_ / "incoming");
        form_.lfLogCode.SetPath(incoming_->path());
        form_.lfLog.SetPath(*incoming_ / "incoming");
    }

    // An agent's compressed report.
    void Drop(const std::string& name, const std::string& report) {
        incoming_->Write(name, clsHuffman().EncodeString(report));
    }
    // A report already decompressed, waiting for the pass.
    void Waiting(const std::string& name, const std::string& report) {
        incoming_->Write("incoming/" + name, report);
    }
    void RunCycle() {
        Procedure tick("in procedure Timer1_Timer of Feuille Form1", AfterReport::kContinue);
        ProcessingCycle(form_, tick);
    }

    // The names in a folder, sorted; hidden files are the pump's own (its
    // lock, its temporary files), never reports.
    static std::vector<std::string> Files(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (!entry.is_directory() && name.front() != '.') names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // What another session sees of each workstation: the products it links.
    std::vector<std::string> Links() {
        return db_->Rows(
            "SELECT p.Poste_Nom, s.SOFTPRODUCT_PRODUCT FROM Postes p "
            "LEFT JOIN PosteSoftware l ON l.PosteSoft_PosteID = p.PosteID "
            "LEFT JOIN SoftProduct s ON s.SOFTPRODUCT_ID = l.PosteSoft_ProductID ORDER BY 1, 2");
    }

    std::unique_ptr<TempFolder> incoming_;
    Form1 form_;
};

}  // namespace kolbi::testing
