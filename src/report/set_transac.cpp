#include "report/set_transac.h"

#include "common/pending_events.h"
#include "db/db_connect.h"
#include "db/db_error.h"
#include "db/recordset.h"
#include "log/procedure.h"

namespace kolbi {

namespace {

// Pumps that share a database share its one activity row: another may
// rewrite it between this one's read and write, which then finds the row no
// longer as it was read. Read afresh, it is written over: the row says what
// the pump that wrote it last is doing.
constexpr int kWritesTried = 10;

bool ChangedByAnotherPump(const RuntimeError& error, int attempt) {
    return error.number() == dberr::kRowNotFound && attempt + 1 < kWritesTried;
}

}  // namespace

void SetTransac(const std::string& user, const std::string& poste) {
    Procedure proc("in procedure SetTransac of Module ModSI", AfterReport::kContinue);
    proc.Run([&] {
        if (!DBConnected()) DBConnect();
    });
    for (int attempt = 0; attempt < kWritesTried; ++attempt) {
        Recordset transactions;
        bool read_again = false;
        proc.Run([&] { transactions.Open(SqlText("SELECT * from Transactions")); });
        proc.Run([&] {
            if (transactions.Eof()) transactions.AddNew();
        });
        proc.Run([&] { transactions.SetField("SIUser", Value::Utf8(user)); });
        proc.Run([&] { transactions.SetField("SIPoste", Value::Utf8(poste)); });
        proc.Run([&] {
            try {
                transactions.Update();
            } catch (const RuntimeError& error) {
                if (!ChangedByAnotherPump(error, attempt)) throw;
                read_again = true;
            }
        });
        proc.Run([&] { transactions.Close(); });
        if (!read_again) break;
    }
    proc.Run([&] { LetPendingEventsRun(); });
}

void InstallTransacAfterConnect() {
    // DBConnected is already True when the step runs, so SetTransac does not
    // connect again.
    SetAfterConnect([] { SetTransac("", ""); });
}

}  // namespace kolbi
