#pragma once
// Downloads the app's server settings with one GET (retry limit 1) and puts the answer, byte for byte,
// into the settings cache as "settings.json". Reports once to its delegate, then finishes.
//
// The request carries the SDK's default headers (10-second timeout), "Accept: application/json", the
// installation identifier, device model, OS build and display versions, the API client version
// "1.6.0", and the advertising token when one is kept (only when device identifiers may be reported,
// and only when it is not empty).
//
// Failure contract: a network, status or content-type failure goes to the delegate as the client's
// error and leaves the cache untouched. On success the new file replaces the old one atomically (it is
// staged beside it and renamed over it), so a failed move keeps the previous settings; the failure is
// logged ("[Zovaze] Unable to complete settings download <error>") and reported to the delegate in
// domain "ZOVSettingsCacheError". A folder standing where "settings.json" belongs is removed so the
// new file can take its place. After a successful replacement nothing but "settings.json" is left in
// the directory. Construction fails (null) without an API key.
#include "platform/foundation/Error.hpp"
#include "sdk/zovaze/network/ZOVNetworkClient.hpp"
#include "sdk/zovaze/network/ZOVNetworkOperation.hpp"

#include <memory>
#include <optional>
#include <string>

namespace zovaze {
inline constexpr const char* kSettingsCacheErrorDomain = "ZOVSettingsCacheError";
} // namespace zovaze

class ZOVDownloadAndSaveSettingsOperation;

class ZOVDownloadAndSaveSettingsOperationDelegate {
  public:
    virtual ~ZOVDownloadAndSaveSettingsOperationDelegate() = default;
    virtual void operation(ZOVDownloadAndSaveSettingsOperation& operation,
                           const std::optional<ns::Error>& error) = 0;
};

class ZOVDownloadAndSaveSettingsOperation : public ZOVNetworkOperation {
  public:
    static std::shared_ptr<ZOVDownloadAndSaveSettingsOperation>
    initWithAPIKey(const std::optional<std::string>& APIKey,
                   std::weak_ptr<ZOVDownloadAndSaveSettingsOperationDelegate> delegate,
                   std::string settingsURL, std::string settingsDirectoryPath, std::string settingsFilePath,
                   std::optional<std::string> installIdentifier, std::optional<std::string> advertisingToken,
                   std::weak_ptr<ZOVNetworkClient> networkClient);

    net::URLRequest
    mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(const std::string& URL) const override;
    void main() override;

    const std::optional<ns::Error>& error() const { return error_; }
    const std::string& settingsURL() const { return settingsURL_; }
    const std::string& settingsDirectoryPath() const { return settingsDirectoryPath_; }
    const std::string& settingsFilePath() const { return settingsFilePath_; }
    const std::optional<std::string>& installIdentifier() const { return installIdentifier_; }
    const std::optional<std::string>& advertisingToken() const { return advertisingToken_; }

    // Puts `downloadedFile` in place as `settingsFilePath` (see the failure contract); public for tests.
    static std::optional<ns::Error> replaceSettingsFile(const std::string& downloadedFile,
                                                        const std::string& settingsDirectoryPath,
                                                        const std::string& settingsFilePath);

  private:
    friend class ZOVNetworkOperation;
    explicit ZOVDownloadAndSaveSettingsOperation(std::string APIKey)
        : ZOVNetworkOperation(std::move(APIKey)) {}
    void complete(const std::optional<ns::Error>& error);

    std::weak_ptr<ZOVDownloadAndSaveSettingsOperationDelegate> delegate_;
    std::optional<ns::Error> error_;
    std::string settingsURL_;
    std::string settingsDirectoryPath_;
    std::string settingsFilePath_;
    std::optional<std::string> installIdentifier_;
    std::optional<std::string> advertisingToken_;
    std::weak_ptr<ZOVNetworkClient> networkClient_;
};
