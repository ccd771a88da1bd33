#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kolbi {

// Whole-file reads and writes for the command-line tools, with "-" meaning
// standard input or output. Failures come back as the system's reason
// ("No such file or directory") in `error`, for a one-line message.

// The whole content of path, or nothing with the reason in error. Content
// longer than max_size bytes is refused ("too large ..."): a regular file by
// its size, before anything is read; a pipe as soon as it has given more.
std::optional<std::vector<std::uint8_t>> ReadAllBytes(const std::string& path, std::size_t max_size,
                                                      std::string& error);

// A file written piece by piece: path's content replaced (created when
// missing), "-" standard output. The first failure is kept and ends the
// writing; Close says whether everything arrived.
class OutputFile {
public:
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool ok() const { return error_.empty(); }
    void Write(std::span<const std::uint8_t> bytes);
    // False with the reason in error when anything failed.
    bool Close(std::string& error);

private:
    int fd_ = -1;
    bool owned_ = false;
    std::string error_;
};

// Replaces the content of path (creating it) by bytes; false with the reason
// in error when it cannot be written.
bool WriteAllBytes(const std::string& path, std::span<const std::uint8_t> bytes,
                   std::string& error);

// How a path is named in messages: "<stdin>" / "<stdout>" for "-".
std::string DisplayName(const std::string& path, bool output);

}  // namespace kolbi
