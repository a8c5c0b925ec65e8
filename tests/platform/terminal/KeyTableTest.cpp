#include "platform/terminal/KeyTable.hpp"

#include <gtest/gtest.h>

namespace {

using term::Key;
using term::KeyBinding;
using Kind = Key::Kind;

TEST(KeyTable, TheKeyLineNamesEachBindingByItsOwnKeys) {
    const auto does = [](const Key&) { return true; };
    struct Case {
        KeyBinding binding;
        std::string text;
    } cases[] = {
        {{{Key::ctrl('r')}, "run", 1, does}, "Ctrl-R run"},
        {{{Key::named(Kind::up), Key::named(Kind::down)}, "select", 1, does}, "↑↓ select"},
        {{{Key::named(Kind::tab), Key::named(Kind::backTab)}, "words", 1, does}, "Tab Shift-Tab words"},
        {{{Key::named(Kind::enter), Key::typed(" ")}, "flip", 1, does}, "Enter Space flip"},
        {{{Key::typed("/")}, "search", 1, does}, "/ search"},
        {{{Key::typed("a")}, "answer", 1, does, {}, {}, "type"}, "type answer"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.binding.text(), c.text);
}

TEST(KeyTable, TheFirstEnabledBindingThatTakesAKeyHasItAndOnlyEnabledOnesShow) {
    bool hintOpen = true;
    std::string did;
    auto doing = [&did](std::string what) {
        return [&did, what](const Key&) {
            did = what;
            return true;
        };
    };
    term::KeyTable table({
        {{Key::named(Kind::escape)}, "close hint", 9, doing("close"), [&] { return hintOpen; }},
        {{Key::named(Kind::escape)}, "leave", 5, doing("leave")},
        {{Key::typed("x")},
         "answer",
         4,
         doing("type"),
         {},
         [](const Key& k) { return k.is(Kind::text); },
         "type"},
        {{Key::ctrl('o')}, "output", 8, [](const Key&) { return false; }},
        {{Key::named(Kind::home)}, "", 0, doing("home")},
    });
    struct Case {
        bool hintOpen;
        Key key;
        bool handled;
        std::string did;
    } cases[] = {
        {true, Key::named(Kind::escape), true, "close"},
        {false, Key::named(Kind::escape), true, "leave"},
        {false, Key::typed("q"), true, "type"},        // a class of keys, not only its example
        {false, Key::ctrl('o'), false, ""},            // taken, but it did nothing
        {false, Key::named(Kind::home), true, "home"}, // works without a name on the line
        {false, Key::ctrl('z'), false, ""},
    };
    for (const auto& c : cases) {
        hintOpen = c.hintOpen;
        did.clear();
        EXPECT_EQ(table.handle(c.key), c.handled) << term::keyName(c.key);
        EXPECT_EQ(did, c.did) << term::keyName(c.key);
    }
    hintOpen = false;
    const std::vector<term::KeyLineItem> expected = {
        {"Esc leave", 5}, {"type answer", 4}, {"Ctrl-O output", 8}};
    EXPECT_EQ(term::keyLineItems(table.shown()), expected);
}

} // namespace
