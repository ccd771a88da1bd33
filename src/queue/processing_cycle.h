#pragma once

#include "log/procedure.h"
#include "queue/queue_window.h"

namespace kolbi {

// The processing part of Timer1_Timer: with both timers held off, opens the
// database, lets Do_Log take the decompressed reports left from earlier,
// decompresses every compressed file waiting (in name order) into the
// "incoming" subfolder and disposes of it, lets Do_Log take the new batch,
// then closes and releases the connection and runs both timers again.
//
// Every step runs through Timer1_Timer, the procedure of the whole tick: a
// failure is reported there and the next step follows, or, once the date
// format has been switched, the cycle ends with the connection left open.
// A compressed file that can be neither deleted nor moved aside is left for
// the next cycle, so the queue never turns on it.
//
// Each cycle is timed and, with the files it leaves waiting, recorded in
// Metrics(); when Settings().MetricsFile names a file, the metrics are
// written there at the end of the cycle.
void ProcessingCycle(QueueWindow& form, Procedure& Timer1_Timer);

// What an idle tick does: closes the database connection when it is open.
void CloseIdleConnection();

}  // namespace kolbi
