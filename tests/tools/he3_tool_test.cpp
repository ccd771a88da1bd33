// The he3 executable, run as support staff and scripts run it: exit
// statuses, messages, files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "codec/cls_huffman.h"
#include "codec/stream_builder.h"
#include "reportgen/report_generator.h"
#include "support/subprocess.h"

namespace kolbi {
namespace {

using ::testing::HasSubstr;
using testing::ProcessResult;
using Args = std::vector<std::string>;

std::string Text(const testing::Bytes& bytes) { return {bytes.begin(), bytes.end()}; }
// "status|stdout|stderr", for runs that must say nothing.
std::string Said(const ProcessResult& run) {
    return std::to_string(run.exit_status) + "|" + run.out + "|" + run.err;
}

class He3ToolTest : public ::testing::Test {
protected:
    ProcessResult He3(const std::vector<std::string>& args, const std::string& in = "/dev/null") {
        return testing::RunProcess(KOLBI_HE3_PATH, args, {}, in);
    }
    std::string Write(const std::string& name, const std::string& bytes) const {
        folder_.Write(name, bytes);
        return folder_ / name;
    }

    testing::TempFolder folder_;
    const std::string abra_ = Text(testing::Sample("abracadabra"));
};

TEST_F(He3ToolTest, CompressesAndDecompressesFilesAndStandardStreams) {
    ProcessResult run = He3({"compress", Write("in", "abracadabra"), folder_ / "out"});
    EXPECT_EQ(Said(run), "0||");
    EXPECT_EQ(folder_.Read("out"), abra_);
    EXPECT_EQ(He3({"compress", "-", "-"}, folder_ / "in").out, abra_);
    EXPECT_EQ(He3({"decompress", "-", "-"}, Write("stream", abra_)).out, "abracadabra");
    EXPECT_EQ(He3({"decompress", Write("stored", "HE0\rplain bytes"), "-"}).out, "plain bytes");

    // A large generated report: byte for byte the codec's stream, and no
    // progress on a standard error that is no terminal.
    const std::string big = GenerateInventoryText(5, 3 << 20);
    run = He3({"compress", Write("big", big), folder_ / "big.SILog"});
    EXPECT_EQ(Said(run), "0||");
    EXPECT_TRUE(folder_.Read("big.SILog") == clsHuffman().EncodeString(big));
    run = He3({"decompress", folder_ / "big.SILog", folder_ / "back"});
    EXPECT_EQ(Said(run), "0||");
    EXPECT_TRUE(folder_.Read("back") == big);
}

TEST_F(He3ToolTest, InfoShowsWhatItCouldRead) {
    ProcessResult run = He3({"info", "-"}, Write("abra.SILog", abra_));
    EXPECT_EQ(run.exit_status, 0) << run.err;
    for (const char* line :
         {"file:                <stdin>\n", "form:                HE3 (compressed)\n",
          "stream size:         26 bytes\n", "uncompressed length: 11 bytes\n",
          "symbols:             5\n", "checksum:            0x66, matches the data\n",
          "  0x61 'a'      1  0\n", "  0x72 'r'      3  100\n"}) {
        EXPECT_THAT(run.out, HasSubstr(line));
    }
    std::string bad = abra_;
    bad[4] = 0x67;
    run = He3({"info", Write("bad", bad)});
    EXPECT_THAT(run.out, HasSubstr("checksum:            0x67, does not match the data (0x66)\n"));
    EXPECT_THAT(run.out, HasSubstr("  0x64 'd'      3  111\n"));
}

// Every bad input: status 1, one line on stderr naming the file, and no output
// file, so that a half-written report reaches no one.
TEST_F(He3ToolTest, RefusesBadInputsWithOneLineAndNoOutput) {
    std::string checksum = abra_;
    checksum[4] = 0x67;
    const struct {
        const char* name;  // "" : the file does not exist
        std::string bytes;
        std::string reason;
    } cases[] = {
        {"", "", "cannot open: No such file or directory"},
        {"text", "plain text, not a stream", "not an HE3 or HE0 stream"},
        {"form", "HE7\r\x01\x02\x03", "not an HE3 or HE0 stream (unknown form byte 0x37)"},
        {"header", abra_.substr(0, 9), "damaged HE3 stream: truncated header (9 of 11 bytes)"},
        {"table", abra_.substr(0, 18), "damaged HE3 stream: truncated code table (7 of 10 bytes)"},
        {"data", abra_.substr(0, 23),
         "damaged HE3 stream: truncated data (0 data bytes for 11 bytes of output)"},
        {"checksum", checksum, "damaged HE3 stream: checksum mismatch (stored 0x67, data 0x66)"},
    };
    for (const auto& c : cases) {
        const std::string in = *c.name ? Write(c.name, c.bytes) : folder_ / "missing";
        for (const Args& args : {Args{"decompress", in, folder_ / "out"}, Args{"info", in}}) {
            const ProcessResult run = He3(args);
            EXPECT_EQ(run.exit_status, 1) << args[0] << " " << c.name;
            EXPECT_EQ(run.err, "he3: " + in + ": " + c.reason + "\n") << args[0];
            EXPECT_FALSE(folder_.Has("out")) << args[0] << " " << c.name;
        }
    }
    EXPECT_EQ(
        He3({"decompress", Write("ab", Text(testing::Sample("ab"))), folder_ / "no/out"}).err,
        "he3: " + folder_ / "no/out" + ": cannot open for writing: No such file or directory\n");
    const ProcessResult trailing =
        He3({"decompress", Write("in", Text(testing::Sample("ab")) + "xyz"), "-"});
    EXPECT_EQ(trailing.exit_status, 0);
    EXPECT_EQ(trailing.out, "ab");
    EXPECT_EQ(trailing.err,
              "he3: " + folder_ / "in" + ": warning: 3 bytes after the data bits, ignored\n");
}

// A file over the codec's 2 GiB limit is refused by its size, before a byte
// of it is read (a sparse file: nothing on disk, and nothing read either).
TEST_F(He3ToolTest, RefusesAnInputOverTheLimitBeforeReadingIt) {
    const std::string big = Write("big", "");
    std::filesystem::resize_file(big, std::uintmax_t{1} << 31);
    for (const Args& args : {Args{"compress", big, folder_ / "out"},
                             Args{"decompress", big, folder_ / "out"}, Args{"info", big}}) {
        const ProcessResult run = He3(args);
        EXPECT_EQ(run.exit_status, 1) << args[0];
        EXPECT_EQ(run.err, "he3: " + big +
                               ": too large for an HE3 stream (2147483648 bytes, at most "
                               "2147483647)\n")
            << args[0];
        EXPECT_FALSE(folder_.Has("out")) << args[0];
    }
}

TEST(He3CommandLine, WrongOnesExitWithTwoAndOneLineHelpGoesToStandardOutput) {
    const std::vector<std::vector<std::string>> wrong = {
        {}, {"frobnicate"}, {"decompress", "a", "b", "c"}, {"info"}, {"compress", "--fast", "a", "b"}};
    for (const auto& args : wrong) {
        const ProcessResult run = testing::RunProcess(KOLBI_HE3_PATH, args);
        EXPECT_EQ(run.exit_status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(run.err.rfind("he3: ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.out, "");
    }
    for (const char* flag : {"--help", "-h"}) {
        const ProcessResult run = testing::RunProcess(KOLBI_HE3_PATH, {flag});
        EXPECT_EQ(run.exit_status, 0);
        EXPECT_THAT(run.out, HasSubstr("he3 compress IN OUT"));
        EXPECT_EQ(run.err, "");
    }
}

}  // namespace
}  // namespace kolbi
