#include "platform/terminal/MemoryCanvas.hpp"
#include "platform/terminal/Style.hpp"
#include "platform/terminal/TextWrap.hpp"

#include <gtest/gtest.h>

#include <clocale>

namespace {

using term::MemoryCanvas;

TEST(Canvas, TextIsClippedToTheGridAndToItsColumnLimit) {
    MemoryCanvas canvas(10, 2);
    EXPECT_EQ(canvas.text(0, 0, "hello world"), 10);
    EXPECT_EQ(canvas.row(0), "hello worl");
    EXPECT_EQ(canvas.text(2, 1, "abcdef", {}, 3), 3);
    EXPECT_EQ(canvas.row(1), "  abc");
    EXPECT_EQ(canvas.text(0, 5, "outside"), 0);
    EXPECT_EQ(canvas.text(-2, 1, "xyz"), 3);
    EXPECT_EQ(canvas.row(1), "z abc");
}

TEST(Canvas, CharactersTakeTheirDisplayWidth) {
    MemoryCanvas canvas(12, 1);
    // A combining accent stays with its letter, an emoji takes two cells.
    int used = canvas.text(0, 0, "e\u0301🙂x");
    EXPECT_EQ(used, 4);
    EXPECT_EQ(canvas.row(0), "e\u0301🙂x");
    EXPECT_EQ(term::columnsOf("❗\uFE0F"), 2);
    EXPECT_EQ(term::columnsOf("e\u0301"), 1);
    MemoryCanvas settings(30, 1);
    settings.text(0, 0, "answer \u2757\uFE0Findicator");
    EXPECT_EQ(settings.row(0), "answer \u2757\uFE0Findicator");
    // A wide character that does not fit whole is left out.
    MemoryCanvas narrow(3, 1);
    EXPECT_EQ(narrow.text(0, 0, "ab🙂"), 2);
}

TEST(Canvas, WidthsHoldInAUtf8LocaleAsTheProgramRunsIt) {
    std::string previous = std::setlocale(LC_CTYPE, nullptr);
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
    EXPECT_EQ(term::columnsOf("\u2757\uFE0F"), 2);
    EXPECT_EQ(term::columnsOf("\u2713"), 1);
    EXPECT_EQ(term::columnsOf("a\u0301"), 1);
    EXPECT_EQ(term::columnsOfText("\u4E2D\u6587"), 4);
    std::setlocale(LC_CTYPE, previous.c_str());
}

// Bytes that are no UTF-8 take one cell each, and the text after them still draws where it belongs.
TEST(Canvas, InvalidBytesTakeACellEachAndCutNothing) {
    MemoryCanvas canvas(10, 1);
    EXPECT_EQ(canvas.text(0, 0,
                          std::string("a\xff\xfe"
                                      "bc")),
              5);
    EXPECT_EQ(canvas.find("bc"), (term::Cell{3, 0}));
    EXPECT_EQ(term::columnsOfText("a\xff\xfe"), 3);
}

TEST(Canvas, ControlCharactersShowAsTheirPicturesAndNeverCutTheText) {
    using namespace std::string_literals;
    MemoryCanvas canvas(20, 1);
    // A null character in the middle: the rest of the text still shows, and it takes one cell.
    const auto answer = "{'+','\0'};"s;
    EXPECT_EQ(canvas.text(0, 0, answer), 10);
    EXPECT_EQ(canvas.row(0), "{'+','\u2400'};");
    EXPECT_EQ(term::columnsOfText(answer), 10);
    EXPECT_EQ(term::controlPicture("\x1b"), "\u241b");
    EXPECT_EQ(term::controlPicture("\x7f"), "\u2421");
    // Line breaks and tabs keep drawing as blanks; printable text has no picture.
    EXPECT_FALSE(term::controlPicture("\n"));
    EXPECT_FALSE(term::controlPicture("\t"));
    EXPECT_FALSE(term::controlPicture("a"));
    MemoryCanvas tabbed(5, 1);
    tabbed.text(0, 0, "a\tb");
    EXPECT_EQ(tabbed.row(0), "a b");
}

TEST(Canvas, AsciiTextDrawsAsTheSameTextBesideOtherCharacters) {
    using namespace std::string_literals;
    // ASCII text is cut byte by byte, other text by the character splitter; both must agree, CR LF
    // being one character and each control one cell.
    for (const std::string& text : {"a\r\nb"s, "a\rb\nc"s, "x\ty\x1b\x7fz"s, "{'\0'}"s, "\r\n\r\n"s}) {
        MemoryCanvas ascii(20, 1), mixed(20, 1);
        const int used = ascii.text(0, 0, text);
        EXPECT_EQ(mixed.text(0, 0, "\u00e9" + text), used + 1);
        EXPECT_EQ("\u00e9" + ascii.row(0), mixed.row(0));
    }
}

TEST(Canvas, StylesAreKeptPerCell) {
    MemoryCanvas canvas(5, 1);
    term::Style red = term::Style::fg(ui::Color::rgb255(255, 0, 0));
    canvas.text(1, 0, "ab", red);
    EXPECT_EQ(canvas.styleAt(1, 0), red);
    EXPECT_EQ(canvas.styleAt(0, 0), term::Style{});
    EXPECT_EQ(canvas.find("ab"), (term::Cell{1, 0}));
    EXPECT_FALSE(canvas.find("zz"));
}

TEST(Canvas, TextWithoutABackgroundTakesTheScreens) {
    MemoryCanvas canvas(6, 1);
    canvas.setDefaultBackground(ui::Color::black());
    canvas.text(0, 0, "ab", term::Style::fg(ui::Color::white()));
    canvas.text(2, 0, "cd",
                term::Style::fg(ui::Color::white()).withBackground(ui::Color::rgb255(64, 64, 64)));
    EXPECT_EQ(canvas.styleAt(0, 0).background, ui::Color::black());
    EXPECT_EQ(canvas.styleAt(2, 0).background, ui::Color::rgb255(64, 64, 64));
}

TEST(Palette, ColoursMapToTheNearestOf256) {
    struct Case {
        ui::Color color;
        int index;
    } cases[] = {
        {ui::Color::rgb255(0, 0, 0), 16},        {ui::Color::rgb255(255, 255, 255), 231},
        {ui::Color::rgb255(255, 0, 0), 196},     {ui::Color::rgb255(82, 208, 92), 77},
        {ui::Color::rgb255(128, 128, 128), 244}, {ui::Color::rgb255(64, 64, 64), 238},
    };
    for (const auto& c : cases)
        EXPECT_EQ(term::nearest256(c.color), c.index) << int(c.color.red8());
}

TEST(Wrap, BreaksAtBlanksKeepsLineBreaksAndCutsOverlongWords) {
    EXPECT_EQ(term::wrapText("one two three", 7), (std::vector<std::string>{"one two", "three"}));
    EXPECT_EQ(term::wrapText("a\n\nb", 10), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(term::wrapText("abcdefghij", 4), (std::vector<std::string>{"abcd", "efgh", "ij"}));
    EXPECT_EQ(term::wrapText("anything", 0), std::vector<std::string>{});
    // Two blanks after a full stop stay two inside a line and go at a break.
    EXPECT_EQ(term::wrapText("e-mail.  Please check", 30), std::vector<std::string>{"e-mail.  Please check"});
    EXPECT_EQ(term::wrapText("e-mail.  Please", 8), (std::vector<std::string>{"e-mail.", "Please"}));
}

TEST(Wrap, ALongPathBreaksAfterASlashNotInsideAName) {
    struct Case {
        std::string text;
        int width;
        std::vector<std::string> lines;
    } cases[] = {
        {"kept as /home/learner/Library/Preferences/com.velomarinth.swift.plist.",
         20,
         {"kept as", "/home/learner/", "Library/Preferences/", "com.velomarinth.swif", "t.plist."}},
        // A slash that starts the word gives no better place: the name is cut where the line ends.
        {"/abcdefghij", 6, {"/abcde", "fghij"}},
        {"a/b/c", 10, {"a/b/c"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(term::wrapText(c.text, c.width), c.lines) << c.text;
}

} // namespace
