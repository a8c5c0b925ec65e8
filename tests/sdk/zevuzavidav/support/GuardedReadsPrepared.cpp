// The guarded reads' pipe is open in this program before its first test, as the crash reporter's start
// opens it in an app. Many tests read memory through the SDK without starting it: the unwinder walked
// in-process, a function's extent found from its call-frame description before a child is forked to
// crash in it. Where a sandbox refuses the kernel's copy between address spaces (a seccomp filter
// answering process_vm_readv with EPERM: tools/without-kernel-copies), the pipe is all those reads
// have, and without it they fail as if the memory were unreadable. A child forked from here gets a pipe
// of its own as it starts, as an app's children do.
#include "platform/darwin/GuardedRead.hpp"

#include <gtest/gtest.h>

namespace {

class GuardedReadsPrepared : public ::testing::Environment {
  public:
    void SetUp() override { darwin::prepareGuardedReads(); }
};

[[maybe_unused]] ::testing::Environment* const guardedReadsPrepared =
    ::testing::AddGlobalTestEnvironment(new GuardedReadsPrepared);

} // namespace
