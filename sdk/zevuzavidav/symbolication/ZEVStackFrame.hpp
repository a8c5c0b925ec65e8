#pragma once
// One frame of a recorded stack: its address and what is known about it. Frames made from bare
// return addresses carry only the address (offset and line 0).
#include <cstdint>
#include <optional>
#include <string>

struct ZEVStackFrame {
    std::uint64_t address = 0;
    std::optional<std::string> symbol;
    std::uint64_t offset = 0;
    std::optional<std::string> library;
    std::optional<std::string> fileName;
    std::uint32_t lineNumber = 0;

    static ZEVStackFrame stackFrameWithAddress(std::uint64_t address) {
        ZEVStackFrame frame;
        frame.address = address;
        return frame;
    }
};
