#pragma once

namespace kolbi {

// What the window asks of the program that hosts it (the event loop).
class Form1Host {
public:
    virtual ~Form1Host() = default;
    // The window's state changed: show it soon (the screen throttles).
    virtual void Repaint() = 0;
    // The window is unloaded, which ends the program. Inside a running handler
    // the end waits for that handler to reach a safe point (see
    // Form1::EndIfUnloadPending) or to return.
    virtual void Unload() = 0;
    // True once an unload is waiting for the running handler.
    virtual bool UnloadPending() const = 0;
};

}  // namespace kolbi
