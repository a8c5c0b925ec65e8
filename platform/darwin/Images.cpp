#include "platform/darwin/Images.hpp"

#include "platform/darwin/GuardedRead.hpp"
#include "platform/darwin/NullPage.hpp"

#include <atomic>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace darwin {
namespace {

std::mutex callbackMutex;
// The main program's ELF header: its list entry may carry no usable load address (a fixed-address
// executable has a bias of 0).
std::atomic<std::uintptr_t> mainHeader{0};
ImageCallback addedCallback = nullptr;
ImageCallback removedCallback = nullptr;

// The ELF headers of the images noted as staying mapped; the first `permanentCount` are published.
constexpr std::size_t kPermanentImages = 256;
std::mutex permanentMutex;
std::atomic<std::uintptr_t> permanentHeaders[kPermanentImages];
std::atomic<std::size_t> permanentCount{0};

bool describe(const dl_phdr_info* info, ImageInfo& out) {
    std::uintptr_t low = UINTPTR_MAX;
    std::uintptr_t high = 0;
    out = ImageInfo{};
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type == PT_LOAD) {
            low = header.p_vaddr < low ? header.p_vaddr : low;
            std::uintptr_t end = header.p_vaddr + header.p_memsz;
            high = end > high ? end : high;
        } else if (header.p_type == PT_GNU_EH_FRAME) {
            out.ehFrameHdr = info->dlpi_addr + header.p_vaddr;
        } else if (header.p_type == PT_NOTE && !out.hasUuid) {
            std::uintptr_t at = info->dlpi_addr + header.p_vaddr;
            std::uintptr_t end = at + header.p_memsz;
            while (at + sizeof(ElfW(Nhdr)) <= end) {
                const auto* note = reinterpret_cast<const ElfW(Nhdr)*>(at);
                std::uintptr_t name = at + sizeof(ElfW(Nhdr));
                std::uintptr_t desc = name + ((note->n_namesz + 3) & ~3U);
                if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4 &&
                    std::memcmp(reinterpret_cast<const void*>(name), "GNU", 4) == 0 && note->n_descsz > 0) {
                    std::size_t n = note->n_descsz < 16 ? note->n_descsz : 16;
                    std::memcpy(out.uuid, reinterpret_cast<const void*>(desc), n);
                    out.hasUuid = true;
                    break;
                }
                at = desc + ((note->n_descsz + 3) & ~3U);
            }
        }
    }
    if (high <= low) return false;
    out.base = info->dlpi_addr + low;
    out.size = high - low;
    out.path = info->dlpi_name;
    if (out.ehFrameHdr != 0) out.ehFrame = ehFrameFromHeader(out.ehFrameHdr);
    return true;
}

// The main program is listed without a name; its path comes from /proc, read once.
const char* mainExecutablePath() {
    static char path[4096];
    static std::once_flag once;
    std::call_once(once, [] {
        long n = readlink("/proc/self/exe", path, sizeof path - 1);
        path[n > 0 ? n : 0] = '\0';
    });
    return path;
}

struct VisitState {
    bool (*visit)(const ImageInfo&, void*);
    void* context;
    bool first;
    bool stopped;
};

int visitOne(dl_phdr_info* info, std::size_t, void* raw) {
    auto* state = static_cast<VisitState*>(raw);
    ImageInfo image;
    bool first = state->first;
    state->first = false;
    if (!describe(info, image)) return 0;
    image.mainExecutable = first;
    if (first && (image.path == nullptr || image.path[0] == '\0')) image.path = mainExecutablePath();
    if (!state->visit(image, state->context)) {
        state->stopped = true;
        return 1;
    }
    return 0;
}

std::vector<ImageInfo> snapshot() {
    std::vector<ImageInfo> images;
    forEachImage(
        [](const ImageInfo& image, void* context) {
            static_cast<std::vector<ImageInfo>*>(context)->push_back(image);
            return true;
        },
        &images);
    return images;
}

bool contains(const std::vector<ImageInfo>& images, std::uintptr_t base) {
    for (const auto& image : images) {
        if (image.base == base) return true;
    }
    return false;
}

} // namespace

void forEachImage(bool (*visit)(const ImageInfo& image, void* context), void* context) {
    if (visit == nullptr) return;
    VisitState state{visit, context, true, false};
    dl_iterate_phdr(visitOne, &state);
}

