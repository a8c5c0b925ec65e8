#include "model/DeviceModel.hpp"

#include "platform/services/DeviceInfo.hpp"

#include <map>

namespace {

// Made once, on first use; a function-local static is safe to race.
const std::map<std::string, std::string, std::less<>>& modelTable() {
    static const std::map<std::string, std::string, std::less<>> table = {
        {"iPod5,1", "iPod Touch 5"},    {"iPhone3,1", "iPhone 4"},  {"iPhone3,2", "iPhone 4"},
        {"iPhone3,3", "iPhone 4"},      {"iPhone4,1", "iPhone 4S"}, {"iPhone5,1", "iPhone 5"},
        {"iPhone5,2", "iPhone 5"},      {"iPhone5,3", "iPhone 5C"}, {"iPhone5,4", "iPhone 5C"},
        {"iPhone6,1", "iPhone 5S"},     {"iPhone6,2", "iPhone 5S"}, {"iPhone7,2", "iPhone 6"},
        {"iPhone7,1", "iPhone 6 Plus"}, {"iPad2,1", "iPad 2"},      {"iPad2,2", "iPad 2"},
        {"iPad2,3", "iPad 2"},          {"iPad2,4", "iPad 2"},      {"iPad3,1", "iPad 3"},
        {"iPad3,2", "iPad 3"},          {"iPad3,3", "iPad 3"},      {"iPad3,4", "iPad 4"},
        {"iPad3,5", "iPad 4"},          {"iPad3,6", "iPad 4"},      {"iPad4,1", "iPad Air"},
        {"iPad4,2", "iPad Air"},        {"iPad4,3", "iPad Air"},    {"iPad5,1", "iPad Air 2"},
        {"iPad5,3", "iPad Air 2"},      {"iPad5,4", "iPad Air 2"},  {"iPad2,5", "iPad Mini"},
        {"iPad2,6", "iPad Mini"},       {"iPad2,7", "iPad Mini"},   {"iPad4,4", "iPad Mini"},
        {"iPad4,5", "iPad Mini"},       {"iPad4,6", "iPad Mini"},   {"iPad4,7", "iPad Mini"},
        {"iPad4,8", "iPad Mini"},       {"iPad4,9", "iPad Mini"},   {"x86_64", "Simulator"},
        {"i386", "Simulator"},
    };
    return table;
}

} // namespace

std::string deviceModelName(std::string_view machine) {
    const auto& table = modelTable();
    if (auto it = table.find(machine); it != table.end()) return it->second;
    return std::string(machine);
}

std::string deviceModelName() {
    return deviceModelName(svc::deviceMachineIdentifier());
}
