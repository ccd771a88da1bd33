#include "log/journal.h"

#include <sys/uio.h>
#include <systemd/sd-journal.h>

#include <string_view>
#include <vector>

#include "common/file_helpers.h"

namespace kolbi {
namespace {

std::function<void(const JournalEntry&)>& Sink() {
    static std::function<void(const JournalEntry&)> sink;
    return sink;
}

// Fields go as they are, without a format: a message may hold any "%".
void SendToSystemJournal(const JournalEntry& entry) {
    std::vector<std::string> fields{
        "MESSAGE=" + entry.message,
        "PRIORITY=" + std::to_string(entry.priority),
        "SYSLOG_IDENTIFIER=" + ExecutableName(),
    };
    if (entry.error_number != 0) {
        fields.push_back("KOLBI_ERROR_NUMBER=" + std::to_string(entry.error_number));
    }
    if (!entry.location.empty()) {
        fields.push_back("KOLBI_LOCATION=" + entry.location);
        fields.push_back("KOLBI_PROCEDURE=" + ProcedureOf(entry.location));
    }
    std::vector<iovec> vector;
    for (std::string& field : fields) vector.push_back({field.data(), field.size()});
    (void)::sd_journal_sendv(vector.data(), static_cast<int>(vector.size()));
}

}  // namespace

void SendToJournal(const JournalEntry& entry) {
    if (Sink()) {
        Sink()(entry);
    } else {
        SendToSystemJournal(entry);
    }
}

void SetJournalSinkForTesting(std::function<void(const JournalEntry&)> sink) {
    Sink() = std::move(sink);
}

std::string ProcedureOf(const std::string& location) {
    constexpr std::string_view kLead = "in procedure ";
    const std::size_t at = location.find(kLead);
    if (at == std::string::npos) return location;
    const std::size_t start = at + kLead.size();
    return location.substr(start, location.find(' ', start) - start);
}

}  // namespace kolbi
