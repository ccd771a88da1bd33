// DecodeByte on arbitrary bytes: it must never read or write outside its
// buffers, never fail towards the caller, report sane progress, and survive
// a nested codec call from inside its yield, as the service's event loop may
// start one. DecodeComplete, which decides what the pump takes, must agree:
// a report it calls complete is what DecodeByte gives, at the header's length.

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/cls_huffman.h"
#include "common/pending_events.h"
#include "fuzz_check.h"

namespace {

const std::vector<std::uint8_t> kAbStream = {0x48, 0x45, 0x33, 0x0D, 0x03, 0x02, 0x00, 0x00, 0x00,
                                             0x02, 0x00, 0x61, 0x01, 0x62, 0x01, 0x02, 0x02};

bool nested_done = false;

void NestedDecode() {
    if (nested_done) return;
    nested_done = true;
    kolbi::clsHuffman codec;
    std::vector<std::uint8_t> buffer = kAbStream;
    codec.DecodeByte(buffer, static_cast<std::int32_t>(buffer.size()));
    FUZZ_CHECK(buffer == std::vector<std::uint8_t>({'a', 'b'}));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> buffer(data, data + size);
    kolbi::clsHuffman codec;
    int last = -1;
    codec.OnProgress([&last](std::int16_t& percent) {
        FUZZ_CHECK(percent >= 0 && percent <= 100);
        FUZZ_CHECK(percent > last);
        last = percent;
    });
    nested_done = false;
    auto previous = kolbi::SetPendingEventsHandler(NestedDecode);
    codec.DecodeByte(buffer, static_cast<std::int32_t>(size));
    kolbi::SetPendingEventsHandler(previous);

    const std::optional<std::string> complete = kolbi::clsHuffman().DecodeComplete(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (complete) {
        FUZZ_CHECK(size >= 11 && !complete->empty());
        const std::uint32_t length =
            static_cast<std::uint32_t>(data[5]) | static_cast<std::uint32_t>(data[6]) << 8 |
            static_cast<std::uint32_t>(data[7]) << 16 | static_cast<std::uint32_t>(data[8]) << 24;
        FUZZ_CHECK(complete->size() == length);
        FUZZ_CHECK(buffer.size() == length &&
                   std::memcmp(buffer.data(), complete->data(), length) == 0);
    }

    // The stored form is the one outcome fixed for any input.
    if (size >= 4 && data[0] == 'H' && data[1] == 'E' && data[2] == '0' && data[3] == '\r') {
        FUZZ_CHECK(buffer.size() == size - 4);
        FUZZ_CHECK(size == 4 || std::memcmp(buffer.data(), data + 4, size - 4) == 0);
    }
    return 0;
}
