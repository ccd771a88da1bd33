// Damaged or hostile streams: the decoder never fails towards its caller, never reads
// or writes outside a buffer, and ends in one of its outcomes: the buffer unchanged, a
// prefix of what the data bits spell, or the whole output.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codec/cls_huffman.h"
#include "codec/stream_builder.h"
#include "common/pending_events.h"

namespace kolbi {
namespace {

using testing::Bytes;
using testing::StreamBuilder;
using testing::ToBytes;

Bytes Decode(Bytes bytes, std::int32_t length) {
    clsHuffman codec;
    codec.DecodeByte(bytes, length);
    return bytes;
}
Bytes Decode(const Bytes& bytes) { return Decode(bytes, static_cast<std::int32_t>(bytes.size())); }

bool IsPrefix(const Bytes& prefix, const Bytes& of) {
    return prefix.size() <= of.size() && std::equal(prefix.begin(), prefix.end(), of.begin());
}

Bytes Concat(Bytes a, const std::string& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// 'a'=0 'b'=10 'c'=11
StreamBuilder AbcCodes() { return StreamBuilder().Code('a', "0").Code('b', "10").Code('c', "11"); }

TEST(He3Damaged, EveryTruncationLeavesTheBufferOrAPrefix) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "abracadabra " + std::to_string(i * i);
    clsHuffman codec;
    std::string full = codec.EncodeString(text);
    const auto symbols = static_cast<std::size_t>(static_cast<unsigned char>(full[9]));
    std::size_t code_bits = 0;
    for (std::size_t k = 0; k < symbols; ++k)
        code_bits += static_cast<unsigned char>(full[12 + 2 * k]);
    const std::size_t data_start = 11 + 2 * symbols + (code_bits + 7) / 8;
    std::size_t partial = 0;
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        Bytes stream(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
        Bytes result = Decode(stream);
        if (result == stream) continue;  // nothing decoded
        ++partial;
        EXPECT_GT(cut, data_start);
        EXPECT_TRUE(IsPrefix(result, ToBytes(text))) << "cut at " << cut;
        EXPECT_LT(result.size(), text.size()) << "cut at " << cut;
    }
    EXPECT_EQ(partial, full.size() - data_start - 1);  // every cut inside the data bits
}

TEST(He3Damaged, FlippedBitsNeverBreakTheDecoder) {
    clsHuffman codec;
    std::string text = "The quick brown fox jumps over the lazy dog, 0123456789 times.";
    std::string full = codec.EncodeString(text);
    for (std::size_t bit = 0; bit < full.size() * 8; ++bit) {
        Bytes stream(full.begin(), full.end());
        stream[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        Bytes result = Decode(stream);
        // Whatever comes out is bounded by what the data bits can spell.
        EXPECT_LE(result.size(), 8 * stream.size()) << "bit " << bit;
    }
}

TEST(He3Damaged, OutcomesOfHeadersAndTables) {
    const Bytes valid = AbcCodes().Build("abcab");
    auto with = [&](std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
        Bytes s = valid;
        std::copy(bytes.begin(), bytes.end(), s.begin() + static_cast<std::ptrdiff_t>(offset));
        return s;
    };
    struct Case {
        const char* what;
        Bytes stream;
        std::string expected;  // "" = buffer unchanged
    };
    const Case cases[] = {
        {"valid", valid, "abcab"},
        {"identification HE7", with(2, {'7'}), ""},
        {"identification he3: read as compressed", with(0, {'h', 'e'}), "abcab"},
        {"no carriage return: read as compressed", with(3, {'x'}), "abcab"},
        {"header cut short", Bytes(valid.begin(), valid.begin() + 10), ""},
        {"length field 0", with(5, {0, 0, 0, 0}), ""},
        {"length field negative", with(5, {0xFF, 0xFF, 0xFF, 0xFF}), ""},
        {"length field shorter: output stops there", with(5, {3, 0, 0, 0}), "abc"},
        {"symbol count 0", with(9, {0, 0}), ""},
        {"symbol count 257", with(9, {1, 1}), ""},
        {"symbol count negative", with(9, {0xFF, 0xFF}), ""},
        {"code table cut short", StreamBuilder().Code('a', "0").SymbolCount(200).Build("a"), ""},
        {"code bits cut short", Bytes(valid.begin(), valid.begin() + 17), ""},
        {"no code at all", StreamBuilder().Code('a', "").Code('b', "").Build(Bytes{}), ""},
        {"a code begins another", StreamBuilder().Code('a', "0").Code('b', "01").Build("ab"), ""},
        {"a code ends inside another",
         StreamBuilder().Code('a', "01").Code('b', "0").Code('c', "1").Build("ab"), ""},
        {"two equal codes", StreamBuilder().Code('a', "1").Code('b', "1").Build("ab"), ""},
        {"more than 512 nodes",
         StreamBuilder()
             .Code('a', std::string(255, '0'))
             .Code('b', "01" + std::string(253, '0'))
             .Code('c', "1" + std::string(254, '0'))
             .Build("abc"),
         ""},
        {"value listed twice: its last entry counts",
         StreamBuilder().Code('a', "00").Code('b', "1").Code('a', "0").Build("abba"), "abba"},
        {"incomplete table, data inside it",
         StreamBuilder().Code('a', "0").Code('b', "10").Build("abab"), "abab"},
        {"single code", StreamBuilder().Code('z', "1").Build("zzz"), "zzz"},
    };
    for (const Case& c : cases) {
        Bytes result = Decode(c.stream);
        if (c.expected.empty()) {
            EXPECT_EQ(result, c.stream) << c.what;
        } else {
            EXPECT_EQ(result, ToBytes(c.expected)) << c.what;
        }
    }
}

TEST(He3Damaged, ABitLeadingToAMissingChildEndsTheOutput) {
    // 'a'=0 'b'=10, and "11" leads nowhere: data a b a then 1 1.
    Bytes stream = StreamBuilder().Code('a', "0").Code('b', "10").Length(9).Build("aba");
    stream.pop_back();
    StreamBuilder::AppendBits(stream,
                              "0100"
                              "11"
                              "00");
    EXPECT_EQ(Decode(stream), ToBytes("aba"));
    // Nothing decodable at all: the buffer stays.
    Bytes none = StreamBuilder().Code('a', "0").Code('b', "10").Length(4).Build(Bytes{});
    StreamBuilder::AppendBits(none, "11");
    EXPECT_EQ(Decode(none), none);
}

TEST(He3Damaged, ALyingLengthFieldYieldsOnlyWhatTheDataBitsSpell) {
    // 'ab' with the length field at its maximum: the one data byte 0x02 spells a, b and
    // six more a's in its pad bits; nothing more can come out of 8 bits of 1-bit codes.
    Bytes stream = StreamBuilder().Code('a', "0").Code('b', "1").Length(0x7FFFFFFF).Build("ab");
    EXPECT_EQ(Decode(stream), ToBytes("abaaaaaa"));
    // Codes of at least 3 bits: 4 data bytes give at most 10 bytes, whatever is claimed.
    Bytes longer =
        StreamBuilder().Code('x', "000").Code('y', "111").Length(2000000000).Build("xyxyxyxyxy");
    EXPECT_EQ(Decode(longer), ToBytes("xyxyxyxyxy"));
}

TEST(He3Damaged, ByteLenDecidesWhereTheStreamEnds) {
    Bytes ab = StreamBuilder().Code('a', "0").Code('b', "1").Build("ab");
    EXPECT_EQ(Decode(Concat(ab, "trailing"), static_cast<std::int32_t>(ab.size())), ToBytes("ab"));
    EXPECT_EQ(Decode(ab, 1000), ToBytes("ab"));  // cut to the buffer
    Bytes stored = ToBytes("HE0\rabcdef");
    EXPECT_EQ(Decode(stored, 6), ToBytes("ab"));
    EXPECT_EQ(Decode(stored, -5), stored);
    EXPECT_EQ(Decode(ToBytes("HE0\r"), 4), Bytes{});
}

TEST(He3Damaged, NestedDecodesFromTheHostsYieldDoNotDisturbEachOther) {
    clsHuffman codec;
    std::string big(300000, 'x');
    for (std::size_t i = 0; i < big.size(); i += 7) big[i] = static_cast<char>('a' + i % 20);
    std::string stream = codec.EncodeString(big);
    int nested = 0;
    auto previous = SetPendingEventsHandler([&] {
        if (nested++ < 3) {
            EXPECT_EQ(codec.DecodeString(codec.EncodeString("nested abc")), "nested abc");
        }
    });
    EXPECT_EQ(codec.DecodeString(stream), big);
    SetPendingEventsHandler(previous);
    EXPECT_GT(nested, 3);
}

}  // namespace
}  // namespace kolbi
