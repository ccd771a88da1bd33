#include "reconcile/compare_prod_list.h"

#include <gtest/gtest.h>

#include "db/db_test.h"

namespace kolbi {
namespace {

using Items = std::vector<std::string>;

TEST(ChangeAlertTest, ConditionFollowsTheNullRules) {
    const Value null, zero = Value::Integer(0), name = Value::Utf8("Tool"), empty = Value::Utf8("");
    // clang-format off
    const std::tuple<Value, Value, bool> cases[] = {
        {zero, name, true}, {zero, empty, true}, {zero, null, true},
        {null, name, true}, {null, empty, false}, {null, null, false},
        {Value::Integer(1), name, false}, {Value::Integer(-1), null, false},
    };
    // clang-format on
    for (const auto& [ignore, product, alert] : cases) {
        EXPECT_EQ(ChangeAlertWanted(product, ignore), alert)
            << ignore.SqlLiteral() << " " << product.SqlLiteral();
    }
}

class CompareProdListTest : public testing::DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (HasFatalFailure() || IsSkipped()) return;
        db_->Run(
            "INSERT INTO SoftProduct (SOFTPRODUCT_ID, SOFTPRODUCT_PRODUCT, SOFTPRODUCT_IGNORE) "
            "VALUES (3, 'Three', 0), (4, 'Caf\xE9', 0), (5, 'Tool', 0), (8, 'Eight', 1)");
        db_->Run("INSERT INTO PosteSoftware VALUES (12, 3), (12, 4), (12, 4), (12, 8), (13, 4)");
        SetIsFirstInventory(false);
    }
    void Compare(const Items& reported, const Items& stored, const std::string& poste = "PC01") {
        for (const std::string& id : reported) lists_.lstLogProd.AddItem(id);
        for (const std::string& id : stored) lists_.lstDBProd.AddItem(id);
        CompareProdList(lists_, poste, 12);
        for (const ListBox* list :
             {&lists_.lstLogProd, &lists_.lstDBProd, &lists_.lstProdPLUS, &lists_.lstProdMOINS}) {
            EXPECT_EQ(list->ListCount(), 0);
        }
    }
    Items Links() { return db_->Rows("SELECT * FROM PosteSoftware ORDER BY 1, 2"); }
    // Every alert must carry the server's date.
    Items Alerts() {
        return db_->Rows(
            "SELECT Changement_Poste, Changement_User, Changement_Type, "
            "Changement_Critique, Changement_Data, Changement_ACK FROM Changement "
            "WHERE Changement_Date IS NOT NULL ORDER BY Changement_ID");
    }
    ProductLists lists_;
};

TEST_P(CompareProdListTest, LinksAndUnlinksTheDifferencesWithOneAlertEach) {
    Compare({"3", "5", "8"}, {"3", "4", "8"}, "Z\xC3\xBCrich's PC");
    EXPECT_EQ(Links(), (Items{"12|3", "12|5", "12|8", "13|4"}));
    EXPECT_EQ(Alerts(),
              (Items{"Z\xFCrich's PC||2|2||967|Tool|0", "Z\xFCrich's PC||2|3||968|Caf\xE9|0"}));
    EXPECT_TRUE(pump_.LogLines().empty());
}

TEST_P(CompareProdListTest, NoAlertOnAFirstInventoryOrForAnIgnoredProduct) {
    SetIsFirstInventory(true);
    Compare({"3", "5"}, {"3", "4"});
    EXPECT_EQ(Links(), (Items{"12|3", "12|5", "12|8", "13|4"}));
    SetIsFirstInventory(false);
    Compare({"3"}, {"3", "5", "8"});  // 8 is ignored
    Compare({"3", "5"}, {"3", "5"});  // nothing changed
    EXPECT_EQ(Links(), (Items{"12|3", "13|4"}));
    EXPECT_EQ(Alerts(), (Items{"PC01||2|3||968|Tool|0"}));
}

// The alert insert fails: CompareProdList reports it, with the statement,
// and the link changes stand.
TEST_P(CompareProdListTest, AFailedAlertIsReportedByCompareProdList) {
    db_->Run("DROP TABLE Changement");
    Compare({"3", "5", "8"}, {"3", "8"});
    EXPECT_EQ(Links(), (Items{"12|3", "12|4", "12|4", "12|5", "12|8", "13|4"}));
    const Items errors = pump_.LogLines();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("INSERT INTO Changement (Changement_Poste,Changement_User,"
                             "Changement_Date,Changement_Type,Changement_Critique,Changement_Data,"
                             "Changement_ACK)VALUES ('PC01','',Getdate(),'2','2','|967|Tool','0')"),
              std::string::npos)
        << errors[0];
    EXPECT_NE(errors[0].find("CompareProdList of Module ModDivers"), std::string::npos);
}

KOLBI_ON_BOTH_DATABASES(CompareProdListTest);

}  // namespace
}  // namespace kolbi
