// The start of crash reporting and the state of the launch; earlier reports are in
// ZEVCrashReportingControllerEarlierReports.cpp.
#include "sdk/zevuzavidav/report/ZEVCrashReportingController.hpp"

#include "platform/foundation/FileContents.hpp"

#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/uikit/Application.hpp"
#include "platform/uikit/Device.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"
#include "sdk/zevuzavidav/capture/ZEVExceptionHandler.hpp"
#include "sdk/zevuzavidav/capture/ZEVMachException.hpp"
#include "sdk/zevuzavidav/capture/ZEVSignal.hpp"
#include "sdk/zevuzavidav/context/ZEVApplication.hpp"
#include "sdk/zevuzavidav/logging/ZEVUserLogging.hpp"
#include "sdk/zovaze/Zovaze.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"

#include <charconv>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kInBackgroundKey = "com.zevuzavidav.in-background";
constexpr const char* kDeviceOrientationKey = "com.zevuzavidav.device-orientation";
constexpr const char* kUIOrientationKey = "com.zevuzavidav.ui-orientation";

void debugLog(const std::string& line) {
    if (zovaze::debugFlag()) ns::console(line);
}

// The shortest text that reads back as the same double.
std::string describeDouble(double value) {
    char buffer[32];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string("0");
}

std::string deviceOrientationText() {
    return std::to_string(static_cast<long>(ui::Device::current().orientation()));
}

// 0 where there is no shared application (an app extension).
std::string interfaceOrientationText() {
    ui::Application* application = ZEVApplicationSharedInstance();
    return std::to_string(application ? static_cast<long>(application->statusBarOrientation()) : 0L);
}

// Runs on the logging queue of the crash context, when there is one.
void onLoggingQueue(std::function<void()> block) {
    if (auto queue = zevuzavidav::sharedCrashContext().loggingQueue) queue->async(std::move(block));
}

} // namespace

std::shared_ptr<ZEVCrashReportingController>
ZEVCrashReportingController::initWithFileManager(std::shared_ptr<ZEVFileManager> fileManager,
                                                 std::weak_ptr<ZEVCrashReportingControllerDelegate> delegate,
                                                 Environment environment) {
    std::shared_ptr<ZEVCrashReportingController> controller(
        new ZEVCrashReportingController(std::move(fileManager), std::move(delegate), std::move(environment)));
    controller->networkClient_ =
        ZEVNetworkClient::initWithQueue(controller->operationQueue_, controller->fileManager_, controller);
    return controller;
}

ZEVCrashReportingController::ZEVCrashReportingController(
    std::shared_ptr<ZEVFileManager> fileManager, std::weak_ptr<ZEVCrashReportingControllerDelegate> delegate,
    Environment environment)
    : fileManager_(std::move(fileManager)), delegate_(std::move(delegate)),
      environment_(std::move(environment)),
      operationQueue_(std::make_shared<dispatch::OperationQueue>(workQueueName)) {
    operationQueue_->setMaxConcurrentOperationCount(1);
    if (!environment_.executionIdentifier)
        environment_.executionIdentifier = [] { return Zovaze::sharedSDK().executionIdentifier(); };
}

ZEVCrashReportingController::~ZEVCrashReportingController() {
    for (auto token : observers_)
        ns::NotificationCenter::defaultCenter().removeObserver(token);
}

void ZEVCrashReportingController::onWorkQueue(std::function<void(ZEVCrashReportingController& self)> work) {
    std::weak_ptr<ZEVCrashReportingController> weak = weak_from_this();
    operationQueue_->addOperation([weak, work = std::move(work)] {
        if (auto self = weak.lock()) work(*self);
    });
}

void ZEVCrashReportingController::onMainQueue(std::function<void(ZEVCrashReportingController& self)> work,
                                              double delaySeconds) {
    std::weak_ptr<ZEVCrashReportingController> weak = weak_from_this();
    dispatch::main().asyncAfter(delaySeconds, [weak, work = std::move(work)] {
        if (auto self = weak.lock()) work(*self);
    });
}

