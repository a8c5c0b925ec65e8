#pragma once
// A screen's keys, declared once: each binding names its keys, what they do on the key line, how much
// the line holds on to it, the action and when it is enabled. Handling a key and drawing the key line
// both read the same table, so the line cannot name a key that nothing handles, or miss one that works
// (the function bar of a terminal program, one table per screen).
//
// Failure contract: none. A key no enabled binding takes is not handled; an action answers whether the
// key did something.
#include "platform/terminal/Key.hpp"
#include "platform/terminal/KeyLine.hpp"

#include <functional>
#include <string>
#include <vector>

namespace term {

struct KeyBinding {
    // The keys it takes; for a class of keys (`takes`), examples of it.
    std::vector<Key> keys;
    // What the keys do, on the key line ("run"); empty: a key that works but is not named there.
    std::string what;
    // How long it stays on a narrow key line: the lightest give way first.
    int weight = 0;
    // Does it; true when the key did something.
    std::function<bool(const Key&)> action;
    // Whether it works now (null: always). A binding that is not enabled neither takes keys nor shows.
    std::function<bool()> enabled = {};
    // A class of keys it takes instead of exactly `keys` (typing, say).
    std::function<bool(const Key&)> takes = {};
    // How the key line names the keys; empty: from `keys` ("Ctrl-R", "↑↓", "Tab Shift-Tab").
    std::string name = {};

    bool isEnabled() const { return !enabled || enabled(); }
    bool takesKey(const Key& key) const;
    // "Ctrl-R run": the keys' name and what they do.
    std::string text() const;
};

class KeyTable {
  public:
    KeyTable() = default;
    explicit KeyTable(std::vector<KeyBinding> bindings) : bindings_(std::move(bindings)) {}
    void add(KeyBinding binding) { bindings_.push_back(std::move(binding)); }

    // The first enabled binding that takes `key`, or nullptr.
    const KeyBinding* bindingFor(const Key& key) const;
    // Runs that binding; false when there is none or it did nothing.
    bool handle(const Key& key) const;
    // The enabled bindings the key line names, in table order.
    std::vector<const KeyBinding*> shown() const;
    const std::vector<KeyBinding>& bindings() const { return bindings_; }

  private:
    std::vector<KeyBinding> bindings_;
};

// How the key line names a key: "Ctrl-R", "Enter", "Esc", "↑", "PgDn", "Shift-Tab", "Space", "/".
std::string keyName(const Key& key);

// The key line's items for `bindings`, in their order.
std::vector<KeyLineItem> keyLineItems(const std::vector<const KeyBinding*>& bindings);

} // namespace term
