#pragma once
// A temporary sandbox home and main bundle for SDK tests, restored afterwards.
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "tests/support/TempBundle.hpp"
#include "tests/support/TempHome.hpp"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace zovtest {

class SDKHome {
  public:
    explicit SDKHome(const ns::PropertyList::Dictionary& info) {
        ns::Sandbox::setHome(home_.path());
        bundle_.writeInfo(info);
        ns::Bundle::setMainBundlePath(bundle_.path());
    }
    ~SDKHome() {
        ns::Bundle::setMainBundlePath({});
        ns::Sandbox::reset();
    }
    SDKHome(const SDKHome&) = delete;
    SDKHome& operator=(const SDKHome&) = delete;

    const std::filesystem::path& home() const { return home_.path(); }
    const TempBundle& bundle() const { return bundle_; }

  private:
    velotest::TempFolder home_;
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
