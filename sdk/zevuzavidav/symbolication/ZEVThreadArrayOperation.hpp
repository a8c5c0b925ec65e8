#pragma once
// The base of the operations that work through the frames of one record file, thread by thread: they
// share one thread array, so the frames that symbolication fills are the ones demangling and writing
// see. Started directly (start()), so they run synchronously on the caller's thread.
//
// Failure contract: none here. Cancelling leaves the current thread at once and goes on with the next,
// so every remaining thread still has its first frame handed to the block.
#include "platform/dispatch/Operation.hpp"
#include "sdk/zevuzavidav/record/ZEVStackFrame.hpp"

#include <functional>
#include <memory>
#include <vector>

// One entry per thread, innermost frame first.
using ZEVThreadArray = std::vector<std::vector<ZEVStackFrame>>;

class ZEVThreadArrayOperation : public dispatch::Operation {
  public:
    explicit ZEVThreadArrayOperation(std::shared_ptr<ZEVThreadArray> threadArray)
        : threadArray_(std::move(threadArray)) {}

    const std::shared_ptr<ZEVThreadArray>& threadArray() const { return threadArray_; }
    void enumerateFramesWithBlock(const std::function<void(ZEVStackFrame& frame)>& block);

  private:
    std::shared_ptr<ZEVThreadArray> threadArray_;
};