namespace {

// What the linker's list says of one object for telling whether it came with the program.
struct ListedObject {
    std::uintptr_t header = 0; // 0: not described (no loadable segment)
    std::string name;          // as listed (empty for the main program)
    std::string soname;        // DT_SONAME, when it has one
    std::string interpreter;   // PT_INTERP (the main program's: the dynamic linker)
    std::vector<std::string> needed;
};

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The object's dynamic entries: its DT_NEEDED names and DT_SONAME. The linker has relocated the string
// table's address in place for most objects; one still below the load bias is taken as unrelocated.
void readDynamicSection(const dl_phdr_info* info, ListedObject* out) {
    const ElfW(Dyn)* dynamic = nullptr;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type == PT_DYNAMIC)
            dynamic = reinterpret_cast<const ElfW(Dyn)*>(info->dlpi_addr + header.p_vaddr);
        if (header.p_type == PT_INTERP)
            out->interpreter = reinterpret_cast<const char*>(info->dlpi_addr + header.p_vaddr);
    }
    if (dynamic == nullptr) return;
    std::uintptr_t strings = 0;
    for (const ElfW(Dyn)* entry = dynamic; entry->d_tag != DT_NULL; ++entry) {
        if (entry->d_tag == DT_STRTAB) strings = entry->d_un.d_ptr;
    }
    if (strings == 0) return;
    if (strings < info->dlpi_addr) strings += info->dlpi_addr;
    for (const ElfW(Dyn)* entry = dynamic; entry->d_tag != DT_NULL; ++entry) {
        const char* text = reinterpret_cast<const char*>(strings + entry->d_un.d_val);
        if (entry->d_tag == DT_NEEDED) out->needed.emplace_back(text);
        if (entry->d_tag == DT_SONAME) out->soname = text;
    }
}

} // namespace

void notePermanentImages() {
    std::vector<ListedObject> objects;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* raw) {
            ListedObject object;
            ImageInfo image;
            if (describe(info, image)) object.header = image.base;
            object.name = info->dlpi_name != nullptr ? info->dlpi_name : "";
            readDynamicSection(info, &object);
            static_cast<std::vector<ListedObject>*>(raw)->push_back(std::move(object));
            return 0;
        },
        &objects);
    if (objects.empty()) return;
    // The objects the program was linked against, with theirs in turn, and the dynamic linker: loaded
    // before the program ran, they are never unloaded (the linker unloads only objects that dlopen
    // brought in). Objects preloaded by the environment are left out: what is noted must be certain.
    std::vector<bool> fromStart(objects.size(), false);
    fromStart[0] = true; // the main program, listed first
    std::vector<std::string> wanted = objects[0].needed;
    if (!objects[0].interpreter.empty()) wanted.push_back(baseName(objects[0].interpreter));
    while (!wanted.empty()) {
        const std::string name = wanted.back();
        wanted.pop_back();
        for (std::size_t i = 1; i < objects.size(); ++i) {
            const ListedObject& object = objects[i];
            if (fromStart[i] || (object.soname != name && baseName(object.name) != name)) continue;
            fromStart[i] = true;
            wanted.insert(wanted.end(), object.needed.begin(), object.needed.end());
        }
    }
    std::lock_guard lock(permanentMutex);
    std::size_t count = permanentCount.load(std::memory_order_relaxed);
    for (std::size_t i = 0; i < objects.size() && count < kPermanentImages; ++i) {
        if (!fromStart[i] || objects[i].header == 0 || imageIsPermanent(objects[i].header)) continue;
        permanentHeaders[count].store(objects[i].header, std::memory_order_relaxed);
        permanentCount.store(++count, std::memory_order_release);
    }
}

bool imageIsPermanent(std::uintptr_t header) {
    const std::size_t count = permanentCount.load(std::memory_order_acquire);
    for (std::size_t i = 0; i < count; ++i) {
        if (permanentHeaders[i].load(std::memory_order_relaxed) == header) return header != 0;
    }
    return false;
}

void registerImageCallbacks(ImageCallback added, ImageCallback removed) {
    ImageInfo main;
    if (mainImage(main)) mainHeader.store(main.base);
    notePermanentImages();
    {
        std::lock_guard lock(callbackMutex);
        addedCallback = added;
        removedCallback = removed;
    }
    if (added == nullptr) return;
    for (const auto& image : snapshot())
        added(image);
}

void* openImage(const char* path, int flags) {
    std::lock_guard lock(callbackMutex);
    std::vector<ImageInfo> before = addedCallback != nullptr ? snapshot() : std::vector<ImageInfo>{};
    void* handle = dlopen(path, flags);
    if (handle != nullptr && addedCallback != nullptr) {
        for (const auto& image : snapshot()) {
            if (!contains(before, image.base)) addedCallback(image);
        }
    }
    return handle;
}

int closeImage(void* handle) {
    std::lock_guard lock(callbackMutex);
    std::vector<ImageInfo> before = removedCallback != nullptr ? snapshot() : std::vector<ImageInfo>{};
    // The dynamic linker frees an image's name when it unmaps it: keep copies for the notifications.
    std::vector<std::string> names;
    names.reserve(before.size());
    for (auto& image : before) {
        names.emplace_back(image.path != nullptr ? image.path : "");
        image.path = nullptr;
    }
    int result = dlclose(handle);
    if (result == 0 && removedCallback != nullptr) {
        std::vector<ImageInfo> after = snapshot();
        for (std::size_t i = 0; i < before.size(); ++i) {
            if (contains(after, before[i].base)) continue;
            ImageInfo image = before[i];
            image.path = names[i].c_str();
            removedCallback(image);
        }
    }
    return result;
}

