// EncodeFile and DecodeFile: which files exist afterwards, and what they hold.
#include <gtest/gtest.h>

#include <string>

#include "codec/cls_huffman.h"
#include "common/file_helpers.h"
#include "common/runtime_error.h"
#include "support/failing_file_system.h"
#include "support/temp_folder.h"

namespace kolbi {
namespace {

using testing::FailingFileSystem;
using testing::TempFolder;

const std::string kReport = "!Description!Product!1.2.3!\xA9 2019 Vendor Inc.!\r\n";

class CodecFilesTest : public ::testing::Test {
protected:
    void SetUp() override { SetAppFolderForTesting(app_.path(), "kolbipump"); }

    std::string Compressed(const std::string& text) { return codec_.EncodeString(text); }

    TempFolder app_;
    TempFolder dir_;
    clsHuffman codec_;
};

TEST_F(CodecFilesTest, EncodeThenDecodeGivesTheFileBack) {
    dir_.Write("report.txt", kReport);
    codec_.EncodeFile(dir_ / "report.txt", dir_ / "PC042_1.SILog");
    EXPECT_EQ(dir_.Read("PC042_1.SILog"), Compressed(kReport));
    codec_.DecodeFile(dir_ / "PC042_1.SILog", dir_ / "out.txt");
    EXPECT_EQ(dir_.Read("out.txt"), kReport);
}

TEST_F(CodecFilesTest, AnEmptyFileBecomesTheEmptyStoredStream) {
    dir_.Write("empty", "");
    codec_.EncodeFile(dir_ / "empty", dir_ / "empty.SILog");
    EXPECT_EQ(dir_.Read("empty.SILog"), std::string("HE0\r"));
}

TEST_F(CodecFilesTest, EncodingAMissingSourceRaisesAndLeavesTheDestination) {
    dir_.Write("dest", "untouched");
    try {
        codec_.EncodeFile(dir_ / "missing", dir_ / "dest");
        ADD_FAILURE() << "no error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), errnum::kComponentBase);
        EXPECT_EQ(e.source(), "clsHuffman.EncodeFile()");
        EXPECT_EQ(e.description(), "Source file does not exist");
    }
    EXPECT_EQ(dir_.Read("dest"), "untouched");
    EXPECT_FALSE(dir_.Has("missing"));
}

TEST_F(CodecFilesTest, EncodingRaisesWhenTheDestinationCannotBeWritten) {
    dir_.Write("report.txt", kReport);
    FailingFileSystem fs;
    fs.fail_write = true;
    EXPECT_THROW(codec_.EncodeFile(dir_ / "report.txt", dir_ / "out"), RuntimeError);
}

TEST_F(CodecFilesTest, DecodingReplacesAnExistingDestination) {
    dir_.Write("in.SILog", Compressed(kReport));
    dir_.Write("out.txt", std::string(5000, 'z'));
    codec_.DecodeFile(dir_ / "in.SILog", dir_ / "out.txt");
    EXPECT_EQ(dir_.Read("out.txt"), kReport);
}

TEST_F(CodecFilesTest, SourcesThatAreNotHe3LeaveNoDestination) {
    struct Case {
        const char* what;
        const char* content;  // nullptr: no source file
    };
    const Case cases[] = {
        {"stored form", "HE0\rplain report text"},
        {"plain text", "!Description!Product!1.0!Vendor!\r\n"},
        {"identification after a comma", "x,HE3\r"},
        {"empty", ""},
        {"missing", nullptr},
    };
    for (const Case& c : cases) {
        if (c.content) dir_.Write("in.SILog", c.content);
        dir_.Write("out.txt", "old");
        codec_.DecodeFile(dir_ / "in.SILog", dir_ / "out.txt");
        EXPECT_FALSE(dir_.Has("out.txt")) << c.what;
        EXPECT_EQ(dir_.Has("in.SILog"), c.content != nullptr) << c.what;
        if (c.content) Fs().Remove(dir_ / "in.SILog");
    }
}

TEST_F(CodecFilesTest, TheFirstFieldCheckIgnoresCaseLeadingBlanksAndWhatFollows) {
    std::string stream = Compressed(kReport);
    // Lower case: the decoder reads it as a compressed stream all the same.
    dir_.Write("lower.SILog", "he3" + stream.substr(3));
    codec_.DecodeFile(dir_ / "lower.SILog", dir_ / "lower.txt");
    EXPECT_EQ(dir_.Read("lower.txt"), kReport);
    // Accepted too, though the stream itself is then unusable: written as it stands.
    for (std::string content : {"   HE3\rabc", "HE3xyz,more\r\n"}) {
        dir_.Write("odd.SILog", content);
        codec_.DecodeFile(dir_ / "odd.SILog", dir_ / "odd.txt");
        EXPECT_EQ(dir_.Read("odd.txt"), content);
    }
}

TEST_F(CodecFilesTest, DecodingSurvivesADestinationThatCannotBeWritten) {
    dir_.Write("in.SILog", Compressed(kReport));
    FailingFileSystem fs;
    fs.fail_write = true;
    codec_.DecodeFile(dir_ / "in.SILog", dir_ / "out.txt");
    EXPECT_FALSE(dir_.Has("out.txt"));
    fs.unreadable.insert(dir_ / "in.SILog");
    fs.fail_write = false;
    dir_.Write("out.txt", "old");
    codec_.DecodeFile(dir_ / "in.SILog", dir_ / "out.txt");
    EXPECT_FALSE(dir_.Has("out.txt"));
}

}  // namespace
}  // namespace kolbi
