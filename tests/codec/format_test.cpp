// Byte-exact streams and round trips of the HE3 codec.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "codec/cls_huffman.h"
#include "codec/he3_examine.h"
#include "codec/stream_builder.h"
#include "support/error_of.h"

namespace kolbi {
namespace {

using testing::Bytes;
using testing::Sample;
using testing::StreamBuilder;
using testing::ToBytes;

Bytes Encode(Bytes bytes) {
    clsHuffman codec;
    codec.EncodeByte(bytes, static_cast<std::int32_t>(bytes.size()));
    return bytes;
}
Bytes Decode(Bytes bytes) {
    clsHuffman codec;
    codec.DecodeByte(bytes, static_cast<std::int32_t>(bytes.size()));
    return bytes;
}

// The tie-breaks of the tree decide these streams; the agents write them so.
TEST(He3Format, TheAgentsStreamsByteForByte) {
    const std::pair<std::string, const char*> samples[] = {{"", "stored_empty"},
                                                           {"aaaa", "stored_aaaa"},
                                                           {"ab", "ab"},
                                                           {"abc", "abc"},
                                                           {"abracadabra", "abracadabra"}};
    clsHuffman codec;
    for (const auto& [text, name] : samples) {
        const Bytes stream = Sample(name);
        ASSERT_FALSE(stream.empty()) << "no sample " << name;
        EXPECT_EQ(Encode(ToBytes(text)), stream) << name;
        EXPECT_EQ(Decode(stream), ToBytes(text)) << name;
        EXPECT_EQ(codec.EncodeString(text), std::string(stream.begin(), stream.end())) << name;
    }
    Bytes buffer = ToBytes("abracadabra and more after it");
    codec.EncodeByte(buffer, 11);  // only the caller's length is encoded
    EXPECT_EQ(buffer, Sample("abracadabra"));
}

TEST(He3Format, DataAsLongAsTheInputAndCodeBitsEndingOnAByte) {
    // 256 values once each: 8-bit codes, so the data is exactly the input's size.
    Bytes input(256);
    for (int v = 0; v < 256; ++v) input[v] = static_cast<std::uint8_t>(255 - v);
    Bytes stream = Encode(input);
    EXPECT_EQ(stream.size(), 11u + 2 * 256 + 256 + 256);
    EXPECT_EQ(Decode(stream), input);
    // Four 2-bit codes: 8 code bits, exactly one byte, then the data byte.
    stream = StreamBuilder().Code('a', "00").Code('b', "01").Code('c', "10").Code('d', "11").Build(
        "abcd");
    ASSERT_EQ(stream.size(), 11u + 8 + 1 + 1);
    EXPECT_EQ(Decode(stream), ToBytes("abcd"));
}

// The encoder and decoder against each other, and the stream against the
// strict check: table ascending, a complete prefix code, length and checksum.
void ExpectRoundTrip(const Bytes& input) {
    const Bytes stream = Encode(input);
    clsHuffman codec;
    ASSERT_TRUE(DecodeAndVerifyHe3(stream, codec).examination.ok()) << "length " << input.size();
    ASSERT_EQ(Decode(stream), input) << "length " << input.size();
}

TEST(He3RoundTrip, RandomInputsOfManyShapes) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 400; ++round) {
        std::size_t size = rng() % (round < 300 ? 300 : 20000) + 1;
        unsigned alphabet = rng() % 256 + 1;
        // Geometric weights give anything from flat to very skewed distributions.
        double skew = 1.0 + (rng() % 1000) / 250.0;
        std::vector<double> weights(alphabet);
        for (unsigned k = 0; k < alphabet; ++k) weights[k] = 1.0 / std::pow(skew, k);
        std::discrete_distribution<unsigned> pick(weights.begin(), weights.end());
        Bytes input(size);
        for (auto& b : input) b = static_cast<std::uint8_t>((pick(rng) * 37 + round) & 255);
        ExpectRoundTrip(input);
    }
}

// Fibonacci counts make the deepest possible tree: with k values the longest
// codes are k - 1 bits, far past the decoder's lookup table.
TEST(He3RoundTrip, FibonacciCountsGiveCodesOfThirtyBitsAndMore) {
    constexpr int kValues = 33;
    Bytes input;
    std::uint64_t a = 1, b = 1;
    for (int v = 0; v < kValues; ++v) {
        input.insert(input.end(), a, static_cast<std::uint8_t>('A' + v));
        std::uint64_t next = a + b;
        a = b;
        b = next;
    }
    std::shuffle(input.begin(), input.end(), std::mt19937(7));
    Bytes stream = Encode(input);
    unsigned longest = 0;
    for (int k = 0; k < kValues; ++k) longest = std::max<unsigned>(longest, stream[12 + 2 * k]);
    EXPECT_EQ(longest, kValues - 1u);
    EXPECT_EQ(Decode(stream), input);
}

TEST(He3RoundTrip, CodesUpToTheFormatsLimitOf255Bits) {
    // The unary code: value v is v ones then a zero, value 255 is 255 ones. A
    // complete prefix code of 256 values in exactly 511 tree nodes.
    StreamBuilder builder;
    for (int v = 0; v < 255; ++v)
        builder.Code(static_cast<std::uint8_t>(v), std::string(v, '1') + "0");
    builder.Code(255, std::string(255, '1'));
    Bytes text;
    std::mt19937 rng(3);
    for (int i = 0; i < 3000; ++i)
        text.push_back(static_cast<std::uint8_t>(i < 256 ? i : rng() % 256));
    EXPECT_EQ(Decode(builder.Build(text)), text);
}

TEST(He3Encode, ALengthOutsideTheBufferOrDataBeyond32BitsIsRefusedAndLeavesTheBuffer) {
    clsHuffman codec;
    Bytes buffer = ToBytes("abc");
    for (std::int32_t bad : {-1, 4}) {
        EXPECT_EQ(testing::ErrorOf([&] { codec.EncodeByte(buffer, bad); }).number(),
                  errnum::kInvalidProcedureCall);
        EXPECT_EQ(buffer, ToBytes("abc"));
    }
    // 2^28 bytes of 256 equally frequent values: 8-bit codes, 2^31 data bits.
    Bytes input(std::size_t{1} << 28);
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(testing::ErrorOf([&] {
                  codec.EncodeByte(input, static_cast<std::int32_t>(input.size()));
              }).number(),
              errnum::kOverflow);
    ASSERT_EQ(input.size(), std::size_t{1} << 28);
    EXPECT_EQ(input[12345], static_cast<std::uint8_t>(12345));
    EXPECT_EQ(input.back(), 255);
}

}  // namespace
}  // namespace kolbi
