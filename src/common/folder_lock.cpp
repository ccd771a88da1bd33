#include "common/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/confined_path.h"
#include "common/file_helpers.h"
#include "common/file_system.h"
#include "common/pump_settings.h"

namespace kolbi {
namespace {

FolderLock& IncomingFolderLock() {
    static FolderLock lock;
    return lock;
}

void RemoveCrashLeftovers(const std::string& folder) {
    for (const std::string& name : Fs().ListFiles(folder).value_or(std::vector<std::string>{})) {
        if (IsDurableTemporaryName(name)) (void)Fs().Remove(folder + name);
    }
}

}  // namespace

FolderLock::~FolderLock() { Release(); }

bool FolderLock::TryHold(const std::string& folder, std::string* why_not) {
    const std::string wanted = WithTrailingSlash(folder);
    const std::string path = wanted + kFileName;
    if (Held() && folder_ == wanted && StillTheLockedFile(path)) return true;
    Release();
    // A link planted in the agents' share in place of the lock file must not
    // make the pump create or lock a file elsewhere.
    const int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0640);
    if (fd < 0) {
        if (why_not) *why_not = "cannot open its lock " + path + ": " + std::strerror(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (why_not) {
            *why_not = errno == EWOULDBLOCK ? "another pump holds its lock " + path
                                            : "cannot lock " + path + ": " + std::strerror(errno);
        }
        ::close(fd);
        return false;
    }
    fd_ = fd;
    folder_ = wanted;
    return true;
}

bool FolderLock::StillTheLockedFile(const std::string& path) const {
    struct stat locked {
    }, named{};
    return ::fstat(fd_, &locked) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           locked.st_dev == named.st_dev && locked.st_ino == named.st_ino;
}

void FolderLock::Release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    folder_.clear();
}

bool HoldIncomingFolder(std::string* why_not) {
    FolderLock& lock = IncomingFolderLock();
    const std::string& folder = Settings().IncomingFolder;
    if (folder.empty()) return false;
    const bool newly = !lock.Held() || lock.Folder() != WithTrailingSlash(folder);
    if (!lock.TryHold(folder, why_not)) return false;
    ConfineFoldersBelow({folder, AppFolder()});
    if (newly && !Fs().IsLink(DecompressedFolder())) RemoveCrashLeftovers(DecompressedFolder());
    return true;
}

void ReleaseIncomingFolder() { IncomingFolderLock().Release(); }

}  // namespace kolbi
