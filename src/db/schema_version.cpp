#include "db/schema_version.h"

#include "common/runtime_error.h"

namespace kolbi {

std::optional<int> RecordedSchemaVersion(Connection& connection) {
    ResultSet result;
    try {
        result = connection.QueryDirect(SqlText("SELECT Version FROM SchemaVersion"));
    } catch (const RuntimeError& e) {
        // A missing table is a command error; a lost server is not.
        if (e.number() != dberr::kErrorsInCommand) throw;
        return std::nullopt;
    }
    if (result.rows.empty() || result.rows[0].empty() || result.rows[0][0].IsNull()) {
        return std::nullopt;
    }
    return static_cast<int>(result.rows[0][0].AsInteger());
}

std::optional<std::string> SchemaNotCurrent(Connection& connection) {
    const std::optional<int> version = RecordedSchemaVersion(connection);
    const std::string needed = std::to_string(kSchemaVersion);
    if (!version) {
        return "The database records no schema version: an earlier kolbidb made it, and the "
               "pump needs schema version " +
               needed + "; run kolbidb upgrade";
    }
    if (*version > kSchemaVersion) {
        return "The database's schema is version " + std::to_string(*version) +
               ", newer than this pump knows (version " + needed +
               "); run the pump that made it, or a later one";
    }
    if (*version < kSchemaVersion) {
        return "The database's schema is version " + std::to_string(*version) +
               ", the pump needs version " + needed + "; run kolbidb upgrade";
    }
    return std::nullopt;
}

}  // namespace kolbi
