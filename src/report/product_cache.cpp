#include "report/product_cache.h"

namespace kolbi {

const KnownProduct* ProductCache::Find(const std::string& product) const {
    const auto found = by_name_.find(product);
    return found == by_name_.end() ? nullptr : &found->second;
}

void ProductCache::Remember(const std::string& product, const KnownProduct& known) {
    by_name_.insert_or_assign(product, known);
}

bool ProductCache::NeedsLookUp(const KnownProduct& known, const std::string& description,
                               const std::string& vendor, const std::string& version) {
    return (known.description_empty && !description.empty()) ||
           (known.copyright_empty && !vendor.empty()) ||
           (known.version_empty && !version.empty());
}

}  // namespace kolbi
