#include "app/catalogue/terminal/URLOpening.hpp"

#include "platform/foundation/Text.hpp"
#include "platform/services/URLOpener.hpp"

namespace {

bool startsWith(const std::string& text, std::string_view prefix) {
    return text.rfind(prefix, 0) == 0;
}

} // namespace

std::string couldNotOpenNotice(const std::string& url) {
    const std::string lower = ns::lowercased(url);
    if (startsWith(lower, "itms-apps:") || startsWith(lower, "itms:") || startsWith(lower, "macappstore:") ||
        startsWith(lower, "https://apps.apple.com/"))
        return "The store page could not be opened on this system.";
    if (startsWith(lower, "mailto:")) return "No mail program could be started on this system.";
    if (startsWith(lower, "http://") || startsWith(lower, "https://"))
        return "The web page could not be opened: no browser could be started on this system.";
    return "The link could not be opened on this system.";
}

std::function<bool(const std::string& url)> openURLThroughDesktop(term::FrontEnd& frontEnd) {
    return [&frontEnd](const std::string& url) {
        const bool opened = svc::sharedURLOpener()->openURL(url);
        if (!opened) frontEnd.notice(couldNotOpenNotice(url));
        return opened;
    };
}
