#include "platform/services/UserContentController.hpp"

namespace svc {

bool UserContentController::addScriptMessageHandler(std::shared_ptr<ScriptMessageHandler> handler,
                                                    const std::string& name) {
    if (!handler) return false;
    return handlers_.emplace(name, std::move(handler)).second;
}

std::shared_ptr<ScriptMessageHandler>
UserContentController::scriptMessageHandlerForName(const std::string& name) const {
    auto found = handlers_.find(name);
    return found == handlers_.end() ? nullptr : found->second;
}

bool UserContentController::didReceiveScriptMessage(const ScriptMessage& message) {
    // Held for the call: a handler that removes itself while it answers stays alive until it returns.
    auto handler = scriptMessageHandlerForName(message.name);
    if (!handler) return false;
    handler->userContentControllerDidReceiveScriptMessage(*this, message);
    return true;
}

} // namespace svc
