#pragma once
// A temporary sandbox home and main bundle for SDK tests, restored afterwards.
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "tests/sdk/zovaze/support/TempBundle.hpp"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace zovtest {

class SDKHome {
  public:
    explicit SDKHome(const ns::PropertyList::Dictionary& info) {
        std::string pattern = (std::filesystem::temp_directory_path() / "zov-home-XXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        home_ = made ? std::filesystem::path(made) : std::filesystem::path();
        ns::Sandbox::setHome(home_);
        bundle_.writeInfo(info);
        ns::Bundle::setMainBundlePath(bundle_.path());
    }
    ~SDKHome() {
        ns::Bundle::setMainBundlePath({});
        ns::Sandbox::reset();
        std::error_code ignored;
        std::filesystem::remove_all(home_, ignored);
    }
    SDKHome(const SDKHome&) = delete;
    SDKHome& operator=(const SDKHome&) = delete;

    const std::filesystem::path& home() const { return home_; }
    const TempBundle& bundle() const { return bundle_; }

  private:
    std::filesystem::path home_;
    TempBundle bundle_;
};

// Sets an environment variable for one test.
class ScopedEnvironment {
  public:
    ScopedEnvironment(std::string name, const std::string& value) : name_(std::move(name)) {
        ::setenv(name_.c_str(), value.c_str(), 1);
    }
    ~ScopedEnvironment() { ::unsetenv(name_.c_str()); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    std::string name_;
};

} // namespace zovtest
