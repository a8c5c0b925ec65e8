#include "platform/terminal/EscapeSequence.hpp"

#include <string>

namespace term {

namespace {

bool isFinalByte(char c) {
    return c >= '@' && c <= '~';
}

Key nothing() {
    return Key::typed("");
}

Key fromFinal(char final) {
    switch (final) {
    case 'A':
        return Key::named(Key::Kind::up);
    case 'B':
        return Key::named(Key::Kind::down);
    case 'C':
        return Key::named(Key::Kind::right);
    case 'D':
        return Key::named(Key::Kind::left);
    case 'H':
        return Key::named(Key::Kind::home);
    case 'F':
        return Key::named(Key::Kind::end);
    case 'Z':
        return Key::named(Key::Kind::backTab);
    case 'M':
        return Key::named(Key::Kind::enter); // keypad Enter
    default:
        return nothing();
    }
}

Key fromNumber(std::string_view number) {
    if (number == "1" || number == "7") return Key::named(Key::Kind::home);
    if (number == "4" || number == "8") return Key::named(Key::Kind::end);
    if (number == "3") return Key::named(Key::Kind::deleteKey);
    if (number == "5") return Key::named(Key::Kind::pageUp);
    if (number == "6") return Key::named(Key::Kind::pageDown);
    return nothing();
}

} // namespace

bool isCompleteEscapeSequence(std::string_view sequence) {
    if (sequence.empty()) return false;
    if (sequence[0] != '[' && sequence[0] != 'O') return true;
    return sequence.size() > 1 && isFinalByte(sequence.back());
}

Key decodeEscapeSequence(std::string_view sequence) {
    if (sequence.size() < 2 || (sequence[0] != '[' && sequence[0] != 'O')) return nothing();
    const char final = sequence.back();
    if (!isFinalByte(final)) return nothing();
    std::string_view parameters = sequence.substr(1, sequence.size() - 2);
    if (final == '~') {
        // "5~", or with modifiers "5;2~": the key is the first number.
        return fromNumber(parameters.substr(0, parameters.find(';')));
    }
    return fromFinal(final);
}

} // namespace term
