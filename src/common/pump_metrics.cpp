#include "common/pump_metrics.h"

#include <cerrno>
#include <cstdio>

#include "common/file_helpers.h"
#include "common/file_system.h"
#include "common/runtime_error.h"

namespace kolbi {
namespace {

double UnixNow() {
    return std::chrono::duration<double>(CurrentClock().WallNow().time_since_epoch()).count();
}

// "1,234,567": the status line is read by people.
std::string Grouped(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped.push_back(',');
        grouped.push_back(digits[i]);
    }
    return grouped;
}

std::string Fixed(double value, const char* format) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string ClockTime(const LocalDateTime& at) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", at.hour, at.minute, at.second);
    return buffer;
}

void Metric(std::string& text, const char* name, const char* type, const char* help,
            const std::string& value) {
    text.append("# HELP ").append(name).append(" ").append(help).append("\n");
    text.append("# TYPE ").append(name).append(" ").append(type).append("\n");
    text.append(name).append(" ").append(value).append("\n");
}

}  // namespace

PumpMetrics::PumpMetrics() : last_success_(UnixNow()) {}

void PumpMetrics::CountError(std::int32_t number) {
    ++errors_;
    if (IsDatabaseErrorNumber(number)) ++database_errors_;
}

void PumpMetrics::CycleStarted() {
    in_cycle_ = true;
    cycle_started_ = CurrentClock().Monotonic();
    reports_at_cycle_start_ = reports_;
}

void PumpMetrics::CycleEnded(bool completed, int compressed_waiting, int decompressed_waiting) {
    in_cycle_ = false;
    ++cycles_;
    last_duration_ = CurrentClock().Monotonic() - cycle_started_;
    last_cycle_reports_ = reports_ - reports_at_cycle_start_;
    last_completed_ = completed;
    last_cycle_end_ = CurrentClock().LocalNow();
    compressed_ = compressed_waiting;
    decompressed_ = decompressed_waiting;
    if (completed) last_success_ = UnixNow();
}

std::optional<double> PumpMetrics::Throughput() const {
    std::uint64_t reports = last_cycle_reports_;
    std::chrono::milliseconds took = last_duration_;
    if (in_cycle_) {
        reports = reports_ - reports_at_cycle_start_;
        took = CurrentClock().Monotonic() - cycle_started_;
    }
    if (reports == 0 || took.count() <= 0) return std::nullopt;
    return static_cast<double>(reports) * 1000.0 / static_cast<double>(took.count());
}

std::string PumpMetrics::StatusFacts() const {
    if (cycles_ == 0) return "";
    return Grouped(reports_) + " reports, " + Grouped(set_aside_) + " set aside, " +
           Grouped(errors_) + " errors; queue " + Grouped(static_cast<std::uint64_t>(compressed_)) +
           " + " + Grouped(static_cast<std::uint64_t>(decompressed_)) + "; last cycle " +
           ClockTime(last_cycle_end_) + " took " +
           Fixed(static_cast<double>(last_duration_.count()) / 1000.0, "%.1f") + " s" +
           (last_completed_ ? "" : " (cut short)");
}

std::string PumpMetrics::PrometheusText() const {
    std::string text;
    Metric(text, "kolbipump_reports_processed_total", "counter",
           "Reports whose database work was committed.", std::to_string(reports_));
    Metric(text, "kolbipump_reports_set_aside_total", "counter",
           "Files moved into the FAILED folder.", std::to_string(set_aside_));
    Metric(text, "kolbipump_errors_total", "counter",
           "Failures reported as errors (error-log lines, also while logging is off).",
           std::to_string(errors_));
    Metric(text, "kolbipump_database_errors_total", "counter",
           "Failures the database or its driver raised.", std::to_string(database_errors_));
    Metric(text, "kolbipump_cycles_total", "counter", "Processing cycles run.",
           std::to_string(cycles_));
    Metric(text, "kolbipump_queue_compressed_files", "gauge",
           "Compressed reports waiting in the incoming folder after the last cycle.",
           std::to_string(compressed_));
    Metric(text, "kolbipump_queue_decompressed_files", "gauge",
           "Decompressed reports waiting in the incoming subfolder after the last cycle.",
           std::to_string(decompressed_));
    Metric(text, "kolbipump_cycle_duration_seconds", "gauge",
           "How long the last processing cycle took.",
           Fixed(static_cast<double>(last_duration_.count()) / 1000.0, "%.3f"));
    Metric(text, "kolbipump_last_success_timestamp_seconds", "gauge",
           "Unix time at which the last processing cycle ran to its end (the pump's start "
           "until one has).",
           Fixed(last_success_, "%.3f"));
    return text;
}

PumpMetrics& Metrics() {
    static PumpMetrics metrics;
    return metrics;
}

bool IsDatabaseErrorNumber(std::int32_t number) {
    const auto bits = static_cast<std::uint32_t>(number);
    return number == errnum::kUnspecified || (bits & 0xFFFFFF00u) == 0x80040E00u ||
           (number >= 3000 && number < 4000);
}

void WriteMetricsFile(const std::string& path, const std::string& text) {
    static std::string last_failure;
    const std::string temporary = path + ".tmp";
    errno = 0;
    int error = 0;
    if (!Fs().WriteFile(temporary, text)) {
        error = errno ? errno : EIO;
    } else if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
        (void)Fs().Remove(temporary);
    }
    if (error == 0) {
        last_failure.clear();
        return;
    }
    RuntimeError failure = FileError(error, path);
    if (failure.description() == last_failure) return;
    last_failure = failure.description();
    throw failure;
}

}  // namespace kolbi
