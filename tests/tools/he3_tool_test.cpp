// The he3 and kolbi-reportgen executables, run as subprocesses the way
// support staff and scripts run them: exit statuses, messages, files.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "codec/cls_huffman.h"
#include "reportgen/report_generator.h"
#include "support/temp_folder.h"
#include "tools/run_tool.h"

namespace kolbi {
namespace {

using testing::RunTool;
using testing::TempFolder;
using testing::ToolRun;

const std::string kAb("HE3\r\x03\x02\x00\x00\x00\x02\x00\x61\x01\x62\x01\x02\x02", 17);
const std::string kAbracadabra(
    "HE3\r\x66\x0B\x00\x00\x00\x05\x00\x61\x01\x62\x03\x63\x03\x64\x03\x72\x03\xBA\x07\x1A\x73\x0D",
    26);

ToolRun He3(const std::vector<std::string>& args, const std::string& stdin_path = "/dev/null") {
    return RunTool(KOLBI_HE3_PATH, args, stdin_path);
}

class He3ToolTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return folder_ / name; }
    std::string Write(const std::string& name, const std::string& bytes) const {
        folder_.Write(name, bytes);
        return Path(name);
    }

    TempFolder folder_;
};

TEST_F(He3ToolTest, CompressWritesTheEncodersBytes) {
    const std::pair<std::string, std::string> cases[] = {
        {"", std::string("HE0\r")},
        {"aaaa", std::string("HE0\raaaa")},
        {"ab", kAb},
        {"abracadabra", kAbracadabra},
    };
    for (const auto& [input, stream] : cases) {
        const ToolRun run = He3({"compress", Write("in", input), Path("out")});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(folder_.Read("out"), stream) << "input '" << input << "'";
    }
}

