#include "log/write_log.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <optional>

#include "common/clock.h"
#include "common/file_helpers.h"
#include "common/file_system.h"
#include "common/profile_file.h"
#include "common/program_end.h"
#include "common/pump_metrics.h"
#include "common/pump_settings.h"
#include "common/runtime_error.h"
#include "log/journal.h"
#include "log/log_date.h"
#include "log/log_text.h"

namespace kolbi {
namespace {

constexpr std::string_view kEol = "\r\n";
constexpr std::string_view kRule =
    "------------------------------------------------------------------------------------";
constexpr std::string_view kTitle =
    "- Tessmar Kolbi Soft Usage Data Pump ( ERROR LOG FILE )              version 4.2.0 -";

bool g_date_format_switched = false;

// The last message WriteLog could not put into the file, with the reason.
std::optional<std::string> g_unlogged;

std::function<void()>& SwitchHandler() {
    static std::function<void()> handler;
    return handler;
}

std::function<void(const std::string&)>& UnloggedHandler() {
    static std::function<void(const std::string&)> handler;
    return handler;
}

std::string_view LevelText(std::int32_t level) {
    switch (level) {
        case kLevelInformation:
            return "Information";
        case kLevelWarning:
            return "Warning    ";
        case kLevelError:
            return "Error      ";
        default:
            return "";
    }
}

std::string Folder() {
    const std::string& configured = Settings().AppFolder;
    return configured.empty() ? AppFolder() : configured;
}

// The date as the lines show it. The pattern comes from the INI file as
// found there, so it gets the same treatment as a message.
std::string LineDate(const LocalDateTime& now) {
    return LogLineText(FormatLogDate(Settings().SqlDateFormat, now));
}

// "/" is the date separator of two of the documented patterns (DD/MM/YYYY);
// in a file name it would make a folder of the date, and every line would be
// lost, so the name has "-" in its place.
std::string LogPath(const LocalDateTime& now) {
    std::string date = LineDate(now);
    for (char& c : date) {
        if (c == '/') c = '-';
    }
    return Folder() + ExecutableName() + "-" + date + ".log";
}

std::string Stamp(const LocalDateTime& now) {
    return "  --> [ " + LineDate(now) + ", " + FormatLogTime(now) + " ] ";
}

bool IsDayFirst(const std::string& format) {
    return format == "DD-MM-YY" || format == "DD-MM-YYYY" || format == "DD/MM/YY" ||
           format == "DD/MM/YYYY";
}

// The database refused a value; the pump takes it for a date in the wrong
// order and tries the other order from now on, remembering it in the INI file
// so the next start begins with the format tried last.
void SwitchDateFormat(const std::string& path, const LocalDateTime& now) {
    std::string new_format = IsDayFirst(Settings().SqlDateFormat) ? "MM-DD-YY" : "DD-MM-YY";
    std::string setting_line = "Setting    " + Stamp(now) +
                               "SQL Date Format was not set or invalid, LOTUPump set " +
                               "SQL Date Format to " + new_format + ".";
    (void)WritePrivateProfileString("DataBase", "SqlDateFormat", new_format, Settings().IniFile);
    Settings().SqlDateFormat = new_format;
    (void)Fs().AppendFile(path, setting_line + std::string(kEol));
    SendToJournal({5, LogLineText(setting_line), 0, {}});
    try {
        if (SwitchHandler()) SwitchHandler()();
    } catch (const std::exception&) {
        // The writer never fails; a window that cannot be updated stays as it is.
    }
    g_date_format_switched = true;
}

// A lost or refused connection, or an object in the wrong state: every later
// write would fail too, and a pass that went on would dispose of reports it
// never stored.
bool EndsTheProgram(std::int32_t error_number) {
    return error_number == errnum::kUnspecified || error_number == errnum::kObjectClosed ||
           error_number == errnum::kObjectOpen;
}

int JournalPriority(std::int32_t level) {
    switch (level) {
        case kLevelError:
            return 3;
        case kLevelWarning:
            return 4;
        default:
            return 6;
    }
}

// The journal gets every line, whether the error log takes it or not: under
// systemd it is where an operator looks first, and a pump whose logging is
// off (or whose folder cannot be written) would otherwise fail unseen.
void TellJournalAndCount(const std::string& text, std::int32_t level, std::int32_t error_number,
                         std::string_view location) {
    if (level == kLevelError) Metrics().CountError(error_number);
    SendToJournal({JournalPriority(level), text, error_number, std::string(location)});
}

}  // namespace

void WriteLog(std::string_view message, std::int32_t level, std::int32_t error_number,
              std::string_view location) {
    const std::string text = LogLineText(message);
    TellJournalAndCount(text, level, error_number, location);
    if (!Settings().LogErrors) {
        g_unlogged = text + " (not in the error log: logging is off)";
        if (EndsTheProgram(error_number)) EndProgramAfterFailure();
        return;
    }
    const LocalDateTime now = CurrentClock().LocalNow();
    const std::string path = LogPath(now);

    if (!FileExists(path)) {
        std::string header;
        for (std::string_view line : {kRule, kTitle, kRule}) {
            header.append(line).append(kEol);
        }
        (void)Fs().AppendFile(path, header);
    }
    const std::string entry = std::string(LevelText(level)) + Stamp(now) + text + std::string(kEol);
    errno = 0;
    if (Fs().AppendFile(path, entry)) {
        g_unlogged.reset();
    } else {
        const int error = errno;
        g_unlogged = text + " (not in the error log: " + LogLineText(path) +
                     (error ? std::string(": ") + std::strerror(error) : std::string()) + ")";
    }

    if (error_number == errnum::kConversionFailed) SwitchDateFormat(path, now);
    if (EndsTheProgram(error_number)) EndProgramAfterFailure();
}

void EndProgramAfterFailure() {
    if (g_unlogged && UnloggedHandler()) {
        try {
            UnloggedHandler()(*g_unlogged);
        } catch (const std::exception&) {
            // Nothing more can be said; the program ends all the same.
        }
    }
    g_unlogged.reset();
    EndProgram(kExitFailure);
}

void SetUnloggedFailureHandler(std::function<void(const std::string&)> handler) {
    UnloggedHandler() = std::move(handler);
}

std::string StandardErrorReport(std::int32_t number, std::string_view description,
                                std::string_view location) {
    std::string report = "Error No: " + std::to_string(number) + ", Error Description: ";
    report.append(description).append(", ").append(location);
    return report;
}

bool DateFormatSwitched() { return g_date_format_switched; }

void SetDateFormatSwitchHandler(std::function<void()> handler) {
    SwitchHandler() = std::move(handler);
}

std::string TodaysLogPath() { return LogPath(CurrentClock().LocalNow()); }

void ResetDateFormatSwitchedForTesting() { g_date_format_switched = false; }

}  // namespace kolbi
