#include "report/catalogue.h"

#include <optional>
#include <utility>

#include "common/pending_events.h"
#include "db/add_row.h"
#include "db/recordset.h"
#include "odbc/save_odbc_inventory.h"
#include "reconcile/product_lists.h"

namespace kolbi {
namespace {

// A stored Null is no empty text: only "" is filled in.
bool IsEmptyText(const Field& field) {
    return !field.IsNull() && field.value().kind() == Value::Kind::kText &&
           field.value().utf8().empty();
}

// The row as the record set now holds it, saved: what the pass may take
// for it without asking again. Nothing when a column cannot be read.
std::optional<KnownProduct> Known(const Recordset& products, std::int32_t id) {
    std::optional<KnownProduct> known;
    RunAbsorbed([&] {
        known = KnownProduct{id, IsEmptyText(products.Fields("SOFTPRODUCT_DESCRIPTION")),
                             IsEmptyText(products.Fields("SOFTPRODUCT_COPYRIGHT")),
                             IsEmptyText(products.Fields("SOFTPRODUCT_VERSION"))};
    });
    return known;
}

// Finds or creates the product in SoftProduct, each record-set action a step
// of Do_Log. True when this line's SOFTPRODUCT_ID was read into ProductID,
// which the pass then remembers.
bool FindOrCreateProduct(Procedure& Do_Log, const ReportLine& line, const std::string& product,
                         const std::string& vendor, std::int32_t& ProductID,
                         ProductCache& known_products) {
    Recordset products;
    Do_Log.Run([&] {
        products.Open(SqlText("SELECT * From SoftProduct ")
                          .Add("WHERE SOFTPRODUCT_PRODUCT = ")
                          .Quoted(product)
                          .Add(" "));
    });
    Do_Log.Run([&] { LetPendingEventsRun(); });
    bool found = false;
    Do_Log.Run([&] { found = !products.Eof(); });
    if (found) {
        const std::pair<const char*, const std::string*> fill[] = {
            {"SOFTPRODUCT_DESCRIPTION", &line.description},
            {"SOFTPRODUCT_COPYRIGHT", &vendor},
            {"SOFTPRODUCT_VERSION", &line.version},
        };
        for (const auto& column_text : fill) {
            // Plain locals, not structured bindings: lambdas capture them everywhere.
            const char* column = column_text.first;
            const std::string* text = column_text.second;
            bool empty = false;
            Do_Log.Run([&] { empty = IsEmptyText(products.Fields(column)); });
            if (!empty) continue;
            Do_Log.Run([&] { products.SetField(column, Value::Text(*text)); });
            Do_Log.Run([&] { products.Update(); });
        }
    } else {
        const Value no_text = Value::Text("");
        const Value zero = Value::Integer(0);
        const FieldWrite new_row[] = {
            {"SOFTPRODUCT_DESCRIPTION", Value::Text(line.description)},
            {"SOFTPRODUCT_PRODUCT", Value::Text(product)},
            {"SOFTPRODUCT_VERSION", Value::Text(line.version)},
            {"SOFTPRODUCT_COPYRIGHT", Value::Text(vendor)},
            {"SOFTPRODUCT_PACKAGE", no_text},
            {"SOFTPRODUCT_LICENCE_GROUPE_NUMBER", no_text},
            {"SOFTPRODUCT_LICENCE_NUMBER", no_text},
            {"SOFTPRODUCT_LICENCE_ID", zero},
            {"SOFTPRODUCT_LICBUY", zero},
            {"SOFTPRODUCT_PRICE", zero},
            {"SOFTPRODUCT_IGNORE", zero},
            {"SOFTPRODUCT_USED", zero},
        };
        AddRowAndReread(products, new_row, [&](auto&& step) { Do_Log.Run(step); });
    }
    const bool identified =
        Do_Log.Run([&] { ProductID = products.Fields("SOFTPRODUCT_ID").AsInt32(); });
    if (identified) {
        if (const std::optional<KnownProduct> known = Known(products, ProductID)) {
            known_products.Remember(product, *known);
        }
    }
    Do_Log.Run([&] { products.Close(); });
    return identified;
}

}  // namespace

CataloguedAs CatalogueNames(const ReportLine& line) {
    CataloguedAs names;
    if (!line.has_fields) return names;
    names.product = CleanProductName(line.product);
    if (!line.copyright.empty()) names.vendor = VendorName(line.copyright);
    return names;
}

void CatalogueProduct(Procedure& Do_Log, const ReportLine& line, std::int32_t PosteID,
                      std::int32_t& ProductID, ListBox& lstLogProd, KnownCatalogue& known) {
    ProductCache& known_products = known.products;
    std::string product;
    std::string vendor;
    Do_Log.Run([&] { product = CleanProductName(line.product); });
    Do_Log.Run([&] {
        if (!line.copyright.empty()) vendor = VendorName(line.copyright);
    });
    // Only an identifier read for this very line goes on: after a failed
    // look-up, ProductID still holds an earlier line's product (perhaps of
    // another workstation), which must neither be linked here nor become the
    // product of this line's ODBC driver.
    bool identified = false;
    if (!product.empty() && !vendor.empty()) {
        // A product this pass has seen needs no look-up, unless the line
        // would fill a column that was still empty.
        const KnownProduct* seen = known_products.Find(product);
        if (seen && !ProductCache::NeedsLookUp(*seen, line.description, vendor, line.version)) {
            ProductID = seen->id;
            identified = true;
        } else {
            identified =
                FindOrCreateProduct(Do_Log, line, product, vendor, ProductID, known_products);
        }
        if (identified) Do_Log.Run([&] { SortSoftProd(lstLogProd, ProductID); });
    }
    if (line.odbc) {
        Do_Log.Run([&] {
            SaveOdbcInventory(PosteID, identified ? ProductID : 0, line.odbc_line, known.drivers);
        });
    }
}

}  // namespace kolbi
