#pragma once

#include <string>
#include <vector>

namespace kolbi {

// Exit statuses of the he3 tool.
inline constexpr int kHe3Ok = 0;
inline constexpr int kHe3Failed = 1;  // missing input, not a stream, damaged stream, write failure
inline constexpr int kHe3Usage = 2;   // wrong command line

// Runs "he3 compress IN OUT", "he3 decompress IN OUT", "he3 info FILE" or
// "he3 --help" with the arguments after the program name. Results go to the
// files or standard output, messages to standard error as one line
// "he3: <file>: <reason>". Returns the exit status; throws nothing.
int RunHe3(const std::vector<std::string>& args);

}  // namespace kolbi
