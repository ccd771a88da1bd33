#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace kolbi {

// A folder file list of the window: the names (without folder) of the regular
// files of one folder that match a pattern, in ascending name order. Like the
// control it stands for, it holds what it read at its last refresh, less the
// names dropped since; nothing is read from the disk when it is counted,
// drawn or indexed.
//
// Names match the pattern without regard to case ("*.SILog" takes x.silog and
// y.SILOG); several patterns may be given separated by ";". Names that start
// with "." are hidden files and are not listed. The order ignores case too, so
// a listing reads the same as on the agents' side of the share.
class FolderFileList {
public:
    explicit FolderFileList(std::string pattern) : pattern_(std::move(pattern)) {}

    const std::string& Path() const { return path_; }
    // Points the list at a folder and reads it. Raises the run-time error 76
    // (path not found) when the folder cannot be listed; the list keeps its
    // previous folder and content then.
    void SetPath(const std::string& folder);

    const std::string& Pattern() const { return pattern_; }
    // Changes the pattern and reads the folder again.
    void SetPattern(std::string pattern);

    // Reads the folder again. A folder that has gone away lists nothing.
    void Refresh();

    int ListCount() const { return static_cast<int>(names_.size() - first_); }
    // The name at index (0 is the first); raises the run-time error 5 when out
    // of range.
    const std::string& List(int index) const;
    std::span<const std::string> Names() const {
        return std::span<const std::string>(names_).subspan(first_);
    }

    // Drops the first `count` names (all when there are fewer), without
    // reading the folder: a pass over a long queue drops each name as it
    // takes it, at no cost that grows with the queue.
    void DropFirst(std::size_t count = 1);

    // True when name matches one of the ";"-separated patterns, ignoring case.
    static bool Matches(const std::string& pattern, const std::string& name);

private:
    std::vector<std::string> Read(const std::string& folder, bool& listed) const;

    std::string path_;
    std::string pattern_;
    std::vector<std::string> names_;
    std::size_t first_ = 0;  // names_ before it are dropped
};

}  // namespace kolbi
