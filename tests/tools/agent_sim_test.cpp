// kolbi-agent-sim and its rounds: the files a simulated network writes, and
// whether its manifest tells the truth about them.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "codec/cls_huffman.h"
#include "common/cp1252.h"
#include "report/report_line.h"
#include "reportgen/manifest.h"
#include "support/subprocess.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

using testing::ProcessResult;
using testing::TempFolder;
using Rows = std::vector<std::vector<std::string>>;

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

Rows ManifestRows(const std::string& text) {
    Rows rows;
    for (const std::string& line : Split(text, '\n')) {
        if (!line.empty() && line[0] != '#') rows.push_back(Split(line, '\t'));
    }
    return rows;
}

ProcessResult AgentSim(std::vector<std::string> args) {
    return testing::RunProcess(KOLBI_REPORTGEN_PATH, args);
}

ReportGeneratorOptions Options(int products, int churn, int round) {
    ReportGeneratorOptions options;
    options.seed = 77;
    options.products_per_report = products;
    options.churn_percent = churn;
    options.round = round;
    return options;
}

TEST(AgentSimTest, SameSeedSameRoundSameFiles) {
    TempFolder folder;
    const std::vector<std::string> args = {"--workstations", "4", "--products", "40", "--seed", "5",
                                           "--round",        "2", "--manifest"};
    for (const char* name : {"a", "b"}) {
        std::vector<std::string> run = args;
        run.insert(run.end(), {folder / (name + std::string(".tsv")), "--out", folder / name});
        ASSERT_EQ(AgentSim(run).exit_status, 0);
    }
    EXPECT_TRUE(folder.Read("a.tsv") == folder.Read("b.tsv"));
    for (int n = 1; n <= 4; ++n) {
        const std::string file = "/PC00" + std::to_string(n) + "_20261205.SILog";
        EXPECT_FALSE(folder.Read("a" + file).empty()) << file;
        EXPECT_TRUE(folder.Read("a" + file) == folder.Read("b" + file)) << file;
    }
}

// (products, churn %, products replaced per round): at least one when churn is asked.
TEST(AgentSimTest, ChurnReplacesTheAskedShareRoundAfterRound) {
    for (auto [products, churn, replaced] :
         {std::tuple{100, 5, 5u}, {200, 2, 4u}, {40, 1, 1u}, {60, 0, 0u}}) {
        std::map<int, ExpectedReport> before;
        for (int round = 1; round <= 3; ++round) {
            const SimulatedRound simulated(Options(products, churn, round));
            for (int n = 1; n <= 6; ++n) {
                ExpectedReport now;
                const GeneratedReport report = simulated.Report(n, now);
                EXPECT_EQ(now.product_lines, products);
                if (round == 1) {
                    EXPECT_TRUE(now.added.empty() && now.removed.empty());
                } else {
                    ASSERT_EQ(now.added.size(), replaced) << products << " " << round;
                    ASSERT_EQ(now.removed.size(), replaced) << products << " " << round;
                    // What was there, less the removed, plus the added, is what is there.
                    std::set<std::string> expected;
                    for (const ExpectedProduct& p : before[n].installed) expected.insert(p.product);
                    for (const std::string& name : now.removed) EXPECT_EQ(expected.erase(name), 1u);
                    for (const std::string& name : now.added)
                        EXPECT_TRUE(expected.insert(name).second);
                    std::set<std::string> installed;
                    for (const ExpectedProduct& p : now.installed) installed.insert(p.product);
                    EXPECT_EQ(installed, expected);
                }
                if (churn == 0 && round > 1) {
                    // Nothing changes but the date of the file and of its first line.
                    const std::string first =
                        ReportGenerator(Options(products, 0, 1)).Report(n).text;
                    EXPECT_EQ(report.text.substr(report.text.find('\n')),
                              first.substr(first.find('\n')));
                }
                before[n] = now;
            }
        }
    }
}

