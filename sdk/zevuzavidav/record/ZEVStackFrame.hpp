#pragma once
// One frame of a recorded stack: its address and what is known about it. Frames made from bare
// return addresses carry only the address (offset and line 0); symbolication fills in the symbol, its
// offset and the library, and demangling makes the symbol readable. File name and line are never
// filled by this program.
//
// Failure contract: none; a plain value.
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

    static ZEVStackFrame stackFrame() { return ZEVStackFrame{}; }
    static ZEVStackFrame stackFrameWithAddress(std::uint64_t address) {
        ZEVStackFrame frame;
        frame.address = address;
        return frame;
    }
    static ZEVStackFrame stackFrameWithSymbol(std::string symbol) {
        ZEVStackFrame frame;
        frame.symbol = std::move(symbol);
        return frame;
    }

    // "{[0x<address>] <file> - <symbol>:<line>}" with a file name, else "{[0x<address> + <line>] <symbol>}";
    // an absent text reads "(null)".
    std::string description() const;
};
