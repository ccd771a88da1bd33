#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kolbi {

// The results of a text rule remembered per distinct input. A network has a
// few hundred distinct products, each met on most workstations, while a rule
// such as the vendor normalisation makes dozens of searches per text: a look-up
// is far cheaper. The memory stays bounded: inputs longer than longest are
// never kept, and the whole memo is emptied when it holds most entries, which
// costs no more than computing those results again.
class TextMemo {
public:
    TextMemo(std::size_t most, std::size_t longest) : most_(most), longest_(longest) {}

    // rule(input), which must depend on input alone; computed once per
    // distinct input while it stays remembered.
    template <class Rule>
    std::string Get(std::string_view input, Rule&& rule) {
        if (input.size() > longest_) return rule(input);
        if (const auto found = results_.find(input); found != results_.end()) return found->second;
        std::string result = rule(input);
        if (results_.size() >= most_) results_.clear();
        results_.emplace(input, result);
        return result;
    }

    std::size_t size() const { return results_.size(); }

private:
    // Looks up a string_view without making a string of it.
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };

    std::size_t most_;
    std::size_t longest_;
    std::unordered_map<std::string, std::string, Hash, std::equal_to<>> results_;
};

}  // namespace kolbi
