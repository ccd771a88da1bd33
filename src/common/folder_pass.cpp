#include "common/folder_pass.h"

#include <algorithm>

namespace kolbi {

std::optional<std::string> FolderPass::Next() {
    for (;;) {
        const std::span<const std::string> names = listing_.Names();
        // After a reading the names taken before (still on disk, left for
        // later) come first or in between; otherwise the first name is new.
        const auto fresh = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
            return !taken_.contains(name);
        });
        if (fresh != names.end()) {
            std::string name = *fresh;
            listing_.DropFirst(static_cast<std::size_t>(fresh - names.begin()) + 1);
            taken_.insert(name);
            taken_since_read_ = true;
            return name;
        }
        // A reading that brought nothing new ends the pass; so does a
        // listing run out with nothing taken from it.
        if (!taken_since_read_) return std::nullopt;
        listing_.Refresh();
        taken_since_read_ = false;
    }
}

}  // namespace kolbi
