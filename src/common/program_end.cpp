#include "common/program_end.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace kolbi {
namespace {

bool g_trapped = false;

std::string& LastWords() {
    static std::string words;
    return words;
}

std::vector<void (*)()>& Cleanups() {
    static std::vector<void (*)()> cleanups;
    return cleanups;
}

}  // namespace

void EndProgram(int exit_status) {
    if (g_trapped) throw ProgramEnded{exit_status};
    auto& cleanups = Cleanups();
    while (!cleanups.empty()) {
        auto cleanup = cleanups.back();
        cleanups.pop_back();
        cleanup();
    }
    if (!LastWords().empty() && ::isatty(STDERR_FILENO)) {
        std::fprintf(stderr, "%s\n", LastWords().c_str());
    }
    std::fflush(nullptr);
    std::_Exit(exit_status);
}

void AtProgramEnd(void (*cleanup)()) { Cleanups().push_back(cleanup); }

void SetLastWords(std::string text) { LastWords() = std::move(text); }

ScopedProgramEndTrap::ScopedProgramEndTrap() : previous_(g_trapped) { g_trapped = true; }

ScopedProgramEndTrap::~ScopedProgramEndTrap() { g_trapped = previous_; }

}  // namespace kolbi
