#pragma once
// Hand-built Mach-O and fat images for the reader tests, and access to the committed fixtures.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace machotest {

using Bytes = std::vector<std::uint8_t>;

inline void putU32(Bytes& bytes, std::size_t at, std::uint32_t value, bool bigEndian = false) {
    if (bytes.size() < at + 4) bytes.resize(at + 4);
    if (bigEndian) value = __builtin_bswap32(value);
    std::memcpy(bytes.data() + at, &value, 4);
}

inline void appendU32(Bytes& bytes, std::uint32_t value) {
    putU32(bytes, bytes.size(), value);
}

struct Command {
    std::uint32_t code;
    std::uint32_t size; // as written in the command; payload is padded or cut to fit
    Bytes payload;      // bytes after the 8-byte command header
};

// A thin 64-bit (or 32-bit) header with the given commands; ncmds and sizeofcmds are computed unless
// overridden.
inline Bytes thinImage(std::int32_t cputype, std::int32_t cpusubtype, const std::vector<Command>& commands,
                       bool is64 = true, long ncmdsOverride = -1, long sizeofcmdsOverride = -1) {
    Bytes bytes;
    appendU32(bytes, is64 ? 0xfeedfacf : 0xfeedface);
    appendU32(bytes, static_cast<std::uint32_t>(cputype));
    appendU32(bytes, static_cast<std::uint32_t>(cpusubtype));
    appendU32(bytes, 2); // executable
    std::uint32_t total = 0;
    for (const auto& command : commands)
        total += command.size;
    appendU32(bytes, ncmdsOverride >= 0 ? static_cast<std::uint32_t>(ncmdsOverride)
                                        : static_cast<std::uint32_t>(commands.size()));
    appendU32(bytes, sizeofcmdsOverride >= 0 ? static_cast<std::uint32_t>(sizeofcmdsOverride) : total);
    appendU32(bytes, 0); // flags
    if (is64) appendU32(bytes, 0);
    for (const auto& command : commands) {
        const std::size_t start = bytes.size();
        appendU32(bytes, command.code);
        appendU32(bytes, command.size);
        Bytes payload = command.payload;
        payload.resize(command.size >= 8 ? command.size - 8 : 0);
        bytes.insert(bytes.end(), payload.begin(), payload.end());
        bytes.resize(start + std::max<std::uint32_t>(command.size, 8));
    }
    return bytes;
}

inline Command uuidCommand(std::uint8_t first) {
    Bytes uuid;
    for (int i = 0; i < 16; ++i)
        uuid.push_back(static_cast<std::uint8_t>(first + i * 0x11));
    return {0x1b, 24, uuid};
}

inline Command versionMinCommand(std::uint32_t version, std::uint32_t sdk) {
    Bytes payload(8);
    std::memcpy(payload.data(), &version, 4);
    std::memcpy(payload.data() + 4, &sdk, 4);
    return {0x25, 16, payload};
}

struct FatEntry {
    std::int32_t cputype;
    std::int32_t cpusubtype;
    Bytes image;
};

// A fat image, its table written big-endian as published or in our own order.
inline Bytes fatImage(const std::vector<FatEntry>& entries, bool bigEndian = true) {
    Bytes bytes;
    putU32(bytes, 0, 0xcafebabe, bigEndian);
    putU32(bytes, 4, static_cast<std::uint32_t>(entries.size()), bigEndian);
    std::size_t offset = 8 + 20 * entries.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        offset = (offset + 15) & ~std::size_t{15};
        const std::size_t entry = 8 + 20 * i;
        putU32(bytes, entry, static_cast<std::uint32_t>(entries[i].cputype), bigEndian);
        putU32(bytes, entry + 4, static_cast<std::uint32_t>(entries[i].cpusubtype), bigEndian);
        putU32(bytes, entry + 8, static_cast<std::uint32_t>(offset), bigEndian);
        putU32(bytes, entry + 12, static_cast<std::uint32_t>(entries[i].image.size()), bigEndian);
        putU32(bytes, entry + 16, 4, bigEndian);
        offset += entries[i].image.size();
    }
    std::size_t at = 8 + 20 * entries.size();
    for (const auto& entry : entries) {
        at = (at + 15) & ~std::size_t{15};
        bytes.resize(at);
        bytes.insert(bytes.end(), entry.image.begin(), entry.image.end());
        at = bytes.size();
    }
    return bytes;
}

inline std::string fixturePath(const std::string& name) {
    return std::string(VELO_SOURCE_DIR) + "/tests/sdk/zovaze/fixtures/macho/" + name;
}

inline Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

} // namespace machotest
