#include "reportgen/report_generator.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "common/cp1252.h"
#include "reportgen/random.h"

namespace kolbi {
namespace {

// Salts of the independent random streams of one workstation.
constexpr std::uint64_t kDriverSalt = 0xD7;
constexpr std::uint64_t kHardwareSalt = 0x4A;

constexpr auto kProcessors = std::to_array<std::string_view>({
    "Intel Pentium III 866 MHz",
    "Intel Pentium 4 2800 MHz",
    "AMD Athlon XP 2400+",
    "Intel Core 2 Duo E6600",
});

constexpr auto kSystems = std::to_array<std::string_view>({
    "Windows 2000 Professional 5.0.2195 Service Pack 4",
    "Windows XP Professional 5.1.2600 Service Pack 2",
    "Windows 7 Professionnel 6.1.7601 Service Pack 1",
});

std::string Line(std::initializer_list<std::string_view> fields, std::string_view separator) {
    std::string line;
    for (std::string_view field : fields) {
        line += separator;
        line += field;
    }
    return line;
}

// Popular products sit at the front of the catalogue; squaring a uniform
// number makes them common and the tail rare.
std::size_t Popular(Random& random, std::size_t size) {
    const double u = random.Unit();
    return static_cast<std::size_t>(u * u * static_cast<double>(size));
}

// Adds count products that are not taken yet (only catalogued ones when
// asked) to chosen, popular ones more often. Gives up drawing after a while
// and takes the first free ones in catalogue order, so it always ends.
void Take(const std::vector<GeneratedProduct>& products, std::size_t count, bool catalogued_only,
          Random& random, std::vector<bool>& taken, std::vector<std::size_t>& chosen) {
    const std::size_t goal = chosen.size() + count;
    auto take = [&](std::size_t index) {
        if (taken[index] || (catalogued_only && !products[index].catalogued)) return;
        taken[index] = true;
        chosen.push_back(index);
    };
    for (std::size_t tries = 0; chosen.size() < goal && tries < 20 * count + 100; ++tries) {
        take(Popular(random, products.size()));
    }
    for (std::size_t index = 0; chosen.size() < goal && index < products.size(); ++index) {
        take(index);
    }
}

// The ODBC part of a report: a few distinct drivers, each with none, some or
// (rarely) many data sources, in the forms agents write them. Appends the
// lines to text and returns what they say.
std::vector<GeneratedDriverLine> AppendDrivers(Random& random,
                                               const std::vector<GeneratedDriver>& drivers,
                                               std::string& text) {
    std::vector<std::size_t> order(drivers.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    const std::vector<std::string>& names = DataSourceNames();
    std::vector<GeneratedDriverLine> lines;
    const int count = random.Between(1, 4);
    for (int d = 0; d < count; ++d) {
        std::swap(order[d], order[d + random.Below(order.size() - d)]);
        const GeneratedDriver& driver = drivers[order[d]];
        GeneratedDriverLine line{driver.name,
                                 driver.description,
                                 driver.versions[random.Percent(30) ? 1 : 0],
                                 driver.maker,
                                 {}};
        std::string written = Line({line.name, line.description, line.version, line.maker}, "¬");
        const int sources = random.Percent(20)  ? 0
                            : random.Percent(4) ? random.Between(6, 9)
                                                : random.Between(1, 3);
        const std::size_t first_name = random.Below(names.size());
        for (int s = 0; s < sources; ++s) {
            const std::string& name = names[(first_name + s) % names.size()];
            char server[8];
            std::snprintf(server, sizeof server, "SRV%02d", random.Between(1, 12));
            GeneratedDataSource source{name, name + "DB", server};
            const std::size_t form = random.Below(100);
            if (form < 75) {
                written += "¬(" + source.name + ";" + source.database + ";" + source.server + ")";
            } else if (form < 88) {
                // Older agents leave the parentheses out.
                written += "¬" + source.name + ";" + source.database + ";" + source.server;
            } else if (form < 96) {
                // A file data source names no server.
                source.server.clear();
                written += "¬(" + source.name + ";" + source.database + ")";
            } else {
                // Spaces inside an entry belong to its parts.
                written +=
                    "¬( " + source.name + " ; " + source.database + " ; " + source.server + " )";
                source = {" " + source.name + " ", " " + source.database + " ",
                          " " + source.server + " "};
            }
            line.sources.push_back(std::move(source));
        }
        if (random.Percent(3)) {
            // A separator left at the end of the line: one more entry, empty.
            written += "¬";
            line.sources.emplace_back();
        }
        text += written + "\r\n";
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace

std::string WorkstationName(int number) {
    char text[24];
    std::snprintf(text, sizeof text, "PC%03d", number);
    return text;
}

std::optional<std::string> RoundDate(const std::string& date, int round) {
    using namespace std::chrono;
    if (round < 1 || date.size() != 8 ||
        date.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const year_month_day first{year(std::stoi(date.substr(0, 4))),
                               month(static_cast<unsigned>(std::stoi(date.substr(4, 2)))),
                               day(static_cast<unsigned>(std::stoi(date.substr(6, 2))))};
    if (!first.ok()) return std::nullopt;
    const year_month_day stamp{sys_days(first) + days(round - 1)};
    if (int(stamp.year()) > 9999) return std::nullopt;
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02u%02u", int(stamp.year()), unsigned(stamp.month()),
                  unsigned(stamp.day()));
    return text;
}

ReportGenerator::ReportGenerator(ReportGeneratorOptions options)
    : options_(std::move(options)),
      catalogue_(options_.seed,
                 std::max<std::size_t>(500, 2 * static_cast<std::size_t>(
                                                    std::max(0, options_.products_per_report)))) {
    options_.products_per_report = std::max(0, options_.products_per_report);
    options_.round = std::max(1, options_.round);
    options_.churn_percent = std::clamp(options_.churn_percent, 0, 100);
}

std::vector<std::size_t> ReportGenerator::Installed(int number, int round) const {
    const std::vector<GeneratedProduct>& products = catalogue_.products();
    const auto wanted =
        std::min(static_cast<std::size_t>(options_.products_per_report), products.size());
    std::vector<bool> taken(products.size());
    std::vector<std::size_t> chosen;
    chosen.reserve(wanted);
    // Every workstation reports its operating system.
    if (wanted > 0) {
        taken[0] = true;
        chosen.push_back(0);
    }
    Random random(Mix(options_.seed, static_cast<std::uint64_t>(number) + 1));
    Take(products, wanted - chosen.size(), false, random, taken, chosen);

    const auto percent = static_cast<std::size_t>(options_.churn_percent);
    const std::size_t churn =
        percent == 0 || wanted == 0 ? 0 : std::max<std::size_t>(1, (wanted * percent + 50) / 100);
    for (int r = 2; r <= round; ++r) {
        Random churn_random(Mix(Mix(options_.seed, static_cast<std::uint64_t>(r)),
                                static_cast<std::uint64_t>(number)));
        // Removed: catalogued products picked evenly among the installed ones.
        std::vector<std::size_t> candidates;
        for (std::size_t position = 0; position < chosen.size(); ++position) {
            if (products[chosen[position]].catalogued) candidates.push_back(position);
        }
        const std::size_t removals = std::min(churn, candidates.size());
        std::vector<bool> removed(chosen.size());
        for (std::size_t k = 0; k < removals; ++k) {
            std::swap(candidates[k], candidates[k + churn_random.Below(candidates.size() - k)]);
            removed[candidates[k]] = true;
        }
        std::vector<std::size_t> next;
        for (std::size_t position = 0; position < chosen.size(); ++position) {
            if (!removed[position]) next.push_back(chosen[position]);
        }
        // Installed: as many others. The removed ones are still taken while
        // they are drawn, so none comes straight back.
        Take(products, removals, true, churn_random, taken, next);
        for (std::size_t position = 0; position < chosen.size(); ++position) {
            if (removed[position]) taken[chosen[position]] = false;
        }
        chosen = std::move(next);
    }
    return chosen;
}

GeneratedReport ReportGenerator::Report(int number) const {
    GeneratedReport report;
    report.workstation = WorkstationName(number);
    const std::string date = RoundDate(options_.date, options_.round).value_or(options_.date);
    report.file_name = report.workstation + "_" + date + ".SILog";

    const std::vector<GeneratedProduct>& products = catalogue_.products();
    const std::uint64_t workstation_seed =
        Mix(options_.seed, static_cast<std::uint64_t>(number) + 1);
    std::vector<std::string> lines;
    for (std::size_t index : Installed(number, options_.round)) {
        const GeneratedProduct& p = products[index];
        // A workstation that updated a product reports the other version, round after round.
        const bool updated = Random(Mix(workstation_seed, index + 1)).Percent(10);
        lines.push_back(Line(
            {p.description, p.name, updated ? p.alternate_version : p.version, p.copyright, ""},
            "!"));
    }
    std::sort(lines.begin(), lines.end());

    Random hardware(Mix(workstation_seed, kHardwareSalt));
    std::string text = "SoftInventory " + report.workstation + " " + date + "\r\n";
    text += "[Hardware]\r\n";
    text += "CPU=" + std::string(hardware.Pick(kProcessors)) + "\r\n";
    text += "RAM=" + std::to_string(256 << hardware.Below(4)) + " MB\r\n";
    text += "OS=" + std::string(hardware.Pick(kSystems)) + "\r\n\r\n";
    text += "[Software]\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    text += "[ODBC]\r\n";
    Random drivers(Mix(workstation_seed, kDriverSalt));
    report.drivers = AppendDrivers(drivers, catalogue_.drivers(), text);
    report.text = Utf8ToCp1252(text);
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
