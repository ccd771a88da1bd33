#pragma once

#include <string>

namespace kolbi {

// The one-line status text of the current step (the window's lblInfo). Any
// procedure may set it; the status screen shows it on its next redraw.
void SetStatusText(std::string text);
const std::string& StatusText();

}  // namespace kolbi
