#pragma once

#include <string>

namespace kolbi {

// The lock that makes one pump at a time work on an incoming folder: an
// advisory lock (flock) on a hidden file in that folder. A second pump on the
// same folder does not hold it and waits; it takes over once the first one
// ends, whichever way it ends, since the system drops the lock with the
// process. The lock file itself is never removed: removing it would let two
// pumps hold locks on two different files of the same name.
class FolderLock {
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Takes the lock of `folder` without waiting, giving up one held on
    // another folder first. True when this object holds it (again). A lock
    // file that was removed or replaced since it was locked (a clean-up job
    // on the share) is locked afresh, so that a second pump cannot lock the
    // new file while this one holds the old. Otherwise `why_not` says why.
    bool TryHold(const std::string& folder, std::string* why_not = nullptr);
    void Release();

    const std::string& Folder() const { return folder_; }
    bool Held() const { return fd_ >= 0; }

    static constexpr const char* kFileName = ".kolbipump.lock";

private:
    bool StillTheLockedFile(const std::string& path) const;

    std::string folder_;
    int fd_ = -1;
};

// The status text of a pump that stands by while another holds its folder.
inline constexpr const char* kStandbyText =
    "Une autre pompe traite ce dossier : en attente de son verrou.";

// The process's hold on the incoming folder of the current settings. True
// when this pump may work on it: the lock is held (taken now or earlier).
// When it is first taken, the hidden temporary files a crashed pump left in
// the decompressed folder are removed: the lock says no one else writes them.
bool HoldIncomingFolder(std::string* why_not = nullptr);

// Lets the lock go (tests; a pump keeps it until it ends).
void ReleaseIncomingFolder();

}  // namespace kolbi
