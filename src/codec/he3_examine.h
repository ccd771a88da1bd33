#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codec/stream_sink.h"

namespace kolbi {

class clsHuffman;

// Which of the two stream forms a buffer holds, told apart by its identification.
enum class He3Form {
    kCompressed,  // "HE3" + CR
    kStored,      // "HE0" + CR
    kUnknown,     // anything else: not a stream of this codec
};

// The first thing found wrong with a stream. The decoder itself never
// complains; these exist so that people checking agents' files get a reason.
enum class He3Fault {
    kNone,
    kNoIdentification,   // fewer than 4 bytes, or bytes 0, 1, 3 are not "H", "E", CR
    kUnknownForm,        // "HE?" + CR with a form byte other than "3" or "0"
    kTruncatedHeader,    // compressed form shorter than its 11-byte header
    kBadLength,          // uncompressed length field 0 or negative
    kBadSymbolCount,     // symbol count outside 1 to 256
    kTruncatedTable,     // fewer than 2 x N code-table bytes
    kUnorderedTable,     // a symbol not above the one before it (duplicate or out of order)
    kZeroCodeLength,     // a table entry whose code length is 0
    kTruncatedCodeBits,  // the code bits run past the end of the stream
    kNotPrefixCode,      // a code is the beginning of another, or two codes are equal
    kIncompleteCode,     // some bit sequence leads nowhere (an inner node lacks a child)
    kTooManyNodes,       // the code tree needs more than the decoder's 512 nodes
    kTruncatedData,      // the data bits end before the uncompressed length is reached
    kLengthMismatch,     // the decoder returned another length than the header announces
    kChecksumMismatch,   // the XOR of the decoded bytes is not the stored checksum
    kTooLarge,           // more bytes than the decoder's 32-bit length can address
};

// One code-table entry of a compressed stream.
struct He3CodeEntry {
    std::uint8_t symbol = 0;
    std::uint8_t length = 0;  // in bits, as stored in the table
    std::string bits;  // the code as "0"/"1" text, root first; empty until the code bits are read
};

// What could be read from a stream without decoding its data. Fields are
// filled as far as parsing got; parsing stops at the first fault that makes
// the rest unreadable.
struct He3Examination {
    He3Form form = He3Form::kUnknown;
    He3Fault fault = He3Fault::kNone;
    std::string detail;  // numbers that explain the fault ("7 of 11 bytes"), may be empty
    std::size_t stream_size = 0;

    // Compressed form: the header, when the 11 header bytes are there.
    // Stored form: uncompressed_length is the stream size less 4.
    bool has_header = false;
    std::uint8_t checksum = 0;
    std::int64_t uncompressed_length = 0;
    std::int32_t symbol_count = 0;

    // Compressed form: the table entries that could be read, in table order.
    std::vector<He3CodeEntry> codes;
    bool has_code_bits = false;   // every entry's bits were read
    std::size_t data_offset = 0;  // first byte of the data bits, once the code bits were read
    std::int32_t tree_nodes = 0;  // nodes the decoder's tree needs, once it was built

    bool ok() const { return fault == He3Fault::kNone; }
};

// Result of decoding a stream through the codec and checking the output.
struct He3Verification {
    He3Examination examination;        // fault also covers the checks after decoding
    std::vector<std::uint8_t> data;  // the decoded bytes; empty unless examination.ok()
    std::uint8_t data_xor = 0;       // XOR of what the decoder returned (compressed form)
    bool decoded = false;            // the decoder ran (the structure was sound)
    std::size_t trailing_bytes = 0;  // bytes after the data bits, which the decoder ignores
};

// Parses the identification, header, code table and code bits of a stream
// and builds the code tree the way the decoder does. Reads nothing outside
// the span, allocates at most a few kilobytes, never throws for bad input.
He3Examination ExamineHe3(std::span<const std::uint8_t> stream);

// Examines the stream and, when its structure is sound, decodes a copy with
// codec.DecodeByte and checks that the output has the announced length and
// that its XOR equals the stored checksum. Streams whose data bits cannot
// hold the announced length are refused before decoding, so the decoder is
// never asked to allocate more than eight times the stream size.
He3Verification DecodeAndVerifyHe3(std::span<const std::uint8_t> stream, clsHuffman& codec);

// The same without keeping the data: what the stream decodes to is handed to
// sink piece by piece as it is decoded (codec.DecodeTo), and `data` stays
// empty. A fault found in the data comes after some of it reached the sink.
He3Verification VerifyHe3To(std::span<const std::uint8_t> stream, clsHuffman& codec,
                            const he3::StreamSink& sink);

// "HE3 (compressed)", "HE0 (stored)" or "unknown".
const char* He3FormName(He3Form form);

// One line saying what is wrong, with the detail when there is one:
// "truncated header (7 of 11 bytes)". Empty for a sound stream.
std::string He3FaultText(const He3Examination& examination);

// True for the faults that mean the data is not a stream of this codec at
// all, as opposed to a damaged one.
bool IsNotAStream(He3Fault fault);

}  // namespace kolbi
