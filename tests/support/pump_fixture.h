#pragma once

// The pump's surroundings for tests that run its own procedures, in one
// object instead of the process-wide state set by hand in every fixture.

#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/file_helpers.h"
#include "common/program_end.h"
#include "common/pump_metrics.h"
#include "common/pump_settings.h"
#include "common/status_text.h"
#include "log/journal.h"
#include "log/write_log.h"
#include "support/temp_folder.h"

namespace kolbi::testing {

// While it lives:
// - AppFolder() is `app`, a fresh temporary folder, and the program is named
//   `name`, so the error log is app/NAME-04-12-2026.log;
// - Settings() is that of a configured pump: AppFolder and IniFile
//   (app/KolbiPumps.ini) set, SqlDateFormat "DD-MM-YYYY", LogErrors on, the
//   rest empty;
// - the clock is `clock`, a FakeClock at 4 December 2026, 9:05:03 until moved;
// - no date-format switch has happened and no window handler hears of one,
//   and the status line is empty;
// - the metrics are those of a pump that has just started, and what would go
//   to the system journal goes to `journal`;
// - EndProgram throws ProgramEnded instead of ending the test (ExitStatusOf
//   catches it).
class PumpEnvironment {
public:
    explicit PumpEnvironment(const std::string& name = "kolbipump") {
        SetAppFolderForTesting(app.path(), name);
        Settings() = PumpSettings{};
        Settings().AppFolder = app.path();
        Settings().IniFile = app / "KolbiPumps.ini";
        Settings().SqlDateFormat = "DD-MM-YYYY";
        Settings().LogErrors = true;
        ResetDateFormatSwitchedForTesting();
        SetDateFormatSwitchHandler(nullptr);
        SetStatusText("");
        Metrics() = PumpMetrics();
        SetJournalSinkForTesting([this](const JournalEntry& entry) { journal.push_back(entry); });
    }
    ~PumpEnvironment() { SetJournalSinkForTesting(nullptr); }
    PumpEnvironment(const PumpEnvironment&) = delete;
    PumpEnvironment& operator=(const PumpEnvironment&) = delete;

    TempFolder app;
    FakeClock clock;
    std::vector<JournalEntry> journal;

    // Writes app/KolbiPumps.ini: [DataBase] holding `database`, then
    // [SoftInventory] holding `soft_inventory`, each given as "Key=value\r\n" lines.
    void WriteIni(const std::string& database, const std::string& soft_inventory) const {
        app.Write("KolbiPumps.ini",
                  "[DataBase]\r\n" + database + "[SoftInventory]\r\n" + soft_inventory);
    }

    // Today's error log as written, "" when there is none.
    std::string Log() const {
        std::ifstream in(TodaysLogPath(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // The lines of today's log that begin with `level` ("Error", "Setting"),
    // without their CR LF.
    std::vector<std::string> LogLines(const std::string& level = "Error") const {
        std::istringstream log(Log());
        std::vector<std::string> lines;
        for (std::string line; std::getline(log, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.rfind(level, 0) == 0) lines.push_back(line);
        }
        return lines;
    }

private:
    ScopedClock scoped_clock_{clock};
    ScopedProgramEndTrap trap_;
};

// Runs a step that may end the program: the exit status it ended with, or
// nothing when it returned.
inline std::optional<int> ExitStatusOf(const std::function<void()>& step) {
    ScopedProgramEndTrap trap;
    try {
        step();
    } catch (const ProgramEnded& ended) {
        return ended.exit_status;
    }
    return std::nullopt;
}

}  // namespace kolbi::testing
