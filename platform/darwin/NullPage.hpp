#pragma once
// The first page of a process is never mapped, so an address inside it is a null pointer, or one plus
// a small offset (a field of a null record). Code that reads memory of a crashed process, or takes
// pointers from it, counts every such address as null and never reads through it.
#include <cstdint>

namespace darwin {

inline constexpr std::uint64_t kNullLimit = 4096;

constexpr bool isNullAddress(std::uint64_t address) {
    return address < kNullLimit;
}
inline bool isNullAddress(const volatile void* pointer) {
    return isNullAddress(reinterpret_cast<std::uintptr_t>(pointer));
}

} // namespace darwin
