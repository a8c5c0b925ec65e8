#pragma once
// Application facts and helpers of the crash reporter for normal threads: extension identity, the
// shared application object and URL opening, process activities around long work, and delayed work on
// a queue or an operation queue.
//
// This host offers no process activities, so an activity token is the substitute record of the
// options and reason it was begun with; ending it does nothing.
#include "platform/dispatch/OperationQueue.hpp"
#include "platform/dispatch/SerialQueue.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ui {
class Application;
}

// The app extension point identifier of the main bundle (through the platform facts), or nothing.
std::optional<std::string> ZEVApplicationExtensionPointIdentifier();
namespace zevuzavidav {
// Read from the main bundle's Info.plist: "NSExtension"."NSExtensionPointIdentifier". An entry that is
// not a dictionary, or an identifier that is not a text, is logged to the SDK log and gives nothing.
std::optional<std::string> extensionPointIdentifierOfMainBundle();
} // namespace zevuzavidav
bool ZEVApplicationIsExtension();

// The shared application object; null in an app extension, which has none of its own.
ui::Application* ZEVApplicationSharedInstance();

namespace zevuzavidav {
// How an app extension asks its host to open a URL: the answer reaches the completion, possibly later
// and on another thread.
class ExtensionContext {
  public:
    virtual ~ExtensionContext() = default;
    virtual void openURL(const std::string& url, std::function<void(bool success)> completion) = 0;
};
} // namespace zevuzavidav

// Opens the URL through the extension context when one is given, else through the shared application
// (synchronously, so call it on the main thread) and hands the completion its success flag. Without a
// context in an extension nothing is opened and the completion gets false. A null completion is
// allowed.
void ZEVApplicationOpenURL(const std::string& url, zevuzavidav::ExtensionContext* extensionContext,
                           const std::function<void(bool success)>& completion);

namespace zevuzavidav {
struct ActivityToken {
    std::uint64_t options = 0;
    std::string reason;
};
} // namespace zevuzavidav

zevuzavidav::ActivityToken ZEVApplicationBeginActivity(std::uint64_t options, const std::string& reason);
void ZEVApplicationEndActivity(const zevuzavidav::ActivityToken& token);
// Begins an activity, runs the block, ends the activity.
void ZEVApplicationActivity(std::uint64_t options, const std::string& reason,
                            const std::function<void()>& block);

// Runs the block on the queue after `seconds` (negative or not a number counts as 0). The queue is
// kept alive until the block is on it. A null queue or block does nothing.
void ZEVDispatchAfter(const std::shared_ptr<dispatch::SerialQueue>& queue, std::function<void()> block,
                      float seconds);

// After `seconds` (as above), from the default global queue, adds the block to the operation queue,
// which is kept alive until then. A null queue or block does nothing.
void ZEVAddOperationAfterDelay(const std::shared_ptr<dispatch::OperationQueue>& queue,
                               std::function<void()> block, double seconds);
