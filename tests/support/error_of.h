#pragma once

#include "common/runtime_error.h"

namespace kolbi::testing {

// The error a step raises; number 0 when it raises none.
template <class Step>
RuntimeError ErrorOf(Step&& step) {
    try {
        step();
    } catch (const RuntimeError& e) {
        return e;
    }
    return RuntimeError(0, "");
}

}  // namespace kolbi::testing
