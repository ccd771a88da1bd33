#pragma once

#include <optional>
#include <string>
#include <unordered_set>

#include "common/folder_file_list.h"

namespace kolbi {

// One pass over the files of a folder, in the name order of its listing,
// each name taken at most once. The listing is read once and kept: each name
// leaves it when it is taken, and the folder is read again only when the
// listing has run out, so the cost of a name does not grow with the queue
// behind it. A file that lands meanwhile is taken in its turn after that
// reading; one taken before that is still there (left for a later pass, or
// another file of the same name) is not taken again. A name taken may be
// gone by the time it is looked at: the caller skips it.
class FolderPass {
public:
    // Takes over the listing as it stands: the caller has just read it.
    explicit FolderPass(FolderFileList& listing) : listing_(listing) {}

    // The next name to take; it leaves the listing, which then shows what
    // waits behind it. Nothing when the folder holds no name not taken yet:
    // the listing then holds what its last reading found, which is what the
    // pass leaves waiting.
    std::optional<std::string> Next();

private:
    FolderFileList& listing_;
    std::unordered_set<std::string> taken_;
    bool taken_since_read_ = false;
};

}  // namespace kolbi
