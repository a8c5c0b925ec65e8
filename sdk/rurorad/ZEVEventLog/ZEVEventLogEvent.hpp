#pragma once
// One record of an analytics event log: a priority (0 high, 1 medium, 2 low: which log file it goes
// to), a timestamp in ms since 1970, a key, and an optional payload. It renders itself as one line, the
// form the analytics server receives (no escaping; the length field lets a reader skip a payload that
// holds TAB or LF itself):
//
//   <timestamp as signed decimal> TAB <key> [TAB <payload length in bytes> TAB <payload bytes>] LF
//
// The bracketed part is there only when a payload is present; an empty payload gives length 0.
//
// Failure contract: none; immutable and safe to share between threads.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ZEVEventLogEvent {
  public:
    using Payload = std::optional<std::string>;

    // Which log file of a session fragment a record goes to: one file per priority.
    static constexpr std::uint64_t highPriority = 0;
    static constexpr std::uint64_t mediumPriority = 1;
    static constexpr std::uint64_t lowPriority = 2;
    static constexpr std::size_t priorityCount = 3;

    ZEVEventLogEvent(std::uint64_t priority, std::uint64_t timestamp, std::string key, Payload payload);
    ZEVEventLogEvent(std::uint64_t priority, std::uint64_t timestamp, std::string key)
        : ZEVEventLogEvent(priority, timestamp, std::move(key), std::nullopt) {}
    virtual ~ZEVEventLogEvent() = default;

    std::uint64_t priority() const { return priority_; }
    std::uint64_t timestamp() const { return timestamp_; }
    const std::string& key() const { return key_; }
    const Payload& payload() const { return payload_; }

    // Same priority, timestamp and key, and both payloads absent or both equal.
    bool isEqual(const ZEVEventLogEvent& other) const;
    // priority + 2 x timestamp + 4 x hash(key) + 8 x hash(payload), wrapping; an absent payload hashes 0.
    std::uint64_t hash() const;

    // The line above.
    std::vector<std::uint8_t> eventData() const;
    // The same line, appended to `out` (the writers' path: no allocation beyond the buffer's growth).
    void appendEventData(std::string& out) const;
    // The line of a record with these parts, appended to `out`, for writers that never make the record.
    static void appendLine(std::string& out, std::uint64_t timestamp, std::string_view key,
                           std::optional<std::string_view> payload);

  private:
    std::uint64_t priority_;
    std::uint64_t timestamp_;
    std::string key_;
    Payload payload_;
};
