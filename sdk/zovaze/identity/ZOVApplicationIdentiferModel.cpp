#include "sdk/zovaze/identity/ZOVApplicationIdentiferModel.hpp"

#include "sdk/zovaze/base/HexAndDigests.hpp"
#include "sdk/zovaze/images/ELFImage.hpp"
#include "sdk/zovaze/images/ZOVAppIconUtility.hpp"

#include <algorithm>

namespace {

std::string uuidText(const std::uint8_t* bytes) {
    std::uint8_t uuid[16];
    std::copy(bytes, bytes + 16, uuid);
    return ZOVHexStringFromUUIDBytes(uuid);
}

std::optional<std::string> escapedBundleIdentifier(const ns::Bundle& bundle) {
    auto identifier = bundle.bundleIdentifier();
    if (identifier) std::replace(identifier->begin(), identifier->end(), '/', '_');
    return identifier;
}

} // namespace

std::shared_ptr<ZOVApplicationIdentiferModel>
ZOVApplicationIdentiferModel::initWithInstallID(std::optional<std::string> installID) {
    return initWithInstallID(std::move(installID), "/proc/self/exe", ns::Bundle::main());
}

std::shared_ptr<ZOVApplicationIdentiferModel>
ZOVApplicationIdentiferModel::initWithInstallID(std::optional<std::string> installID,
                                                const std::string& executablePath, const ns::Bundle& bundle) {
    std::shared_ptr<ZOVApplicationIdentiferModel> model(new ZOVApplicationIdentiferModel());
    if (!model->computeExecutableInfo(executablePath)) return nullptr;
    model->computeInstanceIdentifier();
    model->icon_ = ZOVAppIconUtility(bundle).applicationIcon();
    model->installID_ = std::move(installID);
    model->bundleIdentifier_ = escapedBundleIdentifier(bundle);
    return model;
}

bool ZOVApplicationIdentiferModel::computeExecutableInfo(const std::string& executablePath) {
    ZOVMachOFile file;
    if (!ZOVMachOFileOpenAndMap(&file, executablePath.c_str())) return false;
    ArchitectureUUIDMap map;
    const auto size = static_cast<std::size_t>(file.size);
    if (zovaze::isELFImage(file.address, size)) {
        if (auto facts = zovaze::elfImageFacts(file.address, size); facts && facts->uuid) {
            map[facts->architecture] = uuidText(facts->uuid->data());
        }
    } else {
        ZOVMachOFileEnumerateSlices(&file, [&](const ZEVMachOSlice& given) {
            ZEVMachOSlice slice = given;
            const std::string architecture = ZOVMachOSliceArchitectureName(&slice);
            ZOVMachOSliceEnumerateLoadCommands(
                &slice, [&](std::uint32_t command, std::uint32_t commandSize, const std::uint8_t* address) {
                    if (command == zovaze::MachOLoadCommandUUID) {
                        if (const std::uint8_t* uuid = ZOVMachOUUIDBytes(address, commandSize)) {
                            map[architecture] = uuidText(uuid);
                        }
                    } else if (command == zovaze::MachOLoadCommandVersionMinMacOSX ||
                               command == zovaze::MachOLoadCommandVersionMinIPhoneOS) {
                        auto minimum = ZOVMachOMinimumOSVersion(address, commandSize);
                        auto built = ZOVMachOLinkedSDKVersion(address, commandSize);
                        if (minimum && built) {
                            minimumSDK_ = *minimum;
                            builtSDK_ = *built;
                        }
                    }
                });
        });
    }
    ZOVMachOFileClose(&file);
    architectureUUIDMap_ = std::move(map);
    return true;
}

bool ZOVApplicationIdentiferModel::computeInstanceIdentifier() {
    // std::map iterates its keys in ascending byte order, which is the order the identifier needs.
    std::string joined;
    for (const auto& [architecture, uuid] : architectureUUIDMap_)
        joined += uuid;
    instanceIdentifier_ = ZOVSHA1HexFromData(std::vector<std::uint8_t>(joined.begin(), joined.end()));
    return true;
}
