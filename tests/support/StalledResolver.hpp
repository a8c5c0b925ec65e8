#pragma once
// For a test program linked with the stalled resolver (StalledResolver.c, the library
// velo_test_stalled_resolver): a look-up of a name under kStalledDomain waits until the test releases it,
// as one waits on a name server that never answers.
//
//   StalledLookups stalled;                      // releases what it held when the test ends
//   ... start a request to https://api.stalled.invalid/ ...
//   ASSERT_TRUE(stalled.inProgress());           // the look-up has begun and waits
//
// While it lives no proxy variable is set, so a request's look-up is of its own host's name.
//
// Failure contract: inProgress() answers false when no look-up began within kPatience.
#include "tests/support/EnvironmentScope.hpp"
#include "tests/support/Waiter.hpp"

#include <chrono>
#include <functional>
#include <thread>

extern "C" {
int velo_stalled_lookups(void);
void velo_release_stalled_lookups(void);
}

namespace velotest {

inline constexpr const char* kStalledDomain = "stalled.invalid";

class StalledLookups {
  public:
    StalledLookups() : direct_(withoutProxy()), before_(velo_stalled_lookups()) {}
    // What was held is let go, failing as a look-up that timed out, so no thread of the test waits on.
    ~StalledLookups() { velo_release_stalled_lookups(); }
    StalledLookups(const StalledLookups&) = delete;
    StalledLookups& operator=(const StalledLookups&) = delete;

    // Waits until `count` look-ups more than when this was made are held.
    bool inProgress(int count = 1) const {
        return eventually([&] { return velo_stalled_lookups() >= before_ + count; },
                          std::chrono::milliseconds(2));
    }
    // The look-ups held now (none ends before the release, so this only grows until then).
    int held() const { return velo_stalled_lookups(); }
    // Runs `call` (a stop, a destructor) on a thread of its own: true when it returned while the look-ups
    // still waited. They are released once that wait is over, before the thread is joined, so a call
    // that waits for a look-up fails the test after kPatience rather than holding it.
    bool returnsWhileTheLookUpsWait(const std::function<void()>& call) {
        Waiter<int> returned;
        std::thread caller([&] {
            call();
            returned.set(velo_stalled_lookups());
        });
        const auto heldThen = returned.wait();
        velo_release_stalled_lookups();
        caller.join();
        return heldThen && *heldThen > before_;
    }

  private:
    static std::vector<std::pair<std::string, std::optional<std::string>>> withoutProxy() {
        std::vector<std::pair<std::string, std::optional<std::string>>> values;
        for (const char* name :
             {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
            values.emplace_back(name, std::nullopt);
        return values;
    }
    EnvironmentScope direct_;
    int before_;
};

} // namespace velotest
