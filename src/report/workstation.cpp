#include "report/workstation.h"

#include "common/clock.h"
#include "common/pending_events.h"
#include "db/add_row.h"
#include "db/db_connect.h"
#include "db/recordset.h"

namespace kolbi {
namespace {

// Dates go to the database as typed dates: the calendar date is then the same
// on every database, whatever its own date order.
Value Today() {
    const LocalDateTime now = CurrentClock().LocalNow();
    return Value::Date({now.year, now.month, now.day});
}

// A first-inventory date in the years 1900 to 1909 is the placeholder of a
// workstation created elsewhere that has not had its first inventory yet. A
// Null is a proper date for this test.
bool IsPlaceholderDate(const Field& field) {
    return !field.IsNull() && field.AsText().find("190") != std::string::npos;
}

}  // namespace

void WorkstationStep(Procedure& Do_Log, PassState& pass, ProductLists& lists) {
    // The previous report's id must not outlive a read of this one that fails.
    pass.PosteID.reset();
    pass.last_workstation.clear();
    Recordset postes;
    Do_Log.Run([&] {
        postes.Open(SqlText("SELECT * From Postes ")
                        .Add("WHERE Poste_Nom = ")
                        .QuotedUtf8(pass.workstation));
    });
    Do_Log.Run([&] { LetPendingEventsRun(); });
    bool known = false;
    Do_Log.Run([&] { known = !postes.Eof(); });
    if (known) {
        Do_Log.Run([&] { pass.PosteID = postes.Fields("PosteID").AsInt32(); });
        bool placeholder = false;
        Do_Log.Run(
            [&] { placeholder = IsPlaceholderDate(postes.Fields("Poste_FirstSoftInventory")); });
        if (placeholder) {
            Do_Log.Run([&] { SetIsFirstInventory(true); });
            Do_Log.Run([&] { postes.SetField("Poste_FirstSoftInventory", Today()); });
            Do_Log.Run([&] { postes.SetField("Poste_LastSoftInventory", Today()); });
        } else {
            Do_Log.Run([&] { postes.SetField("Poste_LastSoftInventory", Today()); });
            Do_Log.Run([&] { SetIsFirstInventory(false); });
        }
        Do_Log.Run([&] { postes.Update(); });
    } else {
        const Value text_default = Value::Utf8("");
        const Value zero = Value::Integer(0);
        const FieldWrite new_row[] = {
            {"Poste_Nom", Value::Utf8(pass.workstation)},
            {"Poste_Domain", text_default},
            {"Poste_FirstSoftInventory", Today()},
            {"Poste_LastSoftInventory", Today()},
            {"PosteHardID", zero},
            {"PosteSoftID", zero},
            {"Poste_OpsID", zero},
            {"Poste_SerialNumber", text_default},
            {"Poste_BiosSerialNum", text_default},
            {"Poste_Mac", text_default},
            {"Poste_LastSoftUsageReport", Today()},
            {"Poste_FirstHardInventory", Today()},
            {"Poste_LastHardInventory", Today()},
            {"Poste_LastUser", text_default},
        };
        AddRowAndReread(postes, new_row, [&](auto&& step) { Do_Log.Run(step); });
        Do_Log.Run([&] { pass.PosteID = postes.Fields("PosteID").AsInt32(); });
        Do_Log.Run([&] { lists.lstDBProd.Clear(); });
        Do_Log.Run([&] { SetIsFirstInventory(true); });
    }
    Do_Log.Run([&] { postes.Close(); });
    if (!pass.PosteID) return;
    Do_Log.Run([&] { pass.last_workstation = pass.workstation; });
    Do_Log.Run([&] { ChargeDB_ProductPoste(lists.lstDBProd, *pass.PosteID); });
}

void SaveNewPoste(ProductLists& lists, std::int32_t PosteID) {
    Procedure proc("in procedure SaveNewPoste of Module ModSI", AfterReport::kContinue);
    Recordset links;
    proc.Run([&] {
        if (!DBConnected()) DBConnect();
    });
    proc.Run([&] { lists.lstDBProd.Clear(); });
    proc.Run([&] {
        links.Open(SqlText("SELECT * From PosteSoftware ")
                       .Add("WHERE PosteSoft_PosteID = ")
                       .QuotedNumber(PosteID));
    });
    proc.Run([&] { LetPendingEventsRun(); });
    // The links go to the database together; a refused one is then tried
    // on its own, and fails as it would have alone.
    links.HoldNewRows();
    for (const std::string& product : lists.lstLogProd.Items()) {
        proc.Run([&] { lists.lstDBProd.AddItem(product); });
        const FieldWrite link[] = {
            {"PosteSoft_PosteID", Value::Integer(PosteID)},
            {"PosteSoft_ProductID", Value::Text(product)},
        };
        AddRow(links, link, [&](auto&& step) { proc.Run(step); });
        proc.Run([&] { LetPendingEventsRun(); });
    }
    links.SaveHeldRows([&](auto&& step) { proc.Run(step); });
    proc.Run([&] { links.Close(); });
    proc.Run([&] { LetPendingEventsRun(); });
}

}  // namespace kolbi
