#include "common/pump_settings.h"

#include <algorithm>

namespace kolbi {
namespace {

constexpr std::chrono::seconds kDefaultSettleTime{600};
constexpr long long kLongestSettleSeconds = 365LL * 24 * 3600;

}  // namespace

PumpSettings& Settings() {
    static PumpSettings settings;
    return settings;
}

std::string DecompressedFolder() {
    return Settings().IncomingFolder + kDecompressedSubfolder + "/";
}

std::chrono::seconds SettleTime() {
    const std::string& text = Settings().SettleSeconds;
    std::size_t at = text.find_first_not_of(' ');
    if (at == std::string::npos || text[at] < '0' || text[at] > '9') return kDefaultSettleTime;
    long long seconds = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        seconds = std::min(seconds * 10 + (text[at] - '0'), kLongestSettleSeconds);
    }
    return std::chrono::seconds(seconds);
}

}  // namespace kolbi
