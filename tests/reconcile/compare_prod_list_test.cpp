#include "reconcile/compare_prod_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "db/db_test.h"

namespace kolbi {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
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

// Workstation 12 has products 3, 4 (linked twice) and 8 (ignored); 13 has 4.
// (First inventories, which raise no alert, are in the pipeline tests.)
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
    void Compare(const Items& reported, const Items& stored, const std::string& poste) {
        for (const std::string& id : reported) lists_.lstLogProd.AddItem(id);
        for (const std::string& id : stored) lists_.lstDBProd.AddItem(id);
        CompareProdList(lists_, poste, 12);
    }
    Items Links() { return db_->Rows("SELECT * FROM PosteSoftware ORDER BY 1, 2"); }
    ProductLists lists_;
};

// One alert per change, dated by the server (Getdate(): PostgreSQL's schema
// defines it, the SQLite data source loads a function of ours); none for the
// ignored product.
TEST_P(CompareProdListTest, LinksAndUnlinksTheDifferencesWithOneAlertEach) {
    Compare({"3", "5"}, {"3", "4", "8"}, "Z\xC3\xBCrich's PC");
    EXPECT_EQ(Links(), (Items{"12|3", "12|5", "13|4"}));
    EXPECT_THAT(db_->Rows("SELECT Changement_Poste, Changement_User, Changement_Type, "
                          "Changement_Critique, Changement_Data, Changement_ACK FROM Changement "
                          "WHERE Changement_Date >= '2026-01-01' ORDER BY Changement_ID"),
                ElementsAre("Z\xFCrich's PC||2|2||967|Tool|0",
                            "Z\xFCrich's PC||2|3||968|Caf\xE9|0"));
    EXPECT_THAT(pump_.LogLines(), ElementsAre());
}

// The alert insert fails: CompareProdList reports it, with the statement,
// and the link changes stand.
TEST_P(CompareProdListTest, AFailedAlertIsReportedByCompareProdList) {
    db_->Run("DROP TABLE Changement");
    Compare({"3", "5", "8"}, {"3", "8"}, "PC01");
    EXPECT_EQ(Links(), (Items{"12|3", "12|4", "12|4", "12|5", "12|8", "13|4"}));
    EXPECT_THAT(pump_.LogLines(),
                ElementsAre(AllOf(HasSubstr("VALUES ('PC01','',Getdate(),'2','2','|967|Tool','0')"),
                                  HasSubstr("CompareProdList of Module ModDivers"))));
}

// A comparison's alerts go together; when the database refuses one of
// them, the others are written and the refused one is reported alone.
TEST_P(CompareProdListTest, ARefusedAlertCostsOnlyItself) {
    db_->Run(GetParam() == testing::Backend::kSqlite
                 ? "CREATE TRIGGER refuse BEFORE INSERT ON Changement WHEN NEW.Changement_Data = "
                   "'|967|Tool' BEGIN SELECT RAISE(ABORT, 'refused'); END"
                 : "ALTER TABLE Changement ADD CONSTRAINT refuse CHECK (Changement_Data <> "
                   "'|967|Tool')");
    Compare({"3", "5"}, {"3", "4", "8"}, "PC01");
    EXPECT_EQ(Links(), (Items{"12|3", "12|5", "13|4"}));
    EXPECT_THAT(db_->Rows("SELECT Changement_Data FROM Changement"), ElementsAre("|968|Caf\xE9"));
    EXPECT_THAT(pump_.LogLines(),
                ElementsAre(AllOf(HasSubstr("VALUES ('PC01','',Getdate(),'2','2','|967|Tool','0')"),
                                  HasSubstr("CompareProdList of Module ModDivers"))));
}

KOLBI_ON_BOTH_DATABASES(CompareProdListTest);

}  // namespace
}  // namespace kolbi
