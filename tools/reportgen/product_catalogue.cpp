#include "reportgen/product_catalogue.h"

#include <cctype>
#include <cstdio>
#include <set>
#include <string_view>
#include <utility>

#include "common/cp1252.h"
#include "common/replace_all.h"
#include "reportgen/random.h"

namespace kolbi {
namespace {

// The vendors at 0, 7, 14... make the drivers: one of them has an apostrophe.
constexpr auto kVendors = std::to_array<std::string_view>({
    "Acme",
    "Gizmo Software",
    "Northwind Systems",
    "Bluebird Data",
    "Hobby Tools",
    "Zenith Labs",
    "Orbital Media",
    "O'Brien Software",
    "Quantix",
    "Redwood Graphics",
    "Silverline",
    "Tandem Works",
    "Umbra Security",
    "Vortex Audio",
    "Lumière Logiciels",
    "Xeno Networks",
    "Yarrow Imaging",
    "Willow Office",
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
    "Pinecrest",
    "Soft.Rt",
});

constexpr auto kNouns = std::to_array<std::string_view>({
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
    "Carnet d'adresses",
    "Assistant d'installation",
    "Gestionnaire d'impression",
    "Kid's Paint",
});

constexpr auto kEditions = std::to_array<std::string_view>({
    "Pro",
    "Standard",
    "Enterprise",
    "Lite",
    "Plus",
    "Edition familiale",
    "Professionnel",
    "2000",
    "Édition d'évaluation",
});

constexpr auto kTaglines = std::to_array<std::string_view>({
    "outil de sauvegarde",
    "Editor, viewer and converter",
    "client for the office network",
    "suite bureautique",
    "utilitaire système",
    "l'assistant du poste",
});

// {v} vendor, {y} year, {z} a later year: the shapes the vendor-name
// normalisation has to cope with, "(c)" and "©", "Inc." and "Corporation",
// French and English rights texts. The last two name no vendor at all.
struct CopyrightShape {
    std::string_view text;
    bool names_vendor;
};
constexpr auto kCopyrights = std::to_array<CopyrightShape>({
    {"Copyright (c) {y}-{z} {v} Corporation. All rights reserved.", true},
    {"Copyright (c) {y} {v} Corporation. All rights reserved.", true},
    {"Copyright © {y}-{z} {v} Inc. All rights reserved.", true},
    {"(c) {y} {v} Inc.", true},
    {"{v} Corp.", true},
    {"Copyright © {y} {v}™", true},
    {"{v} Technologies, Inc.", true},
    {"{v}(R) {y} - {z}", true},
    {"© {v}. Tous droits réservés", true},
    {"{v} Corp. All Rights Reserved.", true},
    {"Copyright {y} {v} Innovations", true},
    {"{v} Innovations", true},
    {"{v}", true},
    {"© {y}, {z} {v} Ltd.", true},
    {"Copyright (C) {v} {y}", true},
    {"Copyright © {y} {v} Corp", true},
    {"(c) {v} (tm) {y}", true},
    {"Copyright by {v}", true},
    {"", false},
    {"Copyright {y}", false},
});

constexpr auto kDataSources = std::to_array<std::string_view>({
    "Payroll",
    "Stock",
    "CRM",
    "Compta",
    "Ventes",
    "Helpdesk",
    "Inventaire",
    "Achats",
    "Planning",
    "Archives",
    "Carnet d'adresses",
    "Stock Zürich",
});

constexpr auto kDriverKinds = std::to_array<std::string_view>({
    "SQL",
    "Text",
    "Access",
    "dBase",
    "Excel",
    "Paradox",
});

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

std::string DriverVersion(Random& random) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d.%02d", random.Between(2, 9),
                  random.Between(0, 99), random.Between(0, 9999), random.Between(0, 99));
    return text;
}

std::string Copyright(Random& random, const CopyrightShape& shape, std::string_view vendor) {
    // Up to 2010 a year is cut out of a vendor name; a text that names no
    // vendor must come out empty.
    const int year = random.Between(1988, 2010);
    std::string text = ReplaceAll(shape.text, "{v}", vendor);
    text = ReplaceAll(text, "{y}", std::to_string(year));
    return ReplaceAll(text, "{z}", std::to_string(year + random.Between(1, 8)));
}

