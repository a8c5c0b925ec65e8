#include "sdk/zevuzavidav/images/ZEVBinaryImage.hpp"

#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"
#include "sdk/zevuzavidav/support/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/support/ZEVUtilities.hpp"

#include <cstring>
#include <string>

namespace {

bool openIfNeeded(bool* opened) {
    ZEVReadOnlyContext* readOnly = ZEVContextReadOnly();
    ZEVWritableContext* writable = ZEVContextWritable();
    if (opened == nullptr || readOnly == nullptr || writable == nullptr) return false;
    *opened = false;
    if (ZEVFileIsOpen(&writable->binaryImageLog)) return true;
    if (!ZEVFileInitWithPath(&writable->binaryImageLog, readOnly->binaryImagePath, false)) {
        ZEVSDKLog("%s: Error: unable to open binary image log file\n", "ZEVBinaryImageOpenIfNeeded");
        return false;
    }
    *opened = true;
    return true;
}

struct RecordedImage {
    bool added;
    std::string path;
    char uuid[33];
    std::uint64_t base;
    std::uint64_t size;
};

void recordSlice(const RecordedImage& image) {
    ZEVWritableContext* writable = ZEVContextWritable();
    bool opened = false;
    if (writable == nullptr || !openIfNeeded(&opened)) {
        ZEVSDKLog("%s: Error: unable to open binary image log file\n", "ZEVBinaryImageRecordSlice");
        return;
    }
    ZEVFile* file = &writable->binaryImageLog;
    ZEVFileWriteSectionStart(file, image.added ? "load" : "unload");
    ZEVFileWriteObjectStart(file);
    ZEVFileWriteStringEntry(file, "path", image.path.empty() ? nullptr : image.path.c_str());
    ZEVFileWriteStringEntry(file, "uuid", image.uuid);
    ZEVFileWriteUInt64Entry(file, "base", image.base);
    ZEVFileWriteUInt64Entry(file, "size", image.size);
    ZEVFileWriteObjectEnd(file);
    ZEVFileWriteSectionEnd(file);
    if (opened) ZEVFileClose(file);
}

} // namespace

void ZEVBinaryImageUUIDText(const darwin::ImageInfo& image, char out[33]) {
    ZEVHexEncodeBytes(image.uuid, 16, out);
}

void ZEVBinaryImageStoreNode(bool added, const darwin::ImageInfo& image) {
    ZEVWritableContext* writable = ZEVContextWritable();
    if (writable == nullptr) {
        ZEVSDKLog("%s: Error: Writable context is NULL\n", "ZEVBinaryImageStoreNode");
    } else {
        bool stored = false;
        for (auto& slot : writable->images) {
            if (added) {
                std::uint64_t expected = 0;
                if (slot.base.load(std::memory_order_acquire) != 0) continue;
                if (!slot.base.compare_exchange_strong(expected, image.base, std::memory_order_seq_cst))
                    continue;
                slot.eh_frame.store(image.ehFrameHdr, std::memory_order_relaxed);
                slot.unwind_info.store(0, std::memory_order_relaxed);
                slot.crash_info.store(0, std::memory_order_relaxed);
                // Last: readers skip a slot whose size is still 0.
                slot.size.store(image.size, std::memory_order_release);
                stored = true;
                break;
            }
            // Only a live slot (size > 0) of that base: an earlier unload of an image reloaded at the
            // same base left a dead slot with the same base.
            if (slot.base.load(std::memory_order_acquire) == image.base &&
                slot.size.load(std::memory_order_acquire) != 0) {
                slot.size.store(0, std::memory_order_release);
                slot.eh_frame.store(0, std::memory_order_relaxed);
                slot.unwind_info.store(0, std::memory_order_relaxed);
                slot.crash_info.store(0, std::memory_order_relaxed);
                stored = true;
                break;
            }
        }
        if (!stored) {
            ZEVSDKLog("%s: Error: Unable to track a %s node %p\n", "ZEVBinaryImageStoreNode",
                      added ? "loaded" : "unloaded", reinterpret_cast<void*>(image.base));
        }
    }
    auto queue = ZEVContextShared().binaryImagesQueue;
    if (!queue) return;
    RecordedImage record{added, image.path != nullptr ? image.path : "", {}, image.base, image.size};
    ZEVBinaryImageUUIDText(image, record.uuid);
    queue->async([record] { recordSlice(record); });
}

