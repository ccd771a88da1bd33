#pragma once

#include <set>
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
    // Paths whose reads fail.
    std::set<std::string> unreadable;

    bool Remove(const std::string& path) override {
        return !fail_remove && FileSystemWrapper::Remove(path);
    }
    bool Rename(const std::string& from, const std::string& to) override {
        return !fail_rename && FileSystemWrapper::Rename(from, to);
    }
    bool WriteFile(const std::string& path, std::string_view bytes) override {
        return !fail_write && FileSystemWrapper::WriteFile(path, bytes);
    }
    bool AppendFile(const std::string& path, std::string_view bytes) override {
        return !fail_append && FileSystemWrapper::AppendFile(path, bytes);
    }
    std::optional<std::string> ReadFile(const std::string& path) override {
        if (unreadable.count(path)) return std::nullopt;
        return FileSystemWrapper::ReadFile(path);
    }

private:
    PosixFileSystem real_;
    ScopedFileSystem scope_;
};

}  // namespace kolbi::testing
