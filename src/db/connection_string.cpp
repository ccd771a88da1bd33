#include "db/connection_string.h"

#include <algorithm>
#include <string_view>

#include "common/ascii.h"

namespace kolbi {
namespace {

constexpr std::string_view kProviderPrefix = "Provider=MSDASQL.1;Extended Properties='";

bool IsBlank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

// A value as the connection string carries it. One that holds a ";", or that
// begins with "{" (spaces aside), would end early or swallow the settings
// after it, so it goes in braces with each "}" doubled. Any other value goes in
// as it is: the PostgreSQL and SQLite drivers take braces off a password only,
// and a braced data-source name makes the SQLite driver open a database other
// than the one the data source names.
std::string OdbcValue(const std::string& value) {
    const std::size_t first = value.find_first_not_of(' ');
    if (value.find(';') == std::string::npos &&
        (first == std::string::npos || value[first] != '{')) {
        return value;
    }
    std::string braced = "{";
    for (char c : value) {
        braced.push_back(c);
        if (c == '}') braced.push_back('}');
    }
    return braced + "}";
}

// Where the pair that begins at `pos` ends: at the next ";" that is not
// inside a value in braces, or at the end of the text. A brace that is never
// closed runs to the end.
std::size_t PairEnd(std::string_view text, std::size_t pos) {
    std::size_t equals = text.find('=', pos);
    std::size_t end = text.find(';', pos);
    if (equals == std::string_view::npos || equals > end) return std::min(end, text.size());
    std::size_t value = text.find_first_not_of(' ', equals + 1);
    if (value == std::string_view::npos || text[value] != '{') return std::min(end, text.size());
    std::size_t at = value + 1;
    while (at < text.size()) {
        if (text[at] == '}') {
            if (at + 1 < text.size() && text[at + 1] == '}') {
                at += 2;
                continue;
            }
            break;
        }
        ++at;
    }
    if (at >= text.size()) return text.size();
    return std::min(text.find(';', at), text.size());
}

}  // namespace

std::string BuildConnectionString(const PumpSettings& settings) {
    if (!IsBlank(settings.DsnEntry)) {
        return std::string(kProviderPrefix) + "DSN=" + OdbcValue(settings.DsnEntry) +
               ";Trusted_Connection=Yes'";
    }
    return "Driver={SQL Server};Server=" + OdbcValue(settings.SQLSERVER) +
           ";Database=" + OdbcValue(settings.Database) + ";Uid=" + OdbcValue(settings.SQLUser) +
           ";Pwd=" + OdbcValue(settings.SQLPass);
}

std::string OdbcConnectionString(const std::string& connection_string) {
    std::string_view text = connection_string;
    if (text.size() > kProviderPrefix.size() &&
        text.substr(0, kProviderPrefix.size()) == kProviderPrefix && text.back() == '\'') {
        return std::string(
            text.substr(kProviderPrefix.size(), text.size() - kProviderPrefix.size() - 1));
    }
    return connection_string;
}

std::string HidePassword(const std::string& connection_string) {
    std::string out;
    bool hiding = false;
    std::size_t pos = 0;
    while (pos <= connection_string.size()) {
        const std::size_t end = PairEnd(connection_string, pos);
        std::string_view pair(connection_string.data() + pos, end - pos);
        std::size_t equals = pair.find('=');
        std::string_view key = pair.substr(0, equals);
        while (!key.empty() && key.front() == ' ') key.remove_prefix(1);
        while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
        if (hiding && equals == std::string_view::npos) {
            // A password written without braces (by hand, or by an older
            // pump) is split by a ";" of its own, and what follows, no
            // "key=value" of its own, is still the password.
        } else if (equals != std::string_view::npos &&
                   (EqualsNoCase(key, "Pwd") || EqualsNoCase(key, "Password"))) {
            if (pos > 0) out.push_back(';');
            out.append(pair.substr(0, equals + 1)).append("***");
            hiding = true;
        } else {
            if (pos > 0) out.push_back(';');
            out.append(pair);
            hiding = false;
        }
        if (end == connection_string.size()) break;
        pos = end + 1;
    }
    return out;
}

}  // namespace kolbi
