#include "platform/terminal/CharacterLocale.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

namespace {

TEST(CharacterLocale, RecognisesUTF8ByAnyOfItsSpellings) {
    for (const char* yes : {"UTF-8", "utf8", "UTF8", "utf-8"})
        EXPECT_TRUE(term::isUTF8Codeset(yes)) << yes;
    for (const char* no : {"ANSI_X3.4-1968", "ISO-8859-1", "", "UTF-16"})
        EXPECT_FALSE(term::isUTF8Codeset(no)) << no;
}

// A C library whose locales are a list: what the user's environment gives, and whether C.UTF-8 exists.
struct FakeLocales {
    std::string userCodeset;
    bool hasCUTF8 = true;
    std::string current = "ANSI_X3.4-1968";
    std::vector<std::pair<int, std::string>> calls;

    term::LocaleCalls calls_() {
        return {[this](int category, const char* name) -> const char* {
                    calls.emplace_back(category, name);
                    if (std::string(name).empty()) {
                        current = userCodeset;
                        return "user";
                    }
                    if (std::string(name) == "C.UTF-8" && hasCUTF8) {
                        current = "UTF-8";
                        return name;
                    }
                    return nullptr;
                },
                [this] { return current; }};
    }
};

TEST(CharacterLocale, OnlyTheCharacterTypeIsReplacedAndOnlyWhenItIsNotUTF8) {
    using Calls = std::vector<std::pair<int, std::string>>;
    struct Case {
        const char* name;
        std::string userCodeset;
        bool hasCUTF8;
        Calls calls;
        bool saysSo;
    } cases[] = {
        {"a UTF-8 locale is kept whole", "UTF-8", true, Calls{{LC_ALL, ""}}, false},
        {"C takes C.UTF-8 for the character type alone", "ANSI_X3.4-1968", true,
         Calls{{LC_ALL, ""}, {LC_CTYPE, "C.UTF-8"}}, false},
        {"without C.UTF-8 the screen is told", "ANSI_X3.4-1968", false,
         Calls{{LC_ALL, ""}, {LC_CTYPE, "C.UTF-8"}}, true},
    };
    for (const auto& c : cases) {
        FakeLocales locales{c.userCodeset, c.hasCUTF8};
        auto problem = term::adoptUTF8CharacterType(locales.calls_());
        EXPECT_EQ(locales.calls, c.calls) << c.name;
        EXPECT_EQ(problem.has_value(), c.saysSo) << c.name;
        if (problem) {
            EXPECT_NE(problem->find("\"?\""), std::string::npos) << *problem;
        }
    }
}

// The real C library: with the character type and everything else set to C, the character type
// becomes C.UTF-8 and the numbers stay C.
TEST(CharacterLocale, TheRealLibraryKeepsTheUsersOtherCategories) {
    auto keep = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    const auto all = keep("LC_ALL"), lang = keep("LANG"), ctype = keep("LC_CTYPE"),
               numeric = keep("LC_NUMERIC");
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_NUMERIC");
    ::setenv("LANG", "C", 1);
    ::setenv("LC_CTYPE", "C", 1);

    auto problem = term::adoptUTF8CharacterType();
    const std::string characterType = std::setlocale(LC_CTYPE, nullptr);
    const std::string numbers = std::setlocale(LC_NUMERIC, nullptr);

    std::setlocale(LC_ALL, "C");
    auto restore = [](const char* name, const std::optional<std::string>& value) {
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    };
    restore("LC_ALL", all);
    restore("LANG", lang);
    restore("LC_CTYPE", ctype);
    restore("LC_NUMERIC", numeric);

    if (problem) GTEST_SKIP() << "this system has no C.UTF-8";
    EXPECT_EQ(characterType, "C.UTF-8");
    EXPECT_EQ(numbers, "C");
}

} // namespace
