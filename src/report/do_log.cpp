#include "report/do_log.h"

#include <cerrno>
#include <optional>
#include <set>

#include "common/file_helpers.h"
#include "common/file_system.h"
#include "common/folder_lock.h"
#include "common/folder_pass.h"
#include "common/pending_events.h"
#include "common/pump_metrics.h"
#include "common/pump_settings.h"
#include "common/runtime_error.h"
#include "db/db_connect.h"
#include "log/procedure.h"
#include "reconcile/compare_prod_list.h"
#include "report/catalogue.h"
#include "report/name_locks.h"
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
// A failure to begin or to commit is reported like any other, and the report
// is then not applied (or not for good): its file stays for a later pass.
class ReportTransaction {
public:
    explicit ReportTransaction(Procedure& Do_Log) {
        open_ = Do_Log.Run([] { DBConnection().BeginTransaction(); });
    }
    bool Open() const { return open_; }
    ~ReportTransaction() {
        if (open_) RunAbsorbed([] { DBConnection().RollbackTransaction(); });
    }
    ReportTransaction(const ReportTransaction&) = delete;
    ReportTransaction& operator=(const ReportTransaction&) = delete;

    // Also when the pass has been left: what was written stays written. True
    // when the report's writes are in the database for good.
    bool Commit() {
        if (!open_) return false;
        open_ = false;
        Procedure commit("in procedure Do_Log of Feuille Form1", AfterReport::kContinue);
        return commit.Run([] { DBConnection().CommitTransaction(); });
    }

private:
    bool open_ = false;
};

// Reports that stay on disk for a later pass (one could not be read, its
// work could not be committed, or it could be neither deleted nor set
// aside). The pass takes each name once, so it goes on with the next report
// instead of reading the same file again.
using LeftForLater = std::set<std::string>;

// The report in hand and those behind it.
std::string WaitingCaption(int count) {
    return std::to_string(count) + " fichier(s) d\u00E9compress\u00E9(s) en attente...";
}

// Sets a report that is no report of a workstation aside, reporting why;
// one that stays where it is waits for a later pass.
void SetAsideReport(Procedure& Do_Log, const std::string& file, const RuntimeError& why,
                    LeftForLater& left) {
    bool moved = false;
    Do_Log.Run([&] { throw SetAside(DecompressedFolder() + file, why, moved); });
    if (!moved) left.insert(file);
}

// How a report's database work ended.
enum class Applied {
    kCommitted,        // in the database for good: the file may go
    kNotCommitted,     // the commit failed: the file stays for a later pass
    kNoWorkstationId,  // only the workstation step ran: the file is set aside
};

// Whether the report's transaction is still worth working in: once the
// server has rolled it back (another pump's deadlock victim), every statement
// would fail unsent, one logged line each.
bool TransactionStands() { return !DBConnection().TransactionRolledBack(); }

// The report's database work, inside its transaction.
Applied ApplyInTransaction(ReportWindow& form, Procedure& Do_Log, PassState& pass,
                           bool new_workstation) {
    ReportTransaction transaction(Do_Log);
    if (!transaction.Open()) return Applied::kNotCommitted;
    Do_Log.Run([&] { LockNamesToCreate(form.lstInFile, pass, new_workstation); });
    if (new_workstation) {
        WorkstationStep(Do_Log, pass, form);
    } else {
        // The previous report of this workstation emptied lstDBProd: its stored
        // products are loaded again so that this report is reconciled with
        // them rather than linked a second time.
        Do_Log.Run([&] { ChargeDB_ProductPoste(form.lstDBProd, pass.PosteID.value()); });
    }
    if (!pass.PosteID) {
        // The workstation step could not read the workstation's id and has
        // logged why: the report has no workstation to be filed under.
        return transaction.Commit() ? Applied::kNoWorkstationId : Applied::kNotCommitted;
    }

    for (const std::string& text : form.lstInFile.Items()) {
        if (!TransactionStands()) break;
        ReportLine line;
        Do_Log.Run([&] { line = TakeFields(text); });
        if (line.has_fields) {
            CatalogueProduct(Do_Log, line, *pass.PosteID, pass.ProductID, form.lstLogProd,
                             pass.known);
        }
        Do_Log.Run([&] { LetPendingEventsRun(); });
    }

    bool stored_none = true;
    Do_Log.Run([&] { stored_none = form.lstDBProd.ListCount() == 0; });
    if (!TransactionStands()) {
        // Its commit fails and says why; the report is read again later.
    } else if (stored_none) {
        Do_Log.Run([&] { SaveNewPoste(form, *pass.PosteID); });
    } else {
        Do_Log.Run([&] { CompareProdList(form, pass.workstation, *pass.PosteID); });
    }
    return transaction.Commit() ? Applied::kCommitted : Applied::kNotCommitted;
}

// The report's database work, as one transaction. The activity row is
// written outside it: inside, its lock would be held until the commit, and
// every other pump writing the database would wait for it report by report.
// Within the transaction its changes were seen by nobody anyway.
Applied ApplyReport(ReportWindow& form, Procedure& Do_Log, PassState& pass) {
    const bool new_workstation = pass.workstation != pass.last_workstation;
    if (new_workstation) Do_Log.Run([&] { SetTransac("", pass.workstation); });
    const Applied applied = ApplyInTransaction(form, Do_Log, pass, new_workstation);
    Do_Log.Run([&] { SetTransac("", ""); });
    return applied;
}

