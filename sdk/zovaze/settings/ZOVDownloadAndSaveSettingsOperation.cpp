#include "sdk/zovaze/settings/ZOVDownloadAndSaveSettingsOperation.hpp"

#include "platform/foundation/FileContents.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"
#include "sdk/zovaze/network/ZOVNetworkError.hpp"
#include "sdk/zovaze/settings/ZOVSettings.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

ns::Error cacheError(long code, const std::string& description) {
    return ns::Error::make(zovaze::kSettingsCacheErrorDomain, code, description);
}

bool flushFile(const fs::path& path) {
    const int fd = ns::openRegularFile(path, O_RDONLY);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

std::shared_ptr<ZOVDownloadAndSaveSettingsOperation> ZOVDownloadAndSaveSettingsOperation::initWithAPIKey(
    const std::optional<std::string>& APIKey,
    std::weak_ptr<ZOVDownloadAndSaveSettingsOperationDelegate> delegate, std::string settingsURL,
    std::string settingsDirectoryPath, std::string settingsFilePath,
    std::optional<std::string> installIdentifier, std::optional<std::string> advertisingToken,
    std::weak_ptr<ZOVNetworkClient> networkClient) {
    auto operation = ZOVNetworkOperation::initWithAPIKey<ZOVDownloadAndSaveSettingsOperation>(APIKey);
    if (!operation) return nullptr;
    operation->delegate_ = std::move(delegate);
    operation->settingsURL_ = std::move(settingsURL);
    operation->settingsDirectoryPath_ = std::move(settingsDirectoryPath);
    operation->settingsFilePath_ = std::move(settingsFilePath);
    operation->installIdentifier_ = std::move(installIdentifier);
    if (ZOVShouldReportDeviceIdentifiers()) {
        operation->advertisingToken_ = std::move(advertisingToken);
    } else if (zovaze::debugFlag()) {
        ns::console("[Zovaze] Suppressing device identifier reporting");
    }
    operation->networkClient_ = std::move(networkClient);
    return operation;
}

net::URLRequest
ZOVDownloadAndSaveSettingsOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
    const std::string& URL) const {
    net::URLRequest request =
        ZOVNetworkOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(URL);
    request.setHTTPMethod("GET");
    // Cut off past what a settings document can be: nothing of a longer answer reaches the cache.
    request.setMaximumResponseLength(ZOVSettings::maximumDocumentLength);
    auto set = [&request](const std::optional<std::string>& value, const char* name) {
        if (value) request.setValue(*value, name);
    };
    request.setValue("application/json", "Accept");
    set(installIdentifier_, "X-Zevuzavidav-Installation-ID");
    set(ZOVDeviceModel(), "X-Zevuzavidav-Device-Model");
    set(ZOVOSBuildVersion(), "X-Zevuzavidav-OS-Build-Version");
    request.setValue(ZOVOSDisplayVersion(), "X-Zevuzavidav-OS-Display-Version");
    request.setValue(clientDisplayVersion, "X-Zevuzavidav-API-Client-Version");
    if (advertisingToken_ && !advertisingToken_->empty()) {
        request.setValue(*advertisingToken_, "X-Zevuzavidav-Advertising-Token");
    }
    return request;
}

void ZOVDownloadAndSaveSettingsOperation::main() {
    const net::URLRequest request = mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(settingsURL_);
    auto client = networkClient_.lock();
    if (!client) {
        // The manager closed its client before this request could go out.
        complete(ns::Error(zovaze::kNetworkErrorDomain, ZOVNetworkErrorCodeTaskCreationFailed));
        return;
    }
    auto self = std::static_pointer_cast<ZOVDownloadAndSaveSettingsOperation>(shared_from_this());
    client->startDownloadTaskWithRequest(
        request, 1,
        [self](const std::optional<std::string>& fileURL, const net::URLResponseRef&,
               const std::optional<ns::Error>& error) {
            if (error) {
                self->complete(error);
                return;
            }
            std::optional<ns::Error> moveError =
                fileURL ? replaceSettingsFile(*fileURL, self->settingsDirectoryPath_, self->settingsFilePath_)
                        : cacheError(1, "The download gave no file.");
            if (moveError)
                ns::console("[Zovaze] Unable to complete settings download " + moveError->description());
            self->complete(moveError);
        });
}

void ZOVDownloadAndSaveSettingsOperation::complete(const std::optional<ns::Error>& error) {
    error_ = error;
    if (auto delegate = delegate_.lock()) delegate->operation(*this, error_);
    finish();
}

std::optional<ns::Error>
ZOVDownloadAndSaveSettingsOperation::replaceSettingsFile(const std::string& downloadedFile,
                                                         const std::string& settingsDirectoryPath,
                                                         const std::string& settingsFilePath) {
    std::error_code ignored;
    // From the sandbox's Library down every folder on the way is checked as a folder (a link replaced)
    // before anything is put in it or removed from it.
    if (!ns::Sandbox::makeOwnFolder(settingsDirectoryPath, ignored, settingsDirectoryPath))
        return cacheError(ignored.value(), "The settings folder couldn't be made: " + ignored.message());
    const fs::path target(settingsFilePath);
    // Staged beside the target so that the final rename stays within one file system and is atomic.
    const fs::path staged = target.parent_path() / (target.filename().string() + ".download");
    std::error_code error;
    fs::rename(downloadedFile, staged, error);
    if (error) {
        error.clear();
        // Whatever is in the staging place goes first: a copy would write through a link there.
        fs::remove(staged, error);
        if (!error) fs::copy_file(downloadedFile, staged, fs::copy_options::overwrite_existing, error);
    }
    if (!error && !flushFile(staged)) error = std::error_code(errno, std::generic_category());
    const bool isStaged = !error;
    if (isStaged) fs::rename(staged, target, error);
    if (isStaged && error && fs::is_directory(fs::symlink_status(target, ignored))) {
        // A folder in the file's place holds no readable settings; with the new file safely staged, it
        // goes, or no download could ever be put in place again.
        error.clear();
        fs::remove_all(target, error);
        if (!error) fs::rename(staged, target, error);
    }
    if (error) {
        fs::remove(staged, ignored);
        return cacheError(error.value(), "\"" + target.filename().string() +
                                             "\" couldn't be put in place: " + error.message());
    }
    // One "settings.json" is all the directory ever holds.
    if (auto names = ns::listDirectory(settingsDirectoryPath))
        for (const auto& name : *names)
            if (name != target.filename()) fs::remove_all(fs::path(settingsDirectoryPath) / name, ignored);
    return std::nullopt;
}
