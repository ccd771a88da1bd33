#include "report/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "db/db_connect.h"
#include "db/db_test.h"

namespace kolbi {
namespace {

// A product line as the agent writes it, through the line cleaning.
ReportLine Line(const std::string& product, const std::string& copyright,
                const std::string& version = "1.0") {
    return TakeFields(CleanReportLine("x!Desc!" + product + "!" + version + "!" + copyright));
}

TEST(CatalogueTest, ProductNamesAreCleanedAndCopyrightTextsBecomeVendorNames) {
    const std::pair<std::string, std::string> names[] = {
        {"L'Editeur \xE9l\xE9gant", "L Editeur elegant"},
        {"Acme Operating System 5", "Acme Operating System 5"},
        {"Syst\xE8me d'exploitation - Operating System", ""},
        {"Tool@ \xA9 d\xE8j\xE0", "Tool deja"},
    };
    for (const auto& [written, cleaned] : names) {
        EXPECT_EQ(CleanProductName(Line(written, "Acme").product), cleaned) << written;
    }
    const std::pair<std::string, std::string> vendors[] = {
        {"Copyright (c) 1985-2001 Acme Corporation. All rights reserved.", "Acme."},
        {"(c) 1999 Gizmo Software Inc.", "Gizmo Software"},
        {"Foo Innovations", "Foo"},
        {"Copyright \xA9 2003 Hobby Tools Corp", "Hob Tools"},
        {"Baz Technologies, Inc.", "Baz.Inc."},
        {"Qux Soft(R) 1998 - 2004", "Qux Soft"},
        {"Zed Corp. All Rights Reserved.", "Zed"},
        {"Soft.Rt Inc.", "SoftRt"},
        {"Copyright 2005", ""},
        {"Mo\x99 Tous droits r\xE9serv\xE9s", "Mo"},
        {"ACME CORPORATION (TM)", "ACME CORPORATION"},  // matching is case-sensitive
        {"1969 Old 2011", "1969 Old 2011"},             // only 1970 to 2010 go
    };
    for (const auto& [written, vendor] : vendors) {
        EXPECT_EQ(VendorName(Line("P", written).copyright), vendor) << written;
    }
    for (int year = 1970; year <= 2010; ++year) {
        EXPECT_EQ(VendorName("Acme " + std::to_string(year)), "Acme") << year;
    }
}

class CatalogueDbTest : public testing::DbTest {
protected:
    // The pass has connected before its first line.
    void Catalogue(const ReportLine& line) {
        if (!DBConnected()) DBConnect();
        CatalogueProduct(Do_Log, line, 7, ProductID, lstLogProd);
    }
    Procedure Do_Log{"in procedure Do_Log of Feuille Form1", AfterReport::kContinue};
    std::int16_t ProductID = 0;
    ListBox lstLogProd;
};

// A driver line that is not catalogued gives its driver no product, not the
// identifier an earlier line left behind.
TEST_P(CatalogueDbTest, CreatesOnceFillsOnlyEmptyColumnsAndHandsDriversOn) {
    Catalogue(Line("Gizmo", "(c) 1999 Gizmo Software Inc.", ""));
    Catalogue(Line("Tool", "Acme"));
    Catalogue(Line("Gizmo", "Other", "2.0"));
    Catalogue(Line("Gizmo", "Other", "3.0"));
    EXPECT_EQ(lstLogProd.Items(), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(db_->Rows("SELECT SOFTPRODUCT_ID, SOFTPRODUCT_PRODUCT, SOFTPRODUCT_DESCRIPTION, "
                        "SOFTPRODUCT_VERSION, SOFTPRODUCT_COPYRIGHT, SOFTPRODUCT_PACKAGE, "
                        "SOFTPRODUCT_IGNORE, SOFTPRODUCT_USED FROM SoftProduct ORDER BY 1"),
              (std::vector<std::string>{"1|Gizmo|Desc|2.0|Gizmo Software||0|0",
                                        "2|Tool|Desc|1.0|Acme||0|0"}));
    std::string odbc = "|DRV|DESC|1.0||(DS1;DB1;S)";
    std::replace(odbc.begin(), odbc.end(), '|', '\xAC');
    Catalogue(TakeFields(CleanReportLine(odbc)));
    EXPECT_EQ(db_->Rows("SELECT ODBC_PRODUCTID FROM ODBC_Drv"), std::vector<std::string>{"0"});
    EXPECT_TRUE(pump_.LogLines().empty());
}

KOLBI_ON_BOTH_DATABASES(CatalogueDbTest);

}  // namespace
}  // namespace kolbi