TEST_F(He3ToolTest, RoundTripsAGeneratedReportThroughFiles) {
    const std::string report = ReportGenerator(ReportGeneratorOptions{}).Report(3).text;
    ASSERT_EQ(He3({"compress", Write("PC003.txt", report), Path("PC003.SILog")}).status, 0);
    clsHuffman codec;
    EXPECT_EQ(folder_.Read("PC003.SILog"), codec.EncodeString(report));

    const ToolRun run = He3({"decompress", Path("PC003.SILog"), Path("back.txt")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(folder_.Read("back.txt"), report);
}

TEST_F(He3ToolTest, DashMeansStandardInputAndOutput) {
    const std::string input = Write("in", "abracadabra");
    const ToolRun compressed = He3({"compress", "-", "-"}, input);
    EXPECT_EQ(compressed.status, 0) << compressed.err;
    EXPECT_EQ(compressed.out, kAbracadabra);

    const ToolRun decompressed = He3({"decompress", "-", "-"}, Write("stream", kAbracadabra));
    EXPECT_EQ(decompressed.status, 0) << decompressed.err;
    EXPECT_EQ(decompressed.out, "abracadabra");

    const ToolRun info = He3({"info", "-"}, Write("stream", kAbracadabra));
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("file:                <stdin>\n"), std::string::npos) << info.out;
}

TEST_F(He3ToolTest, DecompressAcceptsTheStoredForm) {
    const ToolRun run = He3({"decompress", Write("in", "HE0\rplain bytes"), "-"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "plain bytes");
}

TEST_F(He3ToolTest, InfoShowsHeaderCodesAndChecksum) {
    const ToolRun run = He3({"info", Write("abra.SILog", kAbracadabra)});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    for (const char* line :
         {"form:                HE3 (compressed)\n", "stream size:         26 bytes\n",
          "uncompressed length: 11 bytes\n", "symbols:             5\n",
          "checksum:            0x66, matches the data\n", "  0x61 'a'      1  0\n",
          "  0x72 'r'      3  100\n"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << "missing: " << line << run.out;
    }

    const ToolRun stored = He3({"info", Write("stored", "HE0\rxyz")});
    EXPECT_EQ(stored.status, 0);
    EXPECT_NE(stored.out.find("form:                HE0 (stored)\n"), std::string::npos);
    EXPECT_NE(stored.out.find("uncompressed length: 3 bytes\n"), std::string::npos);
}

TEST_F(He3ToolTest, InfoShowsWhatItCouldReadOfADamagedStream) {
    std::string bad = kAbracadabra;
    bad[4] = 0x67;
    const ToolRun run = He3({"info", Write("bad", bad)});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("checksum:            0x67, does not match the data (0x66)\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  0x64 'd'      3  111\n"), std::string::npos);
}

// Every bad input gives exit status 1, exactly one line on stderr naming the
// file, and no output file: a half-written report must not reach anyone.
TEST_F(He3ToolTest, RefusesBadInputsWithOneLineAndNoOutput) {
    std::string checksum = kAbracadabra;
    checksum[4] = 0x67;
    const struct {
        const char* name;
        std::string bytes;  // empty name below means: the file does not exist
        std::string reason;
    } cases[] = {
        {"", "", "cannot open: No such file or directory"},
        {"text", "plain text, not a stream", "not an HE3 or HE0 stream"},
        {"tiny", "HE", "not an HE3 or HE0 stream"},
        {"form", "HE7\r\x01\x02\x03", "not an HE3 or HE0 stream (unknown form byte 0x37)"},
        {"header", kAbracadabra.substr(0, 9),
         "damaged HE3 stream: truncated header (9 of 11 bytes)"},
        {"table", kAbracadabra.substr(0, 18),
         "damaged HE3 stream: truncated code table (7 of 10 bytes)"},
        {"data", kAbracadabra.substr(0, 23),
         "damaged HE3 stream: truncated data (0 data bytes for 11 bytes of output)"},
        {"checksum", checksum, "damaged HE3 stream: checksum mismatch (stored 0x67, data 0x66)"},
    };
    for (const auto& c : cases) {
        const std::string in = *c.name ? Write(c.name, c.bytes) : Path("missing.SILog");
        for (const char* command : {"decompress", "info"}) {
            std::vector<std::string> args = {command, in};
            if (std::string(command) == "decompress") args.push_back(Path("out"));
            const ToolRun run = He3(args);
            EXPECT_EQ(run.status, 1) << command << " " << c.name;
            EXPECT_EQ(run.err, "he3: " + in + ": " + c.reason + "\n") << command;
            EXPECT_FALSE(folder_.Has("out")) << command << " " << c.name;
        }
    }
    const ToolRun missing = He3({"compress", Path("missing"), Path("out")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err,
              "he3: " + Path("missing") + ": cannot open: No such file or directory\n");
    EXPECT_FALSE(folder_.Has("out"));
}

// A file over the codec's 2 GiB limit is refused by its size, before a byte
// of it is read (a sparse file: nothing on disk, and nothing read either).
TEST_F(He3ToolTest, RefusesAnInputOverTheLimitBeforeReadingIt) {
    const std::string big = Write("big", "");
    std::filesystem::resize_file(big, std::uintmax_t{1} << 31);
    for (const char* command : {"compress", "decompress", "info"}) {
        std::vector<std::string> args = {command, big};
        if (std::string(command) != "info") args.push_back(Path("out"));
        const ToolRun run = He3(args);
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_EQ(run.err, "he3: " + big +
                               ": too large for an HE3 stream (2147483648 bytes, at most "
                               "2147483647)\n")
            << command;
        EXPECT_FALSE(folder_.Has("out")) << command;
    }
}

TEST_F(He3ToolTest, ReportsAnOutputThatCannotBeWritten) {
    const ToolRun run = He3({"decompress", Write("in", kAb), Path("no/such/folder/out")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "he3: " + Path("no/such/folder/out") +
                           ": cannot open for writing: No such file or directory\n");
}

TEST_F(He3ToolTest, WarnsAboutBytesAfterTheDataButDecodes) {
    const ToolRun run = He3({"decompress", Write("in", kAb + "xyz"), "-"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "ab");
    EXPECT_EQ(run.err, "he3: " + Path("in") + ": warning: 3 bytes after the data bits, ignored\n");
}

TEST_F(He3ToolTest, ShowsNoProgressWhenStderrIsNotATerminal) {
    const std::string big = GenerateInventoryText(5, 3 << 20);
    const ToolRun compress = He3({"compress", Write("big", big), Path("big.SILog")});
    EXPECT_EQ(compress.status, 0);
    EXPECT_EQ(compress.err, "");
    const ToolRun decompress = He3({"decompress", Path("big.SILog"), Path("back")});
    EXPECT_EQ(decompress.status, 0);
    EXPECT_EQ(decompress.err, "");
    EXPECT_TRUE(folder_.Read("back") == big);
}

TEST(He3UsageTest, WrongCommandLinesExitWithTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"compress", "only-one"},
        {"decompress", "a", "b", "c"},
        {"info"},
        {"info", "a", "b"},
        {"compress", "--fast", "a", "b"},
    };
    for (const auto& args : cases) {
        const ToolRun run = He3(args);
        EXPECT_EQ(run.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(run.err.rfind("he3: ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

TEST(He3UsageTest, HelpGoesToStandardOutput) {
    for (const char* flag : {"--help", "-h"}) {
        const ToolRun run = He3({flag});
        EXPECT_EQ(run.status, 0);
        EXPECT_NE(run.out.find("he3 compress IN OUT"), std::string::npos);
        EXPECT_EQ(run.err, "");
    }
}

TEST(ReportgenToolTest, WritesCompressedReportsThatHe3Decompresses) {
    TempFolder folder;
    const ToolRun run =
        RunTool(KOLBI_REPORTGEN_PATH, {"--count", "3", "--out", folder / "in", "--seed", "9",
                                       "--products-per-report", "25", "--compressed"});
    ASSERT_EQ(run.status, 0) << run.err;
    ReportGeneratorOptions options;
    options.seed = 9;
    options.products_per_report = 25;
    const ReportGenerator generator(options);
    for (int number = 1; number <= 3; ++number) {
        const GeneratedReport expected = generator.Report(number);
        const std::string stream = folder / ("in/" + expected.file_name);
        ASSERT_EQ(He3({"decompress", stream, folder / "plain"}).status, 0) << stream;
        EXPECT_TRUE(folder.Read("plain") == expected.text) << expected.file_name;
    }
}

TEST(ReportgenToolTest, RejectsBadOptions) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--count"}, {"--count", "-3"}, {"--seed", "x"}, {"--date", "2026"}, {"--bogus"}}) {
        const ToolRun run = RunTool(KOLBI_REPORTGEN_PATH, args);
        EXPECT_EQ(run.status, 2) << ::testing::PrintToString(args);
    }
}

}  // namespace
}  // namespace kolbi
