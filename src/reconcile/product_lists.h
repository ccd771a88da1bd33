#pragma once

#include <cstdint>
#include <string_view>

#include "common/list_box.h"

namespace kolbi {

// The four product work lists of the main window. Items are the decimal texts
// of SOFTPRODUCT_ID values, ordered and compared by numeric value ("9" before
// "10"); lstLogProd and lstDBProd are kept ascending so that the comparison of
// the two can stop each scan at the first larger value.
struct ProductLists {
    ListBox lstLogProd;    // products the current report names, no duplicates
    ListBox lstDBProd;     // products linked to the workstation in PosteSoftware
    ListBox lstProdMOINS;  // products no longer reported: removed from the workstation
    ListBox lstProdPLUS;   // products newly reported: added to the workstation

    // Empties the four lists, in the order the report pass does.
    void ClearAll();
};

// Process-wide: the report being processed is its workstation's first
// software inventory, so its product changes raise no alert. Set by the
// workstation step of the report pass, read by CompareProdList.
bool IsFirstInventory();
void SetIsFirstInventory(bool first);

// The numeric value of a list item, by which items are ordered and compared:
// the integer its text begins with ("57" is 57, "-3" is -3), 0 when it does
// not begin with a number.
std::int64_t ItemValue(std::string_view item);

// Replaces lstDBProd by the product identifiers linked to the workstation in
// PosteSoftware, ascending by numeric value. Failures are reported "in
// procedure ChargeDB_ProductPoste of Module ModSI" and loading goes on (a Null
// identifier is left out); a record set that cannot be opened leaves the list
// empty.
void ChargeDB_ProductPoste(ListBox& lstDBProd, std::int32_t PosteID);

// Sorts a list ascending by the numeric value of its items; items of equal
// value keep their order. Raises what its caller's handler reports.
void SortListNumeric(ListBox& list);

// Inserts ProductID's decimal text into lstLogProd at its numeric place unless
// an item of that value is there already. Failures are reported "in procedure
// SortSoftProd of Module ModDivers".
void SortSoftProd(ListBox& lstLogProd, std::int32_t ProductID);

}  // namespace kolbi