void ZEVBinaryImageAddedCallback(const darwin::ImageInfo& image) {
    ZEVBinaryImageStoreNode(true, image);
}
void ZEVBinaryImageRemovedCallback(const darwin::ImageInfo& image) {
    ZEVBinaryImageStoreNode(false, image);
}

void ZEVBinaryImageInit() {
    ZEVReadOnlyContext* readOnly = ZEVContextReadOnly();
    ZEVWritableContext* writable = ZEVContextWritable();
    auto queue = ZEVContextShared().binaryImagesQueue;
    if (readOnly == nullptr || writable == nullptr || !queue) return;
    writable->binaryImageLog = ZEVFile{};
    for (auto& slot : writable->images) {
        slot.base.store(0);
        slot.size.store(0);
        slot.eh_frame.store(0);
        slot.unwind_info.store(0);
        slot.crash_info.store(0);
    }
    const char* path = readOnly->binaryImagePath;
    queue->async([path] {
        if (!ZEVUnlinkIfExists(path)) {
            ZEVSDKLog("%s: Unable to reset the binary image log file %s\n", "ZEVBinaryImageInit", path);
        }
        bool opened = false;
        if (!openIfNeeded(&opened)) {
            ZEVSDKLog("%s: Error: Unable to open the binary image log file during init\n",
                      "ZEVBinaryImageInit");
        }
    });
    darwin::registerImageCallbacks(ZEVBinaryImageAddedCallback, ZEVBinaryImageRemovedCallback);
    queue->async([] {
        if (ZEVWritableContext* w = ZEVContextWritable(); w != nullptr && ZEVFileIsOpen(&w->binaryImageLog)) {
            ZEVFileClose(&w->binaryImageLog);
        }
    });
}

bool ZEVBinaryImageSafeFindImageForAddress(std::uint64_t address, ZEVBinaryImageNodeCopy* out) {
    ZEVWritableContext* writable = ZEVContextWritable();
    if (!ZEVContextIsInitialized() || writable == nullptr || reinterpret_cast<std::uintptr_t>(out) < 4096 ||
        address == 0) {
        return false;
    }
    for (const auto& slot : writable->images) {
        std::uint64_t base = slot.base.load(std::memory_order_acquire);
        std::uint64_t size = slot.size.load(std::memory_order_acquire);
        if (base != 0 && size != 0 && address >= base && address - base < size) {
            *out = ZEVBinaryImageNodeCopy{base, size, slot.eh_frame.load(std::memory_order_relaxed),
                                          slot.unwind_info.load(std::memory_order_relaxed),
                                          slot.crash_info.load(std::memory_order_relaxed)};
            return true;
        }
    }
    return false;
}

bool ZEVBinaryImageFindImageForUUID(const char* uuid, darwin::ImageInfo* out) {
    if (uuid == nullptr || out == nullptr) {
        ZEVSDKLog("%s: null input\n", "ZEVBinaryImageFindImageForUUID");
        return false;
    }
    struct Search {
        const char* uuid;
        darwin::ImageInfo* out;
        bool found;
    } search{uuid, out, false};
    darwin::forEachImage(
        [](const darwin::ImageInfo& image, void* context) {
            auto* s = static_cast<Search*>(context);
            char text[33];
            ZEVBinaryImageUUIDText(image, text);
            if (std::strncmp(text, s->uuid, 33) != 0) return true;
            *s->out = image;
            s->found = true;
            return false;
        },
        &search);
    return search.found;
}

bool ZEVBinaryImageRecordMainExecutable(ZEVFile* file) {
    darwin::ImageInfo image;
    bool known = darwin::mainImage(image);
    char uuid[33];
    ZEVBinaryImageUUIDText(image, uuid);
    ZEVFileWriteSectionStart(file, "executable");
    ZEVFileWriteObjectStart(file);
    ZEVFileWriteStringEntry(file, "architecture", "x86_64");
    ZEVFileWriteStringEntry(file, "uuid", known && image.hasUuid ? uuid : nullptr);
    ZEVFileWriteUInt64Entry(file, "base", image.base);
    ZEVFileWriteUInt64Entry(file, "size", image.size);
    ZEVFileWriteBoolEntry(file, "encrypted", false);
    ZEVFileWriteNullEntry(file, "minimum_sdk_version");
    ZEVFileWriteNullEntry(file, "built_sdk_version");
    ZEVFileWriteObjectEnd(file);
    ZEVFileWriteSectionEnd(file);
    return true;
}
