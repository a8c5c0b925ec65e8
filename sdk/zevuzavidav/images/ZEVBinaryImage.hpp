#pragma once
// Tracking of loaded images: a fixed, lock-free table in the crash context for crash-time lookups,
// and one "load"/"unload" line per notification in "binary_images.zevrecord" for symbolication.
//
// Images opened through the platform's image wrappers are announced as they come and go: the table is
// updated on the notifying thread by compare-and-swap and the line is written on the binary-images
// queue. Images opened by plain dlopen (name-service modules, providers, anything a library opens) are
// not announced; at crash time zevuzavidav::syncBinaryImagesWithLoadedObjects reads the dynamic linker's own
// list and brings the table and the file up to date, so every image mapped then is known. Lookups and the
// sync are signal-safe.
//
// Images here are ELF: an image's "load commands" are its program headers, its UUID the first 16 bytes
// of its GNU build-id, its unwind information the .eh_frame_hdr index, and it carries no encryption
// marker or OS versions.
#include "platform/darwin/Images.hpp"
#include "sdk/zevuzavidav/context/ZEVBinaryImageNode.hpp"
#include "sdk/zovaze/images/ZOVMachO.hpp"

#include <cstdint>

struct ZEVFile;

// One image, built on the stack.
struct ZEVBinaryImageDetails {
    char uuid[33];    // 32 lowercase hex digits, or "" when the image has no build-id
    bool encrypted;   // never set for ELF images
    bool hasVersions; // whether the two versions below were found (never for ELF images)
    ZOVMachOVersion builtSDK;
    ZOVMachOVersion minimumOS;
    zevuzavidav::BinaryImageNodeCopy node; // base, size and unwind addresses
    ZEVMachOSlice slice;                   // the header
    std::uint64_t slide;                   // what the image's addresses were moved by
};

void ZEVBinaryImageInit();
void ZEVBinaryImageAddedCallback(const darwin::ImageInfo& image);
void ZEVBinaryImageRemovedCallback(const darwin::ImageInfo& image);
// Updates the table and queues the record line.
void ZEVBinaryImageStoreNode(bool added, const darwin::ImageInfo& image);
// Queues one record line ("load" or "unload") on the binary-images queue.
void ZEVBinaryImageRecordSlice(const ZEVBinaryImageDetails& details, const char* path, bool added);
// The "uuid", "base" and "size" members; false (with a log line) for no file.
bool ZEVBinaryImageRecordDetails(ZEVFile* file, const ZEVBinaryImageDetails* details);
// Opens the log file unless it is open; true when it is open afterwards. `opened` tells whether this
// call opened it. For the binary-images queue only.
bool ZEVBinaryImageOpenIfNeeded(bool* opened);
void ZEVBinaryImageCloseLogFile();

// Fills the details of the image whose header is details->slice.header: uuid, size, slide and the
// section addresses. Reads through guarded copies only, so it is safe at crash time and on a header
// that turns out not to be one (the details then stay empty).
void ZEVBinaryImageFillInDetails(ZEVBinaryImageDetails* details);
// One program header (`command` is its address, `type` its p_type).
void ZEVBinaryImageVisitLoadCommand(ZEVBinaryImageDetails* details, std::uint32_t type, std::uint32_t size,
                                    std::uintptr_t command);
// A section of the image by its segment and section name, unslid: for Mach-O slices (the recorded
// arm64 images) the section itself; for ELF images "__TEXT","__eh_frame" is the .eh_frame_hdr index,
// and the other sections do not exist.
bool ZEVBinaryImageGetSection(const ZEVMachOSlice* slice, const char* segment, const char* section,
                              std::uint64_t* address, std::uint64_t* size, std::uint64_t* fileOffset);
// Whether the image carries unwind information the unwinder reads: compact unwind information or,
// for an ELF image, the .eh_frame_hdr index.
bool ZEVBinaryImageHasUnwindInfo(const zevuzavidav::BinaryImageNodeCopy* node);

// The first live slot with base <= address < base + size.
bool ZEVBinaryImageSafeFindImageForAddress(std::uint64_t address, zevuzavidav::BinaryImageNodeCopy* out);
namespace zevuzavidav {
// A number that rises whenever an image leaves the table (and when the table is cleared). Signal-safe.
std::uint64_t binaryImageGeneration();
} // namespace zevuzavidav
// The loaded image whose UUID (32 lowercase hex digits) matches.
bool ZEVBinaryImageFindImageForUUID(const char* uuid, darwin::ImageInfo* out);
// The "executable" section of the metadata file; true.
bool ZEVBinaryImageRecordMainExecutable(ZEVFile* file);
namespace zevuzavidav {
// 32 lowercase hex digits and a zero.
void binaryImageUUIDText(const darwin::ImageInfo& image, char out[33]);

// At crash time, with the other threads suspended: every object on the dynamic linker's list that the
// table lacks is added to it and written as a "load" line; every live slot whose image is no longer
// listed is cleared and written as an "unload" line (path null). Does nothing when the list cannot be
// read whole. Signal-safe.
void syncBinaryImagesWithLoadedObjects();
} // namespace zevuzavidav
