#pragma once
// Waiting in tests: for one value handed over from another thread, or for a condition to hold.
#include "tests/support/Waiter.hpp"

namespace ruroradtest {

using velotest::eventually;
using velotest::Waiter;

} // namespace ruroradtest
