// The command line: which switch each argument is, and what the real program
// shows and how it ends for each kind of switch.
#include "service/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <filesystem>

#include "service/leading_number.h"
#include "support/subprocess.h"

namespace kolbi {
namespace {

using ::testing::HasSubstr;
using testing::RunProcess;

TEST(CommandLine, TheFirstTwoCharactersOfTheTrimmedLowerCasedArgumentAreTheSwitch) {
    const std::pair<RunMode, std::vector<std::string>> cases[] = {
        {RunMode::kService, {"", "   "}},
        {RunMode::kInstall, {"-i", "/I", "-install"}},
        {RunMode::kUninstall, {"-u", "/u"}},
        {RunMode::kVersion, {"-v", "-vx", "/V"}},
        {RunMode::kHelp, {"-?", "/?"}},
        {RunMode::kVisible, {"-s", "  -S  ", "/s anything", "-d", "/D"}},
        {RunMode::kDetached, {"-n", "/n"}},
        {RunMode::kInvalid, {"-", "s", "--s", "- s", "\t-s", "-x", "i-"}},
    };
    for (const auto& [mode, command_lines] : cases) {
        for (const std::string& command_line : command_lines) {
            EXPECT_EQ(ModeOf(ArgumentOf(command_line)), mode) << "[" << command_line << "]";
        }
    }
    char program[] = "kolbipump", a[] = "-S", b[] = "more";
    char* argv[] = {program, a, b, nullptr};
    EXPECT_EQ(CommandLineText(3, argv), "-S more");
    EXPECT_EQ(CommandLineText(1, argv), "");
}

// One run per kind of one-shot switch; the table above covers the spellings.
TEST(CommandLine, OneShotSwitchesShowTheirBoxAndEnd) {
    testing::TempFolder units;  // -u looks here and finds nothing
    const struct {
        std::vector<std::string> args;
        int exit_status;
        std::string out;
    } cases[] = {
        {{"-v", "whatever", "follows"},
         0,
         "Version\nKolbi Software Inventory Pump\n Version 4.2.0\n"},
        {{"/?"},
         0,
         "Kolbi Software Inventory Pump\n-i or /i to Install\n-u or /u to Un-Install\n-v or /v "
         "for version information\n-s or /s to set program to visible\n-? or /? to get this "
         "message\n"},
        {{"/U"},
         1,
         "Kolbi Software Inventory Pump\nKolbi Software Inventory Pump failed to uninstall\n"},
        {{"--v"}, 2, "Kolbi Software Inventory Pump\nInvalid command option\n"},
    };
    for (const auto& c : cases) {
        auto result = RunProcess(KOLBIPUMP_PATH, c.args,
                                 {"SYSTEMD_UNIT_PATH=" + units.path(), "PATH=/nonexistent"});
        EXPECT_EQ(result.exit_status, c.exit_status) << c.args[0];
        EXPECT_EQ(result.out, c.out) << c.args[0];
        // A failed uninstall says why on standard error (host_failures_test.cpp).
        EXPECT_EQ(result.err.empty(), c.exit_status != 1) << c.args[0];
    }
    // Visible mode without a terminal runs without its screen; with no INI file
    // the incoming folder is missing, which ends the program with status 1.
    testing::TempFolder app;
    std::filesystem::copy_file(KOLBIPUMP_PATH, app / "kolbipump");
    auto result = RunProcess(app / "kolbipump", {"-s"});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.err, HasSubstr("no status screen"));
    EXPECT_THAT(
        result.err,
        HasSubstr("DAVO Pump initialization error\nIncoming Files Path  not found or invalid !\n"));
}

TEST(LeadingNumber, TakesTheLongestNumericStartBlanksSkipped) {
    const std::pair<const char*, double> cases[] = {
        {"", 0},      {"abc", 0},     {"3", 3},    {" 3 ", 3},       {"10abc", 10}, {"2.5", 2.5},
        {"1 2", 12},  {"\t4\r\n", 4}, {"-2", -2},  {".5", 0.5},      {"1.", 1},     {"1e2", 100},
        {"1D2", 100}, {"1e", 1},      {"1e+", 1},  {"99999", 99999}, {"+7x", 7},    {"-", 0},
        {".", 0},     {"3,5", 3},     {"0x10", 0},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_DOUBLE_EQ(LeadingNumber(text), value) << "[" << text << "]";
    }
    EXPECT_TRUE(std::isinf(LeadingNumber("1e999")));
}

// On a host whose language writes "2,5", Refresh=2.5 is still two and a half.
TEST(LeadingNumber, KeepsItsDecimalPointUnderADecimalCommaLocale) {
    testing::TempFolder locales;
    auto made =
        RunProcess("/usr/bin/localedef", {"-i", "fr_FR", "-f", "UTF-8", locales / "fr_FR.UTF-8"});
    ASSERT_EQ(made.exit_status, 0) << "localedef cannot make fr_FR.UTF-8 (packages libc-bin and "
                                      "locales, scripts/install-deps.sh): "
                                   << made.err;
    ::setenv("LOCPATH", locales.path().c_str(), 1);
    const bool switched = std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") != nullptr;
    const double refresh = LeadingNumber("2.5");
    std::setlocale(LC_NUMERIC, "C");
    ::unsetenv("LOCPATH");
    ASSERT_TRUE(switched);
    EXPECT_DOUBLE_EQ(refresh, 2.5);
}

}  // namespace
}  // namespace kolbi
