#pragma once
// Tracking of loaded images: a fixed, lock-free table in the crash context for crash-time lookups,
// and one "load"/"unload" line per notification in "binary_images.zevrecord" for symbolication.
//
// Table updates happen on the notifying thread by compare-and-swap; file writes are serialised on the
// binary-images queue. Lookups are signal-safe.
#include "platform/darwin/Images.hpp"
#include "sdk/zevuzavidav/images/ZEVBinaryImageNode.hpp"

#include <cstdint>

struct ZEVFile;

void ZEVBinaryImageInit();
void ZEVBinaryImageAddedCallback(const darwin::ImageInfo& image);
void ZEVBinaryImageRemovedCallback(const darwin::ImageInfo& image);
void ZEVBinaryImageStoreNode(bool added, const darwin::ImageInfo& image);
// The first live slot with base <= address < base + size.
bool ZEVBinaryImageSafeFindImageForAddress(std::uint64_t address, ZEVBinaryImageNodeCopy* out);
// The loaded image whose UUID (32 lowercase hex digits) matches.
bool ZEVBinaryImageFindImageForUUID(const char* uuid, darwin::ImageInfo* out);
// The "executable" section of the metadata file; true.
bool ZEVBinaryImageRecordMainExecutable(ZEVFile* file);
// 32 lowercase hex digits and a zero.
void ZEVBinaryImageUUIDText(const darwin::ImageInfo& image, char out[33]);
