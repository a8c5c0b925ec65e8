#pragma once
// Reading and writing property lists (binary "bplist00" and XML) through libplist, and conversion
// between ns::PropertyList and libplist nodes.
//
// Failure contract: every function reports failure as an ns::Error in the domain
// propertyListErrorDomain; nothing throws, and corrupt or hostile bytes (truncated files, bad offsets,
// cycles, absurd nesting) give an error, never a crash. Values that no property list can hold (null
// anywhere in the tree, data over 4 GiB, text that is not UTF-8 or holds NUL) are refused by the
// writers; the readers refuse such text as corrupt, so whatever they return can be written back.
#include "platform/foundation/PropertyList.hpp"
#include "platform/foundation/Result.hpp"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include <plist/plist.h>

namespace ns {

inline constexpr const char* propertyListErrorDomain = "VelomarinthPropertyListErrorDomain";

enum class PropertyListErrorCode : long {
    corrupt = 1,      // the bytes are not a property list this reader accepts
    unsupported = 2,  // a value that cannot be written (null, oversized data, a date out of range) or
                      // read as it is (an integer beyond the signed 64 bits)
    tooDeep = 3,      // nesting beyond maxPropertyListDepth
    fileNotFound = 4, // no file at the path
    readFailed = 5,   // the file exists but could not be read
    writeFailed = 6,  // the bytes could not be produced or written
};

enum class PropertyListFormat { binary, xml };

// Arrays and dictionaries nested deeper than this are refused when reading and writing.
inline constexpr int maxPropertyListDepth = 512;

// Reads binary or XML (detected from the bytes). A dictionary whose only key is "CF$UID" with a
// non-negative integer reads as a UID (the XML spelling of UIDs). XML dates carry whole seconds only.
// An integer above INT64_MAX or below INT64_MIN (which libplist would hand out with its sign changed)
// makes the whole list unsupported.
Result<PropertyList> readPropertyList(std::span<const std::uint8_t> bytes);
Result<PropertyList> readPropertyList(std::string_view bytes);
// Reads a whole file of at most `limit` bytes; fileNotFound when nothing is there, readFailed for I/O
// errors, a file past the limit and a link or anything but a regular file in its place (never
// followed, never waited for), corrupt otherwise.
Result<PropertyList> readPropertyListFile(const std::filesystem::path& path, std::size_t limit);

Result<std::vector<std::uint8_t>> writePropertyList(const PropertyList& value, PropertyListFormat format);

// A libplist node tree and its owner: the whole tree is freed (plist_free) when the pointer goes.
struct PlistNodeDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistNode = std::unique_ptr<void, PlistNodeDeleter>;

// Conversion to a libplist node tree, owned by the answer. Fails for null values.
Result<PlistNode> toPlistNode(const PropertyList& value);
// Conversion from a libplist node tree (not taken over; the caller still frees it).
Result<PropertyList> fromPlistNode(plist_t node);

} // namespace ns
