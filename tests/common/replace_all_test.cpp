#include "common/replace_all.h"

#include <gtest/gtest.h>

#include <random>

namespace kolbi {
namespace {

// The in-place form shrinks the text where it stands: it must give what the
// copying form gives, whatever the texts (matches side by side, at both ends,
// a to longer than from).
TEST(ReplaceAllIn, AgreesWithReplaceAll) {
    std::mt19937 random(::testing::UnitTest::GetInstance()->random_seed());
    const std::string_view bytes = "ab ";
    auto draw = [&](std::size_t most) {
        std::string text(random() % (most + 1), ' ');
        for (char& c : text) c = bytes[random() % bytes.size()];
        return text;
    };
    for (int i = 0; i < 20000; ++i) {
        const std::string text = draw(12);
        const std::string from = draw(3);
        const std::string to = draw(from.size() + 1);
        std::string in_place = text;
        ReplaceAllIn(in_place, from, to);
        ASSERT_EQ(in_place, ReplaceAll(text, from, to))
            << '"' << text << "\" \"" << from << "\" \"" << to << '"';
    }
}

}  // namespace
}  // namespace kolbi
