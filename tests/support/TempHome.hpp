#pragma once
// Temporary folders for tests: TempFolder is a fresh empty folder removed afterwards with all it holds;
// TempHome is one installed as the sandbox home (ns::Sandbox::setHome) for its lifetime, so a test never
// touches the real home. Every test that needs a folder of its own takes one of these, so none builds a
// path from a failed mkdtemp.
//
// A test process killed before its folders' owners remove them (at ctest's timeout, say) leaves them
// behind, unless something outside it removes them then: LiveFolders tells such a watcher (the tmux
// watchdog, tests/support/Tmux.hpp) of every folder living when it starts watching and of each made
// after, one path a line on a socket, and the watcher removes them all once the process has gone.
//
// Failure contract: when no folder can be made the constructor throws std::system_error naming the
// pattern and the reason, which fails the test there (gtest reports the exception) instead of letting it
// go on with an empty path. A watcher that cannot take a path at once (its socket full or gone) is not
// told of it: the folder is then only removed by its owner.
#include "platform/foundation/Sandbox.hpp"
#include "tools/scratch/TempFolder.hpp"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <pthread.h>
#include <set>
#include <string>
#include <sys/socket.h>
#include <system_error>
#include <utility>
#include <vector>

namespace velotest {

class LiveFolders {
  public:
    // Never destroyed: folders may still go while the process exits.
    static LiveFolders& shared() {
        static auto* const live = new LiveFolders;
        return *live;
    }
    void add(const std::string& path) {
        std::lock_guard lock(mutex_);
        paths_.insert(path);
        for (int watcher : watchers_)
            tell(watcher, path);
    }
    void remove(const std::string& path) {
        std::lock_guard lock(mutex_);
        paths_.erase(path);
    }
    // `socket` is told of every living folder, and of each made until unwatch().
    void watch(int socket) {
        std::lock_guard lock(mutex_);
        watchers_.push_back(socket);
        for (const auto& path : paths_)
            tell(socket, path);
    }
    void unwatch(int socket) {
        std::lock_guard lock(mutex_);
        watchers_.erase(std::remove(watchers_.begin(), watchers_.end(), socket), watchers_.end());
    }

  private:
    // A child forked while another thread holds the lock would wait for it for ever when it makes a
    // folder of its own (that thread is not in the child): a fork waits for the lock, and both sides let
    // it go.
    LiveFolders() {
        ::pthread_atfork([] { shared().mutex_.lock(); }, [] { shared().mutex_.unlock(); },
                         [] { shared().mutex_.unlock(); });
    }
    static void tell(int socket, const std::string& path) {
        const std::string line = path + "\n";
        [[maybe_unused]] const ssize_t sent =
            ::send(socket, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    std::mutex mutex_;
    std::set<std::string> paths_;
    std::vector<int> watchers_;
};

// The registry is made before main, while the process has one thread: a child forked while another
// thread was still making it would wait for ever for that thread to finish.
inline LiveFolders& liveFoldersMadeAtStart = LiveFolders::shared();

// velotools::TempFolder (the one benchmarks use too), known to LiveFolders while it lives. One handed
// over (release()) stays known: its new owner is this process still, and it too is left by a kill.
class TempFolder : public velotools::TempFolder {
  public:
    explicit TempFolder(const std::string& prefix = "velo-test") : velotools::TempFolder(prefix) {
        LiveFolders::shared().add(string());
    }
    TempFolder(TempFolder&& other) noexcept = default;
    // Removed before it is forgotten, so that a kill in between still finds it known.
    ~TempFolder() {
        if (path().empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(path(), ignored);
        LiveFolders::shared().remove(string());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
};

class TempHome : public TempFolder {
  public:
    TempHome() { ns::Sandbox::setHome(path()); }
    ~TempHome() { ns::Sandbox::reset(); }
};

} // namespace velotest
