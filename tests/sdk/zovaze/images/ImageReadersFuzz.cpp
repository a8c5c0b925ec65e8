#include "tests/sdk/zovaze/images/ImageReadersFuzz.hpp"

#include "sdk/zovaze/images/ELFImage.hpp"
#include "sdk/zovaze/images/ZOVMachO.hpp"

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace imagefuzz {

namespace {

// A copy of the input whose last byte sits right before a PROT_NONE page.
class GuardedCopy {
  public:
    GuardedCopy(const std::uint8_t* data, std::size_t size) {
        page_ = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        dataPages_ = size / page_ + 1;
        void* mapping = ::mmap(nullptr, (dataPages_ + 1) * page_, PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED) return;
        base_ = static_cast<std::uint8_t*>(mapping);
        ::mprotect(base_ + dataPages_ * page_, page_, PROT_NONE);
        start_ = base_ + dataPages_ * page_ - size;
        if (size > 0) std::memcpy(start_, data, size);
    }
    ~GuardedCopy() {
        if (base_ != nullptr) ::munmap(base_, (dataPages_ + 1) * page_);
    }
    GuardedCopy(const GuardedCopy&) = delete;
    GuardedCopy& operator=(const GuardedCopy&) = delete;

    const std::uint8_t* start() const { return start_; }

  private:
    std::size_t page_ = 0;
    std::size_t dataPages_ = 0;
    std::uint8_t* base_ = nullptr;
    std::uint8_t* start_ = nullptr;
};

} // namespace

const char* imageReadersHold(const std::uint8_t* data, std::size_t size) {
    GuardedCopy copy(data, size);
    const std::uint8_t* address = copy.start();
    if (address == nullptr) return nullptr;
    const std::uint8_t* end = address + size;
    const char* broken = nullptr;
    ZOVMachOEnumerateSlicesAtAddress(address, size, [&](const ZEVMachOSlice& given) {
        if (broken != nullptr) return;
        if (given.header < address || given.size > static_cast<std::size_t>(end - given.header)) {
            broken = "a slice lies outside its image";
            return;
        }
        ZEVMachOSlice slice = given;
        ZOVMachOSliceArchitectureName(&slice);
        const std::uint8_t* sliceEnd = given.header + given.size;
        const std::uint8_t* previousEnd = given.header;
        ZOVMachOSliceEnumerateLoadCommands(
            &slice, [&](std::uint32_t, std::uint32_t commandSize, const std::uint8_t* command) {
                if (broken != nullptr) return;
                if (commandSize < 8)
                    broken = "a load command is shorter than its header";
                else if (command < previousEnd)
                    broken = "a load command overlaps the one before";
                else if (commandSize > static_cast<std::size_t>(sliceEnd - command))
                    broken = "a load command lies outside its slice";
                if (broken != nullptr) return;
                previousEnd = command + commandSize;
                if (const std::uint8_t* uuid = ZOVMachOUUIDBytes(command, commandSize)) {
                    if (uuid + 16 > previousEnd) broken = "a UUID lies outside its command";
                }
                // The values are used, so no read they need is left out.
                volatile std::uint32_t sink = ZOVMachOIsEncrypted(command, commandSize);
                if (auto version = ZOVMachOMinimumOSVersion(command, commandSize))
                    sink = sink + version->major;
                if (auto version = ZOVMachOLinkedSDKVersion(command, commandSize))
                    sink = sink + version->minor;
            });
    });
    if (broken != nullptr) return broken;
    if (const auto facts = zovaze::elfImageFacts(address, size)) {
        if (!zovaze::isELFImage(address, size)) return "facts came from bytes that are no ELF image";
        std::uint16_t machine = 0;
        std::memcpy(&machine, address + 18, sizeof machine);
        if (facts->architecture != zovaze::elfArchitectureName(machine))
            return "the facts name another machine than the header";
    }
    return nullptr;
}

} // namespace imagefuzz
