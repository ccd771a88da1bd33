// Damaged or hostile streams, through the decoder and through the strict check
// (DecodeAndVerifyHe3) that support staff run with "he3 info". The decoder never
// fails towards its caller and never reads or writes outside a buffer: it leaves
// the buffer unchanged, or gives what the data bits spell. The check names the
// first fault.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "codec/cls_huffman.h"
#include "codec/he3_examine.h"
#include "codec/stream_builder.h"
#include "common/pending_events.h"

namespace kolbi {
namespace {

using testing::Bytes;
using testing::Sample;
using testing::StreamBuilder;
using testing::ToBytes;

Bytes Decode(Bytes bytes, std::int32_t length) {
    clsHuffman codec;
    codec.DecodeByte(bytes, length);
    return bytes;
}
Bytes Decode(const Bytes& bytes) { return Decode(bytes, static_cast<std::int32_t>(bytes.size())); }

// The strict check on an exactly sized heap copy, so that a read past the end is caught.
He3Verification Verify(const Bytes& stream) {
    auto copy = std::make_unique<std::uint8_t[]>(stream.size() + 1);
    std::copy(stream.begin(), stream.end(), copy.get());
    clsHuffman codec;
    return DecodeAndVerifyHe3({copy.get(), stream.size()}, codec);
}

Bytes With(Bytes bytes, std::size_t offset, std::initializer_list<std::uint8_t> values) {
    for (std::uint8_t value : values) bytes.at(offset++) = value;
    return bytes;
}
Bytes Cut(const Bytes& bytes, std::size_t size) {
    return Bytes(bytes.begin(), bytes.begin() + size);
}
Bytes Append(Bytes bytes, const std::string& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return bytes;
}
// A code of 255 bits: the prefix, then zeros.
std::string LongCode(std::string prefix) { return prefix.append(255 - prefix.size(), '0'); }

TEST(He3Damaged, WhatTheDecoderGivesAndWhatTheCheckReports) {
    const Bytes ab = Sample("ab"), abc = Sample("abc"), abra = Sample("abracadabra");
    const Bytes valid =
        StreamBuilder().Code('a', "0").Code('b', "10").Code('c', "11").Build("abcab");
    // 'a'=0 'b'=10: the data "a b a", then "11", which leads nowhere.
    Bytes nowhere = StreamBuilder().Code('a', "0").Code('b', "10").Length(9).Build(Bytes{});
    StreamBuilder::AppendBits(nowhere, "01001100");
    Bytes only_nowhere = StreamBuilder().Code('a', "0").Code('b', "10").Length(4).Build(Bytes{});
    StreamBuilder::AppendBits(only_nowhere, "11");
    using F = He3Fault;
    const std::nullopt_t same = std::nullopt;  // the decoder leaves the buffer as it was
    const struct {
        const char* what;
        Bytes stream;
        std::optional<std::string> decoded;
        He3Fault fault;
    } cases[] = {
        {"sound", valid, "abcab", F::kNone},
        {"stored", ToBytes("HE0\raaaa"), "aaaa", F::kNone},
        {"stored empty", ToBytes("HE0\r"), "", F::kNone},
        {"empty", {}, same, F::kNoIdentification},
        {"three bytes", ToBytes("HE3"), same, F::kNoIdentification},
        {"plain text", ToBytes("hello, world"), same, F::kNoIdentification},
        {"he3 in lower case: decoded all the same", With(valid, 0, {'h', 'e'}), "abcab",
         F::kNoIdentification},
        {"no carriage return: decoded all the same", With(valid, 3, {'\n'}), "abcab",
         F::kNoIdentification},
        {"form HE7", With(valid, 2, {'7'}), same, F::kUnknownForm},
        {"identification only", Cut(ab, 4), same, F::kTruncatedHeader},
        {"header cut", Cut(valid, 10), same, F::kTruncatedHeader},
        {"length 0", With(valid, 5, {0, 0, 0, 0}), same, F::kBadLength},
        {"length negative", With(valid, 5, {0xFF, 0xFF, 0xFF, 0xFF}), same, F::kBadLength},
        {"length shorter: output stops there", With(valid, 5, {3, 0, 0, 0}), "abc",
         F::kChecksumMismatch},
        {"length far beyond the data", With(ab, 5, {0xFF, 0xFF, 0xFF, 0x7F}), "abaaaaaa",
         F::kTruncatedData},
        {"no data bits", Cut(ab, 16), same, F::kTruncatedData},
        {"data bits end early", Cut(abra, 25), "abracada", F::kTruncatedData},
        {"checksum wrong", With(abra, 4, {0x67}), "abracadabra", F::kChecksumMismatch},
        {"no symbols", With(valid, 9, {0, 0}), same, F::kBadSymbolCount},
        {"257 symbols", With(valid, 9, {1, 1}), same, F::kBadSymbolCount},
        {"negative symbol count", With(valid, 9, {0xFF, 0xFF}), same, F::kBadSymbolCount},
        {"table cut", Cut(ab, 14), same, F::kTruncatedTable},
        {"table longer than the stream", StreamBuilder().Code('a', "0").SymbolCount(200).Build("a"),
         same, F::kTruncatedTable},
        {"table descending", With(ab, 11, {0x62, 0x01, 0x61}), "ab", F::kUnorderedTable},
        {"a symbol listed twice in a row", With(ab, 13, {0x61}), "a", F::kUnorderedTable},
        {"value listed twice: its last entry counts",
         StreamBuilder().Code('a', "00").Code('b', "1").Code('a', "0").Build("abba"), "abba",
         F::kUnorderedTable},
        {"code length 0", With(ab, 12, {0}), "b", F::kZeroCodeLength},
        {"code bits cut", Cut(abc, 17), same, F::kTruncatedCodeBits},
        {"code bits cut inside", Cut(abra, 22), same, F::kTruncatedCodeBits},
        {"two equal codes", StreamBuilder().Code('a', "1").Code('b', "1").Build("ab"), same,
         F::kNotPrefixCode},
        {"a code begins another", StreamBuilder().Code('a', "0").Code('b', "01").Build("ab"), same,
         F::kNotPrefixCode},
        {"a code ends inside another",
         StreamBuilder().Code('a', "01").Code('b', "0").Code('c', "1").Build("ab"), same,
         F::kNotPrefixCode},
        {"incomplete code, data inside it",
         StreamBuilder().Code('a', "0").Code('b', "10").Build("abab"), "abab", F::kIncompleteCode},
        {"single code", StreamBuilder().Code('z', "1").Build("zzz"), "zzz", F::kIncompleteCode},
        {"more than 512 nodes",
         StreamBuilder()
             .Code('a', LongCode(""))
             .Code('b', LongCode("01"))
             .Code('c', LongCode("1"))
             .Build("abc"),
         same, F::kTooManyNodes},
        {"a data bit that leads nowhere ends the output", nowhere, "aba", F::kIncompleteCode},
        {"nothing before it", only_nowhere, same, F::kIncompleteCode},
        {"codes of 3 bits: 4 data bytes give 10 bytes at most, whatever is claimed",
         StreamBuilder().Code('x', "000").Code('y', "111").Length(2000000000).Build("xyxyxyxyxy"),
         "xyxyxyxyxy", F::kIncompleteCode},
        {"trailing bytes are ignored", Append(ab, "xyz"), "ab", F::kNone},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Decode(c.stream), c.decoded ? ToBytes(*c.decoded) : c.stream) << c.what;
        const He3Verification checked = Verify(c.stream);
        EXPECT_EQ(checked.examination.fault, c.fault)
            << c.what << ": " << He3FaultText(checked.examination);
        EXPECT_TRUE(c.fault != F::kNone || checked.data == ToBytes(*c.decoded)) << c.what;
    }
}

TEST(He3Damaged, ByteLenDecidesWhereTheStreamEnds) {
    Bytes ab = Sample("ab");
    EXPECT_EQ(Decode(ab, 1000), ToBytes("ab"));  // cut to the buffer
    Bytes stored = ToBytes("HE0\rabcdef");
    EXPECT_EQ(Decode(stored, 6), ToBytes("ab"));
    EXPECT_EQ(Decode(stored, -5), stored);
}

// Every prefix of a longer stream and every value of every byte of a short
// one: the decoder stays inside its buffers, and the check accepts only output
// of the announced length and checksum.
TEST(He3Damaged, SurvivesEveryCutAndEveryByteValue) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "abracadabra " + std::to_string(i * i);
    clsHuffman codec;
    const Bytes full = ToBytes(codec.EncodeString(text));
    const std::size_t data_start = Verify(full).examination.data_offset;
    std::size_t partial = 0;
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        const Bytes stream = Cut(full, cut);
        const Bytes result = Decode(stream);
        if (result == stream) continue;
        ++partial;
        ASSERT_LT(result.size(), text.size()) << "cut at " << cut;
        ASSERT_TRUE(std::equal(result.begin(), result.end(), text.begin())) << "cut at " << cut;
    }
    EXPECT_EQ(partial, full.size() - data_start - 1);  // every cut inside the data bits

    const Bytes abra = Sample("abracadabra");
    for (std::size_t offset = 0; offset < abra.size(); ++offset) {
        for (int value = 0; value < 256; ++value) {
            const Bytes stream = With(abra, offset, {static_cast<std::uint8_t>(value)});
            Decode(stream);  // stays inside its buffers, whatever the value
            const He3Verification result = Verify(stream);
            if (!result.examination.ok()) continue;
            ASSERT_EQ(std::int64_t(result.data.size()), result.examination.uncompressed_length);
            if (result.examination.form != He3Form::kCompressed) continue;
            std::uint8_t x = 0;
            for (std::uint8_t byte : result.data) x ^= byte;
            ASSERT_EQ(x, result.examination.checksum) << offset << "=" << value;
        }
    }
}

TEST(He3Damaged, NestedDecodesFromTheHostsYieldDoNotDisturbEachOther) {
    clsHuffman codec;
    std::string big(300000, 'x');
    for (std::size_t i = 0; i < big.size(); i += 7) big[i] = static_cast<char>('a' + i % 20);
    const std::string stream = codec.EncodeString(big);
    int nested = 0, nested_ok = 0;
    auto previous = SetPendingEventsHandler([&] {
        if (nested++ < 3) nested_ok += codec.DecodeString(codec.EncodeString("nested")) == "nested";
    });
    EXPECT_EQ(codec.DecodeString(stream), big);
    SetPendingEventsHandler(previous);
    EXPECT_GT(nested, 3);
    EXPECT_EQ(nested_ok, 3);
}

}  // namespace
}  // namespace kolbi
