#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kolbi::testing {

// A fresh folder under the system's temporary folder (or another parent),
// removed with everything in it when the object goes away.
class TempFolder {
public:
    explicit TempFolder(const std::string& parent = std::filesystem::temp_directory_path()) {
        std::string pattern = parent + "/kolbi-test-XXXXXX";
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path, ending in "/".
    std::string path() const { return path_ + "/"; }
    std::string operator/(const std::string& name) const { return path() + name; }

    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path() + name, std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(path() + name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool Has(const std::string& name) const { return std::filesystem::exists(path() + name); }

private:
    std::string path_;
};

}  // namespace kolbi::testing
