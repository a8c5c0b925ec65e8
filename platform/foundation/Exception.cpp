#include "platform/foundation/Exception.hpp"

namespace ns {

Exception::Exception(std::string name, std::string reason, std::map<std::string, std::string> userInfo)
    : name_(std::move(name)), reason_(std::move(reason)), userInfo_(std::move(userInfo)),
      what_(name_ + ": " + reason_) {}

} // namespace ns
