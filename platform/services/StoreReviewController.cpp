#include "platform/services/StoreReviewController.hpp"

#include "platform/foundation/Console.hpp"

namespace svc {

namespace {
int gRequests = 0;
std::function<void()>& observer() {
    static std::function<void()> o;
    return o;
}
} // namespace

void StoreReviewController::requestReview() {
    ++gRequests;
    ns::console("Store review requested");
    if (observer()) observer()();
}

int StoreReviewController::requestCount() {
    return gRequests;
}
void StoreReviewController::setObserver(std::function<void()> o) {
    observer() = std::move(o);
}
void StoreReviewController::reset() {
    gRequests = 0;
    observer() = nullptr;
}

} // namespace svc
