#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kolbi {

// One software product as agents report it. The texts are UTF-8 here, for the
// reader of the word lists; reports carry them in Windows-1252.
struct GeneratedProduct {
    std::string description;
    std::string name;
    std::string version;
    std::string alternate_version;  // what a workstation that updated it reports
    std::string copyright;
    // False for the lines the pump is meant to leave out of its catalogue: the
    // operating system, and copyright texts that name no vendor. Churn only
    // installs and removes catalogued products, so its counts are exact.
    bool catalogued = true;
};

// One ODBC driver; its lines read ¬name¬description¬version¬maker¬sources...
struct GeneratedDriver {
    std::string name;
    std::string description;              // also the catalogue's product name for the line
    std::array<std::string, 2> versions;  // two releases: both meet on a network
    std::string maker;
};

// The products and drivers every workstation draws from, most popular first.
// The same seed and size give the same catalogue. No two entries can become
// the same catalogue key: names are kept apart even with case, accents,
// spaces and punctuation ignored, which is more than the pump's cleaning and
// the database's comparison together can merge.
class ProductCatalogue {
public:
    ProductCatalogue(std::uint64_t seed, std::size_t size);

    const std::vector<GeneratedProduct>& products() const { return products_; }
    const std::vector<GeneratedDriver>& drivers() const { return drivers_; }

private:
    std::vector<GeneratedProduct> products_;
    std::vector<GeneratedDriver> drivers_;
};

// Data-source names the agents find under the drivers (UTF-8).
const std::vector<std::string>& DataSourceNames();

// The seed of one independent random stream: the same (seed, salt) pair
// always gives the same stream, whatever else was drawn.
std::uint64_t Mix(std::uint64_t seed, std::uint64_t salt);

}  // namespace kolbi
