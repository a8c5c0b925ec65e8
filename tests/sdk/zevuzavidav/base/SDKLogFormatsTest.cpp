// Every message the SDK writes to its log, read from the sources as they stand now, goes through the
// log's formatter: each conversion must take its argument and render it, so no "%" is left in a line
// (a crash report's log that reads "code: 0x%llx" has lost the code), and each ends its own line (one
// without its newline runs on into the next message, which a reader of the log then cannot tell apart).
// The compiler checks each call's arguments against its format; this checks the formatter against
// every format the tree uses.
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Token {
    enum Kind { identifier, text, punctuation } kind;
    std::string value; // a string literal's bytes, escapes decoded
    int line;
};

// A small C++ lexer: enough to find calls and their string literals, past comments and char literals.
std::vector<Token> tokenize(const std::string& source) {
    std::vector<Token> tokens;
    int line = 1;
    std::size_t i = 0;
    auto isIdentifier = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    while (i < source.size()) {
        char c = source[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (source.compare(i, 2, "//") == 0) {
            i = source.find('\n', i);
            if (i == std::string::npos) i = source.size();
        } else if (source.compare(i, 2, "/*") == 0) {
            std::size_t end = source.find("*/", i + 2);
            end = end == std::string::npos ? source.size() : end + 2;
            line += static_cast<int>(std::count(source.begin() + i, source.begin() + end, '\n'));
            i = end;
        } else if (source.compare(i, 2, "R\"") == 0) {
            std::size_t open = source.find('(', i);
            std::string close = ")" + source.substr(i + 2, open - i - 2) + "\"";
            std::size_t end = source.find(close, open);
            tokens.push_back({Token::text, source.substr(open + 1, end - open - 1), line});
            line += static_cast<int>(std::count(source.begin() + i, source.begin() + end, '\n'));
            i = end + close.size();
        } else if (c == '"' || c == '\'') {
            std::string value;
            ++i;
            while (i < source.size() && source[i] != c) {
                if (source[i] == '\\' && i + 1 < source.size()) {
                    char e = source[++i];
                    value += e == 'n' ? '\n' : e == 't' ? '\t' : e == '0' ? '\0' : e;
                } else {
                    value += source[i];
                }
                ++i;
            }
            ++i;
            if (c == '"') tokens.push_back({Token::text, value, line});
        } else if (isIdentifier(c)) {
            std::size_t start = i;
            while (i < source.size() && isIdentifier(source[i]))
                ++i;
            tokens.push_back({Token::identifier, source.substr(start, i - start), line});
        } else {
            tokens.push_back({Token::punctuation, std::string(1, c), line});
            ++i;
        }
    }
    return tokens;
}

// The string literals of tokens [begin, end), adjacent ones joined as the compiler joins them.
std::vector<std::string> literals(const std::vector<Token>& tokens, std::size_t begin, std::size_t end) {
    std::vector<std::string> found;
    for (std::size_t i = begin; i < end; ++i) {
        if (tokens[i].kind != Token::text) continue;
        std::string joined;
        while (i < end && tokens[i].kind == Token::text)
            joined += tokens[i++].value;
        found.push_back(joined);
    }
    return found;
}

struct Formats {
    std::vector<std::string> formats;
    std::vector<std::string> unresolved; // call sites whose format could not be found
    int callSites = 0;
};

// The formats of every ZEVSDKLog call of one source: the literals of its first argument, or, when
// that argument is a variable, every literal the file assigns to it.
void collect(const fs::path& path, Formats& out) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    if (text.str().find("ZEVSDKLog") == std::string::npos) return;
    const std::vector<Token> tokens = tokenize(text.str());
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i].value != "ZEVSDKLog" || tokens[i + 1].value != "(") continue;
        if (i > 0 && tokens[i - 1].value == "void") continue; // its declaration or definition
        ++out.callSites;
        std::size_t argumentEnd = i + 2;
        for (int depth = 0; argumentEnd < tokens.size(); ++argumentEnd) {
            const std::string& v = tokens[argumentEnd].value;
            if (tokens[argumentEnd].kind != Token::punctuation) continue;
            if (v == "(" || v == "[" || v == "{") ++depth;
            if ((v == ")" || v == "]" || v == "}") && depth-- == 0) break;
            if (v == "," && depth == 0) break;
        }
        std::vector<std::string> found = literals(tokens, i + 2, argumentEnd);
        if (found.empty() && argumentEnd == i + 3 && tokens[i + 2].kind == Token::identifier) {
            const std::string& variable = tokens[i + 2].value;
            for (std::size_t j = 0; j + 2 < tokens.size(); ++j) {
                if (tokens[j].value != variable || tokens[j + 1].value != "=") continue;
                std::size_t end = j + 2;
                while (end < tokens.size() && tokens[end].value != ";")
                    ++end;
                for (auto& format : literals(tokens, j + 2, end))
                    found.push_back(format);
            }
        }
        if (found.empty()) out.unresolved.push_back(path.string() + ":" + std::to_string(tokens[i].line));
        for (auto& format : found)
            out.formats.push_back(format);
    }
}

