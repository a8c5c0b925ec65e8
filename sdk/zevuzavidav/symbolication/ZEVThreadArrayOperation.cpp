#include "sdk/zevuzavidav/symbolication/ZEVThreadArrayOperation.hpp"

void ZEVThreadArrayOperation::enumerateFramesWithBlock(
    const std::function<void(ZEVStackFrame& frame)>& block) {
    if (!threadArray_ || !block) return;
    for (auto& thread : *threadArray_) {
        for (auto& frame : thread) {
            block(frame);
            if (isCancelled()) break;
        }
    }
}
