#include "report/product_names.h"

#include <bitset>
#include <span>
#include <utility>

#include "common/replace_all.h"
#include "report/text_memo.h"

namespace kolbi {
namespace {

using Replacement = std::pair<std::string_view, std::string_view>;

// Windows-1252 texts of the cleaning rules.
constexpr std::string_view kOperatingSystemFr = "Syst\xE8me d'exploitation";
constexpr std::string_view kOperatingSystemEn = "Operating System";

constexpr Replacement kProductNameCleaning[] = {
    {"@", ""},
    {"\xA9", ""},   // ©
    {"\xE8", "e"},  // è
    {"\xE0", "a"},  // à
    {"\xE9", "e"},  // é
    // Catalogue keys never hold an apostrophe, so other programs that splice
    // them into SQL keep working.
    {"'", " "},
    {"  ", " "},
};

// The vendor normalisation before the years. Each text is replaced in turn,
// left to right, never looking again at what a replacement put in: the order
// decides the result ("Hobby" loses its "by", "Soft.Rt" its point).
constexpr Replacement kVendorBeforeYears[] = {
    {"'", ""},
    {"(c)", ""},
    {"(C)", ""},
    {" Corporation", ""},
    {" Corp.", ""},
    {" Corp", ""},
    {" corp", ""},
    {" All rights reserved.", ""},
    {" All rights reserved", ""},
    {" All Rights Reserved.", ""},
    {" All Rights Reserved", ""},
    {" Tous droits r\xE9serv\xE9s", ""},
    {" Technology", ""},
    {" Technologies", ""},
    {" Innovations", ""},
    {" Innovation", ""},
    {" Incorpored.", ""},
    {" Inc.", " "},
    {" Inc", " "},
    {"Copyrighted", " "},
    {"Copyright", " "},
    {"copyright", " "},
    {"(R)", ""},
    {"(r)", ""},
    {"(tm)", ""},
    {"(TM)", ""},
    {"\xA9", ""},  // ©
    {"\x99", ""},  // ™
    {"by", ""},
};

constexpr int kFirstYear = 1970;
constexpr int kLastYear = 2010;

constexpr Replacement kVendorAfterYears[] = {
    {"---", ""}, {"--", ""}, {" - ", ""}, {" -", ""},
    {" . ", ""}, {"-.", ""}, {"t.", "t"}, {"  ", " "},
};

// The bytes a text holds: a rule whose first byte is not among them cannot
// apply, which settles most of the rules a line meets without a search.
std::bitset<256> BytesOf(std::string_view text) {
    std::bitset<256> bytes;
    for (char c : text) bytes.set(static_cast<unsigned char>(c));
    return bytes;
}

bool MayHold(const std::bitset<256>& bytes, std::string_view part) {
    return !part.empty() && bytes.test(static_cast<unsigned char>(part.front()));
}

std::string ReplaceEach(std::string text, std::span<const Replacement> rules) {
    std::bitset<256> bytes = BytesOf(text);
    for (const auto& [from, to] : rules) {
        if (!MayHold(bytes, from)) continue;
        ReplaceAllIn(text, from, to);
        // Bytes taken out may stay marked (a search too many, never one too few).
        bytes |= BytesOf(to);
    }
    return text;
}

std::string ProductNameOf(std::string_view product) {
    if (product.find(kOperatingSystemFr) != std::string_view::npos &&
        product.find(kOperatingSystemEn) != std::string_view::npos) {
        return {};
    }
    return ReplaceEach(std::string(product), kProductNameCleaning);
}

std::string VendorNameOf(std::string_view copyright) {
    std::string text = ReplaceEach(std::string(copyright), kVendorBeforeYears);
    // Every year begins "19" or "20": most texts hold neither and skip the 41 steps.
    if (text.find("19") != std::string::npos || text.find("20") != std::string::npos) {
        for (int year = kFirstYear; year <= kLastYear; ++year) {
            const char digits[4] = {static_cast<char>('0' + year / 1000),
                                    static_cast<char>('0' + year / 100 % 10),
                                    static_cast<char>('0' + year / 10 % 10),
                                    static_cast<char>('0' + year % 10)};
            ReplaceAllIn(text, std::string_view(digits, sizeof digits), "");
        }
    }
    return TrimSpaces(ReplaceEach(std::move(text), kVendorAfterYears));
}

// Every workstation of a network reports mostly the same products: a few
// hundred distinct names and copyright texts, each met again in nearly every
// report. A few thousand entries hold them all; texts longer than a line of
// a report usually is are computed each time.
constexpr std::size_t kMostRemembered = 4096;
constexpr std::size_t kLongestRemembered = 256;

}  // namespace

std::string CleanProductName(std::string_view product) {
    thread_local TextMemo memo(kMostRemembered, kLongestRemembered);
    return memo.Get(product, ProductNameOf);
}

std::string VendorName(std::string_view copyright) {
    thread_local TextMemo memo(kMostRemembered, kLongestRemembered);
    return memo.Get(copyright, VendorNameOf);
}

}  // namespace kolbi
