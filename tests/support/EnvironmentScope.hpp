#pragma once
// Environment variables set (or unset) for one test, each put back as it was, set or not, on every way
// out of the test.
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velotest {

class EnvironmentScope {
  public:
    // Each name with its value for the test; no value unsets it.
    explicit EnvironmentScope(std::vector<std::pair<std::string, std::optional<std::string>>> values) {
        for (auto& [name, value] : values) {
            const char* before = std::getenv(name.c_str());
            saved_.emplace_back(name, before ? std::optional<std::string>(before) : std::nullopt);
            apply(name, value);
        }
    }
    ~EnvironmentScope() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            apply(it->first, it->second);
    }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

  private:
    static void apply(const std::string& name, const std::optional<std::string>& value) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// The variables through which libcurl finds a proxy, each naming `proxy`, and none that exempts a host.
inline std::vector<std::pair<std::string, std::optional<std::string>>>
everyRequestThrough(const std::string& proxy) {
    std::vector<std::pair<std::string, std::optional<std::string>>> values;
    for (const char* name :
         {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        values.emplace_back(name, proxy);
    for (const char* name : {"no_proxy", "NO_PROXY"})
        values.emplace_back(name, std::nullopt);
    return values;
}

} // namespace velotest
