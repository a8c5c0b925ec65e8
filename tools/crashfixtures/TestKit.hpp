#pragma once
// The kit's part beside a crash reporting controller in the crash tests and the crash-life benchmark:
// it answers the controller's delegate questions as configured and notes what it is told.
//
// Failure contract: none; every answer is the configured one, and completions it holds back stay
// unanswered until the kit is gone.
#include "sdk/zevuzavidav/report/ZEVCrashReportingController.hpp"

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace reporttest {

// Plays the kit: answers as configured (by default as a kit whose app implements no delegate method)
// and notes what it is told.
class TestKit : public ZEVCrashReportingControllerDelegate {
  public:
    enum class Decision { submit, drop, never };

    bool canUseBackgroundSessions = true;
    bool mustInform = false;
    Decision decision = Decision::submit; // what the app answers when it decides itself
    bool installCrashCallback = false;
    // Whether analytics keeps each crash it is told of: the report's folder is then marked counted, as
    // the kit marks it.
    bool keepsCrashes = true;
    std::set<int> deliveredSignals;
    std::optional<std::string> apiKey = std::string("test-api-key");
    nlohmann::json serverSettings = nullptr;

    bool shouldInstallCrashCallback() override { return installCrashCallback; }
    void detectedCrash() override {}
    bool reportingControllerCanUseBackgroundSessions(ZEVCrashReportingController&) override {
        return canUseBackgroundSessions;
    }
    bool reportingControllerMustInformDelegateOfReports(ZEVCrashReportingController&) override {
        return mustInform;
    }
    void reportingControllerDidDetectReportForLastExecution(ZEVCrashReportingController&,
                                                            const std::shared_ptr<ZEVInternalReport>& report,
                                                            std::function<void(bool)> completion) override {
        {
            std::lock_guard lock(mutex_);
            handed_.push_back(report->identifier());
        }
        if (!mustInform || decision == Decision::submit) {
            completion(true);
        } else if (decision == Decision::drop) {
            completion(false);
        } else {
            std::lock_guard lock(mutex_);
            unanswered_.push_back(std::move(completion));
        }
    }
    void reportingControllerInternalDidDetectReportForLastExecution(
        ZEVCrashReportingController&, const std::shared_ptr<ZEVInternalReport>& report) override {
        {
            std::lock_guard lock(mutex_);
            detected_.push_back(report->identifier());
        }
        if (keepsCrashes) report->markCrashCounted();
    }
    bool reportingControllerEnsureDeliveryOfUnixSignal(ZEVCrashReportingController&, int signal) override {
        return deliveredSignals.count(signal) > 0;
    }
    std::optional<std::string> APIKeyForCrashReportingController(ZEVCrashReportingController&) override {
        return apiKey;
    }
    std::optional<std::string> installIDForCrashReportingController(ZEVCrashReportingController&) override {
        return std::string("test-install");
    }
    bool isFirstInstallForCrashReportingController(ZEVCrashReportingController&) override { return true; }
    ZEVSettings settingsForCrashReportingController(ZEVCrashReportingController&) override {
        return ZEVSettings(serverSettings.is_null() ? nullptr
                                                    : std::make_shared<const nlohmann::json>(serverSettings));
    }

    // The reports told of (before any is handled, newest first; then those told again before they are
    // packaged), and those handed over to decide on.
    std::vector<std::string> detected() const {
        std::lock_guard lock(mutex_);
        return detected_;
    }
    std::vector<std::string> handed() const {
        std::lock_guard lock(mutex_);
        return handed_;
    }
    std::size_t unanswered() const {
        std::lock_guard lock(mutex_);
        return unanswered_.size();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> detected_;
    std::vector<std::string> handed_;
    std::vector<std::function<void(bool)>> unanswered_;
};

} // namespace reporttest
