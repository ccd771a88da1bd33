#include "db/command.h"

#include "db/db_connect.h"

namespace kolbi {

Command::Command() : connection_(&DBConnection()) {}

std::int64_t Command::Execute(const SqlText& sql) { return connection_->Execute(sql); }

}  // namespace kolbi
