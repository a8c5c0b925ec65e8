#include "sdk/rurorad/ZEVEventLog/ZEVEventLogEvent.hpp"

#include <charconv>
#include <cstring>
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
    appendLine(out, timestamp_, key_, payload_ ? std::optional<std::string_view>(*payload_) : std::nullopt);
}

void ZEVEventLogEvent::appendLine(std::string& out, std::uint64_t timestamp, std::string_view key,
                                  std::optional<std::string_view> payload) {
    // The numbers are rendered first, so that the line is sized once and copied in.
    char stamp[24];
    // Written as a signed number, as the server has always read it.
    const std::size_t stampLength = static_cast<std::size_t>(
        std::to_chars(stamp, stamp + sizeof stamp, static_cast<std::int64_t>(timestamp)).ptr - stamp);
    char length[24];
    const std::size_t lengthLength =
        payload ? static_cast<std::size_t>(
                      std::to_chars(length, length + sizeof length, payload->size()).ptr - length)
                : 0;
    const std::size_t at = out.size();
    out.resize(at + stampLength + 1 + key.size() + (payload ? 2 + lengthLength + payload->size() : 0) + 1);
    char* line = out.data() + at;
    const auto put = [&line](const char* bytes, std::size_t count) {
        std::memcpy(line, bytes, count);
        line += count;
    };
    put(stamp, stampLength);
    *line++ = '\t';
    put(key.data(), key.size());
    if (payload) {
        *line++ = '\t';
        put(length, lengthLength);
        *line++ = '\t';
        put(payload->data(), payload->size());
    }
    *line = '\n';
}

std::vector<std::uint8_t> ZEVEventLogEvent::eventData() const {
    std::string line;
    appendEventData(line);
    return std::vector<std::uint8_t>(line.begin(), line.end());
}
