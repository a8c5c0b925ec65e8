#include "sdk/zevuzavidav/images/ZEVBinaryImage.hpp"

#include "platform/darwin/GuardedRead.hpp"
#include "platform/darwin/Host.hpp"
#include "platform/darwin/MachO.hpp"
#include "platform/darwin/NullPage.hpp"
#include "platform/darwin/SystemCall.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"

#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kMachOMagic64 = 0xfeedfacf;
// The most images the crash-time sync compares at once (the table itself holds 512 load events).
constexpr int kMaxListedImages = 1024;

template <typename T> bool readGuarded(std::uintptr_t address, T& out) {
    return darwin::readMemory(address, &out, sizeof out);
}

bool isElf(std::uintptr_t header, Elf64_Ehdr& out) {
    return readGuarded(header, out) && std::memcmp(out.e_ident, ELFMAG, SELFMAG) == 0 &&
           out.e_ident[EI_CLASS] == ELFCLASS64 && out.e_phentsize >= sizeof(Elf64_Phdr);
}

// Calls `visit` with each program header of the ELF image at `header`; false when it is not one.
template <typename Visit> bool forEachProgramHeader(std::uintptr_t header, Visit&& visit) {
    Elf64_Ehdr elf;
    if (darwin::isNullAddress(header) || !isElf(header, elf)) return false;
    for (std::uint32_t i = 0; i < elf.e_phnum; ++i) {
        std::uintptr_t at = header + elf.e_phoff + std::uintptr_t{i} * elf.e_phentsize;
        Elf64_Phdr phdr;
        if (!readGuarded(at, phdr)) return false;
        visit(phdr, at, elf.e_phentsize);
    }
    return true;
}

// The GNU build-id among the notes at `notes` (at most 512 bytes are looked at).
bool buildIdText(std::uintptr_t notes, std::uint64_t length, char (&out)[33]) {
    unsigned char bytes[512];
    std::size_t size = length < sizeof bytes ? static_cast<std::size_t>(length) : sizeof bytes;
    if (size < 12 || !darwin::readMemory(notes, bytes, size)) return false;
    std::size_t at = 0;
    while (size - at >= 12) {
        std::uint32_t nameSize, descSize, type;
        std::memcpy(&nameSize, bytes + at, 4);
        std::memcpy(&descSize, bytes + at + 4, 4);
        std::memcpy(&type, bytes + at + 8, 4);
        std::size_t name = at + 12;
        std::size_t desc = name + ((nameSize + 3U) & ~3U);
        if (desc > size || descSize > size - desc) return false;
        if (type == NT_GNU_BUILD_ID && nameSize == 4 && std::memcmp(bytes + name, "GNU", 4) == 0 &&
            descSize > 0) {
            unsigned char uuid[16] = {};
            std::memcpy(uuid, bytes + desc, descSize < 16 ? descSize : 16);
            ZEVHexEncodeBytes(uuid, 16, out);
            return true;
        }
        at = desc + ((descSize + 3U) & ~3U);
    }
    return false;
}

// Rises whenever an image leaves the table, so that what was learned from an image's tables is never
// taken for another image loaded at the same addresses later.
std::atomic<std::uint64_t> imageGeneration{0};
// Load lines handed to the binary-images queue and not yet in the file. A crash soon after start (or
// after an image was opened) comes while some are still owed: the crash handler then writes its own.
std::atomic<int> loadLinesOwed{0};

