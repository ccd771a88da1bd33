#pragma once

#include <cstdio>
#include <cstdlib>

// A failed property in a fuzz target: say which one, then abort so that
// libFuzzer (and the corpus replay under CTest) records the input as a crash.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)
