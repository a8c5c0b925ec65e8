#pragma once
// A text of the course content. The courses are compiled in, so almost every text a lesson holds is a
// string literal that lasts as long as the program: such a text is referred to where it stands, never
// copied, and building a catalogue then costs next to nothing per text. A text worked out while building
// (an id made from numbers, a hint that ends with the answer) or written later by a screen (a success
// message, a video id) keeps a string of its own instead. Either way it reads as an immutable
// std::string_view; assigning another text replaces it, and copies share what they refer to.
//
// Failure contract: a text made from a string literal, or given with `lasting`, trusts that its
// characters outlive every copy of it (static storage); every other source is copied or moved in, so it
// may end as soon as the text is made. Only allocation can throw, and only for a text of its own.
#include <compare>
#include <concepts>
#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

class LessonText {
  public:
    LessonText() noexcept = default;

    // A string literal: referred to, never copied.
    template <std::size_t N> LessonText(const char (&literal)[N]) noexcept : view_(literal, N - 1) {
        static_assert(N > 0);
    }
    // A writable array may change or end: only a constant array is taken as lasting.
    template <std::size_t N> LessonText(char (&)[N]) = delete;

    // A string worked out at run time: kept by the text itself.
    LessonText(std::string text);

    // Characters in static storage that last as long as the program.
    static LessonText lasting(std::string_view text) noexcept {
        LessonText made;
        made.view_ = text;
        return made;
    }

    // Part of this text, `count` bytes from `pos` (clamped as std::string_view::substr does, pos <= size),
    // sharing what this one refers to: no copy whether it lasts or keeps a string of its own.
    LessonText substr(std::size_t pos, std::size_t count = std::string_view::npos) const {
        LessonText part = *this;
        part.view_ = view_.substr(pos, count);
        return part;
    }

    std::string_view view() const noexcept { return view_; }
    operator std::string_view() const noexcept { return view_; }
    std::string str() const { return std::string(view_); }
    // Where a text is kept as a string of its own.
    operator std::string() const { return std::string(view_); }
    void clear() noexcept { *this = LessonText(); }

    const char* data() const noexcept { return view_.data(); }
    std::size_t size() const noexcept { return view_.size(); }
    bool empty() const noexcept { return view_.empty(); }
    auto begin() const noexcept { return view_.begin(); }
    auto end() const noexcept { return view_.end(); }
    char front() const { return view_.front(); }
    char back() const { return view_.back(); }
    char operator[](std::size_t i) const { return view_[i]; }
    std::size_t find(std::string_view s, std::size_t pos = 0) const noexcept { return view_.find(s, pos); }
    std::size_t find(char c, std::size_t pos = 0) const noexcept { return view_.find(c, pos); }
    std::size_t rfind(std::string_view s, std::size_t pos = std::string_view::npos) const noexcept {
        return view_.rfind(s, pos);
    }
    bool starts_with(std::string_view s) const noexcept { return view_.starts_with(s); }
    bool ends_with(std::string_view s) const noexcept { return view_.ends_with(s); }

    friend bool operator==(const LessonText& a, std::string_view b) noexcept { return a.view_ == b; }
    // Two texts compare by their characters. Spelt out so that a == b has one reading rather than also
    // the reversed one through std::string_view; a template, so that it takes no other type by conversion.
    template <std::same_as<LessonText> Text>
    friend bool operator==(const LessonText& a, const Text& b) noexcept {
        return a.view_ == b.view_;
    }
    friend std::strong_ordering operator<=>(const LessonText& a, std::string_view b) noexcept {
        return a.view_ <=> b;
    }

  private:
    std::string_view view_;
    std::shared_ptr<const std::string> owned_; // null while view_ lasts on its own
};

std::ostream& operator<<(std::ostream& out, const LessonText& text);

// Joined texts, for the few places that make one text out of several: a text with a text, a string or
// a literal on either side.
template <class A, class B>
requires(std::is_same_v<A, LessonText> || std::is_same_v<B, LessonText>) &&
    std::is_convertible_v<const A&, std::string_view>&& std::is_convertible_v<const B&,
                                                                              std::string_view> std::string
    operator+(const A& a, const B& b) {
    std::string joined(static_cast<std::string_view>(a));
    return joined.append(static_cast<std::string_view>(b));
}
