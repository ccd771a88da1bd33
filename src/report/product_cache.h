#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "odbc/driver_cache.h"

namespace kolbi {

// What a pass has learnt of a catalogue row by looking a product name up:
// its SOFTPRODUCT_ID and which of the columns the look-up fills were still
// the empty text when it last saw them.
struct KnownProduct {
    std::int32_t id = 0;
    bool description_empty = false;
    bool copyright_empty = false;
    bool version_empty = false;
};

// The products a report pass has looked up, by the cleaned product name as
// the line gives it (Windows-1252). A network's reports name the same few
// hundred products again and again; each is asked of the database once per
// pass instead of once per line.
//
// It lives for one pass, and is emptied when a report's work is not
// committed (what that report learnt went with its transaction). Within a
// pass it can only be behind the database in one way that matters: another
// pump may fill a column it still holds empty, and then the look-up is made
// again (see NeedsLookUp), so nothing is written over a filled column. Rows
// the pumps create are never deleted nor emptied by them, so an id once read
// stays right for the pass.
class ProductCache {
public:
    // The row last seen for this name; null when the pass has not seen it.
    const KnownProduct* Find(const std::string& product) const;
    void Remember(const std::string& product, const KnownProduct& known);
    void Clear() { by_name_.clear(); }

    // Whether a line with these texts must look the product up in the
    // database after all: a column it would fill may still be empty. Writing
    // an empty text over an empty text changes nothing, so only a line that
    // brings a text counts.
    static bool NeedsLookUp(const KnownProduct& known, const std::string& description,
                            const std::string& vendor, const std::string& version);

private:
    std::unordered_map<std::string, KnownProduct> by_name_;
};

// What a report pass has learnt of the catalogue the pumps share: the
// products and ODBC drivers it has looked up. Forgotten with a report whose
// work is not committed, as what that report read went with its transaction.
struct KnownCatalogue {
    ProductCache products;
    DriverCache drivers;
    void Clear() {
        products.Clear();
        drivers.Clear();
    }
};

}  // namespace kolbi