bool ZEVCrashReportingController::startWithProfilingMark(std::uint64_t profilingMark,
                                                         const std::optional<std::string>& betaToken) {
    if (!checkPreconditions()) return false;
    if (!settings().crashReportingEnabled()) {
        ns::console("[Zevuzavidav:Crash] Reporting is disabled");
        fileManager_->removeContentsOfAllPaths();
        return false;
    }
    if (!prepareForNewLaunch()) return false;
    const bool urgent = checkForAndCreateLaunchMarker();
    // Everything earlier launches left, listed before this launch adds to it or queues any work on it.
    const std::vector<std::string> active = fileManager_->activePathContents();
    const std::vector<std::string> processing = fileManager_->processingPathContents();
    const std::vector<std::string> prepared = fileManager_->preparedPathContents();

    auto report = setupCurrentReport();
    if (report) startCrashReporterWithAPIKey(APIKey(), betaToken, profilingMark, report);
    crashReportingSetupCompleted(profilingMark, report != nullptr);

    // Each earlier folder is read once, here; the reports go oldest first. The launch that failed is
    // the newest: it alone goes at once, before anything of the others is queued, so no packaging on
    // the work queue runs beside it. The leftovers of "processing" were decided on by an earlier
    // launch: queued before this launch's reports are decided on, they go first.
    std::vector<std::shared_ptr<ZEVInternalReport>> earlier = readExistingReportPaths(active);
    announceExistingActiveReports(earlier);
    if (!earlier.empty() && urgent && canProcessUrgentReports()) {
        processExistingActiveReport(earlier.back(), true);
        earlier.pop_back();
    }
    handleExistingFilesInProcessing(processing);
    for (const auto& earlierReport : earlier)
        processExistingActiveReport(earlierReport, false);
    handleExistingFilesInPrepared(prepared);
    if (report) {
        double elapsed = ZEVProfilingEndInMillis(profilingMark);
        onLoggingQueue([elapsed] {
            ZEVUserLoggingWriteInternalKeyValue("com.zevuzavidav.kit-start-time",
                                                describeDouble(elapsed).c_str());
        });
    }
    return report != nullptr;
}

bool ZEVCrashReportingController::checkPreconditions() {
    if (!bundleIdentifier().empty()) return true;
    ns::console("[Zevuzavidav] An application must have a valid bundle idenifier in its Info.plist");
    return false;
}

bool ZEVCrashReportingController::prepareForNewLaunch() {
    // The old tree goes first: its removal takes the whole root, so the new launch's folders come after.
    auto files = fileManager_;
    operationQueue_->addOperation([files] { files->removeLegacyDirectories(); })->waitUntilFinished();
    return fileManager_->prepareForNewLaunch();
}

bool ZEVCrashReportingController::checkForAndCreateLaunchMarker() {
    if (launchFailureMarkerPresent()) {
        debugLog("[Zevuzavidav:Crash] Last launch failed");
        return true;
    }
    createLaunchFailureMarker();
    return false;
}

std::string ZEVCrashReportingController::launchFailureMarkerPath() const {
    return (std::filesystem::path(fileManager_->structurePath()) / "launchmarker").string();
}

