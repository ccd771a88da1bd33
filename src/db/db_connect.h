#pragma once

#include "db/connection.h"

namespace kolbi {

// The one shared database connection of the process, created on first use.
Connection& DBConnection();
// True once DBConnect has opened DBConnection.
bool DBConnected();
void SetDBConnected(bool connected);

// Opens the shared connection unless DBConnected says it is open: builds the
// connection string from Settings(), shows "Connexion à la base de données "
// and DsnEntry as the status text, opens, sets DBConnected, clears the status
// text, blanks the activity row (SetTransac "", "") and lets pending events
// run. On any failure: one standard error report "in procedure DBConnect of
// Module ModALERT" in the error log, DBConnected False, and the program ends
// with exit status 1.
void DBConnect();

// What the processing cycle does on an idle tick: closes the connection and
// sets DBConnected False. Never fails.
void CloseDBConnection();
// What it does at the end of a batch: closes, sets DBConnected False and
// releases the connection object, so the next DBConnect starts afresh.
void CloseAndReleaseDBConnection();

}  // namespace kolbi
