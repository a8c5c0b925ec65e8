#pragma once
// Symbolicates one report folder before it is packaged: loads the report's image list into the
// resolver and, for every crash file of the report that holds thread stacks, builds frames from the
// first "threads" section, names, demangles and writes them to "<record file>.symbolicated" beside it.
// A crash file that already has its symbolicated file (only ever there whole) is left as it is, so a
// folder that an earlier run did part of is finished, not done again. Runs synchronously on the
// caller's thread (start()).
//
// A crash file whose "threads" line was cut short by the end of the crashed process is first given that
// line closed after its last whole thread (zevuzavidav::closeCutArraySectionOfFile), so that the file
// sent and its symbolicated companion hold the threads written whole, the crashed one first.
//
// Failure contract: a report whose image list cannot be read is left unsymbolicated (no output files); a
// crash file that is missing or holds no "threads" section is skipped; frames that cannot be named or
// demangled keep what they have. Nothing throws.
#include "platform/dispatch/Operation.hpp"
#include "sdk/zevuzavidav/store/ZEVInternalReport.hpp"
#include "sdk/zevuzavidav/symbolication/ZEVSymbolResolver.hpp"
#include "sdk/zevuzavidav/symbolication/ZEVThreadArrayOperation.hpp"

#include <memory>
#include <optional>
#include <string>

class ZEVProcessReportOperation final : public dispatch::Operation {
  public:
    ZEVProcessReportOperation(std::shared_ptr<ZEVInternalReport> report,
                              std::shared_ptr<ZEVSymbolResolver> resolver)
        : report_(std::move(report)), symbolResolver_(std::move(resolver)) {}

    const std::shared_ptr<ZEVInternalReport>& report() const { return report_; }
    const std::shared_ptr<ZEVSymbolResolver>& symbolResolver() const { return symbolResolver_; }

    std::string binaryImagePath() const { return report_ ? report_->binaryImagePath() : std::string(); }
    // One entry per thread of the file's first "threads" section (a thread without "stacktrace" gives
    // an empty entry); nothing when the file has no such section.
    static std::optional<ZEVThreadArray> threadArrayFromFile(const std::string& path);
    static bool symbolicateFile(const std::string& path, const std::shared_ptr<ZEVSymbolResolver>& resolver);

    void main() override;

  private:
    std::shared_ptr<ZEVInternalReport> report_;
    std::shared_ptr<ZEVSymbolResolver> symbolResolver_;
};
