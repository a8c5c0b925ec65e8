#pragma once
// What the crash-report uploader asks and tells its owner (the crash reporting controller).
#include "platform/foundation/Error.hpp"

#include <optional>
#include <string>

class ZEVNetworkClient;

class ZEVNetworkClientDelegate {
  public:
    virtual ~ZEVNetworkClientDelegate() = default;
    // Asked once, when the client is made.
    virtual bool networkClientCanUseBackgroundSessions(ZEVNetworkClient& client) = 0;
    // An upload ended: the absolute package path, and nothing on success or the error.
    virtual void networkClientDidFinishUploadWithPath(ZEVNetworkClient& client, const std::string& path,
                                                      const std::optional<ns::Error>& error) = 0;
    // An upload task ended (or could not start), so the client may have room for another
    // (canTakeMoreUploads()); on the work queue, or on the thread of an urgent start.
    virtual void networkClientDidEndUploadTask(ZEVNetworkClient&) {}
};
