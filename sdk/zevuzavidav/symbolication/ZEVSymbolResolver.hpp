#pragma once
// Names the frames of a report of an earlier launch inside this launch: an address is mapped to the
// recorded image that held it, that image is found again among the images loaded now by its UUID (the
// ELF build-id), the address is moved to where the same code lies now, and dladdr names the nearest
// symbol the image exports. An address that is exactly a symbol's start is a return address past a
// call that does not return; it is looked up 2 bytes back, so it names the caller. This host's dladdr
// names only a symbol that contains the address (not the nearest one below it), so an address that it
// cannot name is looked up 2 bytes back as well: past a call at the end of an exported function, it
// then names that function.
//
// The image list comes from the report's "binary_images.zevrecord": every "load" section with a base
// and a size, sorted by base; "unload" sections are ignored, so nothing ever leaves the list.
//
// Failure contract: every failure is a false or empty result and leaves the frame as it was; the only
// log line is the console line of an unreadable image file. Not thread-safe: one report at a time.
#include "platform/darwin/Images.hpp"
#include "sdk/zevuzavidav/record/ZEVStackFrame.hpp"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <dlfcn.h>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class ZEVSymbolResolver {
  public:
    ZEVSymbolResolver() = default;

    // True when the file had at least one section (even without a "load" among them).
    bool loadBinaryImagesFromFile(const std::string& path);
    // The first image (in base order) with base <= address < base + size, or null.
    const nlohmann::json* loadedBinaryImageForPC(std::uint64_t address) const;
    // Fills `details` from the image with that UUID loaded in this process; false without one.
    bool fillInImageDetails(darwin::ImageInfo* details, const std::optional<std::string>& uuid) const;
    // True when the address lay in a recorded image that is loaded now and dladdr answered for it.
    bool updateStackFrame(ZEVStackFrame& frame) const;
    std::optional<ZEVStackFrame> frameForAddress(std::uint64_t address) const;

    const std::vector<nlohmann::json>& binaryImages() const { return binaryImages_; }

  private:
    struct Lookup {
        Dl_info info{};
        bool found = false;
    };
    bool lookUp(std::uintptr_t address, Dl_info& info) const;

    std::vector<nlohmann::json> binaryImages_;
    // dladdr's answers by address; the names they point to stay valid while their images stay loaded.
    mutable std::unordered_map<std::uintptr_t, Lookup> lookups_;
};
