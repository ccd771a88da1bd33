#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace kolbi {

// An ODBC driver as a report line names it (Windows-1252, spaces trimmed).
struct OdbcDriver {
    std::string name;
    std::string description;
    std::string version;
    std::string maker;
};

// The ODBC_Drv keys a report pass has read, by the driver's four texts as
// the lines give them. A network's workstations report the same few drivers
// again and again; each is asked of the database once per pass instead of
// once per data source. The pumps only ever add driver rows, so a key once
// read stays right for the pass. Texts that differ only in case share a row
// but not an entry here: the second is simply looked up once more.
class DriverCache {
public:
    std::optional<std::int32_t> Find(const OdbcDriver& driver) const;
    void Remember(const OdbcDriver& driver, std::int32_t key);
    void Clear() { by_texts_.clear(); }

private:
    std::unordered_map<std::string, std::int32_t> by_texts_;
};

}  // namespace kolbi
