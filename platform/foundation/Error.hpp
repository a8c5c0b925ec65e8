#pragma once
// An error value in the platform's style: a domain, a code and a user-info dictionary whose
// "NSLocalizedDescription" entry is the text shown to a person.
//
// Failure contract: none. Building, copying and printing an error never fails; a missing description
// prints as a generic one built from domain and code.
#include <map>
#include <string>

namespace ns {

class Error {
  public:
    // The user-info key that holds the human-readable description.
    static constexpr const char* localizedDescriptionKey = "NSLocalizedDescription";

    Error() = default;
    Error(std::string domain, long code, std::map<std::string, std::string> userInfo = {});
    // Shorthand for the common case: a domain, a code and a description.
    static Error make(std::string domain, long code, std::string description);

    const std::string& domain() const { return domain_; }
    long code() const { return code_; }
    const std::map<std::string, std::string>& userInfo() const { return userInfo_; }

    // The description from the user info, else "The operation couldn't be completed. (<domain> error
    // <code>.)".
    std::string localizedDescription() const;

    // The printed form: Error Domain=<domain> Code=<code> "<description>" UserInfo={key=value, ...}
    std::string description() const;

    bool operator==(const Error& other) const = default;

  private:
    std::string domain_;
    long code_ = 0;
    std::map<std::string, std::string> userInfo_;
};

} // namespace ns
