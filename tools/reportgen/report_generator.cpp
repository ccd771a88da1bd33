#include "reportgen/report_generator.h"

#include "reportgen/random.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>
#include <string_view>
#include <utility>

namespace kolbi {
namespace {

std::uint64_t Mix(std::uint64_t seed, std::uint64_t salt) {
    return Random(seed ^ (salt * 0xD1B54A32D192ED03ULL)).Next();
}

// The word lists are written in UTF-8 for the reader; reports carry
// Windows-1252, where these characters are single bytes.
std::string ToWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::uint32_t code = lead;
        std::size_t width = 1;
        if (lead >= 0xE0 && i + 2 < utf8.size()) {
            code = ((lead & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3Fu);
            width = 3;
        } else if (lead >= 0xC0 && i + 1 < utf8.size()) {
            code = ((lead & 0x1Fu) << 6) | (utf8[i + 1] & 0x3Fu);
            width = 2;
        }
        i += width;
        if (code < 0x100) {
            out.push_back(static_cast<char>(code));
        } else if (code == 0x2122) {  // ™
            out.push_back('\x99');
        } else {
            out.push_back('?');
        }
    }
    return out;
}

std::string Replace(std::string text, std::string_view key, std::string_view value) {
    for (std::size_t at = text.find(key); at != std::string::npos;
         at = text.find(key, at + value.size())) {
        text.replace(at, key.size(), value);
    }
    return text;
}

constexpr std::array<std::string_view, 32> kVendors = {
    "Acme",
    "Gizmo Software",
    "Northwind Systems",
    "Bluebird Data",
    "Hobby Tools",
    "Zenith Labs",
    "Orbital Media",
    "Pinecrest",
    "Quantix",
    "Redwood Graphics",
    "Silverline",
    "Tandem Works",
    "Umbra Security",
    "Vortex Audio",
    "Willow Office",
    "Xeno Networks",
    "Yarrow Imaging",
    "Lumière Logiciels",
    "Éditions Mercure",
    "Castor & Pollux",
    "Kestrel",
    "Meridian Soft",
    "Nimbus",
    "Obsidian Games",
    "Papyrus",
    "Helix Research",
    "Ironbark",
    "Jasper Finance",
    "Galène",
    "Fjord Development",
    "Deltaforme",
    "Boréal Informatique",
};

constexpr std::array<std::string_view, 40> kNouns = {
    "Editor",
    "Viewer",
    "Studio",
    "Office",
    "Mail",
    "Browser",
    "Backup",
    "Antivirus",
    "Firewall",
    "Scanner",
    "PDF Reader",
    "Media Player",
    "Photo Suite",
    "Accounting",
    "Payroll",
    "Runtime",
    "SDK",
    "Toolkit",
    "Client",
    "Server Tools",
    "Designer",
    "Compiler",
    "Debugger",
    "Database",
    "Sync",
    "Agent",
    "Updater",
    "Remote Desktop",
    "Terminal",
    "Archiver",
    "Lecteur vidéo",
    "Gestionnaire",
    "Comptabilité",
    "Éditeur",
    "Mise à jour",
    "Sécurité réseau",
    "Traitement texte",
    "Agenda",
    "Présentations",
    "Tableur",
};

constexpr std::array<std::string_view, 8> kEditions = {
    "Pro", "Standard", "Enterprise", "Lite", "Plus", "Edition familiale", "Professionnel", "2000",
};

// {v} vendor, {y} year, {z} a later year. The shapes the vendor-name
// normalisation has to cope with, "(c)" and "©", "Inc." and "Corporation",
// French and English rights texts, and the odd empty one.
constexpr std::array<std::string_view, 14> kCopyrights = {
    "Copyright (c) {y} {v} Corporation. All rights reserved.",
    "Copyright © {y}-{z} {v} Inc. All rights reserved.",
    "(c) {y} {v} Inc.",
    "{v} Corp.",
    "Copyright © {y} {v}™",
    "{v} Technologies, Inc.",
    "{v}(R) {y} - {z}",
    "© {v}. Tous droits réservés",
    "{v} Corp. All Rights Reserved.",
    "Copyright {y} {v} Innovations",
    "{v}",
    "© {y}, {z} {v} Ltd.",
    "Copyright (C) {v} {y}",
    "",
};

constexpr std::array<std::string_view, 10> kDataSources = {
    "Payroll",  "Stock",      "CRM",    "Compta",   "Ventes",
    "Helpdesk", "Inventaire", "Achats", "Planning", "Archives",
};

constexpr std::array<std::string_view, 6> kDriverKinds = {
    "SQL", "Text", "Access", "dBase", "Excel", "Paradox",
};

std::string Version(Random& random) {
    const int major = random.Between(1, 16);
    const int minor = random.Between(0, 9);
    const int build = random.Between(0, 9999);
    // Agents copy what the installer registered: dotted or "5, 1, 2600, 0".
    char text[48];
    if (random.Percent(25)) {
        std::snprintf(text, sizeof text, "%d, %d, %d, %d", major, minor, build,
                      random.Between(0, 99));
    } else if (random.Percent(30)) {
        std::snprintf(text, sizeof text, "%d.%d", major, minor);
    } else {
        std::snprintf(text, sizeof text, "%d.%d.%d", major, minor, build);
    }
    return text;
}

std::string Copyright(Random& random, std::string_view vendor) {
    const int year = random.Between(1988, 2024);
    std::string text(random.Pick(kCopyrights));
    text = Replace(std::move(text), "{v}", vendor);
    text = Replace(std::move(text), "{y}", std::to_string(year));
    return Replace(std::move(text), "{z}", std::to_string(year + random.Between(1, 8)));
}

std::string Line(std::initializer_list<std::string_view> fields, std::string_view separator) {
    std::string line;
    for (std::string_view field : fields) {
        line += separator;
        line += field;
    }
    return line;
}

}  // namespace

