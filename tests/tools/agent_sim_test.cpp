// The simulated agents: the reports the generator writes, how rounds change
// them, and whether the files and manifest kolbi-agent-sim writes tell the
// truth about them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

using ::testing::HasSubstr;
using testing::ProcessResult;
using ::testing::StartsWith;

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

ProcessResult AgentSim(const std::vector<std::string>& args) {
    return testing::RunProcess(KOLBI_REPORTGEN_PATH, args);
}

// The seed and the number alone decide a report, whatever was generated
// before: the agents' expectations are computed apart from their files.
// Reports are Windows-1252, in the shapes the normalisation meets.
TEST(ReportGeneratorTest, TheSeedAndTheNumberAloneDecideAWindows1252Report) {
    const auto first = ReportGenerator({.seed = 42}).Reports(5);
    EXPECT_TRUE(ReportGenerator({.seed = 42}).Report(4).text == first[3].text);
    EXPECT_FALSE(ReportGenerator({.seed = 43}).Report(4).text == first[3].text);
    EXPECT_EQ(ReportGenerator({.seed = 42, .round = 3}).Report(12).file_name,
              "PC012_20261206.SILog");

    const std::string text = GenerateInventoryText(3, 200000);
    for (const char* needle : {"\xA9", "\xAE", "\x99", "\xE9", "\xAC(", ";", "(c)", "Corporation",
                               " Inc.", "All rights reserved.", "Tous droits r\xE9serv\xE9s",
                               "Syst\xE8me d'exploitation - Operating System", ", ", "(R)"}) {
        EXPECT_NE(text.find(needle), std::string::npos) << "never generated: " << needle;
    }
    // No UTF-8 leaked from the word lists: "é" and "©" would start with C3 and C2.
    EXPECT_EQ(text.find_first_of("\xC3\xC2"), std::string::npos);
}

// (products, churn %, products replaced per round): at least one when churn is
// asked. Without churn nothing changes but the date of the file and of its
// first line.
TEST(AgentSimTest, ChurnReplacesTheAskedShareRoundAfterRound) {
    for (auto [products, churn, replaced] : {std::tuple{100, 5, 5u}, {200, 2, 4u}, {40, 1, 1u},
                                             {1500, 1, 15u}, {60, 0, 0u}, {0, 5, 0u}}) {
        for (int round = 1; round <= 3; ++round) {
            const SimulatedRound simulated({.seed = 77, .products_per_report = products,
                                            .round = round, .churn_percent = churn});
            for (int n = 1; n <= 6; ++n) {
                SCOPED_TRACE(::testing::Message() << products << " " << round << " " << n);
                ExpectedReport now;
                const std::string text = simulated.Report(n, now).text;
                EXPECT_EQ(now.product_lines, products);
                EXPECT_EQ(now.added.size(), round == 1 ? 0u : replaced);
                EXPECT_EQ(now.removed.size(), round == 1 ? 0u : replaced);
                if (churn != 0) continue;
                const std::string first =
                    ReportGenerator({.seed = 77, .products_per_report = products}).Report(n).text;
                EXPECT_EQ(text.substr(text.find('\n')), first.substr(first.find('\n')));
            }
        }
    }
}

// Every file decodes into a report that holds what the manifest says: the
// products it links, read with the pump's own rules, and its data sources,
// read as the ODBC inventory reads them, in every form agents write them.
TEST(AgentSimTest, EveryFileDecodesIntoWhatItsManifestSays) {
    testing::TempFolder folder;
    const ProcessResult run =
        AgentSim({"--workstations", "40", "--products", "60", "--seed", "3", "--round", "2",
                  "--churn", "5", "--out", folder / "in", "--manifest", folder / "round.tsv"});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    std::map<std::string, std::vector<std::string>> rows_of;  // "kind workstation" -> values
    std::set<std::string> named;
    for (const std::string& line : Split(folder.Read("round.tsv"), '\n')) {
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> row = Split(line, '\t');
        if (row[0] == "product") {
            EXPECT_TRUE(named.insert(row.at(1)).second) << line;
        } else if (row[0] == "source") {
            rows_of["source " + row.at(2)].push_back(row.at(7) + ";" + row.at(8) + ";" + row.at(9));
        } else {
            rows_of[row[0] + " " + row.at(2)].push_back(row.at(3));
        }
    }
    std::set<std::string> forms;
    for (int n = 1; n <= 40; ++n) {
        const std::string station = WorkstationName(n);
        SCOPED_TRACE(station);
        const std::string stream = folder.Read("in/" + rows_of["report " + station].at(0));
        ASSERT_THAT(stream, StartsWith("HE3\r"));
        const std::string text = clsHuffman().DecodeString(stream);
        std::vector<std::string> installed, sources;
        for (const ExpectedProduct& p : CataloguedProducts(text)) {
            installed.push_back(p.product);
            EXPECT_EQ(named.count(p.product), 1u) << p.product;
        }
        for (const std::string& line : Split(text, '\n')) {
            const std::vector<std::string> fields = Split(CleanReportLine(line), '\xAC');
            for (std::size_t i = 5; line.starts_with('\xAC') && i < fields.size(); ++i) {
                std::string entry = fields[i];
                std::erase(entry, '(');
                std::erase(entry, ')');
                std::vector<std::string> parts = Split(entry, ';');
                parts.resize(3);
                const std::string source = Cp1252ToUtf8(parts[0] + ";" + parts[1] + ";" + parts[2]);
                forms.insert(source == ";;"            ? "empty"
                             : source.starts_with(' ') ? "spaced"
                             : source.ends_with(';')   ? "no server"
                                                       : "plain");
                sources.push_back(source);
            }
        }
        EXPECT_EQ(rows_of["installed " + station], installed);
        EXPECT_EQ(rows_of["source " + station], sources);
    }
    EXPECT_EQ(forms.size(), 4u) << ::testing::PrintToString(forms);
}

TEST(AgentSimTest, SaysWhatIsWrongAndExitsAsTheOtherTools) {
    const std::vector<std::string> wrong[] = {{"--round", "0"},        {"--churn", "101"},
                                              {"--products", "40000"}, {"--date", "20260230"},
                                              {"--workstations", "x"}, {"--manifest"}};
    testing::TempFolder folder;
    for (std::vector<std::string> args : wrong) {
        // A value wrongly taken would write its reports here, not into the working folder.
        args.insert(args.begin(), {"--out", folder / "out"});
        const ProcessResult run = AgentSim(args);
        EXPECT_EQ(run.exit_status, 2) << ::testing::PrintToString(args);
        EXPECT_THAT(run.err, StartsWith("kolbi-agent-sim: "));
    }
    folder.Write("file", "x");
    const ProcessResult blocked = AgentSim({"--workstations", "1", "--out", folder / "file/in"});
    EXPECT_EQ(blocked.exit_status, 1);
    EXPECT_THAT(blocked.err, HasSubstr(folder / "file/in"));
}

}  // namespace
}  // namespace kolbi
