#include "app/catalogue/terminal/SaveStatusLine.hpp"

#include "model/ProgressReport.hpp"
#include "platform/foundation/FileContents.hpp"

SaveStatusLine::SaveStatusLine(term::FrontEnd& frontEnd) {
    token_ = ns::NotificationCenter::defaultCenter().addObserver(
        ProgressReport::didSaveNotification, [&frontEnd](const ns::Notification& notification) {
            auto it = notification.userInfo.find(ProgressReport::saveErrorKey);
            const auto* error =
                it == notification.userInfo.end() ? nullptr : std::any_cast<ns::Error>(&it->second);
            frontEnd.setStatus(error ? std::optional<std::string>(text(*error)) : std::nullopt);
        });
}

SaveStatusLine::~SaveStatusLine() {
    ns::NotificationCenter::defaultCenter().removeObserver(token_);
}

std::string SaveStatusLine::reason(const ns::Error& error) {
    const auto& info = error.userInfo();
    auto reason = info.find(ns::failureReasonKey);
    return reason != info.end() ? reason->second : error.localizedDescription();
}

std::string SaveStatusLine::text(const ns::Error& error) {
    return "Progress not saved: " + reason(error) + ". Trying again at your next change.";
}
