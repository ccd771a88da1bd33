#include "db/db_connect.h"

#include <memory>
#include <utility>

#include "common/pending_events.h"
#include "common/pump_settings.h"
#include "common/status_text.h"
#include "db/connection_string.h"
#include "db/schema_version.h"
#include "log/procedure.h"

namespace kolbi {
namespace {

std::unique_ptr<Connection> g_connection;
bool g_connected = false;
std::function<void()> g_after_connect;

}  // namespace

Connection& DBConnection() {
    if (!g_connection) g_connection = std::make_unique<Connection>();
    return *g_connection;
}

bool DBConnected() { return g_connected; }

void SetDBConnected(bool connected) { g_connected = connected; }

void DBConnect() {
    if (g_connected) return;
    Procedure proc("in procedure DBConnect of Module ModALERT", [](const RuntimeError&) {
        g_connected = false;
        return AfterReport::kEnd;
    });
    proc.Run([] { DBConnection().SetConnectionString(BuildConnectionString(Settings())); });
    proc.Run(
        [] { SetStatusText("Connexion \u00E0 la base de donn\u00E9es " + Settings().DsnEntry); });
    proc.Run([] { DBConnection().Open(); });
    // A database of an older schema would lose rows (names too long for its
    // columns, types it does not check): the pump does not write to one.
    proc.Run([] {
        if (std::optional<std::string> problem = SchemaNotCurrent(DBConnection())) {
            DBConnection().Close();
            throw RuntimeError(errnum::kUnspecified, *problem);
        }
    });
    proc.Run([] { g_connected = true; });
    proc.Run([] { SetStatusText(""); });
    proc.Run([] {
        if (g_after_connect) g_after_connect();
    });
    proc.Run([] { LetPendingEventsRun(); });
}

void SetAfterConnect(std::function<void()> step) { g_after_connect = std::move(step); }

void CloseDBConnection() {
    if (g_connection) g_connection->Close();
    g_connected = false;
}

void CloseAndReleaseDBConnection() {
    CloseDBConnection();
    g_connection.reset();
}

}  // namespace kolbi