// One slot: a free one claimed for a load, the live one of that base cleared for an unload.
bool storeInTable(ZEVWritableContext* writable, bool added, const zevuzavidav::BinaryImageNodeCopy& node) {
    for (auto& slot : writable->images) {
        if (added) {
            std::uint64_t expected = 0;
            if (slot.base.load(std::memory_order_acquire) != 0) continue;
            if (!slot.base.compare_exchange_strong(expected, node.base, std::memory_order_seq_cst)) continue;
            slot.eh_frame.store(node.eh_frame, std::memory_order_relaxed);
            slot.unwind_info.store(node.unwind_info, std::memory_order_relaxed);
            slot.crash_info.store(node.crash_info, std::memory_order_relaxed);
            // Last: readers skip a slot whose size is still 0.
            slot.size.store(node.size, std::memory_order_release);
            return true;
        }
        // Only a live slot (size > 0) of that base: an earlier unload of an image reloaded at the same
        // base left a dead slot with the same base.
        if (slot.base.load(std::memory_order_acquire) != node.base ||
            slot.size.load(std::memory_order_acquire) == 0) {
            continue;
        }
        std::uint64_t expected = node.base;
        if (!slot.base.compare_exchange_strong(expected, node.base, std::memory_order_seq_cst)) {
            ZEVSDKLog("%s: Error: Failed to swap during image unload\n", "ZEVBinaryImageStoreNode");
            return false;
        }
        slot.size.store(0, std::memory_order_release);
        imageGeneration.fetch_add(1, std::memory_order_acq_rel);
        slot.eh_frame.store(0, std::memory_order_relaxed);
        slot.unwind_info.store(0, std::memory_order_relaxed);
        slot.crash_info.store(0, std::memory_order_relaxed);
        return true;
    }
    return false;
}

// The binary-images queue and a crash handler may append to the file at the same moment (a crash
// soon after start, while the queue still writes the images of the start): each line goes to the kernel
// in one write, so that neither splits the other's (a line past the buffer, with a path of thousands of
// bytes, would go in pieces).
void writeLine(ZEVFile* file, const ZEVBinaryImageDetails& details, const char* path, bool added) {
    char line[8192];
    zevuzavidav::useFileBuffer(file, line, sizeof line);
    ZEVFileWriteSectionStart(file, added ? "load" : "unload");
    ZEVFileWriteObjectStart(file);
    ZEVFileWriteStringEntry(file, "path", path != nullptr && *path != '\0' ? path : nullptr);
    ZEVBinaryImageRecordDetails(file, &details);
    ZEVFileWriteObjectEnd(file);
    ZEVFileWriteSectionEnd(file);
    zevuzavidav::useFileBuffer(file, nullptr, 0);
}

ZEVBinaryImageDetails detailsOf(const darwin::ImageInfo& image) {
    ZEVBinaryImageDetails details{};
    if (image.hasUuid) zevuzavidav::binaryImageUUIDText(image, details.uuid);
    details.node = zevuzavidav::BinaryImageNodeCopy{image.base, image.size, image.ehFrameHdr, 0, 0};
    details.slice = ZOVMachOSliceFromHeader(reinterpret_cast<const std::uint8_t*>(image.base), image.size);
    return details;
}

} // namespace

void zevuzavidav::binaryImageUUIDText(const darwin::ImageInfo& image, char out[33]) {
    ZEVHexEncodeBytes(image.uuid, 16, out);
}

bool ZEVBinaryImageOpenIfNeeded(bool* opened) {
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    ZEVWritableContext* writable = zevuzavidav::sharedWritableContext();
    if (darwin::isNullAddress(opened) || readOnly == nullptr || writable == nullptr) {
        return false;
    }
    *opened = false;
    if (ZEVFileIsOpen(&writable->binaryImageLog)) return true;
    if (!ZEVFileInitWithPath(&writable->binaryImageLog, readOnly->binaryImagePath, false)) {
        ZEVSDKLog("%s: Error: unable to open binary image log file\n", "ZEVBinaryImageOpenIfNeeded");
        return false;
    }
    *opened = true;
    return true;
}

void ZEVBinaryImageCloseLogFile() {
    ZEVWritableContext* writable = zevuzavidav::sharedWritableContext();
    if (writable != nullptr && ZEVFileIsOpen(&writable->binaryImageLog))
        ZEVFileClose(&writable->binaryImageLog);
}

