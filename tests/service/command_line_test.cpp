#include "service/command_line.h"

#include <gtest/gtest.h>

#include <cmath>

#include "service/leading_number.h"

namespace kolbi {
namespace {

TEST(CommandLine, TheFirstTwoCharactersOfTheTrimmedLowerCasedArgumentAreTheSwitch) {
    const std::pair<const char*, RunMode> cases[] = {
        {"", RunMode::kService},
        {"   ", RunMode::kService},
        {"-i", RunMode::kInstall},
        {"/I", RunMode::kInstall},
        {"-install", RunMode::kInstall},
        {"-u", RunMode::kUninstall},
        {"/u", RunMode::kUninstall},
        {"-v", RunMode::kVersion},
        {"-vx", RunMode::kVersion},
        {"/V", RunMode::kVersion},
        {"-?", RunMode::kHelp},
        {"/?", RunMode::kHelp},
        {"-s", RunMode::kVisible},
        {"  -S  ", RunMode::kVisible},
        {"/s anything", RunMode::kVisible},
        {"-d", RunMode::kVisible},
        {"/D", RunMode::kVisible},
        {"-n", RunMode::kDetached},
        {"/n", RunMode::kDetached},
        {"-", RunMode::kInvalid},
        {"s", RunMode::kInvalid},
        {"--s", RunMode::kInvalid},
        {"- s", RunMode::kInvalid},
        {"\t-s", RunMode::kInvalid},
        {"-x", RunMode::kInvalid},
        {"i-", RunMode::kInvalid},
    };
    for (const auto& [command_line, mode] : cases) {
        EXPECT_EQ(ModeOf(ArgumentOf(command_line)), mode) << "[" << command_line << "]";
    }
}

TEST(CommandLine, ArgumentsAreJoinedBySpaces) {
    char program[] = "kolbipump", a[] = "-S", b[] = "more";
    char* argv[] = {program, a, b, nullptr};
    EXPECT_EQ(CommandLineText(3, argv), "-S more");
    EXPECT_EQ(CommandLineText(1, argv), "");
}

TEST(CommandLine, VersionAndHelpTexts) {
    EXPECT_EQ(VersionText(), "Kolbi Software Inventory Pump\r\n Version 4.2.0");
    EXPECT_EQ(HelpText(),
              "-i or /i to Install\r\n-u or /u to Un-Install\r\n-v or /v for version "
              "information\r\n-s or /s to set program to visible\r\n-? or /? to get this message");
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

}  // namespace
}  // namespace kolbi
