#pragma once
// Application facts and helpers of the crash reporter for normal threads: extension identity, process
// activities around long work, and delayed work on a queue.
//
// This host offers no process activities, so an activity token is the substitute record of the
// options and reason it was begun with; ending it does nothing.
#include "sdk/zevuzavidav/support/ZEVSerialQueue.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The app extension point identifier of the main bundle (through the platform facts), or nothing.
std::optional<std::string> ZEVApplicationExtensionPointIdentifier();
bool ZEVApplicationIsExtension();

struct ZEVActivityToken {
    std::uint64_t options = 0;
    std::string reason;
};

ZEVActivityToken ZEVApplicationBeginActivity(std::uint64_t options, const std::string& reason);
void ZEVApplicationEndActivity(const ZEVActivityToken& token);
// Begins an activity, runs the block, ends the activity.
void ZEVApplicationActivity(std::uint64_t options, const std::string& reason,
                            const std::function<void()>& block);

// Runs the block on the queue after `seconds` (negative counts as 0). The queue is kept alive until then.
void ZEVDispatchAfter(const std::shared_ptr<ZEVSerialQueue>& queue, std::function<void()> block,
                      float seconds);
