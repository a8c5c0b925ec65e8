#pragma once
// Writes the thread array as a record file of one line and one section:
//   {"threads":[[{"symbol":...,"offset":N,"library":...},...],...]}
// one array per thread in source order, one object per frame innermost first; an absent symbol or
// library is null. Texts are escaped as in every record file, so the line is valid JSON whatever the
// symbol holds.
//
// Failure contract: a file that cannot be created logs "[Zevuzavidav:Crash:Symbolication] Failed to
// create output file" and nothing is written.
#include "sdk/zevuzavidav/symbolication/ZEVThreadArrayOperation.hpp"

#include <string>

class ZEVSerializeSymbolicatedFramesOperation final : public ZEVThreadArrayOperation {
  public:
    ZEVSerializeSymbolicatedFramesOperation(std::shared_ptr<ZEVThreadArray> threadArray,
                                            std::string outputPath)
        : ZEVThreadArrayOperation(std::move(threadArray)), outputPath_(std::move(outputPath)) {}

    const std::string& outputPath() const { return outputPath_; }
    void main() override;

  private:
    std::string outputPath_;
};
