#include "platform/terminal/KeyTable.hpp"

#include <algorithm>
#include <cctype>

namespace term {

namespace {

bool isArrow(const Key& key) {
    using Kind = Key::Kind;
    return key.is(Kind::up) || key.is(Kind::down) || key.is(Kind::left) || key.is(Kind::right);
}

} // namespace

std::string keyName(const Key& key) {
    using Kind = Key::Kind;
    switch (key.kind) {
    case Kind::text:
        return key.text == " " ? "Space" : key.text;
    case Kind::up:
        return "↑";
    case Kind::down:
        return "↓";
    case Kind::left:
        return "←";
    case Kind::right:
        return "→";
    case Kind::home:
        return "Home";
    case Kind::end:
        return "End";
    case Kind::pageUp:
        return "PgUp";
    case Kind::pageDown:
        return "PgDn";
    case Kind::enter:
        return "Enter";
    case Kind::escape:
        return "Esc";
    case Kind::backspace:
        return "Backspace";
    case Kind::deleteKey:
        return "Delete";
    case Kind::tab:
        return "Tab";
    case Kind::backTab:
        return "Shift-Tab";
    case Kind::control:
        return std::string("Ctrl-") + static_cast<char>(std::toupper(static_cast<unsigned char>(key.letter)));
    case Kind::resize:
        break;
    }
    return "";
}

bool KeyBinding::takesKey(const Key& key) const {
    if (takes) return takes(key);
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

std::string KeyBinding::text() const {
    std::string keysText = name;
    if (keysText.empty()) {
        // Arrows stand together ("↑↓"); other keys apart ("Tab Shift-Tab").
        for (std::size_t i = 0; i < keys.size(); ++i) {
            const bool joined = i > 0 && isArrow(keys[i]) && isArrow(keys[i - 1]);
            keysText += (i == 0 || joined ? "" : " ") + keyName(keys[i]);
        }
    }
    if (keysText.empty()) return what;
    return what.empty() ? keysText : keysText + " " + what;
}

const KeyBinding* KeyTable::bindingFor(const Key& key) const {
    for (const auto& binding : bindings_)
        if (binding.takesKey(key) && binding.isEnabled()) return &binding;
    return nullptr;
}

bool KeyTable::handle(const Key& key) const {
    const KeyBinding* binding = bindingFor(key);
    return binding && binding->action && binding->action(key);
}

std::vector<const KeyBinding*> KeyTable::shown() const {
    std::vector<const KeyBinding*> out;
    for (const auto& binding : bindings_)
        if (!binding.what.empty() && binding.isEnabled()) out.push_back(&binding);
    return out;
}

std::vector<KeyLineItem> keyLineItems(const std::vector<const KeyBinding*>& bindings) {
    std::vector<KeyLineItem> items;
    items.reserve(bindings.size());
    for (const auto* binding : bindings)
        items.push_back({binding->text(), binding->weight});
    return items;
}

} // namespace term
