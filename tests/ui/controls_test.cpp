// The window's parts: timers and the text the screen shows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>

#include "common/clock.h"
#include "ui/display_text.h"
#include "ui/timer.h"

namespace kolbi {
namespace {

using std::chrono::milliseconds;

// A timer's other rules (a tick at its due time, a restart on enabling, one
// tick for many missed) show on the event loop: pump_host_test.cpp.
TEST(Timer, EnablingAnEnabledTimerKeepsItsCountANewIntervalRestartsIt) {
    FakeClock clock;
    ScopedClock scoped(clock);
    Timer timer(milliseconds(30000));
    clock.Advance(milliseconds(20000));
    timer.Enable();  // already enabled: the count goes on
    EXPECT_TRUE(timer.IsDue(milliseconds(30000)));
    timer.SetInterval(milliseconds(60000));  // restarts, from 20 s
    EXPECT_FALSE(timer.IsDue(milliseconds(79999)));
    EXPECT_TRUE(timer.IsDue(milliseconds(80000)));
    timer.SetInterval(milliseconds(0));
    EXPECT_FALSE(timer.IsDue(milliseconds(1000000)));
}

TEST(DisplayText, KeepsUtf8AndReadsAnythingElseAsWindows1252) {
    const std::pair<std::string, std::wstring> cases[] = {
        {"Produits supprimés", L"Produits supprimés"},  // UTF-8 as it is
        {"Soci\xE9t\xE9 \xA9 2001", L"Société © 2001"},  // a report line
        {"\x80 \x99 \x9C", L"€ ™ œ"},                    // the 0x80-0x9F block
        {"\x81", L"?"},                                  // no character there
        {"a\tb\r\nc\x1B[2J", L"a b  c [2J"},             // controls are blanks
        {"\xC3", L"Ã"},                                  // cut UTF-8: not UTF-8
        {"\xED\xA0\x80", L"í\u00A0€"},                   // a surrogate is not UTF-8
    };
    for (const auto& [bytes, shown] : cases) {
        EXPECT_EQ(DisplayText(bytes), shown) << bytes;
    }
}

TEST(DisplayText, FitsTextIntoColumns) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    EXPECT_EQ(FitColumns(L"Produits ajoutés", 14), L"Produits ajout");
    EXPECT_EQ(FitColumns(L"abc", 0), L"");
    // A wide character never goes half out of the box.
    EXPECT_EQ(FitColumns(L"ab日本", 5), L"ab日");
    EXPECT_EQ(DisplayColumns(L"ab日本"), 6);
}

}  // namespace
}  // namespace kolbi
