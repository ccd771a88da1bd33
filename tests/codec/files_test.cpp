// EncodeFile and DecodeFile: which files exist afterwards, and what they hold.
#include <gtest/gtest.h>

#include <string>

#include "codec/cls_huffman.h"
#include "common/file_helpers.h"
#include "support/error_of.h"
#include "support/failing_file_system.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

using testing::FailingFileSystem;

const std::string kReport = "!Description!Product!1.2.3!\xA9 2019 Vendor Inc.!\r\n";

class CodecFilesTest : public ::testing::Test {
protected:
    void SetUp() override { SetAppFolderForTesting(app_.path(), "kolbipump"); }

    testing::TempFolder app_;
    testing::TempFolder dir_;
    clsHuffman codec_;
};

TEST_F(CodecFilesTest, EncodeThenDecodeReplacingWhatWasThere) {
    dir_.Write("report.txt", kReport);
    dir_.Write("out.txt", std::string(5000, 'z'));
    codec_.EncodeFile(dir_ / "report.txt", dir_ / "PC042_1.SILog");
    EXPECT_EQ(dir_.Read("PC042_1.SILog"), codec_.EncodeString(kReport));
    codec_.DecodeFile(dir_ / "PC042_1.SILog", dir_ / "out.txt");
    EXPECT_EQ(dir_.Read("out.txt"), kReport);
    dir_.Write("empty", "");
    codec_.EncodeFile(dir_ / "empty", dir_ / "empty.SILog");
    EXPECT_EQ(dir_.Read("empty.SILog"), "HE0\r");
}

TEST_F(CodecFilesTest, EncodingRaisesForAMissingSourceOrAnUnwritableDestination) {
    dir_.Write("dest", "untouched");
    const RuntimeError e =
        testing::ErrorOf([&] { codec_.EncodeFile(dir_ / "missing", dir_ / "dest"); });
    EXPECT_EQ(e.number(), errnum::kComponentBase);
    EXPECT_EQ(e.source(), "clsHuffman.EncodeFile()");
    EXPECT_EQ(e.description(), "Source file does not exist");
    EXPECT_EQ(dir_.Read("dest"), "untouched");
    dir_.Write("report.txt", kReport);
    FailingFileSystem fs;
    fs.fail_write = true;
    EXPECT_THROW(codec_.EncodeFile(dir_ / "report.txt", dir_ / "out"), RuntimeError);
}

TEST_F(CodecFilesTest, WhatIsNoHe3StreamLeavesNoDestination) {
    const char* const sources[] = {"HE0\rplain report text", "!Description!Product!1.0!\r\n",
                                   "x,HE3\r", "", nullptr /* missing */};
    for (const char* content : sources) {
        if (content) dir_.Write("in.SILog", content);
        dir_.Write("out.txt", "old");
        codec_.DecodeFile(dir_ / "in.SILog", dir_ / "out.txt");
        EXPECT_FALSE(dir_.Has("out.txt")) << (content ? content : "missing");
        EXPECT_EQ(dir_.Has("in.SILog"), content != nullptr);
        Fs().Remove(dir_ / "in.SILog");
    }
    // The first field is checked without regard to case or leading blanks; what
    // passes but does not decode is written as it stands.
    dir_.Write("lower.SILog", "he3" + codec_.EncodeString(kReport).substr(3));
    codec_.DecodeFile(dir_ / "lower.SILog", dir_ / "lower.txt");
    EXPECT_EQ(dir_.Read("lower.txt"), kReport);
    for (std::string content : {"   HE3\rabc", "HE3xyz,more\r\n"}) {
        dir_.Write("odd.SILog", content);
        codec_.DecodeFile(dir_ / "odd.SILog", dir_ / "odd.txt");
        EXPECT_EQ(dir_.Read("odd.txt"), content);
    }
}

}  // namespace
}  // namespace kolbi
