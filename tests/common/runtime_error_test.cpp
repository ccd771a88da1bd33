#include "common/runtime_error.h"

#include <gtest/gtest.h>

namespace kolbi {
namespace {

TEST(CheckedInt16Test, AcceptsTheSixteenBitRangeAndRaisesOverflowBeyondIt) {
    EXPECT_EQ(CheckedInt16(32767, "PosteID"), 32767);
    EXPECT_EQ(CheckedInt16(-32768, "PosteID"), -32768);
    for (long long bad : {32768LL, -32769LL, 1LL << 40}) {
        try {
            CheckedInt16(bad, "PosteID");
            FAIL() << bad;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), errnum::kOverflow);
            EXPECT_NE(e.description().find("PosteID"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace kolbi
