#pragma once
// Identifies the exact build of the running app: the UUID of every architecture slice of its executable
// (on Linux the one ELF slice, identified by its build-id), one instance identifier derived from them,
// the OS versions the executable was built for and against, the app icon, and the installation and
// escaped bundle identifiers beside them. Made once per launch; nothing changes afterwards.
//
// Instance identifier: the UUID texts (32 lower-case hex digits each) concatenated in ascending order
// of their architecture names, hashed with SHA-1 to 40 lower-case hex digits. A slice without a UUID
// contributes nothing.
//
// Failure contract: initWithInstallID answers null when the executable cannot be opened or mapped.
// An executable without a version-minimum command leaves both versions at 0.0.0; no icon leaves the
// icon absent. A malformed slice contributes what could be read before its walk stopped.
#include "platform/foundation/Bundle.hpp"
#include "sdk/zovaze/images/ZOVIcon.hpp"
#include "sdk/zovaze/images/ZOVMachO.hpp"

#include <map>
#include <memory>
#include <optional>
#include <string>

class ZOVApplicationIdentiferModel {
  public:
    // Architecture name -> executable UUID text; kept in ascending name order.
    using ArchitectureUUIDMap = std::map<std::string, std::string>;

    // The running executable and the main bundle.
    static std::shared_ptr<ZOVApplicationIdentiferModel>
    initWithInstallID(std::optional<std::string> installID);
    // Another executable file and bundle (the bundle must outlive the model).
    static std::shared_ptr<ZOVApplicationIdentiferModel>
    initWithInstallID(std::optional<std::string> installID, const std::string& executablePath,
                      const ns::Bundle& bundle);

    bool computeExecutableInfo(const std::string& executablePath);
    bool computeInstanceIdentifier();

    const ArchitectureUUIDMap& architectureUUIDMap() const { return architectureUUIDMap_; }
    void setArchitectureUUIDMap(ArchitectureUUIDMap map) { architectureUUIDMap_ = std::move(map); }
    const std::optional<std::string>& installID() const { return installID_; }
    const std::optional<ZOVIcon>& icon() const { return icon_; }
    const std::optional<std::string>& bundleIdentifier() const { return bundleIdentifier_; }
    const std::optional<std::string>& instanceIdentifier() const { return instanceIdentifier_; }
    void setInstanceIdentifier(std::optional<std::string> identifier) {
        instanceIdentifier_ = std::move(identifier);
    }
    ZOVMachOVersion builtSDK() const { return builtSDK_; }
    ZOVMachOVersion minimumSDK() const { return minimumSDK_; }
    std::string builtSDKString() const { return *ZOVMachOVersionString(&builtSDK_); }
    std::string minimumSDKString() const { return *ZOVMachOVersionString(&minimumSDK_); }

  private:
    ZOVApplicationIdentiferModel() = default;

    ArchitectureUUIDMap architectureUUIDMap_;
    std::optional<std::string> installID_;
    std::optional<ZOVIcon> icon_;
    std::optional<std::string> bundleIdentifier_;
    std::optional<std::string> instanceIdentifier_;
    ZOVMachOVersion builtSDK_;
    ZOVMachOVersion minimumSDK_;
};
