#include "odbc/driver_cache.h"

namespace kolbi {
namespace {

// The four texts as one key, each after its length, so that no two drivers
// share one whatever their texts hold.
std::string Joined(const OdbcDriver& driver) {
    std::string key;
    for (const std::string* text :
         {&driver.name, &driver.description, &driver.version, &driver.maker}) {
        key.append(std::to_string(text->size())).append(1, ':').append(*text);
    }
    return key;
}

}  // namespace

std::optional<std::int32_t> DriverCache::Find(const OdbcDriver& driver) const {
    const auto found = by_texts_.find(Joined(driver));
    if (found == by_texts_.end()) return std::nullopt;
    return found->second;
}

void DriverCache::Remember(const OdbcDriver& driver, std::int32_t key) {
    by_texts_[Joined(driver)] = key;
}

}  // namespace kolbi
