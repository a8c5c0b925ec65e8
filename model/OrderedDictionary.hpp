#pragma once
// A text-to-text dictionary that keeps insertion order, so iteration is the same on every run.
#include "model/LessonText.hpp"

#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

class OrderedDictionary {
  public:
    using Entry = std::pair<LessonText, LessonText>;

    OrderedDictionary() = default;
    // A repeated key keeps its first position and takes the later value.
    OrderedDictionary(std::initializer_list<Entry> entries) {
        entries_.reserve(entries.size());
        for (const auto& [k, v] : entries)
            set(k, v);
    }

    void set(LessonText key, LessonText value) {
        for (auto& entry : entries_)
            if (entry.first == key) {
                entry.second = std::move(value);
                return;
            }
        entries_.emplace_back(std::move(key), std::move(value));
    }

    // Room for `count` entries, so that filling it takes one allocation.
    void reserve(std::size_t count) { entries_.reserve(count); }

    // The value for `key`, or nullptr.
    const LessonText* find(std::string_view key) const {
        for (const auto& entry : entries_)
            if (entry.first == key) return &entry.second;
        return nullptr;
    }

    bool contains(std::string_view key) const { return find(key) != nullptr; }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

  private:
    std::vector<Entry> entries_;
};
