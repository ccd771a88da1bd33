#pragma once

#include <vector>

namespace kolbi {

// Catches the signals the service manager and the operator send (SIGTERM,
// SIGINT, SIGHUP, SIGUSR1, SIGUSR2) and keeps them, in the order they came,
// until the event loop takes them. The handler only writes to a pipe, so
// nothing runs inside a signal handler but that. One instance at a time.
class SignalEvents {
public:
    SignalEvents() = default;
    // Puts the previous handlers back.
    ~SignalEvents();
    SignalEvents(const SignalEvents&) = delete;
    SignalEvents& operator=(const SignalEvents&) = delete;

    // Starts catching the signals; false when the pipe cannot be made.
    bool Install();
    bool Installed() const { return installed_; }

    // Readable while signals wait; -1 before Install.
    int WakeFd() const;
    // True when a signal may be waiting (no system call).
    bool Pending() const;
    // The signal numbers that came since the last call, oldest first.
    std::vector<int> Take();

private:
    bool installed_ = false;
};

}  // namespace kolbi
