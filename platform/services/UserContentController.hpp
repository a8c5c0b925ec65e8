#pragma once
// What the pages of a web view share with the app: user scripts put into every page the view loads, and
// named script message handlers that a page reaches with
// window.webkit.messageHandlers.<name>.postMessage(body). One controller belongs to a web view's
// configuration (WebView.hpp) and is shared by the views made with it.
//
// This host's web view runs no scripts, so no page ever posts here by itself: the controller keeps the
// scripts and handlers it is given, and didReceiveScriptMessage() is the one road by which a message
// reaches its handler (a script engine would take it; tests do).
//
// Failure contract: adding a handler under a name that is already taken adds nothing and answers false
// (the phone's controller raises there); delivering to a name that nobody handles does nothing and
// answers false. Handlers are held strongly until removed. Main thread only.
#include <nlohmann/json.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace svc {

enum class UserScriptInjectionTime : int {
    atDocumentStart = 0,
    atDocumentEnd = 1,
};

struct UserScript {
    std::string source;
    UserScriptInjectionTime injectionTime = UserScriptInjectionTime::atDocumentStart;
    bool forMainFrameOnly = true;
};

// What a page posted: the handler's name and the posted value as the page's script engine hands it
// over (objects, arrays, texts, numbers, booleans, null).
struct ScriptMessage {
    std::string name;
    nlohmann::json body;
};

class UserContentController;

class ScriptMessageHandler {
  public:
    virtual ~ScriptMessageHandler() = default;
    virtual void userContentControllerDidReceiveScriptMessage(UserContentController& controller,
                                                              const ScriptMessage& message) = 0;
};

class UserContentController {
  public:
    void addUserScript(UserScript script) { userScripts_.push_back(std::move(script)); }
    const std::vector<UserScript>& userScripts() const { return userScripts_; }
    void removeAllUserScripts() { userScripts_.clear(); }

    bool addScriptMessageHandler(std::shared_ptr<ScriptMessageHandler> handler, const std::string& name);
    void removeScriptMessageHandlerForName(const std::string& name) { handlers_.erase(name); }
    std::shared_ptr<ScriptMessageHandler> scriptMessageHandlerForName(const std::string& name) const;

    // Hands a page's message to the handler registered under its name.
    bool didReceiveScriptMessage(const ScriptMessage& message);

  private:
    std::vector<UserScript> userScripts_;
    std::map<std::string, std::shared_ptr<ScriptMessageHandler>> handlers_;
};

} // namespace svc
