#pragma once
// The character type the screens are drawn in. Every screen uses symbols beyond ASCII (› ░ █ ✓ ‹ ▲),
// which a locale that is not UTF-8 (LC_ALL=C in a bare container, an ssh session without locale
// forwarding) turns into "?". So the user's locale is taken as it is, except that a character type that
// is not UTF-8 is replaced by C.UTF-8, which Debian always ships; the user's other categories (numbers,
// messages, collation, ...) stay theirs.
//
// Failure contract: never throws. When C.UTF-8 cannot be taken either, the character type stays the
// user's and the answer is a sentence for the screen that says why symbols show as "?".
#include <functional>
#include <optional>
#include <string>

namespace term {

// The C library's locale calls, replaceable for tests.
struct LocaleCalls {
    // setlocale(category, name): the locale's name, or null when it cannot be taken.
    std::function<const char*(int category, const char* name)> set;
    // The character set of the current character type (nl_langinfo(CODESET)).
    std::function<std::string()> codeset;
    static LocaleCalls system();
};

// Whether a character set name (as nl_langinfo gives it) is UTF-8.
bool isUTF8Codeset(const std::string& codeset);

// Takes the user's locale and makes its character type UTF-8 as described above; returns the sentence
// to show when that cannot be done.
std::optional<std::string> adoptUTF8CharacterType(const LocaleCalls& calls = LocaleCalls::system());

} // namespace term