bool ZEVBinaryImageRecordDetails(ZEVFile* file, const ZEVBinaryImageDetails* details) {
    if (file == nullptr || details == nullptr) {
        ZEVSDKLog("%s: Error: file is invalid\n", "ZEVBinaryImageRecordDetails");
        return false;
    }
    ZEVFileWriteStringEntry(file, "uuid", details->uuid[0] != '\0' ? details->uuid : nullptr);
    ZEVFileWriteUInt64Entry(file, "base", reinterpret_cast<std::uintptr_t>(details->slice.header));
    ZEVFileWriteUInt64Entry(file, "size", details->node.size);
    return true;
}

void ZEVBinaryImageRecordSlice(const ZEVBinaryImageDetails& details, const char* path, bool added) {
    auto queue = zevuzavidav::sharedCrashContext().binaryImagesQueue;
    if (!queue) return;
    if (added) loadLinesOwed.fetch_add(1, std::memory_order_acq_rel);
    // The dynamic linker frees an unloaded image's name: the line keeps its own copy.
    queue->async([details, path = std::string(path != nullptr ? path : ""), added] {
        ZEVWritableContext* writable = zevuzavidav::sharedWritableContext();
        bool opened = false;
        if (writable == nullptr || !ZEVBinaryImageOpenIfNeeded(&opened)) {
            ZEVSDKLog("%s: Error: unable to open binary image log file\n", "ZEVBinaryImageRecordSlice");
        } else {
            writeLine(&writable->binaryImageLog, details, path.c_str(), added);
            if (opened) ZEVBinaryImageCloseLogFile();
        }
        if (added) loadLinesOwed.fetch_sub(1, std::memory_order_acq_rel);
    });
}

void ZEVBinaryImageStoreNode(bool added, const darwin::ImageInfo& image) {
    ZEVBinaryImageDetails details = detailsOf(image);
    ZEVWritableContext* writable = zevuzavidav::sharedWritableContext();
    if (writable == nullptr) {
        ZEVSDKLog("%s: Error: Writable context is NULL\n", "ZEVBinaryImageStoreNode");
    } else if (!storeInTable(writable, added, details.node)) {
        ZEVSDKLog("%s: Error: Unable to track a %s node %p\n", "ZEVBinaryImageStoreNode",
                  added ? "loaded" : "unloaded", reinterpret_cast<void*>(image.base));
    }
    ZEVBinaryImageRecordSlice(details, image.path, added);
}

void ZEVBinaryImageAddedCallback(const darwin::ImageInfo& image) {
    ZEVBinaryImageStoreNode(true, image);
}
void ZEVBinaryImageRemovedCallback(const darwin::ImageInfo& image) {
    ZEVBinaryImageStoreNode(false, image);
}

void ZEVBinaryImageInit() {
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    ZEVWritableContext* writable = zevuzavidav::sharedWritableContext();
    auto queue = zevuzavidav::sharedCrashContext().binaryImagesQueue;
    if (readOnly == nullptr || writable == nullptr || !queue) return;
    writable->binaryImageLog = ZEVFile{};
    for (auto& slot : writable->images) {
        slot.base.store(0);
        slot.size.store(0);
        slot.eh_frame.store(0);
        slot.unwind_info.store(0);
        slot.crash_info.store(0);
    }
    imageGeneration.fetch_add(1, std::memory_order_acq_rel);
    const char* path = readOnly->binaryImagePath;
    // Reset here rather than on the queue: a crash before the queue gets to it writes its own lines for
    // images loaded without notice, which a later reset would take away.
    if (!ZEVUnlinkIfExists(path)) {
        ZEVSDKLog("%s: Unable to reset the binary image log file %s\n", "ZEVBinaryImageInit", path);
    }
    queue->async([] {
        bool opened = false;
        if (!ZEVBinaryImageOpenIfNeeded(&opened)) {
            ZEVSDKLog("%s: Error: Unable to open the binary image log file during init\n",
                      "ZEVBinaryImageInit");
        }
    });
    darwin::registerImageCallbacks(ZEVBinaryImageAddedCallback, ZEVBinaryImageRemovedCallback);
    // After the lines of the images already loaded; later lines open and close the file themselves.
    queue->async([] { ZEVBinaryImageCloseLogFile(); });
}

