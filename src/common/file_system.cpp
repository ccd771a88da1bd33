#include "common/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace kolbi {
namespace {

FileSystem* g_current = nullptr;

// Writes all bytes, retrying short writes and interruptions.
bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool WriteWithFlags(const std::string& path, std::string_view bytes, int flags, mode_t mode) {
    int fd = ::open(path.c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC, mode);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, bytes);
    if (::close(fd) != 0) ok = false;
    return ok;
}

// Reads a whole regular file; on failure errno says why. Only regular files
// are read: a FIFO put where a report was listed would otherwise hold the
// pump until someone writes to it.
std::optional<std::string> ReadRegular(const std::string& path, int extra_flags) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | extra_flags);
    if (fd < 0) return std::nullopt;
    std::string content;
    struct stat st {};
    int error = 0;
    if (::fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        error = EINVAL;
    } else {
        content.reserve(static_cast<size_t>(st.st_size));
        char chunk[65536];
        for (;;) {
            ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) error = errno;
            if (n <= 0) break;
            content.append(chunk, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    if (error == 0) return content;
    errno = error;
    return std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> PosixFileSystem::FileLength(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

bool PosixFileSystem::PathExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool PosixFileSystem::IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixFileSystem::IsLink(const std::string& path) {
    std::string name = path;
    while (name.size() > 1 && name.back() == '/') name.pop_back();  // the entry, not its target
    struct stat st {};
    return ::lstat(name.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::optional<std::chrono::system_clock::time_point> PosixFileSystem::ModifiedTime(
    const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    const auto since_epoch = std::chrono::seconds(st.st_mtim.tv_sec) +
                             std::chrono::nanoseconds(st.st_mtim.tv_nsec);
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(since_epoch));
}

std::optional<std::vector<std::string>> PosixFileSystem::ListFiles(const std::string& folder) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return std::nullopt;
    std::vector<std::string> names;
    std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        // The folder's own record says what most entries are; only a file
        // system that does not say costs a stat. The pass lists its folder
        // again after every report, so with hundreds of reports waiting a
        // stat per entry would come to a stat per report squared. Links are
        // listed whatever they point at, never followed: the queue sets them
        // aside.
        bool listed = entry->d_type == DT_REG || entry->d_type == DT_LNK;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            listed = ::lstat((prefix + name).c_str(), &st) == 0 &&
                     (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode));
        }
        if (listed) names.push_back(std::move(name));
    }
    return names;
}

bool PosixFileSystem::Remove(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool PosixFileSystem::Rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool PosixFileSystem::CopyFile(const std::string& from, const std::string& to) {
    // Files are set aside this way: a link is neither followed nor replaced.
    int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0) return false;
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0640);
    bool ok = out >= 0;
    char chunk[65536];
    while (ok) {
        ssize_t n = ::read(in, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = WriteAll(out, std::string_view(chunk, static_cast<size_t>(n)));
    }
    // The caller removes the source next: the copy must be on the disk first.
    if (ok && ::fsync(out) != 0) ok = false;
    if (out >= 0 && ::close(out) != 0) ok = false;
    ::close(in);
    return ok;
}

bool PosixFileSystem::CreateFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0750) == 0 || (errno == EEXIST && IsFolder(path));
}

std::optional<std::string> PosixFileSystem::ReadFile(const std::string& path) {
    return ReadRegular(path, 0);
}

std::optional<std::string> PosixFileSystem::ReadQueuedFile(const std::string& path) {
    return ReadRegular(path, O_NOFOLLOW);
}

bool PosixFileSystem::WriteNewFileDurably(const std::string& path, std::string_view bytes) {
    // Not world-readable: reports name the software of every workstation.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0640);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    const int error = errno;
    if (::close(fd) != 0 && ok) return false;
    errno = error;
    return ok;
}

bool PosixFileSystem::SyncFolder(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return ok;
}

bool PosixFileSystem::WriteFile(const std::string& path, std::string_view bytes) {
    // Files the pump replaces lie in folders others write to (the agents'
    // share): a link planted there must not send the bytes elsewhere.
    return WriteWithFlags(path, bytes, O_TRUNC | O_NOFOLLOW, 0644);
}

bool PosixFileSystem::AppendFile(const std::string& path, std::string_view bytes) {
    // The error log, the only file appended to, quotes what failed: for the
    // pump's user and its group (the operators), not for everyone.
    return WriteWithFlags(path, bytes, O_APPEND, 0640);
}

FileSystem& Fs() {
    static PosixFileSystem posix;
    return g_current ? *g_current : posix;
}

ScopedFileSystem::ScopedFileSystem(FileSystem& fs) : previous_(g_current) { g_current = &fs; }

ScopedFileSystem::~ScopedFileSystem() { g_current = previous_; }

}  // namespace kolbi
