#pragma once

#include <cerrno>
#include <map>
#include <string>

#include "common/file_system.h"

namespace kolbi::testing {

// Forwards to the real file system, except that the calls a test names fail.
// Installed for its lifetime, so code under test sees it through Fs().
class FailingFileSystem : public FileSystemWrapper {
public:
    FailingFileSystem() : FileSystemWrapper(real_), scope_(*this) {}

    bool fail_remove = false;
    bool fail_rename = false;
    bool fail_write = false;
    bool fail_append = false;
    // Renames fail as between two file systems (EXDEV), as when the FAILED
    // folder is mounted apart from the incoming one.
    bool cross_device = false;
    // CopyFile writes half the file, then fails (a full disk).
    bool copy_breaks_off = false;
    // Paths whose removal fails, each with how many more times (-1: always).
    std::map<std::string, int> undeletable;
    // Paths whose reads fail, with errno set to this (EACCES: the pump may not read them).
    std::map<std::string, int> unreadable;
    // Durable writes fail with this errno once half the bytes are written
    // (ENOSPC: a full disk); 0 leaves them alone.
    int durable_write_error = 0;

    bool Remove(const std::string& path) override {
        if (fail_remove) return false;
        auto found = undeletable.find(path);
        if (found != undeletable.end() && found->second != 0) {
            if (found->second > 0) --found->second;
            return false;
        }
        return FileSystemWrapper::Remove(path);
    }
    bool Rename(const std::string& from, const std::string& to) override {
        if (fail_rename || cross_device) {
            errno = cross_device ? EXDEV : EACCES;
            return false;
        }
        return FileSystemWrapper::Rename(from, to);
    }
    bool CopyFile(const std::string& from, const std::string& to) override {
        if (!copy_breaks_off) return FileSystemWrapper::CopyFile(from, to);
        std::string bytes = ReadFile(from).value_or("");
        (void)FileSystemWrapper::WriteFile(to, bytes.substr(0, bytes.size() / 2));
        return false;
    }
    bool WriteFile(const std::string& path, std::string_view bytes) override {
        return !fail_write && FileSystemWrapper::WriteFile(path, bytes);
    }
    bool AppendFile(const std::string& path, std::string_view bytes) override {
        return !fail_append && FileSystemWrapper::AppendFile(path, bytes);
    }
    std::optional<std::string> ReadFile(const std::string& path) override {
        if (Unreadable(path)) return std::nullopt;
        return FileSystemWrapper::ReadFile(path);
    }
    std::optional<std::string> ReadQueuedFile(const std::string& path) override {
        if (Unreadable(path)) return std::nullopt;
        return FileSystemWrapper::ReadQueuedFile(path);
    }
    bool WriteNewFile(const std::string& path, std::string_view bytes) override {
        if (durable_write_error == 0) return FileSystemWrapper::WriteNewFile(path, bytes);
        (void)FileSystemWrapper::WriteNewFile(path, bytes.substr(0, bytes.size() / 2));
        errno = durable_write_error;
        return false;
    }

private:
    bool Unreadable(const std::string& path) {
        auto found = unreadable.find(path);
        if (found == unreadable.end()) return false;
        errno = found->second;
        return true;
    }

    PosixFileSystem real_;
    ScopedFileSystem scope_;
};

}  // namespace kolbi::testing
