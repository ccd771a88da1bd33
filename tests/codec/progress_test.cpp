// The Progress values and their order, which the agents' progress displays mirror.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "codec/cls_huffman.h"
#include "codec/stream_builder.h"

namespace kolbi {
namespace {

using testing::Bytes;
using testing::StreamBuilder;
using testing::ToBytes;

// Two values, so every input compresses: 'a' = 0, 'b' = 1.
Bytes TwoValues(std::size_t size) {
    Bytes bytes(size, 'a');
    for (std::size_t i = 0; i < size; i += 3) bytes[i] = 'b';
    return bytes;
}

TEST(He3Progress, PhaseSequences) {
    StreamBuilder codes = StreamBuilder().Code('a', "0").Code('b', "1");
    const Bytes text15k = TwoValues(14984 * 8);
    Bytes missing_child = StreamBuilder().Code('a', "0").Code('b', "10").Length(4).Build(Bytes{});
    StreamBuilder::AppendBits(missing_child, "11");
    const struct {
        const char* what;
        bool encode;
        Bytes input;
        std::vector<int> events;
    } cases[] = {
        {"small input", true, ToBytes("abc"), {7, 12, 100}},
        {"nothing to encode", true, {}, {}},
        {"stored form: counting only", true, Bytes(5000, 'q'), {1, 3, 4, 6}},
        {"halves to even", true, TwoValues(14000), {1, 2, 3, 4, 5, 6, 7, 11, 12, 75, 100}},
        {"stored form", false, ToBytes("HE0\rsome text"), {}},
        {"below 10,000 output bytes", false, codes.Build(TwoValues(9999)), {89, 100}},
        {"read positions, then verification",
         false,
         codes.Build(TwoValues(24984 * 8)),
         {36, 71, 89, 90, 91, 92, 93, 94, 95, 96, 97, 98, 99, 100}},
        {"94.5 to even", false, codes.Build(TwoValues(20000)), {89, 94, 100}},
        // The output completes inside the byte at read
        // position 10,000: its 59 is not reported. Data that runs out reports it.
        {"output complete inside the byte",
         false,
         codes.Length(79869).Build(text15k),
         {89, 90, 92, 93, 95, 96, 97, 99, 100}},
        {"data running out",
         false,
         codes.Length(std::int64_t(text15k.size()) + 5).Build(text15k),
         {59, 89, 90, 91, 92, 93, 94, 95, 96, 97, 98, 99, 100}},
        {"unknown form", false, ToBytes("HE7\rabcdefghijklmn"), {}},
        {"not a prefix code",
         false,
         StreamBuilder().Code('a', "0").Code('b', "01").Build("ab"),
         {}},
        {"a bit that leads nowhere at once", false, missing_child, {100}},
    };
    for (const auto& c : cases) {
        clsHuffman codec;
        std::vector<int> events;
        codec.OnProgress([&](std::int16_t& procent) {
            events.push_back(procent);
            procent = 0;  // a subscriber that changes the value changes nothing
        });
        Bytes bytes = c.input;
        const auto length = static_cast<std::int32_t>(bytes.size());
        c.encode ? codec.EncodeByte(bytes, length) : codec.DecodeByte(bytes, length);
        EXPECT_EQ(events, c.events) << c.what;
    }
}

}  // namespace
}  // namespace kolbi
