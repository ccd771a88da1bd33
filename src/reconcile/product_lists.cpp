#include "reconcile/product_lists.h"

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

// Stand-ins until the product lists land.
void ChargeDB_ProductPoste(ListBox& lstDBProd, std::int16_t) { lstDBProd.Clear(); }
void SortListNumeric(ListBox&) {}
void SortSoftProd(ListBox&, std::int16_t) {}

}  // namespace kolbi
