#include "text_corpus.h"

#include "reportgen/random.h"
#include "reportgen/report_generator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kolbi::bench {
namespace {

using Rng = kolbi::Random;

// Draws indexes 0..n-1 with weight 1 / (rank + 1)^exponent.
class Zipf {
public:
    Zipf(std::size_t n, double exponent) : cumulative_(n) {
        double sum = 0;
        for (std::size_t k = 0; k < n; ++k)
            cumulative_[k] = sum += 1.0 / std::pow(k + 1.0, exponent);
        for (double& c : cumulative_) c /= sum;
    }
    std::size_t Draw(Rng& rng) const {
        auto it = std::lower_bound(cumulative_.begin(), cumulative_.end(), rng.Unit());
        return std::min<std::size_t>(it - cumulative_.begin(), cumulative_.size() - 1);
    }

private:
    std::vector<double> cumulative_;
};

std::vector<std::string> Words(std::string_view list) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < list.size()) {
        std::size_t end = list.find(' ', at);
        if (end == std::string_view::npos) end = list.size();
        if (end > at) words.emplace_back(list.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

std::string Capitalized(std::string word) {
    if (!word.empty() && word[0] >= 'a' && word[0] <= 'z')
        word[0] = static_cast<char>(word[0] - 32);
    return word;
}

}  // namespace

std::string InventoryReportText(std::size_t size) {
    std::string text = GenerateInventoryText(0x5EED1, size);
    text.resize(size);
    return text;
}

std::string EnglishText(std::size_t size) {
    // The most common English words, most frequent first.
    static const std::vector<std::string> common = Words(
        "the of and to a in is that it was for on are as with his they at be this from I have "
        "or by one had not but what all were when we there can an your which their said if do "
        "will each about how up out them then she many some so these would other into has more "
        "her two like him see time could no make than first been its who now people my made "
        "over did down only way find use may water long little very after words called just "
        "where most know get through back much go good new write our me man too any day same "
        "right look think also around another came come work three word must because does part "
        "even place well such here take why things help put years different away again off went "
        "old number great tell men say small every found still between name should home big give "
        "air line set own under read last never us left end along while might next sound below "
        "saw something thought both few those always looked show large often together asked house "
        "world going want school important until form food keep children feet land side without "
        "boy once animals life enough took sometimes four head above kind began almost live page "
        "got earth need far hand high year mother light parts country father let night following "
        "picture being study second eyes soon times story boys since white days ever paper hard "
        "near sentence better best across during today others however sure means knew its try "
        "told young miles sun ways thing whole hear example heard several change answer room sea "
        "against top turned learn point city play toward five using himself usually");
    static const std::vector<std::string> syllables = Words(
        "con ver sa tion pro duc al ter ex pe ri ence im por tant in de pen dent re sult ing "
        "tra di ble ment ous ly ca pa ci ty gen er struc ture na ture");
    Rng rng(0xE16115);
    std::vector<std::string> words = common;
    for (int k = 0; k < 3000; ++k) {
        std::string word;
        for (std::size_t s = 2 + rng.Below(3); s > 0; --s) word += rng.Pick(syllables);
        words.push_back(word);
    }
    const Zipf frequency(words.size(), 1.0);

    std::string text;
    text.reserve(size + 256);
    std::string line;
    while (text.size() < size) {
        for (std::size_t s = 3 + rng.Below(6); s > 0; --s) {
            std::size_t length = 5 + rng.Below(20);
            for (std::size_t w = 0; w < length; ++w) {
                std::string word = words[frequency.Draw(rng)];
                if (w == 0) word = Capitalized(word);
                if (w + 1 == length) {
                    word += rng.Below(10) == 0 ? "?" : rng.Below(20) == 0 ? "!" : ".";
                } else if (rng.Below(12) == 0) {
                    word += ",";
                }
                if (line.size() + word.size() + 1 > 72) {
                    text += line + "\n";
                    line.clear();
                }
                line += line.empty() ? word : " " + word;
            }
        }
        text += line + "\n\n";
        line.clear();
    }
    text.resize(size);
    return text;
}

}  // namespace kolbi::bench