void ZEVBinaryImageVisitLoadCommand(ZEVBinaryImageDetails* details, std::uint32_t type, std::uint32_t size,
                                    std::uintptr_t command) {
    Elf64_Phdr phdr;
    if (details == nullptr || size < sizeof phdr || !readGuarded(command, phdr)) return;
    switch (type) {
    case PT_LOAD: {
        std::uint64_t end = details->slide + phdr.p_vaddr + phdr.p_memsz;
        if (end > details->node.base && end - details->node.base > details->node.size)
            details->node.size = end - details->node.base;
        break;
    }
    case PT_NOTE:
        if (details->uuid[0] == '\0') buildIdText(details->slide + phdr.p_vaddr, phdr.p_memsz, details->uuid);
        break;
    default:
        break;
    }
}

bool ZEVBinaryImageGetSection(const ZEVMachOSlice* slice, const char* segment, const char* section,
                              std::uint64_t* address, std::uint64_t* size, std::uint64_t* fileOffset) {
    if (slice == nullptr || segment == nullptr || section == nullptr) return false;
    auto header = reinterpret_cast<std::uintptr_t>(slice->header);
    std::uint32_t magic = 0;
    if (darwin::isNullAddress(header) || !readGuarded(header, magic)) return false;
    std::uint64_t foundAddress = 0, foundSize = 0, foundOffset = 0;
    bool found = false;
    if (magic == kMachOMagic64) {
        darwin::MachOSection machO;
        found = darwin::machOFindSection(slice->header, slice->size, segment, section, machO);
        foundAddress = machO.address;
        foundSize = machO.size;
        foundOffset = machO.fileOffset;
    } else if (std::strcmp(segment, "__TEXT") == 0 && std::strcmp(section, "__eh_frame") == 0) {
        forEachProgramHeader(header, [&](const Elf64_Phdr& phdr, std::uintptr_t, std::uint32_t) {
            if (phdr.p_type != PT_GNU_EH_FRAME || found) return;
            found = true;
            foundAddress = phdr.p_vaddr;
            foundSize = phdr.p_memsz;
            foundOffset = phdr.p_offset;
        });
    }
    if (!found) return false;
    if (address != nullptr) *address = foundAddress;
    if (size != nullptr) *size = foundSize;
    if (fileOffset != nullptr) *fileOffset = foundOffset;
    return true;
}

void ZEVBinaryImageFillInDetails(ZEVBinaryImageDetails* details) {
    if (darwin::isNullAddress(details)) return;
    auto header = reinterpret_cast<std::uintptr_t>(details->slice.header);
    if (darwin::isNullAddress(header)) return;
    // The header sits at the start of the first loadable segment, which fixes the slide.
    bool haveSlide = false;
    bool elf = forEachProgramHeader(header, [&](const Elf64_Phdr& phdr, std::uintptr_t, std::uint32_t) {
        if (phdr.p_type != PT_LOAD || haveSlide) return;
        details->slide = header - (phdr.p_vaddr - phdr.p_offset);
        haveSlide = true;
    });
    if (!elf || !haveSlide) return;
    details->node.base = header;
    forEachProgramHeader(header, [&](const Elf64_Phdr& phdr, std::uintptr_t at, std::uint32_t size) {
        ZEVBinaryImageVisitLoadCommand(details, phdr.p_type, size, at);
    });
    std::uint64_t address = 0;
    if (ZEVBinaryImageGetSection(&details->slice, "__TEXT", "__unwind_info", &address, nullptr, nullptr))
        details->node.unwind_info = details->slide + address;
    if (ZEVBinaryImageGetSection(&details->slice, "__TEXT", "__eh_frame", &address, nullptr, nullptr))
        details->node.eh_frame = details->slide + address;
    if (ZEVBinaryImageGetSection(&details->slice, "__DATA", "__crash_info", &address, nullptr, nullptr))
        details->node.crash_info = details->slide + address;
    details->slice.size = details->node.size;
}

