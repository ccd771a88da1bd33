// The catalogue's names: product names cleaned, copyright texts made vendor
// names. (How products and drivers are stored is followed through the pass
// in the pipeline tests.)
#include "report/catalogue.h"

#include <gtest/gtest.h>

#include "report/text_memo.h"

namespace kolbi {
namespace {

// A product line as the agent writes it, through the line cleaning.
ReportLine Line(const std::string& product, const std::string& copyright) {
    return TakeFields(CleanReportLine("x!Desc!" + product + "!1.0!" + copyright));
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

// The rules are memoised per distinct text: each text is computed once while
// remembered, the memo empties itself at its bound, and long texts stay out.
TEST(CatalogueTest, TheMemoComputesATextOnceAndStaysBounded) {
    TextMemo memo(3, 8);
    int computed = 0;
    auto rule = [&](std::string_view text) { return ++computed, std::string(text) + "!"; };
    for (std::string_view text : {"a", "b", "a", "a", "c", "b"}) {
        EXPECT_EQ(memo.Get(text, rule), std::string(text) + "!");
    }
    EXPECT_EQ(computed, 3);
    EXPECT_EQ(memo.Get("d", rule), "d!");  // the fourth empties the memo first
    EXPECT_EQ(memo.size(), 1u);
    EXPECT_EQ(memo.Get("123456789", rule), "123456789!");
    EXPECT_EQ(memo.size(), 1u);
    EXPECT_EQ(computed, 5);
}

}  // namespace
}  // namespace kolbi