std::string ProductName(Random& random, const std::string& brand, std::string_view noun) {
    const std::string n(noun);
    switch (random.Below(12)) {
        case 0:
        case 1:
            return brand + "® " + n;
        case 2:
            return n + "™ " + std::to_string(random.Between(1995, 2010));
        case 3:
        case 4:
            return brand + " " + n + " " + std::string(random.Pick(kEditions));
        case 5:
            return brand + " " + n + " " + std::to_string(random.Between(2, 12));
        case 6:
            return brand + "@" + n;
        default:
            return brand + " " + n;
    }
}

// Letters and digits only, lower case, accents dropped: two names with the
// same fold could meet as one catalogue entry, two with different folds never.
std::string Folded(std::string_view utf8) {
    // Windows-1252 0xC0 to 0xFF; "_" marks the signs × and ÷.
    static constexpr std::string_view kLatin =
        "aaaaaaaceeeeiiiidnooooo_ouuuuytsaaaaaaaceeeeiiiidnooooo_ouuuuyty";
    std::string folded;
    for (const char c : Utf8ToCp1252(utf8)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= '0' && byte <= '9') {
            folded.push_back(c);
        } else if ((byte | 0x20) >= 'a' && (byte | 0x20) <= 'z') {
            folded.push_back(static_cast<char>(byte | 0x20));
        } else if (byte >= 0xC0 && kLatin[byte - 0xC0] != '_') {
            folded.push_back(kLatin[byte - 0xC0]);
        }
    }
    return folded;
}

}  // namespace

std::uint64_t Mix(std::uint64_t seed, std::uint64_t salt) {
    return Random(seed ^ (salt * 0xD1B54A32D192ED03ULL)).Next();
}

const std::vector<std::string>& DataSourceNames() {
    static const std::vector<std::string> names(kDataSources.begin(), kDataSources.end());
    return names;
}

ProductCatalogue::ProductCatalogue(std::uint64_t seed, std::size_t size) {
    Random random(Mix(seed, 0));
    std::set<std::string> folds;
    for (std::size_t i = 0; i < 12; ++i) {
        const std::string_view vendor = kVendors[(i * 7) % kVendors.size()];
        const std::string kind(kDriverKinds[i % kDriverKinds.size()]);
        const std::string brand(vendor.substr(0, vendor.find(' ')));
        GeneratedDriver driver{brand + " " + kind + " Driver",
                               brand + " " + kind + " ODBC Driver",
                               {DriverVersion(random), DriverVersion(random)},
                               std::string(vendor) + (i % 3 ? " Corporation" : " Inc.")};
        folds.insert(Folded(driver.description));
        drivers_.push_back(std::move(driver));
    }

    // The operating system names itself in two languages, which takes it out
    // of the catalogue: it comes first, the most popular line of all.
    products_.push_back({"Système d'exploitation - Operating System",
                         "Système d'exploitation - Operating System", "5, 1, 2600, 0", "6.1.7601",
                         "Copyright © 1985-2001 Quantix Corporation. All rights reserved.", false});
    products_.reserve(size + 1);
    std::size_t repeats = 0;
    for (std::size_t i = 0; products_.size() <= size; ++i) {
        const std::string_view vendor = random.Pick(kVendors);
        const std::string brand(vendor.substr(0, vendor.find(' ')));
        GeneratedProduct product;
        product.name = ProductName(random, brand, random.Pick(kNouns));
        // A repeated name gets another draw; only a catalogue larger than the
        // word lists allow falls back on a series number.
        if (!folds.insert(Folded(product.name)).second) {
            if (++repeats < 20 * size) continue;
            product.name.append(" ").append(std::to_string(i));
            folds.insert(Folded(product.name));
        }
        product.version = Version(random);
        product.alternate_version = Version(random);
        const std::string major = product.version.substr(0, product.version.find_first_of(".,"));
        // "Editor 7" for Editor version 7.2, but not "Editor 2000 7".
        const bool numbered = std::isdigit(static_cast<unsigned char>(product.name.back()));
        const int description_shape = random.Between(0, 9);
        product.description = description_shape < 6 && !numbered ? product.name + " " + major
                              : description_shape < 8
                                  ? product.name + " - " + std::string(random.Pick(kTaglines))
                                  : product.name;
        const CopyrightShape& shape = random.Pick(kCopyrights);
        product.copyright = Copyright(random, shape, vendor);
        product.catalogued = shape.names_vendor;
        products_.push_back(std::move(product));
    }
}

}  // namespace kolbi
