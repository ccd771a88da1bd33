#include "common/file_helpers.h"

#include <unistd.h>

#include <cerrno>
#include <climits>

#include "common/file_system.h"

namespace kolbi {
namespace {

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
    if (Fs().CopyFile(from, to) && Fs().Remove(from)) return true;
    // A half-made copy, or one whose source stays, would be a second report.
    (void)Fs().Remove(to);
    return false;
}

void DeleteOrMoveToFailed(const std::string& path) {
    if (Fs().Remove(path)) return;
    std::string name = path.substr(path.rfind('/') + 1);
    (void)MoveFile(path, AppFolder() + "FAILED/" + name);
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
