#include "sdk/zevuzavidav/beta/ZEVBetaController.hpp"

#include "platform/dispatch/GlobalQueue.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/JSON.hpp"
#include "platform/net/URLError.hpp"
#include "platform/uikit/Application.hpp"
#include "sdk/zevuzavidav/beta/BetaToken.hpp"
#include "sdk/zevuzavidav/context/ZEVApplication.hpp"
#include "sdk/zevuzavidav/report/ZEVAlert.hpp"
#include "sdk/zevuzavidav/report/ZEVReportsController.hpp"
#include "sdk/zovaze/Zovaze.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"
#include "sdk/zovaze/network/ZOVNetworkOperation.hpp"
#include "sdk/zovaze/network/ZOVURLBuilder.hpp"
#include "sdk/zovaze/settings/ZOVSettingsOnboardingManager.hpp"

namespace {

void debugLog(const std::string& line) {
    if (zovaze::debugFlag()) ns::console(line);
}

std::string describe(const std::optional<ns::Error>& error) {
    return error ? error->description() : std::string("(null)");
}

} // namespace

bool ZEVBetaController::isBetaSupported() {
    return !ZEVApplicationIsExtension() && ZOVInstallSource() == 3;
}

zovaze::CertificateArray ZEVBetaController::pinnnedCertificates() {
    auto pinned = ZOVPinnedCertificates();
    return pinned ? *pinned : zovaze::CertificateArray{};
}

std::shared_ptr<ZEVBetaController>
ZEVBetaController::initWithDelegate(std::weak_ptr<ZEVBetaControllerDelegate> delegate) {
    return initWithDelegate(std::move(delegate), Environment{});
}

std::shared_ptr<ZEVBetaController>
ZEVBetaController::initWithDelegate(std::weak_ptr<ZEVBetaControllerDelegate> delegate,
                                    Environment environment) {
    return std::shared_ptr<ZEVBetaController>(
        new ZEVBetaController(std::move(delegate), std::move(environment)));
}

ZEVBetaController::ZEVBetaController(std::weak_ptr<ZEVBetaControllerDelegate> delegate,
                                     Environment environment)
    : delegate_(std::move(delegate)), queue_(std::make_shared<dispatch::SerialQueue>(queueName)),
      environment_(std::move(environment)) {
    if (!environment_.readBetaToken) environment_.readBetaToken = zevuzavidav::readBetaToken;
    if (!environment_.instanceIdentifier)
        environment_.instanceIdentifier = [] { return Zovaze::sharedSDK().instanceIdentifier(); };
    if (!environment_.notificationCenter)
        environment_.notificationCenter = &ns::NotificationCenter::defaultCenter();
    networkClient_ = ZOVNetworkClient::initWithQueue(nullptr, pinnnedCertificates());
    if (!networkClient_) debugLog("[Duvoduvove:Beta] Failed to configure networking");
}

ZEVBetaController::~ZEVBetaController() {
    for (auto token : observers_)
        environment_.notificationCenter->removeObserver(token);
    if (checkSuspensionTimer_) checkSuspensionTimer_->invalidate();
    // Let go by a block of its own queue: the queue cannot wait for itself, so it goes from another
    // thread once that block has finished.
    if (queue_->isCurrent()) dispatch::global().async([queue = std::move(queue_)] {});
}

bool ZEVBetaController::start() {
    if (!betaToken()) return false;
    std::weak_ptr<ZEVBetaController> weak = weak_from_this();
    observers_.push_back(environment_.notificationCenter->addObserver(
        ZOVSettingsAvailableNotification, [weak](const ns::Notification& notification) {
            if (auto self = weak.lock()) self->zovazeSettingsDownloaded(notification);
        }));
    observers_.push_back(environment_.notificationCenter->addObserver(
        ui::applicationWillEnterForegroundNotification, [weak](const ns::Notification& notification) {
            if (auto self = weak.lock()) self->applicationWillEnterForeground(notification);
        }));
    return true;
}

std::optional<std::string> ZEVBetaController::betaToken() {
    std::lock_guard lock(tokenMutex_);
    if (!betaToken_) betaToken_ = environment_.readBetaToken();
    return betaToken_;
}

// --- What the request is made of -------------------------------------------------------------------

ZEVSettings ZEVBetaController::settings() {
    auto delegate = delegate_.lock();
    return delegate ? delegate->settingsForBetaController(*this) : ZEVSettings(nullptr);
}

double ZEVBetaController::betaUpdateSuspendDurationSecs() {
    return settings().betaSuspendDuration();
}

std::string ZEVBetaController::betaEndpoint() {
    return settings().betaEndpoint();
}

std::string ZEVBetaController::appBundleIdentifier() const {
    return ZOVEscapedBundleIdentifier().value_or(std::string());
}

std::string ZEVBetaController::appBuildVersion() const {
    return ZOVBundleVersion().value_or(std::string());
}

