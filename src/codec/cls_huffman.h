#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "codec/huffman_decoder.h"
#include "codec/progress_reporter.h"

namespace kolbi {

// The HE3 codec: a byte-oriented Huffman coder whose streams the workstation agents
// write. Streams written here are byte for byte those the agents write for the same
// input. The object keeps no data between calls, only the Progress subscription, so
// calls on one object or several never affect each other, nested ones included.
class clsHuffman {
public:
    // The Progress event: 0 to 100, raised synchronously on the calling thread.
    using ProgressEvent = kolbi::ProgressEvent;

    // Encodes the file SourceFile into DestFile (an empty file becomes the 4-byte empty
    // stream). Raises RuntimeError: errnum::kComponentBase "Source file does not exist"
    // (source "clsHuffman.EncodeFile()") when the source is missing, DestFile untouched;
    // errnum::kOverflow as EncodeByte; a file access error naming the path when the
    // source cannot be read or DestFile cannot be written.
    void EncodeFile(const std::string& SourceFile, const std::string& DestFile);

    // Decodes the HE3 file SourceFile into DestFile, replacing it. A source whose first
    // text field does not begin with "HE3" (case and surrounding spaces ignored), or that
    // is missing or unreadable, leaves DestFile removed. Never fails towards the caller.
    void DecodeFile(const std::string& SourceFile, const std::string& DestFile);

    // Replaces the first ByteLen bytes of ByteArray by their HE3 stream; ByteArray is
    // resized to exactly the stream. Progress 0..7 counting, 7..12 checksum, 12..100
    // writing, then 100; the stored form raises no more than the counting values.
    // Raises RuntimeError errnum::kOverflow, ByteArray unchanged, when the data bits would
    // exceed 2^31 - 1, and errnum::kInvalidProcedureCall when ByteLen is negative or past
    // the end of ByteArray.
    void EncodeByte(std::vector<std::uint8_t>& ByteArray, std::int32_t ByteLen);

    // The stream EncodeByte makes of Data, handed to Sink piece by piece as it is
    // produced instead of kept (a piece is valid during the call only): tools write
    // files this way without the stream in memory. Progress and failures as
    // EncodeByte (kOverflow also for Data over 2^31 - 1 bytes), raised before any
    // piece reaches Sink.
    void EncodeTo(std::span<const std::uint8_t> Data,
                  const std::function<void(std::span<const std::uint8_t>)>& Sink);

    // The report an HE3 file holds, when and only when its stream is complete:
    // its first text field begins with "HE3" as DecodeFile requires, and it
    // decodes to exactly the length its header gives. Nothing for a stream
    // cut short (an agent still writing), one with no header yet, an empty
    // file, a damaged stream or no HE3 stream at all, so that no part of a
    // report is ever taken for the whole. Never fails towards the caller.
    std::optional<std::string> DecodeComplete(std::string_view Content);

    // Text is bytes, one character per byte (Windows-1252 text as it stands).
    // DecodeString never fails; EncodeString raises as EncodeByte.
    std::string DecodeString(const std::string& Text);
    std::string EncodeString(const std::string& Text);

    // Replaces the HE3 stream in the first ByteLen bytes of ByteArray (ByteLen is cut to
    // the buffer's size) by the bytes it decodes to. Never fails towards the caller: on
    // a damaged stream the result is the bytes decoded so far, or ByteArray unchanged
    // when there are none. Progress 89 then 100 on streams under 10,000 bytes; larger ones
    // report the read position during decoding first. None for the stored form. Lets
    // pending host events run every 64 KiB of output, never per bit or byte.
    void DecodeByte(std::vector<std::uint8_t>& ByteArray, std::int32_t ByteLen);

    // What DecodeByte makes of Stream, read where it lies and handed to Sink piece by
    // piece as it is decoded (see he3::DecodeStreamTo), with the count and XOR of the
    // bytes. Progress and yields as DecodeByte; never fails towards the caller but
    // for what Sink throws.
    he3::DecodedTo DecodeTo(std::span<const std::uint8_t> Stream,
                            const std::function<void(std::span<const std::uint8_t>)>& Sink);

    // Subscribes to Progress (an empty handler unsubscribes). A call in progress keeps
    // the handler it started with.
    void OnProgress(ProgressEvent handler) { Progress = std::move(handler); }

private:
    void DecodeFileAbsorbed(const std::string& SourceFile, const std::string& DestFile);

    ProgressEvent Progress;
};

}  // namespace kolbi
