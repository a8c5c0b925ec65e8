#pragma once
// Writes the thread array as a record file of one line and one section:
//   {"threads":[[{"symbol":...,"offset":N,"library":...},...],...]}
// one array per thread in source order, one object per frame innermost first; an absent symbol or
// library is null. Texts are escaped as in every record file, so the line is valid JSON whatever the
// symbol holds.
//
// The line is written beside, under the hidden name ".<file name>.partial", and renamed to the output
// path only once it is on disk and reads back whole, so the output file either holds the whole line or
// does not exist.
//
// Failure contract: a file that cannot be created logs "[Zevuzavidav:Crash:Symbolication] Failed to
// create output file"; one that cannot be written whole (a full disk) logs "[Zevuzavidav:Crash:
// Symbolication] Failed to write output file <path>". Either way nothing is left at the output path (an
// earlier file there stays as it was) and the partial file is removed.
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
