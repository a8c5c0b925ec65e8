#pragma once
// Names every frame of the thread array with the resolver (frames it cannot name keep what they had).
#include "sdk/zevuzavidav/symbolication/ZEVSymbolResolver.hpp"
#include "sdk/zevuzavidav/symbolication/ZEVThreadArrayOperation.hpp"

class ZEVSymbolicationOperation final : public ZEVThreadArrayOperation {
  public:
    ZEVSymbolicationOperation(std::shared_ptr<ZEVThreadArray> threadArray,
                              std::shared_ptr<const ZEVSymbolResolver> symbolResolver)
        : ZEVThreadArrayOperation(std::move(threadArray)), symbolResolver_(std::move(symbolResolver)) {}

    void main() override {
        if (!symbolResolver_) return;
        enumerateFramesWithBlock([this](ZEVStackFrame& frame) { symbolResolver_->updateStackFrame(frame); });
    }

    const std::shared_ptr<const ZEVSymbolResolver>& symbolResolver() const { return symbolResolver_; }

  private:
    std::shared_ptr<const ZEVSymbolResolver> symbolResolver_;
};