// One report, from reading its file to disposing of it. The file is read
// whole before any database work, and disposed of only once that work is
// committed: a crash, a lost connection or a refused commit at any moment
// leaves the report on disk, to be read again, which is harmless.
Next ProcessReport(ReportWindow& form, Procedure& Do_Log, PassState& pass, const std::string& file,
                   LeftForLater& left) {
    const std::string path = DecompressedFolder() + file;
    // Listed at the start of the pass, it may have gone since (an operator,
    // a pump that held the folder before this one): nothing to take then.
    if (!Fs().Identity(path)) return Next::kNextReport;
    Do_Log.Run([&] { form.Label1 = WaitingCaption(form.lfLog.ListCount() + 1); });
    Do_Log.Run([&] { form.Repaint(); });
    // A report without a workstation name (none before its "_", or no "_" at
    // all) belongs to nobody: it is set aside and the pass ends, so it is
    // never filed under the previous report's workstation.
    const bool named = Do_Log.Run([&] { pass.workstation = WorkstationNameOf(file); });
    if (Do_Log.Left()) return Next::kReturn;
    if (!named || pass.workstation.empty()) {
        // The failure to take the name, if any, is the line that says why.
        if (!named) {
            if (const std::optional<std::string> refused = MoveToFailed(path)) {
                Do_Log.Run([&] {
                    throw RuntimeError(
                        errnum::kPathFileAccessError,
                        "Path/File access error: " + path + " is left where it is, " + *refused);
                });
                left.insert(file);
            }
        } else {
            SetAsideReport(
                Do_Log, file,
                RuntimeError(errnum::kBadFileName, "Bad file name or number: the report " + file +
                                                       " names no workstation"),
                left);
        }
        // One that stays where it is must not end every pass before the rest.
        if (Do_Log.Left()) return Next::kReturn;
        return left.count(file) ? Next::kNextReport : Next::kEndPass;
    }
    if (Fs().IsLink(path)) {
        SetAsideReport(Do_Log, file, FileError(ELOOP, path), left);
        return Do_Log.Left() ? Next::kReturn : Next::kNextReport;
    }

    ReportRead read = ReportRead::kRead;
    const bool was_read = Do_Log.Run([&] { read = ReadReport(path, form.lstInFile); });
    if (read == ReportRead::kStillEncoded) {
        SetAsideReport(
            Do_Log, file,
            RuntimeError(errnum::kComponentBase, "The report " + file + " is still an HE3 stream"),
            left);
        form.lstInFile.Clear();
        return Next::kReturn;
    }
    if (was_read && form.lstInFile.ListCount() == 0) {
        // An empty report is a torn one (a decompression cut short by a crash
        // of an earlier pump): reconciling it would unlink every product of
        // the workstation.
        SetAsideReport(Do_Log, file,
                       RuntimeError(errnum::kInputPastEndOfFile,
                                    "Input past end of file: the report " + file + " is empty"),
                       left);
        return Do_Log.Left() ? Next::kReturn : Next::kNextReport;
    }
    if (!was_read && form.lstInFile.ListCount() == 0) {
        // Nothing could be read (the failure says why): reconciling an empty
        // report would unlink every product of the workstation. The file
        // stays for a later pass, which may read it.
        left.insert(file);
        return Do_Log.Left() ? Next::kReturn : Next::kNextReport;
    }

    switch (ApplyReport(form, Do_Log, pass)) {
        case Applied::kCommitted: {
            Metrics().CountReport();
            const bool disposed = Do_Log.Run(
                [&] { DisposeOf(path, "it is in the database, and waits for the next pass"); });
            if (!disposed) left.insert(file);
            break;
        }
        case Applied::kNotCommitted:
            // What was read of the workstation and the catalogue went with the transaction.
            left.insert(file);
            pass.last_workstation.clear();
            pass.PosteID.reset();
            pass.known.Clear();
            break;
        case Applied::kNoWorkstationId:
            SetAsideReport(Do_Log, file,
                           RuntimeError(errnum::kInvalidProcedureCall,
                                        "Invalid procedure call or argument: the report " + file +
                                            " was not applied, as the id of its workstation " +
                                            pass.workstation + " could not be read"),
                           left);
            break;
    }

    Do_Log.Run([&] { LetPendingEventsRun(); });
    Do_Log.Run([&] { form.ClearAll(); });
    Do_Log.Run([&] { form.lstInFile.Clear(); });
    Do_Log.Run([&] { form.Repaint(); });
    Do_Log.Run([&] { LetPendingEventsRun(); });
    return Do_Log.Left() ? Next::kReturn : Next::kNextReport;
}

}  // namespace

void Do_Log(ReportWindow& form) {
    // A pump standing by for another one's folder, or a decompressed folder
    // that is a link, leaves the reports alone; the cycle says why.
    if (!HoldIncomingFolder() || Fs().IsLink(DecompressedFolder())) return;
    Procedure Do_Log("in procedure Do_Log of Feuille Form1", LeaveIfDateFormatSwitched);
    PassState pass;
    Do_Log.Run([&] { form.lfLog.Refresh(); });
    Do_Log.Run([&] {
        if (!DBConnected()) DBConnect();
    });
    Do_Log.Run([&] { form.SetTimer1Enabled(false); });
    // The count is a 16-bit number: a longer queue waits for the next pass.
    constexpr int kMostReportsPerPass = 32767;
    FolderPass waiting(form.lfLog);
    LeftForLater left;
    for (int i = 0; i < kMostReportsPerPass && !Do_Log.Left(); ++i) {
        std::optional<std::string> file;
        Do_Log.Run([&] { file = waiting.Next(); });
        if (!file) break;  // every report was taken, or waits for a later pass
        const Next next = ProcessReport(form, Do_Log, pass, *file, left);
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
