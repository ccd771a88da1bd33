#pragma once

#include <span>

#include "db/recordset.h"
#include "db/value.h"

namespace kolbi {

// One field of a row being added, with the value it is given.
struct FieldWrite {
    const char* column;
    Value value;
};

// Adds a row to an open recordset. Every step goes through `run` on its own
// (a procedure's Run, or RunAbsorbed), so a refused field costs that field
// and the rest of the row is still written, as each procedure's failure rule
// wants.
template <class Run>
void AddRow(Recordset& recordset, std::span<const FieldWrite> row, Run&& run) {
    run([&] { recordset.AddNew(); });
    for (const FieldWrite& write : row) {
        run([&] { recordset.SetField(write.column, write.value); });
    }
    run([&] { recordset.Update(); });
}

// AddRow, then onto the row as the database stored it: the identity the
// database gave the row is known only by reading it again.
template <class Run>
void AddRowAndReread(Recordset& recordset, std::span<const FieldWrite> row, Run&& run) {
    AddRow(recordset, row, run);
    run([&] { recordset.Requery(); });
    run([&] { recordset.MoveLast(); });
    run([&] { recordset.MoveFirst(); });
}

}  // namespace kolbi
