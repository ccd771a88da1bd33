#include "report/catalogue.h"

#include "odbc/save_odbc_inventory.h"

namespace kolbi {

// Stand-in until the catalogue lands: only the ODBC hand-over.
void CatalogueProduct(Procedure& Do_Log, const ReportLine& line, std::int16_t PosteID,
                      std::int16_t& ProductID, ListBox&) {
    if (line.odbc) Do_Log.Run([&] { SaveOdbcInventory(PosteID, 0, line.odbc_line); });
    (void)ProductID;
}

std::string CleanProductName(std::string_view product) { return std::string(product); }

std::string VendorName(std::string_view copyright) { return std::string(copyright); }

}  // namespace kolbi
