#pragma once
// Reading back an event log: one line per event, "<timestamp>\t<key>\n" or
// "<timestamp>\t<key>\t<payload length>\t<payload>\n".
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace ruroradtest {

// One parsed line of an event log.
struct LogLine {
    std::string timestamp;
    std::string key;
    std::optional<std::string> payload;
};

// Parses a whole log; a line that is not whole (cut short, wrong length) fails the test.
inline std::vector<LogLine> parseLog(const std::string& bytes) {
    std::vector<LogLine> lines;
    std::size_t at = 0;
    while (at < bytes.size()) {
        LogLine line;
        const auto tab = bytes.find('\t', at);
        EXPECT_NE(tab, std::string::npos) << "line without key at " << at;
        if (tab == std::string::npos) break;
        line.timestamp = bytes.substr(at, tab - at);
        const auto end = bytes.find_first_of("\t\n", tab + 1);
        EXPECT_NE(end, std::string::npos) << "unterminated line at " << at;
        if (end == std::string::npos) break;
        line.key = bytes.substr(tab + 1, end - tab - 1);
        at = end + 1;
        if (bytes[end] == '\t') {
            const auto lengthEnd = bytes.find('\t', at);
            EXPECT_NE(lengthEnd, std::string::npos);
            if (lengthEnd == std::string::npos) break;
            const std::size_t length = std::stoul(bytes.substr(at, lengthEnd - at));
            EXPECT_LE(lengthEnd + 1 + length + 1, bytes.size()) << "payload cut short";
            if (lengthEnd + 1 + length + 1 > bytes.size()) break;
            line.payload = bytes.substr(lengthEnd + 1, length);
            at = lengthEnd + 1 + length;
            EXPECT_EQ(bytes[at], '\n') << "payload longer than its length";
            ++at;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace ruroradtest
