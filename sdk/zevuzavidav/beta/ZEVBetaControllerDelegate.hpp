#pragma once
// What the beta controller asks the kit that owns it. Called on the controller's queue and on the main
// queue; the answers must be safe from any thread.
#include "sdk/zevuzavidav/settings/ZEVSettings.hpp"

#include <optional>
#include <string>

class ZEVBetaController;

class ZEVBetaControllerDelegate {
  public:
    virtual ~ZEVBetaControllerDelegate() = default;
    virtual std::optional<std::string> APIKeyForBetaController(ZEVBetaController& controller) = 0;
    // A new settings object on every call, so each answer sees the settings downloaded last.
    virtual ZEVSettings settingsForBetaController(ZEVBetaController& controller) = 0;
};