std::string WorkstationName(int number) {
    char text[24];
    std::snprintf(text, sizeof text, "PC%03d", number);
    return text;
}

ReportGenerator::ReportGenerator(ReportGeneratorOptions options) : options_(std::move(options)) {
    options_.products_per_report = std::max(0, options_.products_per_report);
    Random random(Mix(options_.seed, 0));
    const std::size_t size =
        std::max<std::size_t>(500, 2 * static_cast<std::size_t>(options_.products_per_report));
    catalogue_.reserve(size);
    std::set<std::string> names;
    std::size_t repeats = 0;
    for (std::size_t i = 0; catalogue_.size() < size; ++i) {
        const std::string_view vendor = random.Pick(kVendors);
        const std::string brand(vendor.substr(0, vendor.find(' ')));
        const std::string_view noun = random.Pick(kNouns);
        Product product;
        switch (random.Below(6)) {
            case 0:
                product.name = brand + "® " + std::string(noun);
                break;
            case 1:
                product.name =
                    std::string(noun) + "™ " + std::to_string(random.Between(1995, 2024));
                break;
            case 2:
                product.name =
                    brand + " " + std::string(noun) + " " + std::string(random.Pick(kEditions));
                break;
            default:
                product.name = brand + " " + std::string(noun);
                break;
        }
        // The product name is the catalogue key: a repeated name gets another
        // draw, and only a catalogue larger than the word lists allow falls
        // back on a series number.
        if (!names.insert(product.name).second) {
            if (++repeats < 20 * size) continue;
            product.name.append(" ").append(std::to_string(i));
            names.insert(product.name);
        }
        product.version = Version(random);
        product.alternate_version = Version(random);
        product.description =
            random.Percent(60) ? product.name + " " +
                                     product.version.substr(0, product.version.find_first_of(".,"))
                               : product.name;
        product.copyright = Copyright(random, vendor);
        catalogue_.push_back(std::move(product));
    }
    // The operating system names itself in two languages, which takes it out
    // of the catalogue: every workstation reports it.
    catalogue_.insert(catalogue_.begin(),
                      Product{"Système d'exploitation - Operating System",
                              "Système d'exploitation - Operating System", "5.1.2600", "6.1.7601",
                              "Copyright © 1985-2001 Quantix Corporation. All rights reserved."});

    for (std::size_t i = 0; i < 12; ++i) {
        const std::string_view vendor = kVendors[(i * 7) % kVendors.size()];
        const std::string kind(kDriverKinds[i % kDriverKinds.size()]);
        const std::string brand(vendor.substr(0, vendor.find(' ')));
        drivers_.push_back({brand + " " + kind + " Driver", brand + " " + kind + " ODBC Driver",
                            Version(random), std::string(vendor) + " Corporation"});
    }
}

