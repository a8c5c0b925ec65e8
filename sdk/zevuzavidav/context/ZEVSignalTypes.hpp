#pragma once
// The signal part of the read-only crash context: where a signal is recorded, and the actions and
// alternate stack that were in place before ours, to be put back after the record.
#include <csignal>

namespace zevuzavidav {
constexpr int kSignalCount = 7;
} // namespace zevuzavidav

struct ZEVSignalReadOnlyContext {
    const char* path;
    struct sigaction savedActions[zevuzavidav::kSignalCount]; // zero when the earlier action was the default
    stack_t savedStack;
};
