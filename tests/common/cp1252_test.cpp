#include "common/cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace kolbi {
namespace {

TEST(Cp1252Test, TheCharactersTheReportsUseBecomeTheirUtf8Forms) {
    struct Case {
        std::string cp1252;
        std::string utf8;
    } cases[] = {
        {"\xA9 1999", "\u00A9 1999"},  // copyright sign
        {"a\xAC"
         "b",
         "a\u00ACb"},  // the ODBC field separator
        {"\xE9l\xE9gant \xE0", "\u00E9l\u00E9gant \u00E0"},
        {"\x80 \x99 \x9F", "\u20AC \u2122 \u0178"},  // the 0x80-0x9F block
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Cp1252ToUtf8(c.cp1252), c.utf8) << c.cp1252;
        EXPECT_EQ(Utf8ToCp1252(c.utf8), c.cp1252) << c.utf8;
    }
}

TEST(Cp1252Test, WhatWindows1252CannotHoldBecomesAQuestionMark) {
    EXPECT_EQ(Utf8ToCp1252("Z\u00FCrich \u65E5\u672C \U0001F600"), "Z\xFCrich ?? ?");
    // Malformed input: a lone continuation byte, a truncated sequence, an
    // overlong encoding of "/" and an encoded surrogate.
    EXPECT_EQ(Utf8ToCp1252("a\x80z"), "a?z");
    EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?");
    EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");
    EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "???");
}

}  // namespace
}  // namespace kolbi
