#include "reconcile/product_lists.h"

#include <algorithm>
#include <vector>

#include "common/pending_events.h"
#include "db/db_connect.h"
#include "db/recordset.h"
#include "log/procedure.h"

namespace kolbi {
namespace {

bool g_is_first_inventory = false;

}  // namespace

void ProductLists::ClearAll() {
    lstLogProd.Clear();
    lstDBProd.Clear();
    lstProdMOINS.Clear();
    lstProdPLUS.Clear();
}

bool IsFirstInventory() { return g_is_first_inventory; }
void SetIsFirstInventory(bool first) { g_is_first_inventory = first; }

std::int64_t ItemValue(std::string_view item) {
    std::size_t i = 0;
    const bool negative = !item.empty() && item[0] == '-';
    if (!item.empty() && (item[0] == '-' || item[0] == '+')) ++i;
    std::int64_t value = 0;
    // Identifiers are 32-bit: a longer run of digits only has to stay in range.
    constexpr std::int64_t kCap = std::int64_t{1} << 53;
    for (; i < item.size() && item[i] >= '0' && item[i] <= '9'; ++i) {
        value = std::min(value * 10 + (item[i] - '0'), kCap);
    }
    return negative ? -value : value;
}

void ChargeDB_ProductPoste(ListBox& lstDBProd, std::int32_t PosteID) {
    Procedure proc("in procedure ChargeDB_ProductPoste of Module ModSI", AfterReport::kContinue);
    Recordset links;
    proc.Run([&] {
        if (!DBConnected()) DBConnect();
    });
    proc.Run([&] { lstDBProd.Clear(); });
    proc.Run([&] {
        links.Open(SqlText("SELECT DISTINCT PosteSoft_ProductID From PosteSoftware ")
                       .Add("WHERE PosteSoft_PosteID = ")
                       .QuotedNumber(PosteID)
                       .Add(" order by PosteSoft_ProductID ASC;"));
    });
    proc.Run([&] { LetPendingEventsRun(); });
    proc.Run([&] { lstDBProd.Clear(); });
    for (;;) {
        // A record set that did not open fails this test, and its error ends
        // the program; should any other failure come here, it ends the loading.
        bool at_end = true;
        proc.Run([&] { at_end = links.Eof(); });
        if (at_end) break;
        // A Null identifier has no text: the row is left out and logged.
        proc.Run([&] { lstDBProd.AddItem(links.Fields("PosteSoft_ProductID").AsText()); });
        if (!proc.Run([&] { links.MoveNext(); })) break;
        proc.Run([&] { LetPendingEventsRun(); });
    }
    proc.Run([&] { links.Close(); });
    proc.Run([&] { LetPendingEventsRun(); });
    // The server orders by the column's own type; the list must be numeric.
    proc.Run([&] { SortListNumeric(lstDBProd); });
}

void SortListNumeric(ListBox& list) {
    std::vector<std::string> items = list.Items();
    std::stable_sort(items.begin(), items.end(), [](const std::string& a, const std::string& b) {
        return ItemValue(a) < ItemValue(b);
    });
    for (std::size_t i = 0; i < items.size(); ++i) {
        list.SetList(static_cast<int>(i), std::move(items[i]));
    }
}

void SortSoftProd(ListBox& lstLogProd, std::int32_t ProductID) {
    Procedure proc("in procedure SortSoftProd of Module ModDivers", AfterReport::kContinue);
    // The list is ascending, so the first item not smaller than ProductID is
    // where a scan from the start would stop: found there, or inserted before it.
    int place = 0;
    proc.Run([&] {
        const std::vector<std::string>& items = lstLogProd.Items();
        place = static_cast<int>(std::partition_point(items.begin(), items.end(),
                                                      [&](const std::string& item) {
                                                          return ItemValue(item) < ProductID;
                                                      }) -
                                 items.begin());
    });
    bool present = false;
    proc.Run([&] {
        present = place < lstLogProd.ListCount() && ItemValue(lstLogProd.List(place)) == ProductID;
    });
    if (present) return;
    proc.Run([&] { lstLogProd.AddItem(std::to_string(ProductID), place); });
    proc.Run([&] { LetPendingEventsRun(); });
}

}  // namespace kolbi
