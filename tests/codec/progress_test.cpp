// The Progress values and their order, which the agents' progress displays mirror.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codec/cls_huffman.h"
#include "codec/stream_builder.h"

namespace kolbi {
namespace {

using testing::Bytes;
using testing::StreamBuilder;
using testing::ToBytes;
using Events = std::vector<int>;

class ProgressTest : public ::testing::Test {
protected:
    ProgressTest() {
        codec_.OnProgress([this](std::int16_t& procent) { events_.push_back(procent); });
    }

    Events Encode(Bytes bytes) {
        events_.clear();
        codec_.EncodeByte(bytes, static_cast<std::int32_t>(bytes.size()));
        return events_;
    }
    Events Decode(Bytes bytes) {
        events_.clear();
        codec_.DecodeByte(bytes, static_cast<std::int32_t>(bytes.size()));
        return events_;
    }

    clsHuffman codec_;
    Events events_;
};

// Two values, so every input compresses: 'a' = 0, 'b' = 1.
Bytes TwoValues(std::size_t size) {
    Bytes bytes(size, 'a');
    for (std::size_t i = 0; i < size; i += 3) bytes[i] = 'b';
    return bytes;
}

TEST_F(ProgressTest, EncoderPhasesOnSmallInputs) {
    EXPECT_EQ(Encode(ToBytes("abc")), (Events{7, 12, 100}));
    EXPECT_EQ(Encode(ToBytes("")), Events{});
    EXPECT_EQ(Encode(ToBytes("aaaa")), Events{});
}

TEST_F(ProgressTest, EncoderCountsPerThousandAndWritesPerTenThousandHalvesToEven) {
    // Counting at i = 1000, 2000...: i / 14000 * 7 = 0.5, 1, 1.5 ... 6.5 round to even.
    // Checksum at 10000: 10.57. Writing at 10000: 10000 / 14000 * 88 + 12 = 74.86.
    EXPECT_EQ(Encode(TwoValues(14000)), (Events{1, 2, 3, 4, 5, 6, 7, 11, 12, 75, 100}));
}

TEST_F(ProgressTest, StoredFormRaisesOnlyTheCountingValues) {
    // 1000 / 5000 * 7 = 1.4, then 2.8, 4.2, 5.6; no 100.
    EXPECT_EQ(Encode(Bytes(5000, 'q')), (Events{1, 3, 4, 6}));
    EXPECT_EQ(Decode(ToBytes("HE0\rsome text")), Events{});
}

TEST_F(ProgressTest, SmallStreamsRaise89Then100) {
    EXPECT_EQ(Decode(StreamBuilder().Code('a', "0").Code('b', "1").Build("ab")), (Events{89, 100}));
    EXPECT_EQ(Decode(StreamBuilder().Code('a', "0").Code('b', "1").Build(TwoValues(9999))),
              (Events{89, 100}));
}

TEST_F(ProgressTest, DecodingReportsTheReadPositionThenTheVerification) {
    // A 25,000-byte stream: header 16 bytes, 24,984 data bytes of 1-bit codes.
    Bytes stream = StreamBuilder().Code('a', "0").Code('b', "1").Build(TwoValues(24984 * 8));
    ASSERT_EQ(stream.size(), 25000u);
    Events events = Decode(stream);
    // Read positions 10,000 and 20,000: 35.6 and 71.2. Then 89 at output index 0.
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(Events(events.begin(), events.begin() + 3), (Events{36, 71, 89}));
    EXPECT_TRUE(std::is_sorted(events.begin(), events.end()));
    EXPECT_EQ(events.back(), 100);
    // Verification over 199,872 bytes: index 190,000 gives 99.46.
    EXPECT_EQ(events[events.size() - 2], 99);
}

TEST_F(ProgressTest, DecodingRoundsHalvesToEven) {
    StreamBuilder codes = StreamBuilder().Code('a', "0").Code('b', "1");
    // A 20,000-byte stream at read position 10,000: 44.5 -> 44.
    Bytes stream = codes.Build(TwoValues(19984 * 8));
    ASSERT_EQ(stream.size(), 20000u);
    Events events = Decode(stream);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(Events(events.begin(), events.begin() + 2), (Events{44, 89}));
    // 20,000 output bytes at index 10,000: 94.5 -> 94.
    EXPECT_EQ(Decode(codes.Build(TwoValues(20000))), (Events{89, 94, 100}));
}

TEST_F(ProgressTest, TheByteThatCompletesTheOutputReportsNothing) {
    // A 15,000-byte stream whose output completes inside, or on the last bit of, the byte
    // at read position 10,000: its 10000 / 15000 * 89 = 59 is not reported. When the data
    // runs out instead, every byte was read and it is.
    StreamBuilder codes = StreamBuilder().Code('a', "0").Code('b', "1");
    Bytes text = TwoValues(14984 * 8);
    const std::int64_t through_position_10000 = (10000 - 16) * 8;
    for (std::int64_t length : {through_position_10000 - 3, through_position_10000}) {
        Bytes stream = codes.Length(length).Build(text);
        ASSERT_EQ(stream.size(), 15000u);
        EXPECT_EQ(Decode(stream).front(), 89) << "length " << length;
    }
    Bytes overlong = codes.Length(static_cast<std::int64_t>(text.size()) + 5).Build(text);
    Events events = Decode(overlong);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(Events(events.begin(), events.begin() + 2), (Events{59, 89}));
}

TEST_F(ProgressTest, DamagedStreamsReportOnlyOnceDecodingStarted) {
    EXPECT_EQ(Decode(ToBytes("HE7\rabcdefghijklmn")), Events{});
    EXPECT_EQ(Decode(StreamBuilder().Code('a', "0").Code('b', "01").Build("ab")), Events{});
    // A bit that leads nowhere at once: nothing decoded, yet the decoding ran.
    Bytes stream = StreamBuilder().Code('a', "0").Code('b', "10").Length(4).Build(Bytes{});
    StreamBuilder::AppendBits(stream, "11");
    EXPECT_EQ(Decode(stream), Events{100});
}

TEST_F(ProgressTest, ASubscriberChangingTheValueChangesNothing) {
    codec_.OnProgress([this](std::int16_t& procent) {
        events_.push_back(procent);
        procent = 0;
    });
    EXPECT_EQ(Encode(ToBytes("abc")), (Events{7, 12, 100}));
}

}  // namespace
}  // namespace kolbi
