#pragma once
// An event log: a ZEVEventLogFile whose appends are event lines (ZEVEventLogEvent).
//
// Failure contract: as ZEVEventLogFile; a failed append writes nothing of that event.
#include "sdk/rurorad/ZEVEventLog/ZEVEventLogEvent.hpp"
#include "sdk/rurorad/ZEVEventLog/ZEVEventLogFile.hpp"

class ZEVEventLogEventFile : public ZEVEventLogFile {
  public:
    static std::unique_ptr<ZEVEventLogEventFile> initWithURL(const std::string& fileURL);

    ns::Result<void> appendEvent(const ZEVEventLogEvent& event);
    // The line of an event with these parts (ZEVEventLogEvent::appendLine).
    ns::Result<void> appendEvent(std::uint64_t timestamp, std::string_view key,
                                 std::optional<std::string_view> payload);

  private:
    using ZEVEventLogFile::ZEVEventLogFile;
    // A reused line buffer: appends run one at a time (see ZEVEventLogFile).
    std::string line_;
};
