#include "report/do_log.h"

#include <algorithm>

#include "common/file_helpers.h"
#include "common/pending_events.h"
#include "common/pump_settings.h"
#include "common/runtime_error.h"
#include "db/db_connect.h"
#include "log/procedure.h"
#include "reconcile/compare_prod_list.h"
#include "report/catalogue.h"
#include "report/report_file.h"
#include "report/report_line.h"
#include "report/set_transac.h"
#include "report/workstation.h"

namespace kolbi {
namespace {

// How a report ended for the pass.
enum class Next {
    kNextReport,  // go on with the next report
    kEndPass,     // stop the iterations; the pass ends normally
    kReturn,      // Do_Log returns at once, Timer1 left disabled
};

// A report's database work as one transaction: wholly applied or, when the
// program ends in the middle of it, not at all, and one commit instead of
// one per write. It begins after the activity row has been committed on its
// own, so other sessions see which workstation is being processed, and ends
// when the report's work is done, whichever way the report ends: committed
// as the writes would have been one by one, or rolled back when the program
// ends meanwhile (killed, the connection simply goes, with the same effect).
// A failure to begin leaves the report to commit write by write; a failure
// to commit is reported like any other.
class ReportTransaction {
public:
    explicit ReportTransaction(Procedure& Do_Log) {
        open_ = Do_Log.Run([] { DBConnection().BeginTransaction(); });
    }
    ~ReportTransaction() {
        if (open_) RunAbsorbed([] { DBConnection().RollbackTransaction(); });
    }
    ReportTransaction(const ReportTransaction&) = delete;
    ReportTransaction& operator=(const ReportTransaction&) = delete;

    // Also when the pass has been left: what was written stays written.
    void Commit() {
        if (!open_) return;
        open_ = false;
        Procedure commit("in procedure Do_Log of Feuille Form1", AfterReport::kContinue);
        commit.Run([] { DBConnection().CommitTransaction(); });
    }

private:
    bool open_ = false;
};

std::string WaitingCaption(int count) {
    return std::to_string(count) + " fichier(s) d\u00E9compress\u00E9(s) en attente...";
}

Next ProcessFirstReport(ReportWindow& form, Procedure& Do_Log, PassState& pass) {
    if (form.lfLog.ListCount() == 0) return Next::kEndPass;  // the files went away meanwhile
    const std::string file = form.lfLog.List(0);
    const std::string path = DecompressedFolder() + file;

    Do_Log.Run([&] { form.Label1 = WaitingCaption(form.lfLog.ListCount()); });
    Do_Log.Run([&] { form.Repaint(); });
    // A report without a workstation name (none before its "_", or no "_" at
    // all) belongs to nobody: it is disposed of and the pass ends, so it is
    // never filed under the previous report's workstation.
    const bool named = Do_Log.Run([&] { pass.workstation = WorkstationNameOf(file); });
    if (Do_Log.Left()) return Next::kReturn;
    if (!named || pass.workstation.empty()) {
        Do_Log.Run([&] { DeleteOrMoveToFailed(path); });
        return Next::kEndPass;
    }

    const bool new_workstation = pass.workstation != pass.last_workstation;
    if (new_workstation) Do_Log.Run([&] { SetTransac("", pass.workstation); });
    ReportTransaction transaction(Do_Log);
    if (new_workstation) {
        WorkstationStep(Do_Log, pass, form);
    } else {
        // The previous report of this workstation emptied lstDBProd: its stored
        // products are loaded again so that this report is reconciled with
        // them rather than linked a second time.
        Do_Log.Run([&] { ChargeDB_ProductPoste(form.lstDBProd, pass.PosteID.value()); });
    }
    Do_Log.Run([&] { SetTransac("", ""); });
    if (!pass.PosteID) {
        // The workstation step could not read the workstation's id and has
        // logged why: the report has no workstation to be filed under.
        transaction.Commit();
        Do_Log.Run([&] { DeleteOrMoveToFailed(path); });
        Do_Log.Run([&] { form.lfLog.Refresh(); });
        return Do_Log.Left() ? Next::kReturn : Next::kNextReport;
    }

    ReportRead read = ReportRead::kRead;
    const bool was_read = Do_Log.Run([&] { read = ReadReport(path, form.lstInFile); });
    if (read == ReportRead::kStillEncoded) {
        transaction.Commit();
        DeleteOrMoveToFailed(path);
        form.lstInFile.Clear();
        return Next::kReturn;
    }
    Do_Log.Run([&] { DeleteOrMoveToFailed(path); });
    if (!was_read && form.lstInFile.ListCount() == 0) {
        // Nothing could be read: reconciling an empty report would unlink
        // every product of the workstation.
        transaction.Commit();
        return Do_Log.Left() ? Next::kReturn : Next::kNextReport;
    }

    for (const std::string& text : form.lstInFile.Items()) {
        ReportLine line;
        Do_Log.Run([&] { line = TakeFields(text); });
        if (line.has_fields) {
            CatalogueProduct(Do_Log, line, *pass.PosteID, pass.ProductID, form.lstLogProd);
        }
        Do_Log.Run([&] { LetPendingEventsRun(); });
    }

    bool stored_none = true;
    Do_Log.Run([&] { stored_none = form.lstDBProd.ListCount() == 0; });
    if (stored_none) {
        Do_Log.Run([&] { SaveNewPoste(form, *pass.PosteID); });
    } else {
        Do_Log.Run([&] { CompareProdList(form, pass.workstation, *pass.PosteID); });
    }
    Do_Log.Run([&] { SetTransac("", ""); });
    transaction.Commit();

    Do_Log.Run([&] { LetPendingEventsRun(); });
    Do_Log.Run([&] { form.ClearAll(); });
    Do_Log.Run([&] { form.lstInFile.Clear(); });
    Do_Log.Run([&] { form.Repaint(); });
    Do_Log.Run([&] { form.lfLog.Refresh(); });
    Do_Log.Run([&] { LetPendingEventsRun(); });
    return Do_Log.Left() ? Next::kReturn : Next::kNextReport;
}

}  // namespace

void Do_Log(ReportWindow& form) {
    Procedure Do_Log("in procedure Do_Log of Feuille Form1", LeaveIfDateFormatSwitched);
    PassState pass;
    Do_Log.Run([&] { form.lfLog.Refresh(); });
    Do_Log.Run([&] {
        if (!DBConnected()) DBConnect();
    });
    Do_Log.Run([&] { form.SetTimer1Enabled(false); });
    // The count is a 16-bit number: a longer queue waits for the next pass.
    int iterations = 0;
    Do_Log.Run([&] { iterations = std::min(form.lfLog.ListCount(), 32767); });
    for (int i = 0; i < iterations && !Do_Log.Left(); ++i) {
        const Next next = ProcessFirstReport(form, Do_Log, pass);
        if (next == Next::kReturn) return;
        // The report's database work is done: a stop asked for meanwhile ends
        // the program here.
        form.EndIfUnloadPending();
        if (next == Next::kEndPass) break;
    }
    if (Do_Log.Left()) return;
    Do_Log.Run([&] { form.SetTimer1Enabled(true); });
}

}  // namespace kolbi
