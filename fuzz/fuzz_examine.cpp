// The examination on arbitrary bytes: it must stay inside the buffer, and
// what it accepts must be what the codec decodes.

#include <cstdint>
#include <vector>

#include "codec/cls_huffman.h"
#include "codec/he3_examine.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> stream(data, data + size);
    const kolbi::He3Examination examination = kolbi::ExamineHe3(stream);
    FUZZ_CHECK(examination.stream_size == size);

    kolbi::clsHuffman codec;
    const kolbi::He3Verification check = kolbi::DecodeAndVerifyHe3(stream, codec);
    if (!check.examination.ok()) return 0;
    FUZZ_CHECK(examination.ok());
    FUZZ_CHECK(check.data.size() == static_cast<std::size_t>(examination.uncompressed_length));
    if (examination.form == kolbi::He3Form::kCompressed) {
        FUZZ_CHECK(examination.tree_nodes == 2 * examination.symbol_count - 1);
        // A sound stream from any writer decodes to bytes that our own
        // encoder turns into a stream that decodes back to them.
        std::vector<std::uint8_t> again = check.data;
        codec.EncodeByte(again, static_cast<std::int32_t>(again.size()));
        codec.DecodeByte(again, static_cast<std::int32_t>(again.size()));
        FUZZ_CHECK(again == check.data);
    }
    return 0;
}
