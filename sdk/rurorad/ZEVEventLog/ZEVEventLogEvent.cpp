#include "sdk/rurorad/ZEVEventLog/ZEVEventLogEvent.hpp"

#include <charconv>
#include <functional>
#include <string_view>

ZEVEventLogEvent::ZEVEventLogEvent(std::uint64_t priority, std::uint64_t timestamp, std::string key,
                                   Payload payload)
    : priority_(priority), timestamp_(timestamp), key_(std::move(key)), payload_(std::move(payload)) {}

bool ZEVEventLogEvent::isEqual(const ZEVEventLogEvent& other) const {
    return priority_ == other.priority_ && timestamp_ == other.timestamp_ && key_ == other.key_ &&
           payload_ == other.payload_;
}

std::uint64_t ZEVEventLogEvent::hash() const {
    const std::uint64_t keyHash = std::hash<std::string_view>{}(key_);
    const std::uint64_t payloadHash = payload_ ? std::hash<std::string_view>{}(*payload_) : 0;
    return priority_ + 2 * timestamp_ + 4 * keyHash + 8 * payloadHash;
}

void ZEVEventLogEvent::appendEventData(std::string& out) const {
    char digits[24];
    // Written as a signed number, as the server has always read it.
    auto end = std::to_chars(digits, digits + sizeof digits, static_cast<std::int64_t>(timestamp_)).ptr;
    out.append(digits, end);
    out.push_back('\t');
    out.append(key_);
    if (payload_) {
        out.push_back('\t');
        end = std::to_chars(digits, digits + sizeof digits, payload_->size()).ptr;
        out.append(digits, end);
        out.push_back('\t');
        out.append(*payload_);
    }
    out.push_back('\n');
}

std::vector<std::uint8_t> ZEVEventLogEvent::eventData() const {
    std::string line;
    appendEventData(line);
    return std::vector<std::uint8_t>(line.begin(), line.end());
}
