#include "he3/byte_io.h"

#include <fcntl.h>
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
    // Closes now so that a failing close (a full disk on NFS) is seen.
    bool Close() {
        if (!owned_ || fd_ < 0) return true;
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
    bool owned_;
};

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadAllBytes(const std::string& path, std::string& error) {
    const bool standard = path == "-";
    Descriptor in(standard ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC), !standard);
    if (in.get() < 0) {
        error = std::string("cannot open: ") + std::strerror(errno);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    std::size_t used = 0;
    for (;;) {
        if (bytes.size() - used < 65536)
            bytes.resize(std::max<std::size_t>(2 * bytes.size(), 65536));
        const ssize_t n = ::read(in.get(), bytes.data() + used, bytes.size() - used);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            error = std::string("cannot read: ") + std::strerror(errno);
            return std::nullopt;
        }
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    bytes.shrink_to_fit();
    return bytes;
}

bool WriteAllBytes(const std::string& path, std::span<const std::uint8_t> bytes,
                   std::string& error) {
    const bool standard = path == "-";
    Descriptor out(standard ? STDOUT_FILENO
                            : ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666),
                   !standard);
    if (out.get() < 0) {
        error = std::string("cannot open for writing: ") + std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(out.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = std::string("cannot write: ") + std::strerror(errno);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (!out.Close()) {
        error = std::string("cannot write: ") + std::strerror(errno);
        return false;
    }
    return true;
}

std::string DisplayName(const std::string& path, bool output) {
    if (path != "-") return path;
    return output ? "<stdout>" : "<stdin>";
}

}  // namespace kolbi
