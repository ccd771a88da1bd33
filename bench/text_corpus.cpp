#include "text_corpus.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kolbi::bench {
namespace {

// splitmix64: tiny, good enough, and fixed by its definition.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n).
    std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }
    double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
    template <class T>
    const T& Pick(const std::vector<T>& items) {
        return items[Below(items.size())];
    }

private:
    std::uint64_t state_;
};

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

struct Product {
    std::string description;
    std::string name;
    std::string version;
    std::string copyright;
};

std::string VendorName(Rng& rng) {
    static const std::vector<std::string> heads = Words(
        "Micro Info Data Net Soft Tech Cyber Digi Inter Sys Quant Opti Nova Terra Omni Astra "
        "Blue Red Green Silver Bright Clear Swift Alpha Delta Vector Pixel Logi Medi Fin Geo "
        "Euro Tele Auto Proto Servi Compu Ergo Lumi Stella");
    static const std::vector<std::string> tails = Words(
        "soft ware tronics logic works systems sys data link line core wave gate point scape "
        "labs com net tec matic vision graph");
    static const std::vector<std::string> forms = Words(
        "@_Inc. @_Corporation @_GmbH @_S.A. @_Ltd. @_Software_AG @_Technologies,_Inc. @_SARL "
        "@_Corp. @_B.V. @_Limited @_Group @");
    std::string name = rng.Pick(heads) + rng.Pick(tails);
    std::string form = rng.Pick(forms);
    std::replace(form.begin(), form.end(), '_', ' ');
    return form.replace(form.find('@'), 1, name);
}

std::string Version(Rng& rng) {
    switch (rng.Below(5)) {
        case 0:
            return std::to_string(rng.Below(12) + 1) + "." + std::to_string(rng.Below(10));
        case 1:
            return std::to_string(rng.Below(20) + 1) + "." + std::to_string(rng.Below(10)) + "." +
                   std::to_string(rng.Below(3000));
        case 2:
            return std::to_string(rng.Below(11)) + "." + std::to_string(rng.Below(4)) + "." +
                   std::to_string(rng.Below(20000)) + "." + std::to_string(rng.Below(999));
        case 3:
            return std::to_string(1998 + rng.Below(28));
        default:
            return std::to_string(rng.Below(6) + 1) + ".0" + std::to_string(rng.Below(10));
    }
}

std::string Copyright(Rng& rng, const std::string& vendor) {
    std::string year = std::to_string(1995 + rng.Below(31));
    std::string range = std::to_string(1990 + rng.Below(15)) + "-" + year;
    switch (rng.Below(8)) {
        case 0:
            return "Copyright (c) " + year + " " + vendor;
        case 1:
            return "\xA9 " + range + " " + vendor + ". All rights reserved.";
        case 2:
            return "Copyright \xA9 " + vendor + " " + year;
        case 3:
            return vendor;
        case 4:
            return "(C) " + vendor + " " + range;
        case 5:
            return "Copyright (C) " + range + ", " + vendor + ". Tous droits r\xE9serv\xE9s.";
        case 6:
            return vendor + "\xAE";
        default:
            return "";
    }
}

std::vector<Product> Catalogue(Rng& rng) {
    static const std::vector<std::string> nouns = Words(
        "Office Studio Reader Runtime Redistributable Driver Update Toolkit Viewer Manager "
        "Client Server Agent Suite Player Editor Assistant Security Backup Antivirus Framework "
        "Connector Designer Monitor Scanner Converter Explorer Compiler Library Pack Console "
        "Gateway Toolbar Launcher Plugin Helper");
    static const std::vector<std::string> adjectives = Words(
        "Professional Standard Enterprise Home Express Lite Advanced Basic Premium Portable "
        "Mobile Cloud Desktop Remote Visual Smart Secure Universal");
    static const std::vector<std::string> french = Words(
        "Gestionnaire Lecteur Pilote Outil Utilitaire Biblioth\xE8que \xC9"
        "diteur Mise_\xE0_jour "
        "Param\xE8tres Comptabilit\xE9 Sauvegarde");
    std::vector<Product> products;
    for (int v = 0; v < 320; ++v) {
        std::string vendor = VendorName(rng);
        std::string brand = vendor.substr(0, vendor.find(' '));
        std::size_t count = 1 + rng.Below(rng.Below(4) == 0 ? 40 : 8);
        for (std::size_t p = 0; p < count; ++p) {
            // Appended piece by piece: g++ 12 warns falsely on " " + a temporary string.
            std::string name = brand;
            name.append(" ").append(rng.Pick(nouns));
            if (rng.Below(2)) name.append(" ").append(rng.Pick(adjectives));
            if (rng.Below(3) == 0) name.append(" ").append(std::to_string(2000 + rng.Below(26)));
            if (rng.Below(8) == 0) name += "\x99";
            std::string description = name;
            if (rng.Below(4) == 0) {
                std::string word = rng.Pick(french);
                std::replace(word.begin(), word.end(), '_', ' ');
                description = word + " " + brand;
            } else if (rng.Below(5) == 0) {
                description = "Setup for " + name;
            }
            products.push_back({description, name, Version(rng), Copyright(rng, vendor)});
        }
    }
    return products;
}

}  // namespace

std::string InventoryReportText(std::size_t size) {
    Rng rng(0x5EED1);
    const std::vector<Product> catalogue = Catalogue(rng);
    const Zipf popularity(catalogue.size(), 1.1);
    static const std::vector<std::string> drivers = Words(
        "SQL_Server Microsoft_Access_Driver_(*.mdb) Microsoft_Excel_Driver_(*.xls) "
        "PostgreSQL_Unicode MySQL_ODBC_8.0_Unicode_Driver SQLite3_ODBC_Driver "
        "Oracle_in_OraClient19Home1 Client_Access_ODBC_Driver_(32-bit)");
    static const std::vector<std::string> sources = Words(
        "Compta Stock Paie Ventes CRM Inventaire MS_Access_Database Excel_Files dBASE_Files "
        "Planning Facturation");

    std::string text;
    text.reserve(size + 4096);
    for (int station = 0; text.size() < size; ++station) {
        text += "Inventaire logiciel du poste PC" + std::to_string(100 + station % 900) + " - " +
                std::to_string(1 + rng.Below(28)) + "/" + std::to_string(1 + rng.Below(12)) +
                "/2026\r\n";
        std::size_t products = 60 + rng.Below(190);
        for (std::size_t p = 0; p < products; ++p) {
            const Product& product = catalogue[popularity.Draw(rng)];
            text += "!" + product.description + "!" + product.name + "!" + product.version + "!" +
                    product.copyright + "!\r\n";
        }
        for (std::size_t d = rng.Below(4); d > 0; --d) {
            std::string line = "\xAC" + rng.Pick(drivers) + "\xAC" + Version(rng);
            for (std::size_t s = rng.Below(4); s > 0; --s) line += "\xAC" + rng.Pick(sources);
            std::replace(line.begin(), line.end(), '_', ' ');
            text += line + "\r\n";
        }
        text += "\r\n";
    }
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
