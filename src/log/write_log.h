#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kolbi {

inline constexpr std::int32_t kLevelInformation = 0;
inline constexpr std::int32_t kLevelWarning = 1;
inline constexpr std::int32_t kLevelError = 2;

// Appends one line to today's error log in the program's folder (header first
// when the file is new), opening and closing the file for the line; the file
// is created readable by the owner's group, not by everyone. Then applies the
// policies that hang on the error number: a value the database could not
// convert switches the log's date format; a lost connection or a closed or
// open object ends the program. While logging is switched off nothing is
// written and the date format stays, but those numbers end the program all
// the same, with the message handed to the unlogged-failure handler (see
// EndProgramAfterFailure). Never fails: a line that cannot be written is lost.
//
// The log is UTF-8. The message may be UTF-8 or Windows-1252: text that is not
// valid UTF-8 is read as Windows-1252 and converted; line breaks in it become
// spaces (LogLineText). The file's name carries the date with "-" for "/".
//
// Every line also goes to the system journal (SendToJournal), logging on or
// off, with the error number and `location` (the reporting procedure's
// location text, when there is one) as fields of their own; a line at level
// Error counts in Metrics() as an error.
void WriteLog(std::string_view message, std::int32_t level, std::int32_t error_number,
              std::string_view location = {});

// Ends the program (exit status 1) after a failure that WriteLog was just
// given. When that line did not reach the error log (logging is off, or the
// file cannot be written), it is handed to the unlogged-failure handler
// first, so that an end on a failure always leaves a trace somewhere.
[[noreturn]] void EndProgramAfterFailure();

// Where EndProgramAfterFailure tells a failure the error log did not take
// (the service host: the system log and the terminal). It gets the message,
// already flattened to one line, and why the log did not take it.
void SetUnloggedFailureHandler(std::function<void(const std::string&)> handler);

// "Error No: <n>, Error Description: <description>, <location>".
std::string StandardErrorReport(std::int32_t number, std::string_view description,
                                std::string_view location);

// True once the log has switched the date format; never reset while running.
bool DateFormatSwitched();

// The window's part of a date-format switch (enable Timer1, empty the status
// label, enable timerService). The service installs it; tests may too.
void SetDateFormatSwitchHandler(std::function<void()> handler);

// Full path of today's log file with the current date format.
std::string TodaysLogPath();

// Puts the date-format flag back to False (tests only).
void ResetDateFormatSwitchedForTesting();

}  // namespace kolbi
