#include "platform/foundation/UUID.hpp"

#include "platform/foundation/Hex.hpp"

#include <random>
#include <sys/random.h>

namespace ns {
namespace {

bool fillFromKernel(UUID::Bytes& bytes) {
    std::size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = getrandom(bytes.data() + got, bytes.size() - got, 0);
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

UUID UUID::random() {
    Bytes bytes{};
    if (!fillFromKernel(bytes)) {
        std::random_device rd;
        std::mt19937_64 gen((static_cast<std::uint64_t>(rd()) << 32) ^ rd());
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(gen());
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    return UUID(bytes);
}

std::optional<UUID> UUID::parse(std::string_view text) {
    if (text.size() != 36) return std::nullopt;
    Bytes bytes{};
    std::size_t byte = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') return std::nullopt;
            ++i;
            continue;
        }
        int hi = hexValue(text[i]), lo = hexValue(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes[byte++] = static_cast<std::uint8_t>(hi << 4 | lo);
        i += 2;
    }
    return UUID(bytes);
}

std::string UUID::string() const {
    char text[36];
    char* out = text;
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) *out++ = '-';
        out = hexEncodeByte(bytes_[i], out, HexCase::upper);
    }
    return std::string(text, sizeof text);
}

} // namespace ns
