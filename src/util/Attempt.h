#pragma once

#include "util/Failure.h"

namespace corvid {

// The "skip the failing step and carry on" policy: runs one step and swallows a
// Failure it raises. Returns whether the step completed.
template <typename Step>
bool attempt(Step&& step) {
    try {
        step();
        return true;
    } catch (const Failure&) {
        return false;
    }
}

// The same policy for a step whose failure must leave a trace first (the engine's
// open rule resets its size fields on every failing step).
template <typename Step, typename OnFailure>
bool attempt(Step&& step, OnFailure&& onFailure) {
    try {
        step();
        return true;
    } catch (const Failure&) {
        onFailure();
        return false;
    }
}

}  // namespace corvid
