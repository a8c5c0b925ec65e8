#include "sdk/zevuzavidav/symbolication/ZEVSymbolResolver.hpp"

#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/images/ZEVBinaryImage.hpp"
#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"

#include <algorithm>
#include <dlfcn.h>
#include <filesystem>

namespace {

bool isAddress(const nlohmann::json& value) {
    return value.is_number_unsigned() || (value.is_number_integer() && value.get<std::int64_t>() >= 0);
}

std::uint64_t addressOf(const nlohmann::json& image, const char* key) {
    return image.at(key).get<std::uint64_t>();
}

std::optional<std::string> stringOf(const nlohmann::json& image, const char* key) {
    auto found = image.find(key);
    if (found == image.end() || !found->is_string()) return std::nullopt;
    return found->get<std::string>();
}

} // namespace

bool ZEVSymbolResolver::loadBinaryImagesFromFile(const std::string& path) {
    if (path.empty()) return false;
    auto sections = ZEVFileReadSections(path.c_str(), false);
    if (!sections || sections->empty()) {
        ns::console("[Zevuzavidav:Crash:SymbolResolver] failed to read binary image file " + path);
        return false;
    }
    for (const auto& section : *sections) {
        auto load = section.find("load");
        if (load == section.end() || !load->is_object()) continue;
        auto base = load->find("base");
        auto size = load->find("size");
        if (base == load->end() || size == load->end() || !isAddress(*base) || !isAddress(*size)) continue;
        binaryImages_.push_back(*load);
    }
    std::stable_sort(binaryImages_.begin(), binaryImages_.end(), [](const auto& a, const auto& b) {
        return addressOf(a, "base") < addressOf(b, "base");
    });
    return true;
}

const nlohmann::json* ZEVSymbolResolver::loadedBinaryImageForPC(std::uint64_t address) const {
    for (const auto& image : binaryImages_) {
        std::uint64_t base = addressOf(image, "base");
        if (address >= base && address - base < addressOf(image, "size")) return &image;
    }
    return nullptr;
}

bool ZEVSymbolResolver::fillInImageDetails(darwin::ImageInfo* details,
                                           const std::optional<std::string>& uuid) const {
    if (details == nullptr || !uuid) return false;
    return ZEVBinaryImageFindImageForUUID(uuid->c_str(), details);
}

bool ZEVSymbolResolver::updateStackFrame(ZEVStackFrame& frame) const {
    const std::uint64_t address = frame.address;
    if (address == 0) return false;
    const nlohmann::json* image = loadedBinaryImageForPC(address);
    if (image == nullptr) return false;
    darwin::ImageInfo details;
    if (!fillInImageDetails(&details, stringOf(*image, "uuid"))) return false;

    std::uintptr_t local = details.base + (address - addressOf(*image, "base"));
    Dl_info info{};
    if (!lookUp(local, info)) return false;
    // A return address just past a call that does not return is the start of the next function; this
    // host's dladdr names it only when that function is exported, so a nameless answer steps back too.
    if (info.dli_sname == nullptr ||
        (info.dli_saddr != nullptr && local == reinterpret_cast<std::uintptr_t>(info.dli_saddr))) {
        local -= 2;
        if (!lookUp(local, info)) return false;
    }
    if (info.dli_sname != nullptr) frame.symbol = std::string(info.dli_sname);
    // Without a symbol there is no start to measure from: the offset stays 0 rather than becoming the
    // whole address.
    auto start = reinterpret_cast<std::uintptr_t>(info.dli_saddr);
    if (start != 0 && local > start) frame.offset = local - start;
    if (auto path = stringOf(*image, "path")) {
        frame.library = std::filesystem::path(*path).filename().string();
    }
    return true;
}

bool ZEVSymbolResolver::lookUp(std::uintptr_t address, Dl_info& info) const {
    // dladdr walks an image's whole symbol table, and the threads of one report share most of their
    // frames: each address is looked up once.
    auto cached = lookups_.find(address);
    if (cached == lookups_.end()) {
        Lookup lookup;
        lookup.found = dladdr(reinterpret_cast<void*>(address), &lookup.info) != 0;
        cached = lookups_.emplace(address, lookup).first;
    }
    info = cached->second.info;
    return cached->second.found;
}

std::optional<ZEVStackFrame> ZEVSymbolResolver::frameForAddress(std::uint64_t address) const {
    ZEVStackFrame frame = ZEVStackFrame::stackFrameWithAddress(address);
    if (!updateStackFrame(frame)) return std::nullopt;
    return frame;
}
