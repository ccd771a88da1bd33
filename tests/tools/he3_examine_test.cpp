#include "codec/he3_examine.h"

#include <gtest/gtest.h>

#include <memory>

#include "codec/cls_huffman.h"
#include "reportgen/report_generator.h"

namespace kolbi {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kAb = {0x48, 0x45, 0x33, 0x0D, 0x03, 0x02, 0x00, 0x00, 0x00,
                   0x02, 0x00, 0x61, 0x01, 0x62, 0x01, 0x02, 0x02};
const Bytes kAbc = {0x48, 0x45, 0x33, 0x0D, 0x60, 0x03, 0x00, 0x00, 0x00, 0x03,
                    0x00, 0x61, 0x02, 0x62, 0x02, 0x63, 0x01, 0x0D, 0x0D};
const Bytes kAbracadabra = {0x48, 0x45, 0x33, 0x0D, 0x66, 0x0B, 0x00, 0x00, 0x00,
                            0x05, 0x00, 0x61, 0x01, 0x62, 0x03, 0x63, 0x03, 0x64,
                            0x03, 0x72, 0x03, 0xBA, 0x07, 0x1A, 0x73, 0x0D};

Bytes With(Bytes bytes, std::size_t offset, std::initializer_list<std::uint8_t> values) {
    for (std::uint8_t value : values) bytes.at(offset++) = value;
    return bytes;
}

Bytes Cut(const Bytes& bytes, std::size_t size) {
    return Bytes(bytes.begin(), bytes.begin() + size);
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A compressed stream from a table of (symbol, code as "0"/"1" text) and raw
// data bytes; the checksum and length fields are given as they should read.
Bytes Compressed(const std::vector<std::pair<std::uint8_t, std::string>>& codes,
                 std::int32_t length, const Bytes& data = {0x00}) {
    Bytes out = {'H', 'E', '3', '\r', 0};
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    out.push_back(static_cast<std::uint8_t>(codes.size()));
    out.push_back(static_cast<std::uint8_t>(codes.size() >> 8));
    for (const auto& [symbol, code] : codes) {
        out.push_back(symbol);
        out.push_back(static_cast<std::uint8_t>(code.size()));
    }
    int position = 0;
    for (const auto& entry : codes) {
        for (char bit : entry.second) {
            if (position == 0) out.push_back(0);
            if (bit == '1') out.back() |= static_cast<std::uint8_t>(1 << position);
            position = (position + 1) % 8;
        }
    }
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

struct FaultCase {
    const char* name;
    Bytes stream;
    He3Fault fault;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class ExamineFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ExamineFaultTest, FindsTheFault) {
    const FaultCase& c = GetParam();
    // An exactly sized heap copy, so that a read past the end is caught.
    auto copy = std::make_unique<std::uint8_t[]>(c.stream.size() + 1);
    std::copy(c.stream.begin(), c.stream.end(), copy.get());
    const He3Examination result = ExamineHe3({copy.get(), c.stream.size()});
    EXPECT_EQ(result.fault, c.fault) << He3FaultText(result);
    EXPECT_EQ(result.stream_size, c.stream.size());
}

// A code of 255 bits: the prefix, then zeros.
std::string LongCode(std::string prefix) { return prefix.append(255 - prefix.size(), '0'); }

INSTANTIATE_TEST_SUITE_P(
    DamagedStreams, ExamineFaultTest,
    ::testing::Values(
        FaultCase{"Empty", {}, He3Fault::kNoIdentification},
        FaultCase{"ThreeBytes", Text("HE3"), He3Fault::kNoIdentification},
        FaultCase{"PlainText", Text("hello, world"), He3Fault::kNoIdentification},
        FaultCase{"LowerCase", With(kAb, 0, {'h', 'e'}), He3Fault::kNoIdentification},
        FaultCase{"NoCarriageReturn", With(kAb, 3, {'\n'}), He3Fault::kNoIdentification},
        FaultCase{"UnknownForm", With(kAb, 2, {'7'}), He3Fault::kUnknownForm},
        FaultCase{"HeaderCut", Cut(kAb, 10), He3Fault::kTruncatedHeader},
        FaultCase{"IdentificationOnly", Cut(kAb, 4), He3Fault::kTruncatedHeader},
        FaultCase{"LengthZero", With(kAb, 5, {0, 0, 0, 0}), He3Fault::kBadLength},
        FaultCase{"LengthNegative", With(kAb, 5, {0xFF, 0xFF, 0xFF, 0xFF}), He3Fault::kBadLength},
        FaultCase{"NoSymbols", With(kAb, 9, {0, 0}), He3Fault::kBadSymbolCount},
        FaultCase{"NegativeSymbols", With(kAb, 9, {0xFF, 0xFF}), He3Fault::kBadSymbolCount},
        FaultCase{"TooManySymbols", With(kAb, 9, {0x01, 0x01}), He3Fault::kBadSymbolCount},
        FaultCase{"TableCut", Cut(kAb, 14), He3Fault::kTruncatedTable},
        FaultCase{"TableLongerThanStream", With(kAb, 9, {0x00, 0x01}), He3Fault::kTruncatedTable},
        FaultCase{"TableDescending", With(kAb, 11, {0x62, 0x01, 0x61}), He3Fault::kUnorderedTable},
        FaultCase{"TableDuplicate", With(kAb, 13, {0x61}), He3Fault::kUnorderedTable},
        FaultCase{"ZeroCodeLength", With(kAb, 12, {0x00}), He3Fault::kZeroCodeLength},
        FaultCase{"CodeBitsMissing", Cut(kAbc, 17), He3Fault::kTruncatedCodeBits},
        FaultCase{"CodeBitsCut", Cut(kAbracadabra, 22), He3Fault::kTruncatedCodeBits},
        FaultCase{"EqualCodes", Compressed({{'a', "0"}, {'b', "0"}}, 2), He3Fault::kNotPrefixCode},
        FaultCase{"CodeThroughLeaf", Compressed({{'a', "0"}, {'b', "01"}}, 2),
                  He3Fault::kNotPrefixCode},
        FaultCase{"CodeEndsOnInnerNode", Compressed({{'a', "01"}, {'b', "0"}}, 2),
                  He3Fault::kNotPrefixCode},
        FaultCase{"Incomplete", Compressed({{'a', "0"}, {'b', "10"}}, 2),
                  He3Fault::kIncompleteCode},
        FaultCase{"SingleSymbol", Compressed({{'a', "0"}}, 1), He3Fault::kIncompleteCode},
        FaultCase{"MoreThan512Nodes",
                  Compressed({{'a', LongCode("")}, {'b', LongCode("1")}, {'c', LongCode("11")}}, 3),
                  He3Fault::kTooManyNodes},
        FaultCase{"NoDataBits", Cut(kAb, 16), He3Fault::kTruncatedData},
        FaultCase{"LengthFarBeyondData", With(kAb, 5, {0xFF, 0xFF, 0xFF, 0x7F}),
                  He3Fault::kTruncatedData},
        FaultCase{"SoundAb", kAb, He3Fault::kNone}, FaultCase{"SoundAbc", kAbc, He3Fault::kNone},
        FaultCase{"SoundAbracadabra", kAbracadabra, He3Fault::kNone},
        FaultCase{"StoredEmpty", Text("HE0\r"), He3Fault::kNone},
        FaultCase{"StoredBytes", Text("HE0\raaaa"), He3Fault::kNone}),
    [](const ::testing::TestParamInfo<FaultCase>& param) { return param.param.name; });

TEST(ExamineHe3Test, ReadsHeaderAndCodesOfTheAbracadabraExample) {
    const He3Examination result = ExamineHe3(kAbracadabra);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.form, He3Form::kCompressed);
    EXPECT_EQ(result.checksum, 0x66);
    EXPECT_EQ(result.uncompressed_length, 11);
    EXPECT_EQ(result.symbol_count, 5);
    EXPECT_EQ(result.data_offset, 23u);
    EXPECT_EQ(result.tree_nodes, 9);
    std::vector<std::string> codes;
    for (const He3CodeEntry& entry : result.codes) {
        codes.push_back(std::string(1, static_cast<char>(entry.symbol)) + "=" + entry.bits);
    }
    EXPECT_EQ(codes, (std::vector<std::string>{"a=0", "b=101", "c=110", "d=111", "r=100"}));
}

TEST(ExamineHe3Test, KeepsWhatItReadBeforeTheFault) {
    const He3Examination cut = ExamineHe3(Cut(kAbracadabra, 16));
    EXPECT_EQ(cut.fault, He3Fault::kTruncatedTable);
    EXPECT_TRUE(cut.has_header);
    EXPECT_EQ(cut.uncompressed_length, 11);
    EXPECT_EQ(cut.codes.size(), 2u);  // 'a' and 'b' of the five entries
    EXPECT_EQ(He3FaultText(cut), "truncated code table (5 of 10 bytes)");

    // A bad length field is reported, but the table behind it is still shown.
    const He3Examination zero = ExamineHe3(With(kAbc, 5, {0, 0, 0, 0}));
    EXPECT_EQ(zero.fault, He3Fault::kBadLength);
    EXPECT_TRUE(zero.has_code_bits);
    EXPECT_EQ(zero.codes[2].bits, "0");
}

TEST(ExamineHe3Test, StoredFormLengthIsTheRestOfTheStream) {
    const He3Examination result = ExamineHe3(Text("HE0\rabc"));
    EXPECT_EQ(result.form, He3Form::kStored);
    EXPECT_EQ(result.uncompressed_length, 3);
    EXPECT_FALSE(result.has_header);
}

class DecodeAndVerifyTest : public ::testing::Test {
protected:
    He3Verification Verify(const Bytes& stream) { return DecodeAndVerifyHe3(stream, codec_); }
    clsHuffman codec_;
};

TEST_F(DecodeAndVerifyTest, DecodesTheExamplesAndMatchesTheirChecksums) {
    const std::pair<const Bytes*, std::string> examples[] = {
        {&kAb, "ab"}, {&kAbc, "abc"}, {&kAbracadabra, "abracadabra"}};
    for (const auto& [stream, text] : examples) {
        const He3Verification result = Verify(*stream);
        EXPECT_TRUE(result.examination.ok()) << text << ": " << He3FaultText(result.examination);
        EXPECT_EQ(result.data, Text(text));
        EXPECT_EQ(result.data_xor, result.examination.checksum);
        EXPECT_EQ(result.trailing_bytes, 0u);
    }
}

TEST_F(DecodeAndVerifyTest, StoredFormGivesTheBytesAfterTheIdentification) {
    EXPECT_EQ(Verify(Text("HE0\rxyz")).data, Text("xyz"));
    const He3Verification empty = Verify(Text("HE0\r"));
    EXPECT_TRUE(empty.examination.ok());
    EXPECT_TRUE(empty.data.empty());
}

TEST_F(DecodeAndVerifyTest, ReportsAChecksumMismatch) {
    const He3Verification result = Verify(With(kAbracadabra, 4, {0x67}));
    EXPECT_EQ(result.examination.fault, He3Fault::kChecksumMismatch);
    EXPECT_EQ(He3FaultText(result.examination), "checksum mismatch (stored 0x67, data 0x66)");
    EXPECT_TRUE(result.data.empty());
}

TEST_F(DecodeAndVerifyTest, ReportsDataBitsThatEndEarly) {
    // Two data bytes hold 16 bits, enough on paper for 11 one-bit codes, so
    // only the decoder can tell that they end after a few letters.
    const He3Verification result = Verify(Cut(kAbracadabra, 25));
    EXPECT_TRUE(result.decoded);
    EXPECT_EQ(result.examination.fault, He3Fault::kTruncatedData);
    EXPECT_TRUE(result.data.empty());
}

TEST_F(DecodeAndVerifyTest, CountsBytesAfterTheDataBits) {
    Bytes stream = kAb;
    stream.insert(stream.end(), {0xAA, 0xBB, 0xCC});
    const He3Verification result = Verify(stream);
    EXPECT_TRUE(result.examination.ok());
    EXPECT_EQ(result.data, Text("ab"));
    EXPECT_EQ(result.trailing_bytes, 3u);
}

TEST_F(DecodeAndVerifyTest, DoesNotDecodeAStructurallyBrokenStream) {
    const He3Verification result = Verify(Compressed({{'a', "0"}, {'b', "10"}}, 2));
    EXPECT_EQ(result.examination.fault, He3Fault::kIncompleteCode);
    EXPECT_FALSE(result.decoded);
}

TEST_F(DecodeAndVerifyTest, AcceptsWhatTheEncoderWritesForAGeneratedReport) {
    const std::string report = ReportGenerator(ReportGeneratorOptions{}).Report(7).text;
    Bytes stream = Text(report);
    codec_.EncodeByte(stream, static_cast<std::int32_t>(stream.size()));
    const He3Verification result = Verify(stream);
    ASSERT_TRUE(result.examination.ok()) << He3FaultText(result.examination);
    EXPECT_EQ(result.examination.form, He3Form::kCompressed);
    EXPECT_EQ(result.data, Text(report));
    EXPECT_EQ(result.examination.tree_nodes, 2 * result.examination.symbol_count - 1);
}

// Every prefix and every single-byte change of a sound stream, in exactly
// sized buffers: whatever the damage, the examination stays inside the buffer
// and only accepts output of the announced length and checksum.
TEST_F(DecodeAndVerifyTest, SurvivesEveryPrefixAndEveryByteChange) {
    std::vector<Bytes> damaged;
    for (std::size_t size = 0; size < kAbracadabra.size(); ++size) {
        damaged.push_back(Cut(kAbracadabra, size));
    }
    for (std::size_t offset = 0; offset < kAbracadabra.size(); ++offset) {
        for (int value = 0; value < 256; ++value) {
            damaged.push_back(With(kAbracadabra, offset, {static_cast<std::uint8_t>(value)}));
        }
    }
    for (const Bytes& stream : damaged) {
        const He3Verification result = Verify(stream);
        if (!result.examination.ok()) continue;
        ASSERT_EQ(static_cast<std::int64_t>(result.data.size()),
                  result.examination.uncompressed_length);
        if (result.examination.form == He3Form::kCompressed) {
            std::uint8_t x = 0;
            for (std::uint8_t byte : result.data) x ^= byte;
            ASSERT_EQ(x, result.examination.checksum);
        }
    }
}

}  // namespace
}  // namespace kolbi
