#pragma once

#include <cstdint>
#include <string>

#include "db/value.h"
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
void CompareProdList(ProductLists& lists, const std::string& PosteNom, std::int32_t PosteID);

// Links a product to a workstation (one PosteSoftware row). Failures are
// reported "in procedure ADD_PosteProduct of Module ModSI".
void ADD_PosteProduct(std::int32_t ProductID, std::int32_t PosteID);

// Removes every PosteSoftware row linking the workstation to the product.
// Failures are reported "in procedure DEL_PosteProduct of Module ModSI".
void DEL_PosteProduct(std::int32_t ProductID, std::int32_t PosteID);

// Writes one Changement row: the workstation name and the data text (both
// UTF-8), the server's date and time, the type and critical level, an empty
// user (the user argument is not used) and no acknowledgement. Module
// ModALERT; it has no failure handler of its own: a failure reaches the
// caller's.
void AddChangeAlert(const std::string& PosteNom, const std::string& user, const std::string& data,
                    std::int32_t type, std::int32_t critique);

// Whether a product change raises an alert, from the product's catalogue
// name and SOFTPRODUCT_IGNORE: an ignore flag of 0 always does, a Null flag
// does for a product with a non-empty name, any other flag never does.
bool ChangeAlertWanted(const Value& product, const Value& ignore);

}  // namespace kolbi
