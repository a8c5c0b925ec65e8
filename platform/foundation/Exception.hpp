#pragma once
// The platform's exception: a name (such as "NSInvalidArgumentException"), a reason and optional user
// info. It is what the SDK's uncaught-exception path reports; the platform layer itself never throws it
// across its own interfaces.
//
// Failure contract: none; what() is valid for the object's lifetime.
#include <exception>
#include <map>
#include <string>

namespace ns {

class Exception : public std::exception {
  public:
    Exception(std::string name, std::string reason, std::map<std::string, std::string> userInfo = {});

    const std::string& name() const { return name_; }
    const std::string& reason() const { return reason_; }
    const std::map<std::string, std::string>& userInfo() const { return userInfo_; }

    // "<name>: <reason>"
    const char* what() const noexcept override { return what_.c_str(); }

  private:
    std::string name_;
    std::string reason_;
    std::map<std::string, std::string> userInfo_;
    std::string what_;
};

} // namespace ns
