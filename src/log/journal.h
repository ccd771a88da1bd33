#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kolbi {

// One entry of the system journal, as the error log hands it over.
struct JournalEntry {
    int priority = 3;               // syslog priority: 3 err, 4 warning, 5 notice, 6 info
    std::string message;            // MESSAGE=, one line of UTF-8
    std::int32_t error_number = 0;  // KOLBI_ERROR_NUMBER= (left out when 0)
    std::string location;           // KOLBI_LOCATION= and KOLBI_PROCEDURE= (left out when "")
};

// Sends an entry to the system journal, with SYSLOG_IDENTIFIER= the
// executable's name, so that `journalctl -u <unit> -p err` shows the pump's
// failures with their number and place as fields to filter on. Never fails:
// with no journal to take it (a run outside systemd) the entry is dropped,
// the error log and the system log being there for those runs.
void SendToJournal(const JournalEntry& entry);

// Where SendToJournal delivers entries: the system journal unless a test put
// a recorder in its place (nullptr puts the journal back).
void SetJournalSinkForTesting(std::function<void(const JournalEntry&)> sink);

// The procedure's name in a location text ("in procedure Do_Log of Feuille
// Form1" gives "Do_Log"); the text itself when it names none that way.
std::string ProcedureOf(const std::string& location);

}  // namespace kolbi