TEST(AgentSimTest, EveryFileDecodesIntoWhatItsManifestSays) {
    TempFolder folder;
    constexpr int kStations = 40;
    const ProcessResult run =
        AgentSim({"--workstations", "40", "--products", "60", "--seed", "3", "--round", "2",
                  "--churn", "5", "--out", folder / "in", "--manifest", folder / "round.tsv"});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    std::map<std::string, std::vector<std::string>> rows_of;  // "kind workstation" -> values
    std::set<std::string> named;
    int reports = 0;
    for (const std::vector<std::string>& row : ManifestRows(folder.Read("round.tsv"))) {
        if (row[0] == "product") {
            EXPECT_TRUE(named.insert(row[1]).second) << row[1];
            continue;
        }
        ASSERT_GE(row.size(), 4u);
        EXPECT_EQ(row[1], "2");
        const std::string key = row[0] + " " + row[2];
        if (row[0] == "report") {
            ++reports;
            EXPECT_EQ(row[4], "60");
            rows_of[key] = {row[3]};
        } else if (row[0] == "source") {
            rows_of[key].push_back(row.at(7) + ";" + row.at(8) + ";" + row.at(9));
        } else {
            rows_of[key].push_back(row[3]);
        }
    }
    EXPECT_EQ(reports, kStations);
    clsHuffman codec;
    std::set<std::string> forms;
    for (int n = 1; n <= kStations; ++n) {
        const std::string station = WorkstationName(n);
        const std::string stream = folder.Read("in/" + rows_of["report " + station].at(0));
        ASSERT_EQ(stream.rfind("HE3\r", 0), 0u) << station;
        const std::string text = codec.DecodeString(stream);
        int product_lines = 0;
        std::vector<std::string> installed;
        for (const ExpectedProduct& p : CataloguedProducts(text, &product_lines)) {
            installed.push_back(p.product);
            EXPECT_EQ(named.count(p.product), 1u) << p.product;
        }
        EXPECT_EQ(product_lines, 60) << station;
        EXPECT_EQ(installed, rows_of["installed " + station]);
        EXPECT_EQ(rows_of["added " + station].size(), 3u);
        EXPECT_EQ(rows_of["removed " + station].size(), 3u);
        // The data sources, read from the text the way the ODBC inventory reads them.
        std::vector<std::string> drivers;
        std::vector<std::string> sources;
        for (const std::string& line : Split(text, '\n')) {
            const std::string cleaned = CleanReportLine(line);
            if (cleaned.empty() || cleaned[0] != '\xAC') continue;
            const std::vector<std::string> fields = Split(cleaned, '\xAC');
            drivers.push_back(Cp1252ToUtf8(fields.at(1)));
            for (std::size_t i = 5; i < fields.size(); ++i) {
                std::string entry = fields[i];
                std::erase(entry, '(');
                std::erase(entry, ')');
                std::vector<std::string> parts = Split(entry, ';');
                parts.resize(3);
                sources.push_back(Cp1252ToUtf8(parts[0] + ";" + parts[1] + ";" + parts[2]));
                forms.insert(sources.back() == ";;"          ? "empty"
                             : sources.back().front() == ' ' ? "spaced"
                             : sources.back().back() == ';'  ? "no server"
                                                             : "plain");
            }
        }
        EXPECT_EQ(drivers, rows_of["driver " + station]) << station;
        EXPECT_EQ(sources, rows_of["source " + station]) << station;
    }
    EXPECT_EQ(forms.size(), 4u) << ::testing::PrintToString(forms);
}

TEST(AgentSimTest, SaysWhatIsWrongAndExitsAsTheOtherTools) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--round", "0"},
                                               {"--churn", "101"},
                                               {"--products", "40000"},
                                               {"--date", "20260230"},
                                               {"--workstations", "x"},
                                               {"--manifest"}}) {
        const ProcessResult run = AgentSim(args);
        EXPECT_EQ(run.exit_status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(run.err.rfind("kolbi-agent-sim: ", 0), 0u) << run.err;
    }
    TempFolder folder;
    folder.Write("file", "x");
    const ProcessResult blocked = AgentSim({"--workstations", "1", "--out", folder / "file/in"});
    EXPECT_EQ(blocked.exit_status, 1);
    EXPECT_NE(blocked.err.find(folder / "file/in"), std::string::npos) << blocked.err;
    const ProcessResult help = AgentSim({"--help"});
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_NE(help.out.find("--churn PERCENT"), std::string::npos);
}

}  // namespace
}  // namespace kolbi
