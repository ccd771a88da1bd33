#pragma once

#include "common/list_box.h"
#include "report/workstation.h"

namespace kolbi {

// Several pumps may write one PostgreSQL database, each from its own drop
// folder, and meet the same new product, driver or workstation name at once.
// A find-or-create is a look-up followed by an insert: two pumps that both
// look a new name up before either has committed would both create it.
//
// So, at the start of a report's transaction, the pump takes a transaction
// lock (pg_advisory_xact_lock) on every name the report may create or fill
// in: the workstation when it is not the one in hand, and each product and
// driver the pass has not learnt yet or whose empty columns the line would
// fill. A second pump with the same new name waits until the first has
// committed, and its look-up then finds the row. The locks are taken in one
// order, all of them before any row is written, so two pumps never wait for
// each other in a circle; a name the pass knows needs no lock, as rows the
// pumps create are never deleted. Names are locked by their key (case and
// trailing spaces ignored, as the look-ups compare them), hashed to 64 bits:
// two names that share a hash merely wait for each other.
//
// Nothing on other databases: SQLite lets one writer in at a time anyway.
// lstInFile holds the report's cleaned lines.
void LockNamesToCreate(const ListBox& lstInFile, const PassState& pass, bool new_workstation);

}  // namespace kolbi
