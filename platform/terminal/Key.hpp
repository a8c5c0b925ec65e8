#pragma once
// A key press as the front end hands it on: a named key, a control letter, or typed text.
//
// Failure contract: none; bytes that do not form UTF-8 arrive as text of one byte each, and Ctrl-Space
// arrives as text holding the null character (compare `text` as a std::string, never as a C string).
#include <string>

namespace term {

struct Key {
    enum class Kind {
        text, // `text` holds what was typed (one character)
        up,
        down,
        left,
        right,
        home,
        end,
        pageUp,
        pageDown,
        enter,
        escape,
        backspace,
        deleteKey,
        tab,
        backTab,
        control, // `letter` holds 'a'...'z' (Ctrl-R is control 'r')
        resize,
    };
    Kind kind = Kind::text;
    std::string text;
    char letter = 0;

    static Key named(Kind kind) { return Key{kind, {}, 0}; }
    static Key typed(std::string text) { return Key{Kind::text, std::move(text), 0}; }
    static Key ctrl(char letter) { return Key{Kind::control, {}, letter}; }

    bool is(Kind k) const { return kind == k; }
    bool isCtrl(char l) const { return kind == Kind::control && letter == l; }
    bool isText(const char* t) const { return kind == Kind::text && text == t; }
    friend bool operator==(const Key&, const Key&) = default;
};

} // namespace term
