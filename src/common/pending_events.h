#pragma once

#include <functional>

namespace kolbi {

// "Let pending messages run": long loops call this at fixed points so the host
// can deliver service events, read keys and redraw its screen. The service
// installs its event loop here; without a host it does nothing. Callers must
// call it per block of work, not per bit or byte: it is not free.
void LetPendingEventsRun();

// Installs the host's handler (nullptr removes it) and returns the previous one.
std::function<void()> SetPendingEventsHandler(std::function<void()> handler);

}  // namespace kolbi
