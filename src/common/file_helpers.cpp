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

namespace {

// A hidden temporary name in the folder, short whatever the length of the
// name it stands for.
std::string TemporaryName(const std::string& folder) {
    static unsigned serial = 0;
    return folder + ".kolbi-" + std::to_string(::getpid()) + "-" + std::to_string(++serial) +
           kTemporarySuffix;
}

}  // namespace

void PublishFilesDurably(const std::string& folder, std::vector<Publication>& files) {
    using Outcome = Publication::Outcome;
    std::vector<std::string> temporaries(files.size());
    bool any_written = false;
    auto fail = [&](std::size_t i, int error, const std::string& path) {
        (void)Fs().Remove(temporaries[i]);
        temporaries[i].clear();
        files[i].outcome = Outcome::kFailed;
        files[i].error = FileError(error, path);
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        temporaries[i] = TemporaryName(folder);
        (void)Fs().Remove(temporaries[i]);  // a leftover of a crashed run with the same pid
        if (Fs().WriteNewFile(temporaries[i], files[i].bytes)) {
            any_written = true;
        } else {
            fail(i, errno, folder + files[i].name);
        }
    }
    if (!any_written) return;
    if (!Fs().SyncFileSystem(folder)) {
        const int error = errno;
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (!temporaries[i].empty()) fail(i, error, folder);
        }
        return;
    }
    bool any_renamed = false;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (temporaries[i].empty()) continue;
        if (Fs().Rename(temporaries[i], folder + files[i].name)) {
            any_renamed = true;
            files[i].outcome = Outcome::kPublished;
            continue;
        }
        const int error = errno;
        if (error == EEXIST) {
            (void)Fs().Remove(temporaries[i]);
            files[i].outcome = Outcome::kTwinWaits;
        } else {
            fail(i, error, folder + files[i].name);
        }
    }
    if (!any_renamed || Fs().SyncFolder(folder)) return;
    // In place but perhaps not for good: the files stay (reading a report
    // twice is harmless), and their sources must stay too.
    const int error = errno;
    for (Publication& file : files) {
        if (file.outcome != Outcome::kPublished) continue;
        file.outcome = Outcome::kFailed;
        file.error = FileError(error, folder);
    }
}

bool PublishFileDurably(const std::string& path, std::string_view bytes) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    std::vector<Publication> files(1);
    files[0].name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    files[0].bytes = std::string(bytes);
    PublishFilesDurably(folder, files);
    if (files[0].outcome == Publication::Outcome::kFailed) throw *files[0].error;
    return files[0].outcome == Publication::Outcome::kPublished;
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