bool ZEVBinaryImageHasUnwindInfo(const zevuzavidav::BinaryImageNodeCopy* node) {
    return node != nullptr &&
           (!darwin::isNullAddress(node->unwind_info) || !darwin::isNullAddress(node->eh_frame));
}

bool ZEVBinaryImageSafeFindImageForAddress(std::uint64_t address, zevuzavidav::BinaryImageNodeCopy* out) {
    ZEVWritableContext* writable = zevuzavidav::sharedWritableContext();
    if (!ZEVContextIsInitialized() || writable == nullptr || darwin::isNullAddress(out) || address == 0) {
        return false;
    }
    for (int i = 0; i < zevuzavidav::kBinaryImageTableSize; ++i) {
        const ZEVBinaryImageRuntimeNode* node = &writable->images[i];
        if (darwin::isNullAddress(node)) {
            ZEVSDKLog("%s: Invalid node pointer encountered in context's writable binary image at index %i\n",
                      "ZEVBinaryImageSafeFindImageForAddress", i);
            continue;
        }
        const ZEVBinaryImageRuntimeNode& slot = *node;
        std::uint64_t base = slot.base.load(std::memory_order_acquire);
        std::uint64_t size = slot.size.load(std::memory_order_acquire);
        if (base != 0 && size != 0 && address >= base && address - base < size) {
            *out = zevuzavidav::BinaryImageNodeCopy{base, size, slot.eh_frame.load(std::memory_order_relaxed),
                                                    slot.unwind_info.load(std::memory_order_relaxed),
                                                    slot.crash_info.load(std::memory_order_relaxed)};
            return true;
        }
    }
    return false;
}

std::uint64_t zevuzavidav::binaryImageGeneration() {
    return imageGeneration.load(std::memory_order_acquire);
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
            zevuzavidav::binaryImageUUIDText(image, text);
            if (std::strncmp(text, s->uuid, 33) != 0) return true;
            *s->out = image;
            s->found = true;
            return false;
        },
        &search);
    return search.found;
}

bool ZEVBinaryImageRecordMainExecutable(ZEVFile* file) {
    ZEVBinaryImageDetails details{};
    details.slice = ZOVMachOSliceOfMainExecutable();
    ZEVBinaryImageFillInDetails(&details);
    ZEVFileWriteSectionStart(file, "executable");
    ZEVFileWriteObjectStart(file);
    ZEVFileWriteStringEntry(file, "architecture", ZOVMachOSliceArchitectureName(&details.slice));
    ZEVFileWriteStringEntry(file, "uuid", details.uuid[0] != '\0' ? details.uuid : nullptr);
    ZEVFileWriteUInt64Entry(file, "base", reinterpret_cast<std::uintptr_t>(details.slice.header));
    ZEVFileWriteUInt64Entry(file, "size", details.node.size);
    ZEVFileWriteBoolEntry(file, "encrypted", details.encrypted);
    auto version = [&](const char* key, const ZOVMachOVersion& value) {
        if (!details.hasVersions) {
            zevuzavidav::writeNullEntry(file, key);
            return;
        }
        std::string text = ZOVMachOVersionString(&value).value_or("");
        ZEVFileWriteStringEntry(file, key, text.c_str());
    };
    version("minimum_sdk_version", details.minimumOS);
    version("built_sdk_version", details.builtSDK);
    ZEVFileWriteObjectEnd(file);
    ZEVFileWriteSectionEnd(file);
    return true;
}

