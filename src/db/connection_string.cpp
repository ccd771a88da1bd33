#include "db/connection_string.h"

#include <string_view>

#include "common/ascii.h"

namespace kolbi {
namespace {

constexpr std::string_view kProviderPrefix = "Provider=MSDASQL.1;Extended Properties='";

bool IsBlank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

}  // namespace

std::string BuildConnectionString(const PumpSettings& settings) {
    if (!IsBlank(settings.DsnEntry)) {
        return std::string(kProviderPrefix) + "DSN=" + settings.DsnEntry +
               ";Trusted_Connection=Yes'";
    }
    return "Driver={SQL Server};Server=" + settings.SQLSERVER + ";Database=" + settings.Database +
           ";Uid=" + settings.SQLUser + ";Pwd=" + settings.SQLPass;
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
        std::size_t end = connection_string.find(';', pos);
        if (end == std::string::npos) end = connection_string.size();
        std::string_view pair(connection_string.data() + pos, end - pos);
        std::size_t equals = pair.find('=');
        std::string_view key = pair.substr(0, equals);
        while (!key.empty() && key.front() == ' ') key.remove_prefix(1);
        while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
        if (hiding && equals == std::string_view::npos) {
            // The password goes in unquoted: a ";" of its own splits it, and
            // what follows, no "key=value" of its own, is still the password.
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
