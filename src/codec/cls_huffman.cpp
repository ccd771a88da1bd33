#include "codec/cls_huffman.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <limits>
#include <optional>
#include <string_view>

#include "codec/huffman_decoder.h"
#include "codec/huffman_encoder.h"
#include "common/file_helpers.h"
#include "common/file_system.h"
#include "common/runtime_error.h"

namespace kolbi {
namespace {

std::vector<std::uint8_t> ToBytes(std::string_view text) { return {text.begin(), text.end()}; }

std::string_view AsText(const std::vector<std::uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::int32_t LengthOf(std::size_t size) {
    return static_cast<std::int32_t>(
        std::min<std::size_t>(size, std::numeric_limits<std::int32_t>::max()));
}

// True when the first text field (before the first comma, CR or LF, leading blanks
// skipped) begins with "HE3" in any case: a compressed stream read as text.
bool LooksLikeHe3(std::string_view content) {
    std::size_t at = content.find_first_not_of(" \t");
    if (at == std::string_view::npos || content.size() - at < 3) return false;
    std::string_view field = content.substr(at, 3);
    return std::toupper(static_cast<unsigned char>(field[0])) == 'H' &&
           std::toupper(static_cast<unsigned char>(field[1])) == 'E' && field[2] == '3';
}

}  // namespace

void clsHuffman::EncodeFile(const std::string& SourceFile, const std::string& DestFile) {
    if (!FileExists(SourceFile)) {
        throw RuntimeError(errnum::kComponentBase, "Source file does not exist",
                           "clsHuffman.EncodeFile()");
    }
    std::optional<std::string> content = Fs().ReadFile(SourceFile);
    if (!content) {
        throw RuntimeError(errnum::kPathFileAccessError, "Path/File access error: " + SourceFile,
                           "clsHuffman.EncodeFile()");
    }
    if (content->size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw RuntimeError(errnum::kOverflow, "Overflow", "clsHuffman.EncodeFile()");
    }
    std::vector<std::uint8_t> buffer = ToBytes(*content);
    content.reset();
    EncodeByte(buffer, static_cast<std::int32_t>(buffer.size()));
    if (FileExists(DestFile)) DeleteOrMoveToFailed(DestFile);
    if (!Fs().WriteFile(DestFile, AsText(buffer))) {
        throw RuntimeError(errnum::kPathFileAccessError, "Path/File access error: " + DestFile,
                           "clsHuffman.EncodeFile()");
    }
}

void clsHuffman::DecodeFile(const std::string& SourceFile, const std::string& DestFile) {
    try {
        DecodeFileAbsorbed(SourceFile, DestFile);
    } catch (const std::exception&) {
    }
}

void clsHuffman::DecodeFileAbsorbed(const std::string& SourceFile, const std::string& DestFile) {
    // A source that is missing, unreadable, too large for the format or not an HE3
    // stream leaves no destination behind; a destination that cannot be written stands
    // as far as it got.
    std::optional<std::string> content;
    if (FileExists(SourceFile)) content = Fs().ReadFile(SourceFile);
    if (!content || !LooksLikeHe3(*content) ||
        content->size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        DeleteOrMoveToFailed(DestFile);
        return;
    }
    std::vector<std::uint8_t> buffer = ToBytes(*content);
    content.reset();
    DecodeByte(buffer, static_cast<std::int32_t>(buffer.size()));
    // Whatever stands at DestFile goes first, a link that leads nowhere included.
    DeleteOrMoveToFailed(DestFile);
    (void)Fs().WriteFile(DestFile, AsText(buffer));
}

void clsHuffman::EncodeByte(std::vector<std::uint8_t>& ByteArray, std::int32_t ByteLen) {
    if (ByteLen < 0 || static_cast<std::size_t>(ByteLen) > ByteArray.size()) {
        throw RuntimeError(errnum::kInvalidProcedureCall, "Invalid procedure call or argument",
                           "clsHuffman.EncodeByte()");
    }
    he3::ProgressReporter progress(Progress);
    he3::EncodeStream(ByteArray, static_cast<std::size_t>(ByteLen), progress);
}

void clsHuffman::EncodeTo(std::span<const std::uint8_t> Data,
                          const std::function<void(std::span<const std::uint8_t>)>& Sink) {
    if (Data.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw RuntimeError(errnum::kOverflow, "Overflow", "clsHuffman.EncodeByte()");
    }
    he3::ProgressReporter progress(Progress);
    he3::EncodeStreamTo(Data, Sink, progress);
}

he3::DecodedTo clsHuffman::DecodeTo(
    std::span<const std::uint8_t> Stream,
    const std::function<void(std::span<const std::uint8_t>)>& Sink) {
    he3::ProgressReporter progress(Progress);
    return he3::DecodeStreamTo(Stream, Sink, progress);
}

std::optional<std::string> clsHuffman::DecodeComplete(std::string_view Content) {
    if (!LooksLikeHe3(Content) ||
        Content.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return std::nullopt;
    }
    std::string report;
    try {
        const std::span<const std::uint8_t> stream(
            reinterpret_cast<const std::uint8_t*>(Content.data()), Content.size());
        const he3::DecodedTo decoded = DecodeTo(stream, [&](std::span<const std::uint8_t> piece) {
            report.append(reinterpret_cast<const char*>(piece.data()), piece.size());
        });
        // The stored form has no length to check it against: the file-level
        // test above has already turned it away, as DecodeFile does.
        if (!decoded.structure_sound || decoded.length_field == 0 ||
            decoded.count != decoded.length_field) {
            return std::nullopt;
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return report;
}

std::string clsHuffman::DecodeString(const std::string& Text) {
    std::vector<std::uint8_t> bytes = ToBytes(Text);
    DecodeByte(bytes, LengthOf(bytes.size()));
    return std::string(AsText(bytes));
}

std::string clsHuffman::EncodeString(const std::string& Text) {
    if (Text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw RuntimeError(errnum::kOverflow, "Overflow", "clsHuffman.EncodeString()");
    }
    std::vector<std::uint8_t> bytes = ToBytes(Text);
    EncodeByte(bytes, static_cast<std::int32_t>(bytes.size()));
    return std::string(AsText(bytes));
}

void clsHuffman::DecodeByte(std::vector<std::uint8_t>& ByteArray, std::int32_t ByteLen) {
    std::size_t length = std::clamp<std::size_t>(ByteLen < 0 ? 0 : ByteLen, 0, ByteArray.size());
    he3::ProgressReporter progress(Progress);
    // Nothing may reach the caller, not even running out of memory or a subscriber's
    // failure; the buffer is only replaced once the decoding is complete.
    try {
        he3::DecodeStream(ByteArray, length, progress);
    } catch (const std::exception&) {
    }
}

}  // namespace kolbi
