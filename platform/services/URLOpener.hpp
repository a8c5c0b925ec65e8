#pragma once
// Opening an address in the user's default application (browser, store page, mail).
//
// Failure contract: openURL answers false when the address cannot be handed over; it never blocks on
// the opened application and never runs a shell.
#include <memory>
#include <string>

namespace svc {

class URLOpener {
  public:
    virtual ~URLOpener() = default;
    virtual bool openURL(const std::string& url) = 0;
};

// Hands the address to xdg-open (found on PATH) by posix_spawn (fork and exec, no shell), with the
// address as its one argument and the standard streams on /dev/null.
// False when xdg-open is not installed, the address is empty or starts with "-", or the process cannot
// be started. The child is reaped in the background; its exit status is not awaited.
class XdgURLOpener : public URLOpener {
  public:
    bool openURL(const std::string& url) override;
};

// The opener the app uses (default: XdgURLOpener). The setter installs `opener` (nullptr: the default)
// and answers the one it replaces.
std::shared_ptr<URLOpener> sharedURLOpener();
std::shared_ptr<URLOpener> setSharedURLOpener(std::shared_ptr<URLOpener> opener);

} // namespace svc
