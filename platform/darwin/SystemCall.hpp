#pragma once
// A system call with all six argument registers defined: those the call does not take are 0. A sandbox's
// seccomp filter reads all six whatever the call takes; one that looks at a register the caller left as it
// found it (a thread id, a pointer) would judge a stray value, and trap or refuse the crash reporter's own
// call now and then. Signal-safe.
#include <cstdint>
#include <type_traits>
#include <unistd.h>

namespace darwin {

namespace detail {

template <typename T> long asArgument(T value) {
    if constexpr (std::is_null_pointer_v<T>)
        return 0;
    else if constexpr (std::is_pointer_v<T>)
        return static_cast<long>(reinterpret_cast<std::uintptr_t>(value));
    else
        return static_cast<long>(value);
}

} // namespace detail

template <typename... Arguments> long systemCall(long number, Arguments... arguments) {
    static_assert(sizeof...(Arguments) <= 6, "a system call takes six arguments at most");
    long values[6] = {detail::asArgument(arguments)...};
    return syscall(number, values[0], values[1], values[2], values[3], values[4], values[5]);
}

} // namespace darwin
