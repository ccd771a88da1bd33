#include "db/schema_version.h"

namespace kolbi {

// Until the schema records a version, every schema that opens is current.
std::optional<std::string> SchemaNotCurrent(Connection&) { return std::nullopt; }

}  // namespace kolbi
