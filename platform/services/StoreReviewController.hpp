#pragma once
// The system's store review request. On the phone the system decides whether a prompt appears; here a
// request is recorded and the terminal shows it as a notice.
//
// Failure contract: none. Main thread only.
#include <functional>

namespace svc {

class StoreReviewController {
  public:
    static void requestReview();
    static int requestCount();
    // Called on every request (the terminal shows its notice); may be empty.
    static void setObserver(std::function<void()> observer);
    static void reset();
};

} // namespace svc
