#pragma once
// The executable images (ELF objects) loaded in this process, with load and unload notifications.
//
// An image is described by the address of its ELF header (base), the span of its loadable segments
// (size), its GNU build-id (first 16 bytes, the image UUID), and the addresses of its
// .eh_frame_hdr and .eh_frame sections (0 when absent). The list comes from dl_iterate_phdr;
// images opened or closed after start are announced only when they go through openImage/closeImage,
// our wrappers of dlopen/dlclose; forEachLoadedObject finds the others at crash time.
#include <cstddef>
#include <cstdint>

namespace darwin {

struct ImageInfo {
    std::uintptr_t base = 0;
    std::uintptr_t size = 0;
    std::uintptr_t ehFrameHdr = 0;
    std::uintptr_t ehFrame = 0;
    std::uint8_t uuid[16] = {};
    bool hasUuid = false;
    const char* path = nullptr; // owned by the dynamic linker; valid while the image is loaded
    bool mainExecutable = false;
};

using ImageCallback = void (*)(const ImageInfo& image);

// Calls `visit` for every loaded image (main executable first); stops early when it returns false.
void forEachImage(bool (*visit)(const ImageInfo& image, void* context), void* context);

// Registers the notification callbacks (one pair per process; a later call replaces them). `added` is
// called at once, on this thread, for every image already loaded.
void registerImageCallbacks(ImageCallback added, ImageCallback removed);

// Notes the images that stay mapped until the process ends: the main program, the objects it was
// linked against (with theirs in turn) and the dynamic linker, which the linker loads before the
// program runs and never unloads, whoever calls dlclose. Objects opened later are never noted. Call at
// start (registerImageCallbacks calls it); noting again adds nothing new, and an image noted stays
// noted.
void notePermanentImages();
// Whether the image whose ELF header is at `header` was noted as staying mapped. Lock-free: safe in
// signal handlers.
bool imageIsPermanent(std::uintptr_t header);

// dlopen/dlclose that announce images newly mapped or unmapped to the registered callbacks.
void* openImage(const char* path, int flags);
int closeImage(void* handle);

// The image that holds `address`, if any.
bool findImage(std::uintptr_t address, ImageInfo& out);

// The main executable.
bool mainImage(ImageInfo& out);

// Reads the eh_frame address out of an .eh_frame_hdr at `hdr` (0 when it cannot be decoded).
std::uintptr_t ehFrameFromHeader(std::uintptr_t hdr);

// One object on the dynamic linker's own list of loaded objects, as a crash handler reads it.
constexpr std::size_t kLoadedObjectPathSize = 512;
struct LoadedObject {
    std::uintptr_t header = 0;             // address of its ELF header
    std::uintptr_t bias = 0;               // the load bias: what its addresses were moved by
    char path[kLoadedObjectPathSize] = {}; // "" when the linker lists it without a name
};

// Walks the dynamic linker's list of loaded objects, in every namespace, the way a debugger does: with
// guarded reads only, so it is safe in a signal handler and finds every image mapped at that moment,
// those opened by plain dlopen included. An object whose ELF header cannot be found is left out (the
// main program's is remembered by registerImageCallbacks). A link that cannot be read ends the walk
// and the result is false; so does a list longer than any process has.
bool forEachLoadedObject(bool (*visit)(const LoadedObject& object, void* context), void* context);

} // namespace darwin