std::string ZEVBetaController::appDisplayVersion() const {
    return ZOVBundleShortVersionString().value_or(std::string());
}

std::optional<std::string> ZEVBetaController::appInstanceIdentifier() const {
    return environment_.instanceIdentifier();
}

int ZEVBetaController::appInstallationSource() const {
    return ZOVInstallSource();
}

std::optional<std::string> ZEVBetaController::APIKey() {
    auto delegate = delegate_.lock();
    return delegate ? delegate->APIKeyForBetaController(*this) : std::nullopt;
}

std::optional<std::string> ZEVBetaController::betaUpdateURL() {
    auto builder = ZOVURLBuilder::URLWithBase(betaEndpoint());
    builder->appendComponent("/spi/v2/platforms/");
    builder->escapeAndAppendComponent("ios");
    builder->appendComponent("/apps/");
    builder->escapeAndAppendComponent(appBundleIdentifier());
    builder->appendComponent("/beta_update_check");
    auto text = [](const std::optional<std::string>& value) {
        return value ? ns::PropertyList(*value) : ns::PropertyList();
    };
    builder->appendValue(ns::PropertyList(appBuildVersion()), "build_version");
    builder->appendValue(ns::PropertyList(appDisplayVersion()), "display_version");
    builder->appendValue(text(appInstanceIdentifier()), "instance");
    builder->appendValue(ns::PropertyList(appInstallationSource()), "source");
    return builder->URL();
}

net::URLRequest ZEVBetaController::betaUpdateRequest(const std::string& url) {
    net::URLRequest request(url, net::URLRequestCachePolicy::reloadIgnoringLocalCacheData, requestTimeout);
    request.setHTTPMethod("GET");
    request.setMaximumResponseLength(maximumAnswerLength);
    const std::string locale = ZOVNetworkOperation::localeIdentifier();
    request.setValue(ZEVReportsController::userAgent, "User-Agent");
    request.setValue("application/json", "Accept");
    request.setValue("utf-8", "Accept-Charset");
    request.setValue(locale, "Accept-Language");
    request.setValue(locale, "Content-Language");
    request.setValue(ZOVNetworkOperation::developerToken, "X-Zevuzavidav-Developer-Token");
    request.setValue(ZEVReportsController::clientIdentifier, "X-Zevuzavidav-API-Client-Id");
    request.setValue(ZEVReportsController::clientDisplayVersion, "X-Zevuzavidav-API-Client-Display-Version");
    request.setValue(ZEVReportsController::clientBuildVersion, "X-Zevuzavidav-API-Client-Build-Version");
    if (auto key = APIKey()) request.setValue(*key, "X-Zevuzavidav-API-Key");
    if (auto token = betaToken()) request.setValue(*token, "X-Zevuzavidav-Beta-Token");
    return request;
}

// --- A check ---------------------------------------------------------------------------------------

void ZEVBetaController::checkForUpdate() {
    std::weak_ptr<ZEVBetaController> weak = weak_from_this();
    maybeGetUpdate([weak](const std::shared_ptr<ZEVBetaUpdate>& update) {
        if (auto self = weak.lock()) self->didGetUpdate(update);
    });
}

void ZEVBetaController::applicationWillEnterForeground() {
    checkForUpdate();
}

void ZEVBetaController::zovazeSettingsDownloaded(const ns::Notification&) {
    checkForUpdate();
}

void ZEVBetaController::applicationWillEnterForeground(const ns::Notification&) {
    checkForUpdate();
}

void ZEVBetaController::maybeGetUpdate(UpdateCompletion completion) {
    std::weak_ptr<ZEVBetaController> weak = weak_from_this();
    queue_->async([weak, completion = std::move(completion)] {
        auto self = weak.lock();
        if (!self || !self->shouldGetUpdates() || self->retrying_) return;
        debugLog("[Zevuzavidav:Beta] Loading beta update");
        self->loadUpdateWithCompletionBlock(
            [completion](const std::shared_ptr<ZEVBetaUpdate>& update, const std::optional<ns::Error>&) {
                completion(update);
            });
    });
}

