#pragma once
// A version in one place. A kit's class answers its two texts ("kitDisplayVersion",
// "kitBuildVersion"), and its requests and records name it as "<kit> iOS SDK/<display version>"; that
// name is joined from the display version at compile time, so the places that show it cannot drift
// apart. The SDK platform's own version is here too.
#include <cstddef>

namespace zovaze {

inline constexpr char kSDKDisplayVersion[] = "1.6.0";
inline constexpr char kSDKBuildVersion[] = "37";

// A zero-terminated text made at compile time.
template <std::size_t Size> struct ConstantText {
    char text[Size] = {};
};

namespace detail {
template <std::size_t Total, std::size_t Size>
constexpr void append(ConstantText<Total>& joined, std::size_t& at, const char (&part)[Size]) {
    for (std::size_t i = 0; i + 1 < Size; ++i)
        joined.text[at++] = part[i];
}
} // namespace detail

// String literals (or constant arrays of their kind) one after another.
template <std::size_t... Sizes> constexpr auto joinedText(const char (&... parts)[Sizes]) {
    ConstantText<(Sizes + ...) - sizeof...(Sizes) + 1> joined;
    std::size_t at = 0;
    (detail::append(joined, at, parts), ...);
    return joined;
}

} // namespace zovaze
