#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kolbi {

// The HE3 codec: a byte-oriented Huffman coder whose streams the workstation
// agents write. The object keeps no data between calls; only the Progress
// subscription survives.
class clsHuffman {
public:
    // The Progress event: 0 to 100, raised synchronously on the calling thread.
    using ProgressEvent = std::function<void(std::int16_t& Procent)>;

    // Encodes the file SourceFile into DestFile. Raises RuntimeError when the
    // source is missing or a file cannot be read or written.
    void EncodeFile(const std::string& SourceFile, const std::string& DestFile);

    // Decodes the HE3 file SourceFile into DestFile. Never fails towards the
    // caller: a source that is missing or not an HE3 file leaves DestFile absent.
    void DecodeFile(const std::string& SourceFile, const std::string& DestFile);

    // Replaces the first ByteLen bytes of ByteArray by their HE3 stream;
    // ByteArray is resized to exactly the stream. Raises RuntimeError (overflow)
    // when the data bits would exceed the format's 32-bit limit.
    void EncodeByte(std::vector<std::uint8_t>& ByteArray, std::int32_t ByteLen);

    // Text is bytes one character per byte (Windows-1252 text as it stands).
    std::string DecodeString(const std::string& Text);
    std::string EncodeString(const std::string& Text);

    // Replaces the HE3 stream in the first ByteLen bytes of ByteArray by the
    // bytes it decodes to. Never fails towards the caller: on a damaged stream
    // the result is the bytes decoded so far, or ByteArray unchanged when none.
    void DecodeByte(std::vector<std::uint8_t>& ByteArray, std::int32_t ByteLen);

    void OnProgress(ProgressEvent handler) { Progress = std::move(handler); }

private:
    ProgressEvent Progress;
};

}  // namespace kolbi
