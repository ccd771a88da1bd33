#include "he3/byte_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kolbi {
namespace {

class Descriptor {
public:
    explicit Descriptor(int fd, bool owned) : fd_(fd), owned_(owned) {}
    ~Descriptor() {
        if (owned_ && fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }

private:
    int fd_;
    bool owned_;
};

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadAllBytes(const std::string& path, std::size_t max_size,
                                                      std::string& error) {
    const bool standard = path == "-";
    Descriptor in(standard ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC), !standard);
    if (in.get() < 0) {
        error = std::string("cannot open: ") + std::strerror(errno);
        return std::nullopt;
    }
    auto too_large = [&](std::uint64_t size, bool at_least) {
        error = "too large for an HE3 stream (" + std::string(at_least ? "over " : "") +
                std::to_string(size) + " bytes, at most " + std::to_string(max_size) + ")";
        return std::nullopt;
    };
    // A regular file says its size: refused at once when too large, otherwise
    // read into a buffer of exactly that size, touched once.
    struct stat st {};
    std::size_t expected = 0;
    if (::fstat(in.get(), &st) == 0 && S_ISREG(st.st_mode)) {
        if (static_cast<std::uint64_t>(st.st_size) > max_size) return too_large(st.st_size, false);
        expected = static_cast<std::size_t>(st.st_size);
    }
    // One byte more than expected: the end shows without the buffer growing.
    std::vector<std::uint8_t> bytes(expected + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            // Past the expected size: a pipe, or a file still growing.
            if (used > max_size) return too_large(max_size, true);
            bytes.resize(std::min(std::max<std::size_t>(2 * bytes.size(), 65536), max_size + 1));
        }
        const ssize_t n = ::read(in.get(), bytes.data() + used, bytes.size() - used);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            error = std::string("cannot read: ") + std::strerror(errno);
            return std::nullopt;
        }
        used += static_cast<std::size_t>(n);
    }
    if (used > max_size) return too_large(max_size, true);
    bytes.resize(used);
    return bytes;
}

OutputFile::OutputFile(const std::string& path) {
    owned_ = path != "-";
    fd_ = owned_ ? ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)
                 : STDOUT_FILENO;
    if (fd_ < 0) error_ = std::string("cannot open for writing: ") + std::strerror(errno);
}

OutputFile::~OutputFile() {
    if (owned_ && fd_ >= 0) ::close(fd_);
}

void OutputFile::Write(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (ok() && done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = std::string("cannot write: ") + std::strerror(errno);
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

bool OutputFile::Close(std::string& error) {
    // Closed now so that a failing close (a full disk on NFS) is seen.
    if (owned_ && fd_ >= 0) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && ok()) {
            error_ = std::string("cannot write: ") + std::strerror(errno);
        }
    }
    error = error_;
    return ok();
}

bool WriteAllBytes(const std::string& path, std::span<const std::uint8_t> bytes,
                   std::string& error) {
    OutputFile out(path);
    out.Write(bytes);
    return out.Close(error);
}

std::string DisplayName(const std::string& path, bool output) {
    if (path != "-") return path;
    return output ? "<stdout>" : "<stdin>";
}

}  // namespace kolbi
