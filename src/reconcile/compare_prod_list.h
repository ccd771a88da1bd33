#pragma once

#include <cstdint>
#include <string>

#include "reconcile/product_lists.h"

namespace kolbi {

// Reconciles a workstation's report with its stored links: products in
// lists.lstLogProd but not in lists.lstDBProd are linked (ADD_PosteProduct)
// and listed in lstProdPLUS, products stored but no longer reported are
// unlinked (DEL_PosteProduct) and listed in lstProdMOINS, and each change
// raises a Changement alert unless the product is ignored or
// IsFirstInventory() holds. Empties the four lists at the end. PosteNom is
// the workstation name (UTF-8). Failures are reported "in procedure
// CompareProdList of Module ModDivers" and the comparison goes on.
void CompareProdList(ProductLists& lists, const std::string& PosteNom, std::int16_t PosteID);

// Links a product to a workstation (one PosteSoftware row). Failures are
// reported "in procedure ADD_PosteProduct of Module ModSI".
void ADD_PosteProduct(std::int16_t ProductID, std::int16_t PosteID);

// Removes every PosteSoftware row linking the workstation to the product.
// Failures are reported "in procedure DEL_PosteProduct of Module ModSI".
void DEL_PosteProduct(std::int16_t ProductID, std::int16_t PosteID);

}  // namespace kolbi
