// Encoding then decoding gives the input back, through the byte and the
// string interfaces, and the encoder's streams pass the strict examination.
//
// Inputs whose first byte is odd are read as runs (symbol, count) and
// expanded, so the fuzzer reaches the large, skewed inputs that give codes
// of 20 bits and more (32 KiB of Fibonacci-like counts suffice), which raw
// inputs of a few kilobytes never reach.

#include <cstdint>
#include <string>
#include <vector>

#include "codec/cls_huffman.h"
#include "codec/he3_examine.h"
#include "fuzz_check.h"

namespace {

bool IsRuns(const std::uint8_t* data, std::size_t size) { return size > 0 && (data[0] & 1) != 0; }

std::vector<std::uint8_t> Input(const std::uint8_t* data, std::size_t size) {
    if (!IsRuns(data, size)) return {data, data + size};
    std::vector<std::uint8_t> expanded;
    for (std::size_t i = 1; i + 1 < size && expanded.size() < (1u << 15); i += 2) {
        // Counts grow fast with the count byte so a few runs make a long code.
        const std::size_t count = 1 + (std::size_t{data[i + 1]} * data[i + 1]);
        expanded.insert(expanded.end(), count, data[i]);
    }
    return expanded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> input = Input(data, size);
    kolbi::clsHuffman codec;

    std::vector<std::uint8_t> stream = input;
    codec.EncodeByte(stream, static_cast<std::int32_t>(input.size()));
    const kolbi::He3Verification check = kolbi::DecodeAndVerifyHe3(stream, codec);
    FUZZ_CHECK(check.examination.ok());
    FUZZ_CHECK(check.trailing_bytes == 0);
    FUZZ_CHECK(check.data == input);

    // The string wrappers only convert; raw inputs are enough to check them.
    if (!IsRuns(data, size)) {
        const std::string text(input.begin(), input.end());
        FUZZ_CHECK(codec.DecodeString(codec.EncodeString(text)) == text);
    }
    return 0;
}