namespace {

struct ListedImages {
    std::uintptr_t headers[kMaxListedImages];
    int count;
    ZEVWritableContext* writable;
    ZEVFile* file;
    const char* path;
    bool linesOwed; // the queue still owes load lines: known images get a crash-time line too
};

bool liveInTable(ZEVWritableContext* writable, std::uintptr_t base) {
    for (const auto& slot : writable->images) {
        if (slot.base.load(std::memory_order_acquire) == base &&
            slot.size.load(std::memory_order_acquire) != 0)
            return true;
    }
    return false;
}

// The crash-time lines go to a file whose writer thread may have been stopped in the middle of a line:
// each of ours starts on a line of its own.
bool openForCrashTimeLines(ListedImages* listed) {
    if (ZEVFileIsOpen(listed->file)) return true;
    if (!ZEVFileInitWithPath(listed->file, listed->path, false)) return false;
    // The record's descriptor only writes: the last byte is read through a descriptor of its own.
    char last = '\n';
    const long reader = darwin::openPath(listed->path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (reader >= 0) {
        long end = darwin::systemCall(SYS_lseek, reader, 0, SEEK_END);
        if (end > 0 && darwin::systemCall(SYS_pread64, reader, &last, 1, end - 1) != 1) last = '\n';
        darwin::systemCall(SYS_close, reader);
    }
    if (last != '\n') ZEVFileWriteBytes(listed->file, "\n", 1);
    return true;
}

bool noteListedImage(const darwin::LoadedObject& object, void* raw) {
    auto* listed = static_cast<ListedImages*>(raw);
    if (listed->count < kMaxListedImages) listed->headers[listed->count++] = object.header;
    const bool known = liveInTable(listed->writable, object.header);
    // A known image's line is the queue's to write; while the queue still owes lines, which is which is
    // not known, so every known image gets one of ours as well (a reader takes the first of two alike).
    if (known && !listed->linesOwed) return true;
    ZEVBinaryImageDetails details{};
    details.slice = ZOVMachOSliceFromHeader(reinterpret_cast<const std::uint8_t*>(object.header), 0);
    ZEVBinaryImageFillInDetails(&details);
    if (details.node.size == 0) return true;
    if (!known) {
        ZEVSDKLog("%s: Recording an image loaded without notice: %p %s\n",
                  "zevuzavidav::syncBinaryImagesWithLoadedObjects", reinterpret_cast<void*>(object.header),
                  object.path);
        if (!storeInTable(listed->writable, true, details.node)) {
            ZEVSDKLog("%s: Error: Unable to track a %s node %p\n", "ZEVBinaryImageStoreNode", "loaded",
                      reinterpret_cast<void*>(object.header));
        }
    }
    if (openForCrashTimeLines(listed)) writeLine(listed->file, details, object.path, true);
    return true;
}

} // namespace

void zevuzavidav::syncBinaryImagesWithLoadedObjects() {
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    ZEVWritableContext* writable = zevuzavidav::sharedWritableContext();
    if (readOnly == nullptr || writable == nullptr || !ZEVContextIsInitialized()) return;
    ZEVFile file;
    ListedImages listed;
    listed.count = 0;
    listed.writable = writable;
    listed.file = &file;
    listed.path = readOnly->binaryImagePath;
    listed.linesOwed = loadLinesOwed.load(std::memory_order_acquire) > 0;
    bool whole = darwin::forEachLoadedObject(noteListedImage, &listed) && listed.count < kMaxListedImages;
    // Only a list read whole tells which images are gone.
    for (auto& slot : writable->images) {
        if (!whole) break;
        std::uint64_t base = slot.base.load(std::memory_order_acquire);
        std::uint64_t size = slot.size.load(std::memory_order_acquire);
        if (base == 0 || size == 0) continue;
        bool listedNow = false;
        for (int i = 0; i < listed.count && !listedNow; ++i)
            listedNow = listed.headers[i] == base;
        if (listedNow) continue;
        ZEVSDKLog("%s: Recording an image unloaded without notice: %p\n",
                  "zevuzavidav::syncBinaryImagesWithLoadedObjects", reinterpret_cast<void*>(base));
        ZEVBinaryImageDetails details{};
        details.slice = ZOVMachOSliceFromHeader(reinterpret_cast<const std::uint8_t*>(base), size);
        details.node = zevuzavidav::BinaryImageNodeCopy{base, size, 0, 0, 0};
        storeInTable(writable, false, details.node);
        details.node.size = 0;
        if (openForCrashTimeLines(&listed)) writeLine(&file, details, nullptr, false);
    }
    if (ZEVFileIsOpen(&file)) ZEVFileClose(&file);
}
