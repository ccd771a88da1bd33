// The window's timers and list boxes.
#include <gtest/gtest.h>

#include "common/clock.h"
#include "common/runtime_error.h"
#include "common/list_box.h"
#include "ui/timer.h"

namespace kolbi {
namespace {

using std::chrono::milliseconds;

TEST(Timer, IntervalCountsFromCreationEnablingOrANewInterval) {
    FakeClock clock;
    ScopedClock scoped(clock);
    Timer timer(milliseconds(30000));
    EXPECT_TRUE(timer.Enabled());
    EXPECT_FALSE(timer.IsDue(milliseconds(29999)));
    EXPECT_TRUE(timer.IsDue(milliseconds(30000)));

    clock.Advance(milliseconds(20000));
    timer.Enable();  // already enabled: the count goes on
    EXPECT_TRUE(timer.IsDue(milliseconds(30000)));

    timer.Disable();
    EXPECT_FALSE(timer.IsDue(milliseconds(100000)));
    timer.Enable();  // restarts: one full interval from now (20 s)
    EXPECT_FALSE(timer.IsDue(milliseconds(49999)));
    EXPECT_TRUE(timer.IsDue(milliseconds(50000)));

    clock.Advance(milliseconds(5000));
    timer.SetInterval(milliseconds(60000));  // restarts too, from 25 s
    EXPECT_FALSE(timer.IsDue(milliseconds(84999)));
    EXPECT_TRUE(timer.IsDue(milliseconds(85000)));

    timer.Ticked(milliseconds(90000));  // a late tick: the next one counts from it
    EXPECT_EQ(timer.Due(), milliseconds(150000));

    timer.SetInterval(milliseconds(0));
    EXPECT_FALSE(timer.IsDue(milliseconds(1000000)));
}

TEST(ListBox, AddsInsertsRemovesAndRejectsBadIndexes) {
    ListBox list;
    list.AddItem("b");
    list.AddItem("a", 0);
    list.AddItem("c", 2);
    EXPECT_EQ(list.Items(), (std::vector<std::string>{"a", "b", "c"}));
    list.RemoveItem(1);
    EXPECT_EQ(list.ListCount(), 2);
    EXPECT_EQ(list.List(1), "c");
    for (auto bad : {-1, 2}) {
        try {
            (void)list.List(bad);
            ADD_FAILURE() << "index " << bad << " was accepted";
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number(), errnum::kInvalidProcedureCall);
        }
    }
    EXPECT_THROW(list.AddItem("x", 3), RuntimeError);
    EXPECT_THROW(list.RemoveItem(2), RuntimeError);
    list.Clear();
    EXPECT_EQ(list.ListCount(), 0);
}

}  // namespace
}  // namespace kolbi
