#include "platform/terminal/EscapeSequence.hpp"

#include <gtest/gtest.h>

namespace {

using term::Key;
using Kind = Key::Kind;

TEST(EscapeSequence, KnownSequencesAreTheKeysMeant) {
    const std::pair<const char*, Kind> cases[] = {
        {"[A", Kind::up},         {"OB", Kind::down},    {"[1;5C", Kind::right}, {"[D", Kind::left},
        {"[H", Kind::home},       {"[1~", Kind::home},   {"[7~", Kind::home},    {"OF", Kind::end},
        {"[4~", Kind::end},       {"[8~", Kind::end},    {"[5~", Kind::pageUp},  {"[6;2~", Kind::pageDown},
        {"[3~", Kind::deleteKey}, {"[Z", Kind::backTab}, {"OM", Kind::enter},
    };
    for (const auto& [sequence, kind] : cases) {
        EXPECT_TRUE(term::isCompleteEscapeSequence(sequence)) << sequence;
        EXPECT_EQ(term::decodeEscapeSequence(sequence), Key::named(kind)) << sequence;
    }
}

TEST(EscapeSequence, UnknownOrBrokenSequencesGiveNothingNeverEsc) {
    for (const char* sequence : {"[15~", "[99~", "[Q", "x", "", "[", "[12", "O"})
        EXPECT_EQ(term::decodeEscapeSequence(sequence), Key::typed("")) << sequence;
}

TEST(EscapeSequence, CompletenessWaitsForTheFinalByte) {
    EXPECT_FALSE(term::isCompleteEscapeSequence(""));
    EXPECT_FALSE(term::isCompleteEscapeSequence("["));
    EXPECT_FALSE(term::isCompleteEscapeSequence("[1;5"));
    EXPECT_TRUE(term::isCompleteEscapeSequence("[1;5D"));
    EXPECT_TRUE(term::isCompleteEscapeSequence("a")); // Alt-a
}

} // namespace
