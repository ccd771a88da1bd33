#include "common/file_helpers.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "common/file_system.h"
#include "common/pump_metrics.h"

namespace kolbi {
namespace {

constexpr const char* kTemporarySuffix = ".kolbi-tmp";
// Names the program folder of an installation that keeps its executables
// apart from its state (a package: /usr/bin, and /var/lib/... for the INI,
// the logs and FAILED).
constexpr const char* kProgramFolderVariable = "KOLBI_PUMP_FOLDER";

struct ProgramLocation {
    std::string folder;
    std::string name;
};

ProgramLocation ReadProgramLocation() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string exe =
        n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string("./kolbipump");
    size_t slash = exe.rfind('/');
    std::string folder = exe.substr(0, slash + 1);
    std::string name = exe.substr(slash + 1);
    if (size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    if (const char* named = std::getenv(kProgramFolderVariable); named && *named) {
        folder = WithTrailingSlash(named);
        // A relative folder would move with every change of the working folder.
        if (folder.front() != '/') {
            std::error_code error;
            const std::filesystem::path absolute = std::filesystem::absolute(folder, error);
            if (!error) folder = WithTrailingSlash(absolute.string());
        }
    }
    return {folder, name};
}

ProgramLocation& Location() {
    static ProgramLocation location = ReadProgramLocation();
    return location;
}

}  // namespace

bool FileExists(const std::string& path) { return Fs().FileLength(path).has_value(); }

bool PathExists(const std::string& path) { return Fs().PathExists(path); }

bool MoveFile(const std::string& from, const std::string& to) {
    if (Fs().Rename(from, to)) return true;
    // The usual layout crosses file systems: the agents' share is mounted
    // apart from the program's folder, where FAILED is.
    if (errno != EXDEV) return false;
    const std::string folder = to.substr(0, to.rfind('/') + 1);
    if (Fs().CopyFile(from, to) && Fs().SyncFolder(folder) && Fs().Remove(from)) return true;
    // A half-made copy, or one whose source stays, would be a second report.
    const int error = errno;
    (void)Fs().Remove(to);
    errno = error;
    return false;
}

std::optional<std::string> MoveToFailed(const std::string& path) {
    const std::string failed = AppFolder() + "FAILED";
    if (Fs().IsLink(failed)) return failed + " is a symbolic link, not a folder of the pump's";
    if (!Fs().IsFolder(failed) && !Fs().CreateFolder(failed)) {
        return "cannot create " + failed + ": " + std::strerror(errno);
    }
    const std::string name = path.substr(path.rfind('/') + 1);
    std::string target = failed + "/" + name;
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string extension = stem.size() == name.size() ? "" : name.substr(dot);
    for (int n = 2;; ++n) {
        errno = 0;
        if (MoveFile(path, target)) {
            Metrics().CountSetAside();
            return std::nullopt;
        }
        if (errno != EEXIST) break;
        target = failed + "/" + stem + "." + std::to_string(n) + extension;
    }
    return "cannot move it to " + target + (errno ? std::string(": ") + std::strerror(errno) : "");
}

RuntimeError SetAside(const std::string& path, const RuntimeError& why, bool& moved) {
    const std::optional<std::string> refused = MoveToFailed(path);
    moved = !refused;
    return RuntimeError(why.number(),
                        why.description() + (refused ? "; left where it is, " + *refused
                                                     : "; set aside in " + AppFolder() + "FAILED"));
}

bool DeleteOrMoveToFailed(const std::string& path) {
    return Fs().Remove(path) || !MoveToFailed(path).has_value();
}

void DisposeOf(const std::string& path, std::string_view then) {
    if (DeleteOrMoveToFailed(path)) return;
    throw RuntimeError(errnum::kPathFileAccessError,
                       "Path/File access error: " + path +
                           " can be neither deleted nor set aside in FAILED; " + std::string(then));
}

bool PublishFileDurably(const std::string& path, std::string_view bytes) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    // Short, whatever the length of the name it stands for.
    static unsigned serial = 0;
    const std::string temporary = folder + ".kolbi-" + std::to_string(::getpid()) + "-" +
                                  std::to_string(++serial) + kTemporarySuffix;
    (void)Fs().Remove(temporary);  // a leftover of a crashed run with the same pid
    if (!Fs().WriteNewFileDurably(temporary, bytes)) {
        const int error = errno;
        (void)Fs().Remove(temporary);
        throw FileError(error, path);
    }
    if (!Fs().Rename(temporary, path)) {
        const int error = errno;
        (void)Fs().Remove(temporary);
        if (error == EEXIST) return false;
        throw FileError(error, path);
    }
    if (!Fs().SyncFolder(folder)) throw FileError(errno, folder);
    return true;
}

bool IsDurableTemporaryName(const std::string& name) {
    constexpr std::string_view suffix = kTemporarySuffix;
    return name.size() > suffix.size() + 1 && name.front() == '.' &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

RuntimeError FileError(int error, const std::string& path) {
    const std::string reason = path + ": " + std::strerror(error);
    switch (error) {
        case ENOENT:
            return RuntimeError(errnum::kFileNotFound, "File not found: " + reason);
        case EACCES:
        case EPERM:
            return RuntimeError(errnum::kPermissionDenied, "Permission denied: " + reason);
        case ENOSPC:
        case EDQUOT:
            return RuntimeError(errnum::kDiskFull, "Disk full: " + reason);
        case ELOOP:
            return RuntimeError(errnum::kPathFileAccessError,
                                "Path/File access error: " + path +
                                    " is a symbolic link, which the pump does not follow");
        default:
            return RuntimeError(errnum::kPathFileAccessError, "Path/File access error: " + reason);
    }
}

const std::string& AppFolder() { return Location().folder; }

const std::string& ExecutableName() { return Location().name; }

void SetAppFolderForTesting(const std::string& folder, const std::string& executable_name) {
    Location() = {WithTrailingSlash(folder), executable_name};
}

std::string WithTrailingSlash(const std::string& path) {
    return !path.empty() && path.back() == '/' ? path : path + "/";
}

}  // namespace kolbi
