#pragma once

#include <cstdint>

#include "db/connection.h"
#include "db/sql_text.h"

namespace kolbi {

// A statement without result (INSERT, UPDATE, DELETE...) run once on a
// connection, the shared one unless another is given.
class Command {
public:
    Command();
    explicit Command(Connection& active_connection) : connection_(&active_connection) {}

    // Runs the statement; the number of rows it changed (-1 when the driver
    // cannot tell). Failures are the connection's errors, naming sql.Text().
    std::int64_t Execute(const SqlText& sql);

private:
    Connection* connection_;
};

}  // namespace kolbi
