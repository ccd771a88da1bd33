#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kolbi {

// splitmix64: tiny, and unlike the standard distributions it gives the same
// numbers with every compiler and library, which keeps reports reproducible.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // 0 to n - 1.
    std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }
    int Between(int low, int high) { return low + static_cast<int>(Below(high - low + 1)); }
    bool Percent(int p) { return Below(100) < static_cast<std::size_t>(p); }
    // [0, 1)
    double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }

    template <typename T, std::size_t N>
    const T& Pick(const std::array<T, N>& items) {
        return items[Below(N)];
    }
    template <typename T>
    const T& Pick(const std::vector<T>& items) {
        return items[Below(items.size())];
    }

private:
    std::uint64_t state_;
};

}  // namespace kolbi
