#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "log/procedure.h"
#include "reconcile/product_lists.h"
#include "report/product_cache.h"

namespace kolbi {

// What the report pass keeps from one report to the next.
struct PassState {
    std::string workstation;  // from the current report's file name (UTF-8)
    // The workstation whose PosteID is held: empty while none is.
    std::string last_workstation;
    // None when the workstation step could not read it (Null, beyond 32 bits,
    // a failed read): an id that is not this workstation's own would file its
    // report under another workstation.
    std::optional<std::int32_t> PosteID;
    std::int32_t ProductID = 0;  // of the last catalogued line
    // The catalogue rows this pass has looked up.
    KnownCatalogue known;
};

// The workstation step of the report pass, after the pass has named the
// workstation in the activity row: finds or creates its Postes row, stamps
// its software inventory dates with today's date, sets IsFirstInventory()
// and, when it can read the row's id, PosteID and last_workstation, and loads
// the workstation's stored products into lists.lstDBProd. Every action runs
// through Do_Log, the pass's procedure.
void WorkstationStep(Procedure& Do_Log, PassState& pass, ProductLists& lists);

// Links every product of lists.lstLogProd to the workstation (a workstation
// without stored products), copying them into lists.lstDBProd; no alert.
// Failures are reported "in procedure SaveNewPoste of Module ModSI" and the
// next product is tried.
void SaveNewPoste(ProductLists& lists, std::int32_t PosteID);

}  // namespace kolbi
