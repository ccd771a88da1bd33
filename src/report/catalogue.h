#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/list_box.h"
#include "log/procedure.h"
#include "report/product_cache.h"
#include "report/product_names.h"
#include "report/report_line.h"

namespace kolbi {

// The product step of the report pass for one line that has fields: cleans
// the product name, cuts the copyright text down to a vendor name, finds or
// creates the product in SoftProduct (filling only columns still empty),
// makes its SOFTPRODUCT_ID the current ProductID and adds it to lstLogProd;
// an ODBC driver line then goes to SaveOdbcInventory. Every elementary action
// runs through Do_Log, the pass's procedure, so a failure is reported there
// and the pass's rule decides what follows. A product or driver in known is
// taken from there unless the line would fill one of the product's empty
// columns; what a look-up reads is remembered there.
void CatalogueProduct(Procedure& Do_Log, const ReportLine& line, std::int32_t PosteID,
                      std::int32_t& ProductID, ListBox& lstLogProd, KnownCatalogue& known);

// The product name and vendor a line's product step catalogues under; both
// empty when the line has no fields. The product is catalogued only when
// neither is empty.
struct CataloguedAs {
    std::string product;
    std::string vendor;
};
CataloguedAs CatalogueNames(const ReportLine& line);

}  // namespace kolbi
