#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "common/clock.h"

namespace kolbi {

// What the pump has done since it started, for the operator: the service
// manager's status line, the status screen and the metrics file. The places
// that do the work bump the counters; nothing here decides anything.
class PumpMetrics {
public:
    PumpMetrics();

    // A report whose database work was committed.
    void CountReport() { ++reports_; }
    // A file moved into FAILED.
    void CountSetAside() { ++set_aside_; }
    // An error-log line at level Error (also while logging is off), with its
    // number: one the database layer raises counts as a database error too.
    void CountError(std::int32_t number);

    // A processing cycle begins, and ends: `completed` when it ran to its
    // end (not standing by, not left after a date-format switch), with the
    // files waiting then.
    void CycleStarted();
    void CycleEnded(bool completed, int compressed_waiting, int decompressed_waiting);

    // Reports a second: of the cycle running, or of the last one; nothing
    // before any report was taken in a measurable time.
    std::optional<double> Throughput() const;

    // The facts of the status line: "1,234 reports, 3 set aside, 2 errors;
    // queue 57 + 3; last cycle 12:03:04 took 4.2 s"; "" before the first cycle.
    std::string StatusFacts() const;

    // The metrics in Prometheus's text format (HELP and TYPE for each).
    std::string PrometheusText() const;

    std::uint64_t reports() const { return reports_; }
    std::uint64_t errors() const { return errors_; }
    int compressed_waiting() const { return compressed_; }
    int decompressed_waiting() const { return decompressed_; }
    bool has_cycled() const { return cycles_ > 0; }

private:
    std::uint64_t reports_ = 0;
    std::uint64_t set_aside_ = 0;
    std::uint64_t errors_ = 0;
    std::uint64_t database_errors_ = 0;
    std::uint64_t cycles_ = 0;
    int compressed_ = 0;
    int decompressed_ = 0;

    bool in_cycle_ = false;
    std::chrono::milliseconds cycle_started_{0};
    std::uint64_t reports_at_cycle_start_ = 0;
    std::chrono::milliseconds last_duration_{0};
    std::uint64_t last_cycle_reports_ = 0;
    bool last_completed_ = false;
    LocalDateTime last_cycle_end_;
    // Unix time of the last cycle that ran to its end; the start until one did,
    // so that a pump that never gets through a cycle looks stale too.
    double last_success_;
};

// The process's one record.
PumpMetrics& Metrics();

// True for the numbers the database layer raises: 0x80004005 (a lost or
// refused connection, any driver failure), the 0x80040Exx data-access
// errors, and the 3xxx numbers of the data-access objects.
bool IsDatabaseErrorNumber(std::int32_t number);

// Replaces the file at `path` by the metrics text at once, so that a reader
// (the node exporter) never sees half of it: written beside it as
// `path`.tmp, then renamed over it. Throws a RuntimeError saying why when it
// cannot, but only when the reason differs from the last one, so a file that
// cannot be written is reported once, not at every cycle.
void WriteMetricsFile(const std::string& path, const std::string& text);

}  // namespace kolbi
