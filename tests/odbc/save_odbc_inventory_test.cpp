// How ODBC lines are stored. (Lines without data sources, with 200, with a
// "¬" at the end or too long to count go through the pass in the pipeline tests.)
#include "odbc/save_odbc_inventory.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "db/db_test.h"

namespace kolbi {
namespace {

using Items = std::vector<std::string>;

// Report lines are Windows-1252 with "¬" (0xAC) between the fields; tests
// write "|" for it.
std::string Line(std::string text) {
    std::replace(text.begin(), text.end(), '|', '\xAC');
    return text;
}

class SaveOdbcInventoryTest : public testing::DbTest {
protected:
    Items Drivers() {
        return db_->Rows(
            "SELECT ODBC_ID, ODBC_PRODUCTID, ODBC_DrvName, ODBC_Desc, ODBC_ProdVers, "
            "ODBC_CPR FROM ODBC_Drv ORDER BY ODBC_ID");
    }
    Items Sources() {
        return db_->Rows("SELECT DSN_ODBC_ID, DSN_POSTEID, DSN_Name, DSN_DBName, DSN_ServName "
                         "FROM ODBC_DSN ORDER BY 1, 2, 3");
    }
    void Save(std::int32_t PosteID, std::int32_t ProductID, const std::string& line) {
        DriverCache fresh;  // a pass of its own: every driver is looked up
        SaveOdbcInventory(PosteID, ProductID, line, fresh);
    }
};

// Rows are only added: what a workstation reported before under the same
// driver is not added again; another workstation, or another version of the
// driver, has rows of its own. Parts are taken as written, missing ones empty.
TEST_P(SaveOdbcInventoryTest, RecordsADriverWithItsDataSourcesAndOnlyAddsRows) {
    const std::string line = Line("|DRV|DESC|1.0|MAKER|(DS1;DB1;SRV1)|Solo|(A;B)C;D;E");
    Save(1, 5, line);
    Save(1, 6, line);  // the same again
    Save(2, 6, Line("|DRV|DESC|1.0|MAKER|(DS1;DB1;SRV1)"));
    Save(1, 7, Line("|DRV|DESC|2.0|MAKER|(DS1;DB1;SRV1)"));
    EXPECT_EQ(Drivers(), (Items{"1|5|DRV|DESC|1.0|MAKER", "2|7|DRV|DESC|2.0|MAKER"}));
    EXPECT_EQ(Sources(), (Items{"1|1|A|BC|D", "1|1|DS1|DB1|SRV1", "1|1|Solo||", "1|2|DS1|DB1|SRV1",
                                "2|1|DS1|DB1|SRV1"}));
}

// Keys above 16 bits are used as they are. One that does not fit 32 bits (a
// site that widened its key column; PostgreSQL's is widened here) cannot be
// read and is never replaced by another: its data sources are left out.
TEST_P(SaveOdbcInventoryTest, DriverKeysAre32Bit) {
    if (GetParam() == testing::Backend::kPostgreSql) {
        db_->Run("ALTER TABLE ODBC_Drv ALTER COLUMN ODBC_ID TYPE bigint");
    }
    Save(70000, 40000, Line("|SMALL|D|1|M|(A;B;C)"));
    db_->Run(
        "INSERT INTO ODBC_Drv (ODBC_ID, ODBC_PRODUCTID, ODBC_DrvName, ODBC_Desc, "
        "ODBC_ProdVers, ODBC_CPR) VALUES (50000, 1, 'BIG', 'D', '1', 'M'), "
        "(5000000000, 1, 'HUGE', 'D', '1', 'M')");
    Save(70000, 40001, Line("|BIG|D|1|M|(DS;DB;S)"));
    Save(70000, 40002, Line("|HUGE|D|1|M|(DS;DB;S)|(DS2;DB;S)"));
    EXPECT_EQ(Drivers().size(), 3u);
    EXPECT_EQ(Drivers()[0], "1|40000|SMALL|D|1|M");
    EXPECT_EQ(Sources(), (Items{"1|70000|A|B|C", "50000|70000|DS|DB|S"}));
}

// Within a pass a driver is looked up once: its key is taken from the pass
// afterwards, even when the row has changed since; texts that differ at all
// are looked up, and a failed look-up is not remembered.
TEST_P(SaveOdbcInventoryTest, APassLooksEachDriverUpOnce) {
    DriverCache pass;
    SaveOdbcInventory(1, 5, Line("|DRV|DESC|1.0|MAKER|(A;B;C)"), pass);
    db_->Run("UPDATE ODBC_Drv SET ODBC_DrvName = 'RENAMED'");
    SaveOdbcInventory(2, 5, Line("|DRV|DESC|1.0|MAKER|(A;B;C)"), pass);
    SaveOdbcInventory(3, 5, Line("|drv|DESC|1.0|MAKER|(A;B;C)"), pass);
    EXPECT_EQ(Drivers(), (Items{"1|5|RENAMED|DESC|1.0|MAKER", "2|5|drv|DESC|1.0|MAKER"}));
    EXPECT_EQ(Sources(), (Items{"1|1|A|B|C", "1|2|A|B|C", "2|3|A|B|C"}));
}

KOLBI_ON_BOTH_DATABASES(SaveOdbcInventoryTest);

}  // namespace
}  // namespace kolbi
