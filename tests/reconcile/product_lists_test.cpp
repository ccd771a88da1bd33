#include "reconcile/product_lists.h"

#include <gtest/gtest.h>

#include "common/pump_settings.h"
#include "db/db_test.h"

namespace kolbi {
namespace {

using Items = std::vector<std::string>;

ListBox ListOf(const Items& items) {
    ListBox list;
    for (const std::string& item : items) list.AddItem(item);
    return list;
}

TEST(ProductListsTest, SortsAreNumericStableAndWithoutDuplicates) {
    // clang-format off
    const std::tuple<Items, std::int16_t, Items> cases[] = {
        {{"3", "7"}, 5, {"3", "5", "7"}}, {{"3", "7"}, 9, {"3", "7", "9"}},
        {{"3", "7"}, 1, {"1", "3", "7"}}, {{"3", "7"}, 7, {"3", "7"}},
        {{}, 4, {"4"}}, {{"9", "100"}, 10, {"9", "10", "100"}},
    };
    // clang-format on
    for (const auto& [before, id, after] : cases) {
        ListBox list = ListOf(before);
        SortSoftProd(list, id);
        EXPECT_EQ(list.Items(), after) << id;
    }
    const std::pair<Items, Items> unsorted[] = {
        {{"3", "2", "1"}, {"1", "2", "3"}},
        {{"2", "02", "x", "-1"}, {"-1", "x", "2", "02"}},  // "x" is 0; "2" stays before "02"
    };
    for (const auto& [before, after] : unsorted) {
        ListBox list = ListOf(before);
        SortListNumeric(list);
        EXPECT_EQ(list.Items(), after);
    }
}

using ChargeDbTest = testing::DbTest;

TEST_P(ChargeDbTest, LoadsDistinctIdentifiersInNumericOrderAndSkipsNull) {
    db_->Run(
        "INSERT INTO PosteSoftware VALUES (1, 10), (1, 100), (1, 9), (1, 9), (1, NULL), "
        "(2, 5)");
    ListBox lstDBProd = ListOf({"stale"});
    ChargeDB_ProductPoste(lstDBProd, 1);
    EXPECT_EQ(lstDBProd.Items(), (Items{"9", "10", "100"}));
    const Items errors = pump_.LogLines();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("No: 94"), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find("ChargeDB_ProductPoste of Module ModSI"), std::string::npos);
}

TEST_P(ChargeDbTest, AMissingTableWithLoggingOffEndsWithAnEmptyList) {
    db_->Run("DROP TABLE PosteSoftware");
    Settings().LogErrors = false;
    ListBox lstDBProd = ListOf({"1"});
    ChargeDB_ProductPoste(lstDBProd, 1);
    EXPECT_TRUE(lstDBProd.Items().empty());
}

KOLBI_ON_BOTH_DATABASES(ChargeDbTest);

}  // namespace
}  // namespace kolbi