// Gives every conversion a value and counts what was taken.
class CountingArguments final : public zevuzavidav::SDKLogArguments {
  public:
    std::int64_t takeSigned(Size) override {
        ++taken;
        return -7;
    }
    std::uint64_t takeUnsigned(Size) override {
        ++taken;
        return 7;
    }
    const void* takePointer() override {
        ++taken;
        return reinterpret_cast<const void*>(0x7);
    }
    const char* takeString() override {
        ++taken;
        return "text";
    }
    int taken = 0;
};

// What printf makes of a format: the arguments it takes (one per conversion, one more per "*") and the
// "%" signs it writes (one per "%%").
struct Expected {
    int arguments = 0;
    long percents = 0;
};
Expected expectedOf(const std::string& format) {
    static const std::regex conversion(
        R"(%(%|[-+ #0]*(\*|[0-9]+)?(\.(\*|[0-9]+))?(hh|h|ll|l|j|z|t)?[diouxXcsp]))");
    Expected expected;
    for (auto it = std::sregex_iterator(format.begin(), format.end(), conversion);
         it != std::sregex_iterator(); ++it) {
        const std::string whole = it->str();
        if (whole == "%%") {
            ++expected.percents;
            continue;
        }
        expected.arguments += 1 + static_cast<int>(std::count(whole.begin(), whole.end(), '*'));
    }
    return expected;
}

TEST(SDKLogFormats, EveryMessageOfTheTreeIsRenderedWhole) {
    Formats scan;
    const fs::path root = VELO_SOURCE_DIR;
    // The whole tree but its tests, its builds and the course text (which cannot reach the SDK).
    const std::set<std::string> skipped = {"tests", "build", "content", ".git"};
    for (const auto& top : fs::directory_iterator(root)) {
        if (!top.is_directory() || skipped.count(top.path().filename().string())) continue;
        for (const auto& entry : fs::recursive_directory_iterator(top.path())) {
            const std::string extension = entry.path().extension().string();
            if (entry.is_regular_file() && (extension == ".cpp" || extension == ".hpp" || extension == ".c"))
                collect(entry.path(), scan);
        }
    }
    ASSERT_GT(scan.callSites, 0) << "no ZEVSDKLog call found under " << root;
    EXPECT_TRUE(scan.unresolved.empty())
        << "calls whose format the scan cannot find: " << ::testing::PrintToString(scan.unresolved);
    EXPECT_NE(std::find(scan.formats.begin(), scan.formats.end(),
                        "%s: Mach exception: 0x%x, count: %d, code: 0x%llx 0x%llx\n"),
              scan.formats.end());

    for (const std::string& format : scan.formats) {
        CountingArguments arguments;
        std::string line;
        zevuzavidav::formatSDKLog(
            format.c_str(), arguments,
            [](void* into, const char* bytes, std::size_t length) {
                static_cast<std::string*>(into)->append(bytes, length);
            },
            &line);
        const Expected expected = expectedOf(format);
        EXPECT_EQ(std::count(line.begin(), line.end(), '%'), expected.percents)
            << "format: " << format << "\nline: " << line;
        EXPECT_EQ(arguments.taken, expected.arguments) << "format: " << format;
        EXPECT_TRUE(!line.empty() && line.back() == '\n') << "a message without its newline: " << format;
    }
}

} // namespace
