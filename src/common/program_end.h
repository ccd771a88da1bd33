#pragma once

#include <string>

namespace kolbi {

// Exit statuses of the program.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitInvalidOption = 2;

// Ends the program at once with the given status: no further handler, timer
// or service event runs. Cleanups registered with AtProgramEnd (restoring the
// terminal, for one) run first, newest first.
[[noreturn]] void EndProgram(int exit_status);

// Registers a cleanup to run when the program ends through EndProgram.
void AtProgramEnd(void (*cleanup)());

// A line the program says on standard error when it ends through EndProgram,
// after the cleanups (the terminal is the operator's again by then), and only
// when standard error is a terminal: under systemd it is the journal, which
// has the system log's entry already. Empty: nothing is said.
void SetLastWords(std::string text);

// Thrown instead of exiting while a ScopedProgramEndTrap is alive, so a test
// can see that (and with which status) a procedure ended the program. It does
// not derive from std::exception on purpose: failure handlers never catch it.
struct ProgramEnded {
    int exit_status;
};

class ScopedProgramEndTrap {
public:
    ScopedProgramEndTrap();
    ~ScopedProgramEndTrap();
    ScopedProgramEndTrap(const ScopedProgramEndTrap&) = delete;
    ScopedProgramEndTrap& operator=(const ScopedProgramEndTrap&) = delete;

private:
    bool previous_;
};

}  // namespace kolbi