void ZEVBetaController::loadUpdateWithCompletionBlock(LoadCompletion completion) {
    auto url = betaUpdateURL();
    if (!url) {
        // An endpoint that makes no URL cannot be asked; the next check tries the settings again.
        debugLog("[Zevuzavidav:Beta] Failed to load update '" +
                 describe(net::makeURLError(net::URLErrorBadURL, betaEndpoint())) + "'");
        return;
    }
    debugLog("[Zevuzavidav:Beta] Beta Update-Check url string: '" + *url + "'");
    auto request = betaUpdateRequest(*url);
    std::weak_ptr<ZEVBetaController> weak = weak_from_this();
    queue_->async([weak, request = std::move(request), completion = std::move(completion)] {
        auto self = weak.lock();
        // A check that passed the gate while another was starting its request asks nothing more.
        if (!self || self->retrying_.exchange(true)) return;
        // The answer is handled on the controller's queue, so the controller is only ever held there, on
        // the main queue or by its owner, never on a thread of the network client it owns.
        auto finished = [weak, queue = self->queue_,
                         completion](const std::optional<std::vector<std::uint8_t>>& body,
                                     const net::URLResponseRef&, const std::optional<ns::Error>& error) {
            queue->async([weak, body, error, completion] {
                if (auto self = weak.lock())
                    self->handledCompletedBetaRequestWithData(body, error, completion);
            });
        };
        if (!self->networkClient_) {
            finished(std::nullopt, nullptr, ns::Error("ZOVNetworkError", -3));
            return;
        }
        self->networkClient_->startDataTaskWithRequest(request, retryLimit, std::move(finished));
    });
}

void ZEVBetaController::handledCompletedBetaRequestWithData(
    const std::optional<std::vector<std::uint8_t>>& data, const std::optional<ns::Error>& error,
    LoadCompletion completion) {
    if (error || !data || data->empty()) {
        // The request stays "under way": this process asks no more.
        debugLog("[Zevuzavidav:Beta] Failed to load update '" + describe(error) + "'");
        return;
    }
    debugLog("[Zevuzavidav:Beta] Beta update loaded");
    temporarilySuspendChecks();
    retrying_ = false;
    std::optional<ns::Error> parseError;
    auto update = updateWithData(*data, &parseError);
    completion(update, parseError);
}

std::shared_ptr<ZEVBetaUpdate> ZEVBetaController::updateWithData(const std::vector<std::uint8_t>& data,
                                                                 std::optional<ns::Error>* error) {
    auto parsed = ns::parseJSON(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    if (!parsed) {
        auto parseError = ns::Error::make(
            "NSCocoaErrorDomain", 3840, "The data couldn't be read because it isn't in the correct format.");
        debugLog("[Zevuzavidav:Beta] Unable to deserialize beta update data: " + parseError.description());
        if (error) *error = parseError;
        return nullptr;
    }
    std::optional<ns::Error> readError;
    auto update = ZEVBetaUpdate::betaUpdateWithDictionary(*parsed, &readError);
    if (!update) {
        debugLog("[Zevuzavidav:Beta] Unable to read beta update data: " + describe(readError));
        if (error) *error = readError;
    }
    return update;
}

void ZEVBetaController::didGetUpdate(const std::shared_ptr<ZEVBetaUpdate>& update) {
    if (!update) {
        debugLog("[Zevuzavidav:Beta] Beta update url is invalid");
        return;
    }
    std::weak_ptr<ZEVBetaController> weak = weak_from_this();
    dispatch::main().async([weak, update] {
        if (auto self = weak.lock()) self->showBetaAlertForUpdate(update);
    });
}

// --- The pause -------------------------------------------------------------------------------------

bool ZEVBetaController::shouldGetUpdates() {
    return isBetaSupported() && !checksSuspended_;
}

void ZEVBetaController::temporarilySuspendChecks() {
    std::weak_ptr<ZEVBetaController> weak = weak_from_this();
    dispatch::main().async([weak] {
        auto self = weak.lock();
        if (!self) return;
        const double seconds = self->betaUpdateSuspendDurationSecs();
        self->checksSuspended_ = true;
        if (self->checkSuspensionTimer_) self->checkSuspensionTimer_->invalidate();
        self->checkSuspensionTimer_ = dispatch::Timer::scheduled(seconds, false, [weak](dispatch::Timer&) {
            if (auto self = weak.lock()) self->allowChecks();
        });
    });
}

void ZEVBetaController::allowChecks() {
    checksSuspended_ = false;
    if (checkSuspensionTimer_) checkSuspensionTimer_->invalidate();
    checkSuspensionTimer_.reset();
}

// --- The alert -------------------------------------------------------------------------------------

void ZEVBetaController::showBetaAlertForUpdate(const std::shared_ptr<ZEVBetaUpdate>& update) {
    activeUpdate_ = update;
    auto alert = ZEVAlert::alertWithTitle(update->promptTitle(), update->alertMessage(), weak_from_this(),
                                          update->cancelLabel(), update->installLabel());
    alert->show();
}

void ZEVBetaController::alertViewClickedButtonAtIndex(ui::AlertView& alertView, std::int64_t buttonIndex) {
    if (buttonIndex != alertView.cancelButtonIndex() && activeUpdate_) {
        ZEVApplicationOpenURL(activeUpdate_->url(), nullptr, [](bool success) {
            debugLog(std::string("[Zevuzavidav:Beta] Beta update url open ") +
                     (success ? "success" : "failure"));
        });
    }
    activeUpdate_.reset();
}

void ZEVBetaController::alertViewCancel(ui::AlertView&) {
    activeUpdate_.reset();
}
