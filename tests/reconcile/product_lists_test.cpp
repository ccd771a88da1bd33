#include "reconcile/product_lists.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/pump_settings.h"
#include "db/db_test.h"

namespace kolbi {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

ListBox ListOf(const std::vector<std::string>& items) {
    ListBox list;
    for (const std::string& item : items) list.AddItem(item);
    return list;
}

// Items are read as numbers: "x" is 0; a stable sort keeps "2" before "02".
TEST(ProductListsTest, TheNumericSortIsStable) {
    ListBox list = ListOf({"2", "02", "x", "-1"});
    SortListNumeric(list);
    EXPECT_THAT(list.Items(), ElementsAre("-1", "x", "2", "02"));
}

using ChargeDbTest = testing::DbTest;

TEST_P(ChargeDbTest, LoadsDistinctIdentifiersInNumericOrderAndSkipsNull) {
    db_->Run("INSERT INTO PosteSoftware VALUES "
             "(1, 10), (1, 100), (1, 9), (1, 9), (1, NULL), (2, 5)");
    ListBox lstDBProd = ListOf({"stale"});
    ChargeDB_ProductPoste(lstDBProd, 1);
    EXPECT_THAT(lstDBProd.Items(), ElementsAre("9", "10", "100"));
    EXPECT_THAT(pump_.LogLines(),
                ElementsAre(AllOf(HasSubstr("No: 94"),
                                  HasSubstr("ChargeDB_ProductPoste of Module ModSI"))));
}

// A table that cannot be read ends the program with logging off too, before
// the list is filled: nothing is written, and no stale item is left.
TEST_P(ChargeDbTest, AMissingTableWithLoggingOffEndsTheProgramWithAnEmptyList) {
    db_->Run("DROP TABLE PosteSoftware");
    Settings().LogErrors = false;
    ListBox lstDBProd = ListOf({"1"});
    EXPECT_EQ(testing::ExitStatusOf([&] { ChargeDB_ProductPoste(lstDBProd, 1); }), kExitFailure);
    EXPECT_TRUE(lstDBProd.Items().empty());
    EXPECT_EQ(pump_.Log(), "");
}

KOLBI_ON_BOTH_DATABASES(ChargeDbTest);

}  // namespace
}  // namespace kolbi
