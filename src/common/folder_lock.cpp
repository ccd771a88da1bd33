#include "common/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

bool FolderLock::TryHold(const std::string& folder) {
    const std::string wanted = WithTrailingSlash(folder);
    if (Held() && folder_ == wanted) return true;
    Release();
    // A link planted in the agents' share in place of the lock file must not
    // make the pump create or lock a file elsewhere.
    const int fd = ::open((wanted + kFileName).c_str(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0640);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    folder_ = wanted;
    return true;
}

void FolderLock::Release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    folder_.clear();
}

bool HoldIncomingFolder() {
    FolderLock& lock = IncomingFolderLock();
    const std::string& folder = Settings().IncomingFolder;
    if (folder.empty()) return false;
    const bool newly = !lock.Held() || lock.Folder() != WithTrailingSlash(folder);
    if (!lock.TryHold(folder)) return false;
    if (newly && !Fs().IsLink(DecompressedFolder())) RemoveCrashLeftovers(DecompressedFolder());
    return true;
}

void ReleaseIncomingFolder() { IncomingFolderLock().Release(); }

}  // namespace kolbi
