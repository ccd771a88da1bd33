#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "service/service_platform.h"
#include "service/signal_events.h"

namespace kolbi {

// The events the service manager raises.
enum class ServiceEvent {
    kStart,
    kStop,
    kPause,
    kContinue,
};

// The service control of the main window (NTServiceOCX), on systemd. The
// window reaches it by member number, as it always did; the members it uses:
//
//   settings  6 interactive (Boolean), 2 controls accepted (32-bit), 8 debug
//             (Boolean), 5 service name, 9 display name, 10 start mode (2:
//             automatic, that is enabled at boot)
//   11 install, 14 uninstall, 16 start, 12 write to the event log
//
// The service name becomes the unit name (lower case, spaces as hyphens,
// ".service"), the display name its Description=. Stop, Pause and Continue
// arrive as SIGTERM, SIGINT or SIGHUP, SIGUSR1 and SIGUSR2; Start is raised
// by the start member itself once the manager has been told the pump is ready.
class ServiceControl {
public:
    using Value = std::variant<bool, std::int32_t, std::string>;

    explicit ServiceControl(ServicePlatform& platform) : platform_(platform) {}

    // Sets a member; the settings are kept in the order they were made.
    void Set(int member, Value value);
    const std::vector<std::pair<int, Value>>& SettingsMade() const { return settings_; }

    // Member 11: writes the unit file into the unit folder and, when systemd
    // runs, reloads it and enables it (start mode 2). False when the unit
    // could not be written or systemctl failed; LastError() says why.
    bool Install();
    // Member 14: when the unit file is there, stops and disables the service
    // (when systemd runs) and removes the file. True only when a unit file was
    // removed; a service that systemctl could not stop or disable keeps its
    // file. LastError() says why it returned False.
    bool Uninstall();
    // Member 16: tells the service manager, when one started us, that the pump
    // is ready, then raises Start (delivered by the event loop).
    void StartService();
    // Member 12: one entry in the system log. Type 1 (error) is an error
    // entry, type 0 (success) an information one; the identifier goes in the text.
    void LogEvent(std::int16_t event_type, std::int32_t event_id, const std::string& text);

    // Tells the service manager how an event was handled.
    void Acknowledge(ServiceEvent event, bool success);

    // Tells the service manager what the pump has done (PumpMetrics::
    // StatusFacts), after its state: "Running: <facts>", or "Paused: the stop
    // watchdog is off; <facts>" while paused. Kept for the next acknowledgement.
    void ShowStatus(std::string facts);
    // The STATUS= text as it stands.
    std::string StatusLine() const;

    // Where the service events come from: Start from StartService, the others
    // from signals once ListenToSignals has run (or Post, for tests).
    bool ListenToSignals() { return signals_.Install(); }
    void Post(ServiceEvent event) { posted_.push_back(event); }
    // True when an event may be waiting (cheap; no system call).
    bool EventPending() const { return !posted_.empty() || signals_.Pending(); }
    // The oldest waiting event.
    std::optional<ServiceEvent> TakeEvent();
    // Readable when a signal came; -1 before ListenToSignals.
    int WakeFd() const { return signals_.WakeFd(); }

    std::string UnitName() const;
    std::string UnitPath() const;
    const std::string& LastError() const { return last_error_; }

private:
    ServicePlatform& platform_;
    std::vector<std::pair<int, Value>> settings_;
    std::string service_name_;
    std::string display_name_;
    std::int32_t start_mode_ = 0;
    bool paused_ = false;
    std::string facts_;
    std::deque<ServiceEvent> posted_;
    SignalEvents signals_;
    std::string last_error_;
};

}  // namespace kolbi
