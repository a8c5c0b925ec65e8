#include "app/lesson/VideoPlayerViewController.hpp"

#include "platform/services/URLOpener.hpp"

bool VideoPlayerViewController::play() {
    return playerURL_ && svc::sharedURLOpener()->openURL(*playerURL_);
}
