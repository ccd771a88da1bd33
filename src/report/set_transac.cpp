#include "report/set_transac.h"

#include "common/pending_events.h"
#include "db/db_connect.h"
#include "db/recordset.h"
#include "log/procedure.h"

namespace kolbi {

void SetTransac(const std::string& user, const std::string& poste) {
    Procedure proc("in procedure SetTransac of Module ModSI", AfterReport::kContinue);
    Recordset transactions;
    proc.Run([&] {
        if (!DBConnected()) DBConnect();
    });
    proc.Run([&] { transactions.Open(SqlText("SELECT * from Transactions")); });
    proc.Run([&] {
        if (transactions.Eof()) transactions.AddNew();
    });
    proc.Run([&] { transactions.SetField("SIUser", Value::Utf8(user)); });
    proc.Run([&] { transactions.SetField("SIPoste", Value::Utf8(poste)); });
    proc.Run([&] { transactions.Update(); });
    proc.Run([&] { transactions.Close(); });
    proc.Run([&] { LetPendingEventsRun(); });
}

void InstallTransacAfterConnect() {
    // DBConnected is already True when the step runs, so SetTransac does not
    // connect again.
    SetAfterConnect([] { SetTransac("", ""); });
}

}  // namespace kolbi
