#include "common/confined_path.h"

#include <fcntl.h>

#include <cerrno>
#include <utility>

namespace kolbi {
namespace {

std::vector<std::string>& Roots() {
    static std::vector<std::string> roots;
    return roots;
}

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

}  // namespace

void ConfineFoldersBelow(std::vector<std::string> roots) {
    for (std::string& root : roots) {
        if (root.empty() || root.back() != '/') root.push_back('/');
    }
    Roots() = std::move(roots);
}

std::optional<LocatedPath> Locate(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();  // the entry itself
    const std::size_t slash = trimmed.rfind('/');
    const std::string folder = slash == std::string::npos ? "./" : trimmed.substr(0, slash + 1);
    LocatedPath located;
    located.name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);

    const std::string* root = nullptr;
    for (const std::string& candidate : Roots()) {
        if (folder.compare(0, candidate.size(), candidate) == 0 &&
            (!root || candidate.size() > root->size())) {
            root = &candidate;
        }
    }
    if (!root) {
        located.folder = Descriptor(::open(folder.c_str(), kFolderFlags));
        if (!located.folder.valid()) return std::nullopt;
        return located;
    }
    located.confined = true;
    located.folder = Descriptor(::open(root->c_str(), kFolderFlags));
    if (!located.folder.valid()) return std::nullopt;
    std::size_t start = root->size();
    while (start < folder.size()) {
        const std::size_t end = folder.find('/', start);
        const std::string name = folder.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".") continue;
        if (name == "..") {  // no way out from below a root
            errno = EACCES;
            return std::nullopt;
        }
        Descriptor next(::openat(located.folder.get(), name.c_str(), kFolderFlags | O_NOFOLLOW));
        if (!next.valid()) return std::nullopt;
        located.folder = std::move(next);
    }
    return located;
}

}  // namespace kolbi