GeneratedReport ReportGenerator::Report(int number) const {
    Random random(Mix(options_.seed, static_cast<std::uint64_t>(number) + 1));
    GeneratedReport report;
    report.workstation = WorkstationName(number);
    report.file_name = report.workstation + "_" + options_.date + ".SILog";

    // Popular products sit at the front of the catalogue; squaring a uniform
    // number makes them common and the tail rare.
    const auto wanted = static_cast<std::size_t>(options_.products_per_report);
    std::vector<bool> taken(catalogue_.size());
    std::vector<std::size_t> chosen;
    chosen.reserve(wanted);
    for (std::size_t tries = 0; chosen.size() < wanted && tries < 20 * wanted + 100; ++tries) {
        const double u = random.Unit();
        const auto index = static_cast<std::size_t>(u * u * static_cast<double>(catalogue_.size()));
        if (!taken[index]) {
            taken[index] = true;
            chosen.push_back(index);
        }
    }
    for (std::size_t index = 0; chosen.size() < wanted && index < catalogue_.size(); ++index) {
        if (!taken[index]) chosen.push_back(index);
    }
    std::vector<std::string> lines;
    for (std::size_t index : chosen) {
        const Product& p = catalogue_[index];
        const std::string& version = random.Percent(10) ? p.alternate_version : p.version;
        lines.push_back(Line({p.description, p.name, version, p.copyright, ""}, "!"));
    }
    std::sort(lines.begin(), lines.end());

    std::string text = "SoftInventory " + report.workstation + " " + options_.date + "\r\n";
    text += "[Software]\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    text += "[ODBC]\r\n";
    const int driver_count = random.Between(1, 4);
    for (int d = 0; d < driver_count; ++d) {
        const Driver& driver = drivers_[random.Below(drivers_.size())];
        std::string line =
            Line({driver.name, driver.description, driver.version, driver.maker}, "¬");
        const int sources = random.Percent(20) ? 0 : random.Between(1, 3);
        for (int s = 0; s < sources; ++s) {
            char server[8];
            std::snprintf(server, sizeof server, "SRV%02d", random.Between(1, 12));
            const std::string name(random.Pick(kDataSources));
            // Older agents leave the parentheses out.
            const bool parentheses = random.Percent(80);
            line.append("¬").append(parentheses ? "(" : "");
            line.append(name).append(";").append(name).append("DB;").append(server);
            line.append(parentheses ? ")" : "");
        }
        text += line + "\r\n";
    }
    report.text = ToWindows1252(text);
    return report;
}

std::vector<GeneratedReport> ReportGenerator::Reports(int count) const {
    std::vector<GeneratedReport> reports;
    for (int number = 1; number <= count; ++number) reports.push_back(Report(number));
    return reports;
}

std::string GenerateInventoryText(std::uint64_t seed, std::size_t min_bytes) {
    ReportGeneratorOptions options;
    options.seed = seed;
    const ReportGenerator generator(options);
    std::string text;
    for (int number = 1; text.size() < min_bytes; ++number) text += generator.Report(number).text;
    return text;
}

}  // namespace kolbi
