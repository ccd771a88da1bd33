#include "common/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <limits>
#include <memory>

#include "common/confined_path.h"
#include "common/descriptor.h"

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

// Opens a regular file for reading, never waiting: a FIFO put where a report
// was listed would otherwise hold the pump until someone writes to it. -1
// with errno set otherwise (EINVAL for a file that is not regular). The file
// is `path` itself, or `name` in the folder `folder` when that is given.
int OpenRegular(const std::string& path, int extra_flags, struct stat& st, int folder = AT_FDCWD) {
    const int fd = ::openat(folder, path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | extra_flags);
    if (fd < 0) return -1;
    int error = 0;
    if (::fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        error = EINVAL;
    }
    if (error == 0) return fd;
    ::close(fd);
    errno = error;
    return -1;
}

// Reads a whole regular file of at most `most` bytes (EFBIG beyond, before
// anything is read); on failure errno says why.
std::optional<std::string> ReadRegular(const std::string& path, int extra_flags, std::uint64_t most,
                                       int folder = AT_FDCWD) {
    struct stat st {};
    Descriptor fd(OpenRegular(path, extra_flags, st, folder));
    if (fd.get() < 0) return std::nullopt;
    if (static_cast<std::uint64_t>(st.st_size) > most) {
        errno = EFBIG;
        return std::nullopt;
    }
    std::string content;
    content.reserve(static_cast<size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        if (content.size() + static_cast<size_t>(n) > most) {
            errno = EFBIG;  // it grew while being read
            return std::nullopt;
        }
        content.append(chunk, static_cast<size_t>(n));
    }
    return content;
}

// The entry itself at a located path, never what a link there points at.
bool StatEntry(const LocatedPath& at, struct stat& st) {
    return ::fstatat(at.folder.get(), at.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// Opens the folder a located path names: below a confined root a link in its
// place is not followed.
Descriptor OpenFolder(const LocatedPath& at) {
    return Descriptor(
        ::openat(at.folder.get(), at.name.c_str(),
                 O_RDONLY | O_DIRECTORY | O_CLOEXEC | (at.confined ? O_NOFOLLOW : 0)));
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
    const std::optional<LocatedPath> at = Locate(path);
    struct stat st {};
    return at && StatEntry(*at, st) && S_ISLNK(st.st_mode);
}

std::optional<FileIdentity> PosixFileSystem::Identity(const std::string& path) {
    const std::optional<LocatedPath> at = Locate(path);
    struct stat st {};
    if (!at || !StatEntry(*at, st)) return std::nullopt;
    const auto since_epoch =
        std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec);
    return FileIdentity{
        static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
        static_cast<std::uint64_t>(st.st_size),
        std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(since_epoch))};
}

std::optional<std::vector<std::string>> PosixFileSystem::ListFiles(const std::string& folder) {
    const std::optional<LocatedPath> at = Locate(folder);
    if (!at) return std::nullopt;
    Descriptor fd = OpenFolder(*at);
    if (!fd.valid()) return std::nullopt;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(fd.get()), ::closedir);
    if (!dir) return std::nullopt;
    (void)fd.Release();  // the listing owns it now
    std::vector<std::string> names;
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
            listed = ::fstatat(::dirfd(dir.get()), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                     (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode));
        }
        if (listed) names.push_back(std::move(name));
    }
    return names;
}

bool PosixFileSystem::Remove(const std::string& path) {
    const std::optional<LocatedPath> at = Locate(path);
    return at && ::unlinkat(at->folder.get(), at->name.c_str(), 0) == 0;
}

bool PosixFileSystem::Rename(const std::string& from, const std::string& to) {
    const std::optional<LocatedPath> source = Locate(from);
    if (!source) return false;
    const std::optional<LocatedPath> target = Locate(to);
    if (!target) return false;
    const int a = source->folder.get();
    const int b = target->folder.get();
    const char* from_name = source->name.c_str();
    const char* to_name = target->name.c_str();
    if (::renameat2(a, from_name, b, to_name, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system that cannot rename so: a second name, then the first one
    // goes; link() never replaces either.
    if (::linkat(a, from_name, b, to_name, 0) != 0) return false;
    return ::unlinkat(a, from_name, 0) == 0;
}

bool PosixFileSystem::CopyFile(const std::string& from, const std::string& to) {
    // Files are set aside this way: a link is copied as a link, never
    // followed, and nothing already at `to` is replaced.
    const std::optional<LocatedPath> source = Locate(from);
    if (!source) return false;
    const std::optional<LocatedPath> target = Locate(to);
    if (!target) return false;
    struct stat link {};
    if (StatEntry(*source, link) && S_ISLNK(link.st_mode)) {
        std::string points_to(static_cast<size_t>(link.st_size) + 1, '\0');
        const ssize_t n = ::readlinkat(source->folder.get(), source->name.c_str(), points_to.data(),
                                       points_to.size());
        if (n < 0 || static_cast<size_t>(n) >= points_to.size()) return false;
        points_to.resize(static_cast<size_t>(n));
        return ::symlinkat(points_to.c_str(), target->folder.get(), target->name.c_str()) == 0;
    }
    struct stat st {};
    Descriptor in(OpenRegular(source->name, O_NOFOLLOW, st, source->folder.get()));
    if (in.get() < 0) return false;
    Descriptor out(::openat(target->folder.get(), target->name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0640));
    if (out.get() < 0) return false;
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(in.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        if (!WriteAll(out.get(), std::string_view(chunk, static_cast<size_t>(n)))) return false;
    }
    // The caller removes the source next: the copy must be on the disk first.
    return ::fsync(out.get()) == 0 && out.Close();
}

bool PosixFileSystem::CreateFolder(const std::string& path) {
    const std::optional<LocatedPath> at = Locate(path);
    if (!at) return false;
    if (::mkdirat(at->folder.get(), at->name.c_str(), 0750) == 0) return true;
    // Only a folder of that name will do: a link in its place is none.
    struct stat st {};
    return errno == EEXIST && StatEntry(*at, st) && S_ISDIR(st.st_mode);
}

std::optional<std::string> PosixFileSystem::ReadFile(const std::string& path) {
    return ReadRegular(path, 0, std::numeric_limits<std::uint64_t>::max());
}

std::optional<std::string> PosixFileSystem::ReadQueuedFile(const std::string& path) {
    // No report comes near this; a file that does is no report, and must
    // not cost the pump its memory every time it looks.
    const std::optional<LocatedPath> at = Locate(path);
    if (!at) return std::nullopt;
    return ReadRegular(at->name, O_NOFOLLOW, std::numeric_limits<std::int32_t>::max(),
                       at->folder.get());
}

bool PosixFileSystem::WriteNewFile(const std::string& path, std::string_view bytes) {
    // Not world-readable: reports name the software of every workstation.
    const std::optional<LocatedPath> at = Locate(path);
    if (!at) return false;
    Descriptor fd(::openat(at->folder.get(), at->name.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0640));
    return fd.valid() && WriteAll(fd.get(), bytes) && fd.Close();
}

bool PosixFileSystem::SyncFileSystem(const std::string& path) {
    const std::optional<LocatedPath> at = Locate(path);
    if (!at) return false;
    const Descriptor fd = OpenFolder(*at);
    return fd.valid() && ::syncfs(fd.get()) == 0;
}

bool PosixFileSystem::SyncFolder(const std::string& path) {
    const std::optional<LocatedPath> at = Locate(path);
    if (!at) return false;
    const Descriptor fd = OpenFolder(*at);
    return fd.valid() && ::fsync(fd.get()) == 0;
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
