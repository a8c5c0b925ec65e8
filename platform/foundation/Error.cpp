#include "platform/foundation/Error.hpp"

namespace ns {

Error::Error(std::string domain, long code, std::map<std::string, std::string> userInfo)
    : domain_(std::move(domain)), code_(code), userInfo_(std::move(userInfo)) {}

Error Error::make(std::string domain, long code, std::string description) {
    return Error(std::move(domain), code, {{localizedDescriptionKey, std::move(description)}});
}

std::string Error::localizedDescription() const {
    if (auto it = userInfo_.find(localizedDescriptionKey); it != userInfo_.end()) return it->second;
    return "The operation couldn't be completed. (" + domain_ + " error " + std::to_string(code_) + ".)";
}

std::string Error::description() const {
    std::string out =
        "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" + localizedDescription() + "\"";
    if (!userInfo_.empty()) {
        out += " UserInfo={";
        bool first = true;
        for (const auto& [key, value] : userInfo_) {
            if (!first) out += ", ";
            first = false;
            out += key + "=" + value;
        }
        out += "}";
    }
    return out;
}

} // namespace ns
