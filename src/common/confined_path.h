#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/descriptor.h"

namespace kolbi {

// The pump's own folders lie below folders others write to: the decompressed
// folder below the agents' share, FAILED beside the pump's INI. Anyone who
// may write the share can swap a folder of the pump's for a link between two
// of its operations, so checking for a link first is not enough. Below a
// confined root every folder is therefore opened without following a link,
// one name at a time, and the operation is done relative to the folder so
// opened: a folder swapped for a link is refused (ENOTDIR or ELOOP), never
// followed. The roots themselves are the administrator's choice and may be
// links.
void ConfineFoldersBelow(std::vector<std::string> roots);

// A path split into the folder it lies in, opened as above, and its last
// name. `confined` is true when that folder is a root or lies below one, so
// the name itself must not be followed where it stands for a folder either.
struct LocatedPath {
    Descriptor folder;
    std::string name;
    bool confined = false;
};

// Nothing, with errno set, when a folder on the way cannot be opened.
std::optional<LocatedPath> Locate(const std::string& path);

}  // namespace kolbi
