#include "log/log_date.h"

#include <gtest/gtest.h>

namespace kolbi {
namespace {

TEST(FormatLogDateTest, PatternsAndTime) {
    const LocalDateTime when{2026, 12, 4, 9, 5, 3};
    struct Case {
        const char* pattern;
        const char* expected;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"DD-MM-YYYY", "04-12-2026"},
             {"MM-DD-YY", "12-04-26"},
             {"dd-mm-yyyy", "04-12-2026"},  // letters in either case
             {"DD/MM/YY", "04/12/26"},
             {"YYYYMMDD", "20261204"},
             {"", "2026-12-04"},            // the host's short date form
             {"garbage", "garbage"},        // nothing to replace: stands for itself
             {"YYY", "26Y"},
         }) {
        EXPECT_EQ(FormatLogDate(c.pattern, when), c.expected) << c.pattern;
    }
    EXPECT_EQ(FormatLogTime(when), "9:5:3");
    EXPECT_EQ(FormatLogTime({2026, 1, 1, 23, 59, 0}), "23:59:0");
}

}  // namespace
}  // namespace kolbi
