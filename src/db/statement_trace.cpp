#include "db/statement_trace.h"

#include <functional>
#include <string>

namespace kolbi {
namespace {

std::FILE* g_file = nullptr;
std::function<void(std::string_view)> g_observer;
// The parameters bound so far for the statement about to be sent.
std::string g_parameters;
int g_parameter_count = 0;

void Append(std::string& out, std::string_view head, std::string_view payload) {
    out.append(head);
    out.append(payload);
    out.push_back('\n');
}

std::string Payload(const Value& value) {
    switch (value.kind()) {
        case Value::Kind::kNull:
            return {};
        case Value::Kind::kInteger:
            return std::to_string(value.integer());
        case Value::Kind::kDouble: {
            char text[32];
            std::snprintf(text, sizeof text, "%.17g", value.real());
            return text;
        }
        case Value::Kind::kText:
            return value.utf8();
        case Value::Kind::kDate: {
            const DateValue& d = value.date();
            return std::to_string(d.year) + " " + std::to_string(d.month) + " " +
                   std::to_string(d.day);
        }
        case Value::Kind::kDateTime: {
            const DateTimeValue& t = value.date_time();
            // Bound with microseconds, the finest every database here keeps.
            return std::to_string(t.year) + " " + std::to_string(t.month) + " " +
                   std::to_string(t.day) + " " + std::to_string(t.hour) + " " +
                   std::to_string(t.minute) + " " + std::to_string(t.second) + " " +
                   std::to_string(t.fraction / 1000 * 1000);
        }
    }
    return {};
}

}  // namespace

void TraceStatementsTo(std::FILE* file) {
    g_file = file;
    statement_trace::Discard();
}

void ObserveStatements(std::function<void(std::string_view)> observer) {
    g_observer = std::move(observer);
}

namespace statement_trace {

bool On() { return g_file != nullptr || g_observer; }

void Parameter(int c_type, int sql_type, unsigned long column_size, int digits,
               const Value& value) {
    if (!g_file) return;
    const std::string payload = Payload(value);
    const long bytes = value.IsNull() ? -1 : static_cast<long>(payload.size());
    const std::string head = "P " + std::to_string(c_type) + " " + std::to_string(sql_type) + " " +
                             std::to_string(column_size) + " " + std::to_string(digits) + " " +
                             std::to_string(bytes) + "\n";
    Append(g_parameters, head, value.IsNull() ? "NULL" : payload);
    ++g_parameter_count;
}

void Statement(std::string_view sent) {
    if (g_observer) g_observer(sent);
    if (!g_file) return;
    std::string record;
    Append(record,
           "S " + std::to_string(sent.size()) + " " + std::to_string(g_parameter_count) + "\n",
           sent);
    record.append(g_parameters);
    std::fwrite(record.data(), 1, record.size(), g_file);
    g_parameters.clear();
    g_parameter_count = 0;
}

void Discard() {
    g_parameters.clear();
    g_parameter_count = 0;
}

void ConnectionOptions(std::string_view options) {
    if (!g_file) return;
    std::fprintf(g_file, "O %.*s\n", static_cast<int>(options.size()), options.data());
}

void Transaction(std::string_view what) {
    if (g_observer) g_observer(what);
    if (!g_file) return;
    std::fprintf(g_file, "T %.*s\n", static_cast<int>(what.size()), what.data());
}

}  // namespace statement_trace
}  // namespace kolbi
