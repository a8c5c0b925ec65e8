#include "platform/terminal/CharacterLocale.hpp"

#include <algorithm>
#include <cctype>
#include <clocale>
#include <langinfo.h>

namespace term {

LocaleCalls LocaleCalls::system() {
    return LocaleCalls{[](int category, const char* name) { return std::setlocale(category, name); },
                       [] {
                           const char* codeset = ::nl_langinfo(CODESET);
                           return std::string(codeset ? codeset : "");
                       }};
}

bool isUTF8Codeset(const std::string& codeset) {
    std::string folded;
    for (char c : codeset)
        if (c != '-' && c != '_') folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded == "utf8";
}

std::optional<std::string> adoptUTF8CharacterType(const LocaleCalls& calls) {
    // A locale the environment names but the system lacks leaves the C locale in place; that case is the
    // same as LC_ALL=C from here on.
    calls.set(LC_ALL, "");
    if (isUTF8Codeset(calls.codeset())) return std::nullopt;
    if (calls.set(LC_CTYPE, "C.UTF-8") && isUTF8Codeset(calls.codeset())) return std::nullopt;
    return "No UTF-8 locale (C.UTF-8 is missing): symbols show as \"?\".";
}

} // namespace term