bool ZEVCrashReportingController::createLaunchFailureMarker() const {
    // The marker only needs to exist: nothing is written or truncated. A link (symbolic or hard) or a
    // FIFO in its place is no marker of ours and goes itself.
    const int fd = ns::openPrivateFileForWriting(launchFailureMarkerPath(), O_WRONLY);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool ZEVCrashReportingController::launchFailureMarkerPresent() const {
    // A link in the marker's place is not followed to decide anything: it is no marker of ours.
    struct stat info {};
    return ::lstat(launchFailureMarkerPath().c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool ZEVCrashReportingController::removeLaunchFailureMarker() const {
    return ::unlink(launchFailureMarkerPath().c_str()) == 0;
}

std::shared_ptr<ZEVInternalReport> ZEVCrashReportingController::setupCurrentReport() {
    createLaunchFailureMarker();
    const std::string identifier = environment_.executionIdentifier();
    auto report =
        ZEVInternalReport::initWithPath(fileManager_->setupNewPathForExecutionIdentifier(identifier),
                                        identifier.empty() ? std::nullopt : std::optional(identifier));
    if (!report) ns::console("[Zevuzavidav:Crash] Unable to setup a new report");
    ZEVItemClaim claim = report ? ZEVItemClaim::take(report->path()) : ZEVItemClaim();
    std::lock_guard lock(mutex_);
    currentReport_ = report;
    currentReportClaim_ = std::move(claim);
    return report;
}

std::shared_ptr<ZEVInternalReport> ZEVCrashReportingController::currentReport() const {
    std::lock_guard lock(mutex_);
    return currentReport_;
}

void ZEVCrashReportingController::startCrashReporterWithAPIKey(
    const std::optional<std::string>& APIKey, const std::optional<std::string>& betaToken,
    std::uint64_t profilingMark, const std::shared_ptr<ZEVInternalReport>& report) {
    (void)profilingMark;
    const std::string directory = report->path();
    const std::string identifier = report->identifier();
    const std::optional<std::string> install = installIdentifier();
    const ZEVSettings current = settings();
    auto delegate = delegate_.lock();

    ZEVContextInitData data{};
    data.apiKey = APIKey ? APIKey->c_str() : nullptr;
    data.submissionTarget = nullptr; // nothing is ever submitted from crash time
    data.firstInstall = firstInstall() ? 1 : 0;
    data.crashCallbackTarget = delegate && delegate->shouldInstallCrashCallback() ? this : nullptr;
    data.customBundleIdentifier = nullptr;
    data.reportDirectory = directory.c_str();
    data.reportIdentifier = identifier.c_str();
    data.installationIdentifier = install ? install->c_str() : nullptr;
    data.betaToken = betaToken ? betaToken->c_str() : nullptr;
    data.machExceptionMask = machExceptionMask();
    data.errorReportingEnabled = current.errorReportingEnabled() ? 1 : 0;
    data.customExceptionsEnabled = current.customExceptionsEnabled() ? 1 : 0;
    data.maxCustomExceptions = current.maxCustomExceptions();
    data.errorLogBufferSize = current.errorLogBufferSize();
    data.logBufferSize = current.logBufferSize();
    data.maxCustomKeys = current.maxCustomKeys();
    installCrashReportingHandlers(&data);
}

void ZEVCrashReportingController::installCrashReportingHandlers(const ZEVContextInitData* data) {
    if (environment_.contextInitialize) environment_.contextInitialize(data);
    setupStateNotifications();
}

void ZEVCrashReportingController::crashReportingSetupCompleted(std::uint64_t profilingMark,
                                                               bool handlersInstalled) {
    if (handlersInstalled) {
        onMainQueue(
            [](ZEVCrashReportingController& self) {
                ZEVExceptionCheckHandlers();
                ZEVSignalCheckHandlers();
                self.checkForUserPromptSetting();
            },
            2.0);
    }
    // The main thread's first pass through its queue: the launch got going, so it did not fail.
    onMainQueue([profilingMark, handlersInstalled](ZEVCrashReportingController& self) {
        self.removeLaunchFailureMarker();
        if (handlersInstalled) self.writeElapsedTime("com.zevuzavidav.first-run-loop-time", profilingMark);
    });
}

void ZEVCrashReportingController::writeElapsedTime(const char* key, std::uint64_t profilingMark) {
    onLoggingQueue([key, profilingMark] {
        ZEVUserLoggingWriteInternalKeyValue(key,
                                            describeDouble(ZEVProfilingEndInMillis(profilingMark)).c_str());
    });
}

std::uint32_t ZEVCrashReportingController::machExceptionMask() {
    struct Context {
        ZEVCrashReportingController* self;
        std::shared_ptr<ZEVCrashReportingControllerDelegate> delegate;
        std::uint32_t mask;
    } context{this, delegate_.lock(), 0};
    ZEVSignalEnumerateHandledSignals(
        [](int, int number, void* raw) {
            auto* c = static_cast<Context*>(raw);
            if (c->delegate && c->delegate->reportingControllerEnsureDeliveryOfUnixSignal(*c->self, number))
                c->mask |= ZEVMachExceptionMaskForSignal(number);
        },
        &context);
    return context.mask;
}

void ZEVCrashReportingController::setupStateNotifications() {
    captureInitialNotificationStates();
    auto& center = ns::NotificationCenter::defaultCenter();
    auto record = [](const char* key, std::function<std::string()> value) {
        return [key, value = std::move(value)](const ns::Notification&) {
            ZEVUserLoggingRecordInternalKeyValue(key, value());
        };
    };
    std::lock_guard lock(mutex_);
    observers_.push_back(center.addObserver(ui::applicationWillEnterForegroundNotification,
                                            record(kInBackgroundKey, [] { return std::string("0"); })));
    observers_.push_back(center.addObserver(ui::applicationDidEnterBackgroundNotification,
                                            record(kInBackgroundKey, [] { return std::string("1"); })));
    observers_.push_back(center.addObserver(ui::deviceOrientationDidChangeNotification,
                                            record(kDeviceOrientationKey, deviceOrientationText)));
    observers_.push_back(center.addObserver(ui::applicationDidChangeStatusBarOrientationNotification,
                                            record(kUIOrientationKey, interfaceOrientationText)));
}

void ZEVCrashReportingController::captureInitialNotificationStates() {
    const std::string device = deviceOrientationText();
    const std::string interface = interfaceOrientationText();
    onLoggingQueue([device, interface] {
        ZEVUserLoggingWriteInternalKeyValue(kInBackgroundKey, "0");
        ZEVUserLoggingWriteInternalKeyValue(kDeviceOrientationKey, device.c_str());
        ZEVUserLoggingWriteInternalKeyValue(kUIOrientationKey, interface.c_str());
    });
}

void ZEVCrashReportingController::checkForUserPromptSetting() {
    if (!needsToPrompt() || delegateNeedsToBeInformedOfReports()) return;
    ns::console(
        "[Zevuzavidav:Crash] WARNING: the user prompt feature is enabled. As of Zevuzavidav 3.0.0, "
        "implementing a user prompt is the application's responsibility. See Zevuzavidav.h's notes about "
        "-zevuzavidavDidDetectReportForLastExecution:completionHandler:");
}

void ZEVCrashReportingController::deliverCrashDelegateCallback() {
    if (auto delegate = delegate_.lock()) delegate->detectedCrash();
}

std::shared_ptr<ZEVReportsController> ZEVCrashReportingController::reportsController() {
    std::lock_guard lock(mutex_);
    if (!reportsController_) {
        reportsController_ = std::make_shared<ZEVReportsController>(operationQueue_, weak_from_this(),
                                                                    networkClient_, fileManager_);
    }
    return reportsController_;
}

ZEVSettings ZEVCrashReportingController::settings() {
    // Asked once and kept: settings downloaded during this launch reach crash reporting at the next.
    {
        std::lock_guard lock(mutex_);
        if (settings_) return *settings_;
    }
    auto delegate = delegate_.lock();
    ZEVSettings fresh =
        delegate ? delegate->settingsForCrashReportingController(*this) : ZEVSettings(nullptr);
    std::lock_guard lock(mutex_);
    if (!settings_) settings_ = fresh;
    return *settings_;
}

std::optional<std::string> ZEVCrashReportingController::APIKey() {
    auto delegate = delegate_.lock();
    return delegate ? delegate->APIKeyForCrashReportingController(*this) : std::nullopt;
}

std::optional<std::string> ZEVCrashReportingController::installIdentifier() {
    auto delegate = delegate_.lock();
    return delegate ? delegate->installIDForCrashReportingController(*this) : std::nullopt;
}

bool ZEVCrashReportingController::firstInstall() {
    auto delegate = delegate_.lock();
    return delegate && delegate->isFirstInstallForCrashReportingController(*this);
}

std::string ZEVCrashReportingController::bundleIdentifier() const {
    return ZOVEscapedBundleIdentifier().value_or("");
}

bool ZEVCrashReportingController::needsToPrompt() {
    return settings().userPromptEnabled();
}

bool ZEVCrashReportingController::delegateNeedsToBeInformedOfReports() {
    auto delegate = delegate_.lock();
    return delegate && delegate->reportingControllerMustInformDelegateOfReports(*this);
}

bool ZEVCrashReportingController::canProcessUrgentReports() {
    return settings().canProcessUrgentReports() && !needsToPrompt() && !delegateNeedsToBeInformedOfReports();
}

ZEVSettings ZEVCrashReportingController::settingsForReportsController(ZEVReportsController&) {
    return settings();
}

std::optional<std::string> ZEVCrashReportingController::APIKeyForReportsController(ZEVReportsController&) {
    return APIKey();
}

std::string ZEVCrashReportingController::bundleIdentifierForReportsController(ZEVReportsController&) {
    return bundleIdentifier();
}

bool ZEVCrashReportingController::networkClientCanUseBackgroundSessions(ZEVNetworkClient&) {
    auto delegate = delegate_.lock();
    return delegate && delegate->reportingControllerCanUseBackgroundSessions(*this);
}

void ZEVCrashReportingController::networkClientDidFinishUploadWithPath(
    ZEVNetworkClient&, const std::string& path, const std::optional<ns::Error>& error) {
    reportsController()->reportUploadAtPath(path, error);
}
