#pragma once
// A text-to-text dictionary that keeps insertion order, so iteration is the same on every run.
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

class OrderedDictionary {
  public:
    using Entry = std::pair<std::string, std::string>;

    OrderedDictionary() = default;
    // A repeated key keeps its first position and takes the later value.
    OrderedDictionary(std::initializer_list<Entry> entries) {
        for (const auto& [k, v] : entries)
            set(k, v);
    }

    void set(const std::string& key, std::string value) {
        for (auto& entry : entries_)
            if (entry.first == key) {
                entry.second = std::move(value);
                return;
            }
        entries_.emplace_back(key, std::move(value));
    }

    // The value for `key`, or nullptr.
    const std::string* find(const std::string& key) const {
        for (const auto& entry : entries_)
            if (entry.first == key) return &entry.second;
        return nullptr;
    }

    bool contains(const std::string& key) const { return find(key) != nullptr; }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

  private:
    std::vector<Entry> entries_;
};
