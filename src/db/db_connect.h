#pragma once

#include <functional>

#include "db/connection.h"

namespace kolbi {

// The one shared database connection of the process, created on first use.
Connection& DBConnection();
// True once DBConnect has opened DBConnection.
bool DBConnected();
void SetDBConnected(bool connected);

// Opens the shared connection unless DBConnected says it is open: builds the
// connection string from Settings(), shows "Connexion à la base de données "
// and DsnEntry as the status text, opens, refuses a database whose schema is
// not current (SchemaNotCurrent), sets DBConnected, clears the status
// text, runs the after-connect step (the activity row blanked, see
// SetAfterConnect) and lets pending events run. On any failure, the
// after-connect step's included: one standard error report "in procedure
// DBConnect of Module ModALERT" in the error log, DBConnected False, and the
// program ends with exit status 1.
void DBConnect();

// Installs the step DBConnect runs right after each open, inside its own
// failure handler; an empty function removes it (the default). The report
// layer installs the blanking of the activity row here
// (InstallTransacAfterConnect in report/set_transac.h), so that the database
// layer calls nothing above itself.
void SetAfterConnect(std::function<void()> step);

// What the processing cycle does on an idle tick: closes the connection and
// sets DBConnected False. Never fails.
void CloseDBConnection();
// What it does at the end of a batch: closes, sets DBConnected False and
// releases the connection object, so the next DBConnect starts afresh.
void CloseAndReleaseDBConnection();

}  // namespace kolbi
