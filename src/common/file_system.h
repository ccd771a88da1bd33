#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kolbi {

// What tells one version of a file from another: a file replaced or
// written to since has another identity.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::chrono::system_clock::time_point modified;
    bool operator==(const FileIdentity&) const = default;
};

// The only door to the file system. Production code goes through Fs(); tests
// install a FileSystemWrapper that forwards to the real one and makes chosen
// calls fail, which is how "a file that cannot be deleted" is tested as root.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Length of a regular file, or nothing when it cannot be read.
    virtual std::optional<std::uint64_t> FileLength(const std::string& path) = 0;
    // True when the attributes of the path (file or folder) can be read.
    virtual bool PathExists(const std::string& path) = 0;
    virtual bool IsFolder(const std::string& path) = 0;
    // True when the path itself is a symbolic link (whatever it points at).
    virtual bool IsLink(const std::string& path) = 0;
    // The identity of the file or link itself, or nothing.
    virtual std::optional<FileIdentity> Identity(const std::string& path) = 0;
    // Names (not paths) of the regular files in a folder, and of the symbolic
    // links in it whatever they point at (so that the queue can set them
    // aside), in no particular order; nothing when the folder cannot be listed.
    virtual std::optional<std::vector<std::string>> ListFiles(const std::string& folder) = 0;
    virtual bool Remove(const std::string& path) = 0;
    // Renames within one file system, but never over something already at
    // `to`: false with errno set as rename(2) sets it (EXDEV between two file
    // systems), EEXIST when `to` is taken.
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    // Copies a file to `to`, which must not exist yet: a regular file's bytes,
    // had on the disk before it returns, or a link as a link, never followed.
    // False when the copy could not be made whole, which may leave part of it
    // behind.
    virtual bool CopyFile(const std::string& from, const std::string& to) = 0;
    virtual bool CreateFolder(const std::string& path) = 0;
    // Whole content as bytes, or nothing when the file cannot be read.
    virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
    // The same for a file of the queue, which others write to: a symbolic
    // link is not followed (errno ELOOP), only a regular file is read
    // (EINVAL), and none larger than 2^31 - 1 bytes (EFBIG, before any of it
    // is read); on failure errno says why.
    virtual std::optional<std::string> ReadQueuedFile(const std::string& path) = 0;
    // Creates a file that must not exist yet (a link in its place is not
    // followed), writes the bytes and closes it; false with errno set (ENOSPC
    // on a full disk) when any of that fails, which may leave part of the
    // file behind. The bytes reach the disk with SyncFileSystem.
    virtual bool WriteNewFile(const std::string& path, std::string_view bytes) = 0;
    // Has everything written to the file system that holds the path on the
    // disk: one wait for the disk for any number of files.
    virtual bool SyncFileSystem(const std::string& path) = 0;
    // Has a folder's entries (a rename into it) on the disk.
    virtual bool SyncFolder(const std::string& path) = 0;
    // Replaces the file's content (creating it); false when it cannot be written.
    virtual bool WriteFile(const std::string& path, std::string_view bytes) = 0;
    // Appends to the file (creating it); false when it cannot be written.
    virtual bool AppendFile(const std::string& path, std::string_view bytes) = 0;
};

// POSIX implementation.
class PosixFileSystem : public FileSystem {
public:
    std::optional<std::uint64_t> FileLength(const std::string& path) override;
    bool PathExists(const std::string& path) override;
    bool IsFolder(const std::string& path) override;
    bool IsLink(const std::string& path) override;
    std::optional<FileIdentity> Identity(const std::string& path) override;
    std::optional<std::vector<std::string>> ListFiles(const std::string& folder) override;
    bool Remove(const std::string& path) override;
    bool Rename(const std::string& from, const std::string& to) override;
    bool CopyFile(const std::string& from, const std::string& to) override;
    bool CreateFolder(const std::string& path) override;
    std::optional<std::string> ReadFile(const std::string& path) override;
    std::optional<std::string> ReadQueuedFile(const std::string& path) override;
    bool WriteNewFile(const std::string& path, std::string_view bytes) override;
    bool SyncFileSystem(const std::string& path) override;
    bool SyncFolder(const std::string& path) override;
    bool WriteFile(const std::string& path, std::string_view bytes) override;
    bool AppendFile(const std::string& path, std::string_view bytes) override;
};

// Forwards every call to another file system; override what a test must change.
class FileSystemWrapper : public FileSystem {
public:
    explicit FileSystemWrapper(FileSystem& target) : target_(target) {}

    std::optional<std::uint64_t> FileLength(const std::string& path) override {
        return target_.FileLength(path);
    }
    bool PathExists(const std::string& path) override { return target_.PathExists(path); }
    bool IsFolder(const std::string& path) override { return target_.IsFolder(path); }
    bool IsLink(const std::string& path) override { return target_.IsLink(path); }
    std::optional<FileIdentity> Identity(const std::string& path) override {
        return target_.Identity(path);
    }
    std::optional<std::vector<std::string>> ListFiles(const std::string& folder) override {
        return target_.ListFiles(folder);
    }
    bool Remove(const std::string& path) override { return target_.Remove(path); }
    bool Rename(const std::string& from, const std::string& to) override {
        return target_.Rename(from, to);
    }
    bool CopyFile(const std::string& from, const std::string& to) override {
        return target_.CopyFile(from, to);
    }
    bool CreateFolder(const std::string& path) override { return target_.CreateFolder(path); }
    std::optional<std::string> ReadFile(const std::string& path) override {
        return target_.ReadFile(path);
    }
    std::optional<std::string> ReadQueuedFile(const std::string& path) override {
        return target_.ReadQueuedFile(path);
    }
    bool WriteNewFile(const std::string& path, std::string_view bytes) override {
        return target_.WriteNewFile(path, bytes);
    }
    bool SyncFileSystem(const std::string& path) override { return target_.SyncFileSystem(path); }
    bool SyncFolder(const std::string& path) override { return target_.SyncFolder(path); }
    bool WriteFile(const std::string& path, std::string_view bytes) override {
        return target_.WriteFile(path, bytes);
    }
    bool AppendFile(const std::string& path, std::string_view bytes) override {
        return target_.AppendFile(path, bytes);
    }

protected:
    FileSystem& target() { return target_; }

private:
    FileSystem& target_;
};

// The file system in use: the POSIX one unless a test installed another.
FileSystem& Fs();

// Installs a file system for the lifetime of the object (tests).
class ScopedFileSystem {
public:
    explicit ScopedFileSystem(FileSystem& fs);
    ~ScopedFileSystem();
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

private:
    FileSystem* previous_;
};

}  // namespace kolbi