bool findImage(std::uintptr_t address, ImageInfo& out) {
    struct Search {
        std::uintptr_t address;
        ImageInfo* out;
        bool found;
    } search{address, &out, false};
    forEachImage(
        [](const ImageInfo& image, void* context) {
            auto* s = static_cast<Search*>(context);
            if (s->address >= image.base && s->address - image.base < image.size) {
                *s->out = image;
                s->found = true;
                return false;
            }
            return true;
        },
        &search);
    return search.found;
}

bool mainImage(ImageInfo& out) {
    bool found = false;
    struct State {
        ImageInfo* out;
        bool* found;
    } state{&out, &found};
    forEachImage(
        [](const ImageInfo& image, void* context) {
            auto* s = static_cast<State*>(context);
            *s->out = image;
            *s->found = true;
            return false;
        },
        &state);
    return found;
}

std::uintptr_t ehFrameFromHeader(std::uintptr_t hdr) {
    // version (1), eh_frame_ptr encoding, fde_count encoding, table encoding, then eh_frame_ptr.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(hdr);
    if (bytes[0] != 1) return 0;
    std::uint8_t encoding = bytes[1];
    std::uintptr_t field = hdr + 4;
    std::uintptr_t value = 0;
    switch (encoding & 0x0F) {
    case 0x03: { // udata4
        std::uint32_t v;
        std::memcpy(&v, reinterpret_cast<const void*>(field), 4);
        value = v;
        break;
    }
    case 0x0B: { // sdata4
        std::int32_t v;
        std::memcpy(&v, reinterpret_cast<const void*>(field), 4);
        value = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(v));
        break;
    }
    case 0x00:
    case 0x04:
    case 0x0C: {
        std::uint64_t v;
        std::memcpy(&v, reinterpret_cast<const void*>(field), 8);
        value = v;
        break;
    }
    default:
        return 0;
    }
    switch (encoding & 0x70) {
    case 0x00:
        return value;
    case 0x10: // pc-relative
        return field + value;
    case 0x30: // data-relative: relative to the header
        return hdr + value;
    default:
        return 0;
    }
}

namespace {

constexpr int kMaxLoadedObjects = 4096;

bool isElfHeader(std::uintptr_t address) {
    unsigned char magic[SELFMAG];
    return !darwin::isNullAddress(address) && readMemory(address, magic, sizeof magic) &&
           std::memcmp(magic, ELFMAG, SELFMAG) == 0;
}

// Copies a zero-terminated text piece by piece (never past a readable piece); "" when unreadable.
void copyPath(std::uintptr_t address, char (&out)[kLoadedObjectPathSize]) {
    out[0] = '\0';
    std::size_t done = 0;
    while (!darwin::isNullAddress(address) && done + 1 < sizeof out) {
        std::size_t want = 64 - ((address + done) & 63);
        if (want > sizeof out - 1 - done) want = sizeof out - 1 - done;
        if (!readMemory(address + done, out + done, want)) {
            out[done] = '\0';
            return;
        }
        for (std::size_t i = done; i < done + want; ++i) {
            if (out[i] == '\0') return;
        }
        done += want;
    }
    out[done] = '\0';
}

// Walks one namespace's chain; false when a link could not be read or the chain does not end.
// `stopped` is set when the visitor asked to stop.
bool walkChain(std::uintptr_t entry, bool mainNamespace, bool (*visit)(const LoadedObject&, void*),
               void* context, int* budget, bool* stopped) {
    bool first = mainNamespace;
    while (entry != 0) {
        if (--*budget < 0) return false;
        struct link_map node {};
        if (!readMemory(entry, &node, sizeof node)) return false;
        LoadedObject object;
        object.bias = static_cast<std::uintptr_t>(node.l_addr);
        copyPath(reinterpret_cast<std::uintptr_t>(node.l_name), object.path);
        // Objects linked at address 0 have their header at the bias; the main program may not.
        if (isElfHeader(object.bias)) {
            object.header = object.bias;
        } else if (first) {
            object.header = mainHeader.load();
        }
        first = false;
        if (object.header != 0 && !visit(object, context)) {
            *stopped = true;
            return true;
        }
        entry = reinterpret_cast<std::uintptr_t>(node.l_next);
    }
    return true;
}

} // namespace

bool forEachLoadedObject(bool (*visit)(const LoadedObject& object, void* context), void* context) {
    if (visit == nullptr) return false;
    int budget = kMaxLoadedObjects;
    // The default namespace's record; from version 2 on it links the records of the other namespaces.
    std::uintptr_t record = reinterpret_cast<std::uintptr_t>(&_r_debug);
    bool mainNamespace = true;
    bool stopped = false;
    while (record != 0 && !stopped) {
        struct r_debug_extended debug {};
        if (!readMemory(record, &debug.base, sizeof debug.base)) return false;
        if (debug.base.r_version >= 2 && !readMemory(record, &debug, sizeof debug)) return false;
        if (!walkChain(reinterpret_cast<std::uintptr_t>(debug.base.r_map), mainNamespace, visit, context,
                       &budget, &stopped)) {
            return false;
        }
        mainNamespace = false;
        record = debug.base.r_version >= 2 ? reinterpret_cast<std::uintptr_t>(debug.r_next) : 0;
        if (--budget < 0) return false;
    }
    return true;
}

} // namespace darwin
