#include "common/folder_file_list.h"

#include <fnmatch.h>

#include <algorithm>
#include <optional>

#include "common/file_system.h"
#include "common/runtime_error.h"

namespace kolbi {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool NameLess(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const char x = Lower(a[i]);
        const char y = Lower(b[i]);
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // same letters: a stable order all the same
}

// "*.ext" (ASCII, no other wildcard) is matched as a plain comparison of the
// end of the name: fnmatch folding case costs more than all the rest of a
// listing, and a queue of tens of thousands of files is listed in one go.
bool IsExtensionPattern(std::string_view pattern) {
    return pattern.size() >= 2 && pattern[0] == '*' &&
           pattern.find_first_of("*?[\\", 1) == std::string_view::npos &&
           std::all_of(pattern.begin(), pattern.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool MatchesExtension(std::string_view pattern, std::string_view name) {
    const std::string_view end = pattern.substr(1);
    if (name.size() < end.size()) return false;
    const std::string_view tail = name.substr(name.size() - end.size());
    for (std::size_t i = 0; i < end.size(); ++i) {
        if (Lower(tail[i]) != Lower(end[i])) return false;
    }
    return true;
}

}  // namespace

bool FolderFileList::Matches(const std::string& pattern, const std::string& name) {
    size_t start = 0;
    for (;;) {
        size_t end = pattern.find(';', start);
        std::string one = pattern.substr(start, end == std::string::npos ? end : end - start);
        if (IsExtensionPattern(one)) {
            if (MatchesExtension(one, name)) return true;
        } else if (!one.empty() && ::fnmatch(one.c_str(), name.c_str(), FNM_CASEFOLD) == 0) {
            return true;
        }
        if (end == std::string::npos) return false;
        start = end + 1;
    }
}

std::vector<std::string> FolderFileList::Read(const std::string& folder, bool& listed) const {
    std::optional<std::vector<std::string>> all = Fs().ListFiles(folder);
    listed = all.has_value();
    std::vector<std::string> names;
    if (!all) return names;
    for (std::string& name : *all) {
        if (!name.empty() && name.front() != '.' && Matches(pattern_, name)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end(), NameLess);
    return names;
}

void FolderFileList::SetPath(const std::string& folder) {
    bool listed = false;
    std::vector<std::string> names = Read(folder, listed);
    if (!listed) throw RuntimeError(errnum::kPathNotFound, "Path not found: " + folder);
    path_ = folder;
    names_ = std::move(names);
    first_ = 0;
}

void FolderFileList::SetPattern(std::string pattern) {
    pattern_ = std::move(pattern);
    Refresh();
}

void FolderFileList::Refresh() {
    first_ = 0;
    if (path_.empty()) {
        names_.clear();
        return;
    }
    bool listed = false;
    names_ = Read(path_, listed);
}

void FolderFileList::DropFirst(std::size_t count) {
    first_ += std::min(count, names_.size() - first_);
    if (first_ == names_.size()) {
        names_.clear();
        first_ = 0;
    }
}

const std::string& FolderFileList::List(int index) const {
    if (index < 0 || index >= ListCount()) {
        throw RuntimeError(errnum::kInvalidProcedureCall,
                           "Invalid procedure call or argument: file list index " +
                               std::to_string(index) + " of " + std::to_string(ListCount()));
    }
    return names_[first_ + static_cast<size_t>(index)];
}

}  // namespace kolbi
