#include "platform/uikit/TextField.hpp"
#include "platform/foundation/NotificationCenter.hpp"
#include "platform/foundation/Text.hpp"
#include "platform/uikit/Keyboard.hpp"
#include "platform/uikit/Pasteboard.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records every question and computes, from (text, range, replacement) alone, the text the field
// should hold afterwards, the way the lesson screen does.
struct RecordingDelegate : ui::TextFieldDelegate {
    bool allow = true;
    bool allowBegin = true;
    bool answerReturn = true;
    std::vector<std::string> calls;
    std::string proposed;
    ui::Range lastRange;

    bool shouldBeginEditing(ui::TextField&) override {
        calls.push_back("shouldBegin");
        return allowBegin;
    }
    void didBeginEditing(ui::TextField&) override { calls.push_back("didBegin"); }
    bool shouldChangeCharacters(ui::TextField& field, ui::Range range,
                                const std::string& replacement) override {
        calls.push_back("shouldChange");
        lastRange = range;
        proposed = ns::characterPrefix(field.text(), range.location) + replacement +
                   ns::characterSuffixFrom(field.text(), range.end());
        return allow;
    }
    bool shouldReturn(ui::TextField&) override {
        calls.push_back("shouldReturn");
        return answerReturn;
    }
    void didEndEditing(ui::TextField&) override { calls.push_back("didEnd"); }
};

class FocusedTextField : public ::testing::Test {
  protected:
    void SetUp() override {
        field->setDelegate(delegate);
        ASSERT_TRUE(field->becomeFirstResponder());
    }
    void TearDown() override { field->resignFirstResponder(); }

    std::shared_ptr<ui::TextField> field = std::make_shared<ui::TextField>();
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(FocusedTextField, VetoedEditsLeaveTextAndCaretUnchanged) {
    field->setText("let");
    delegate->allow = false;
    EXPECT_FALSE(field->typeText(" x"));
    EXPECT_FALSE(field->deleteBackward());
    ui::Pasteboard::general().setString("paste");
    EXPECT_FALSE(field->paste());
    EXPECT_EQ(field->text(), "let");
    EXPECT_EQ(field->selectedRange(), (ui::Range{3, 0}));
    EXPECT_EQ(std::count(delegate->calls.begin(), delegate->calls.end(), "shouldChange"), 3);
}

struct EditCase {
    const char* name;
    std::string start;
    ui::Range selection; // characters
    enum { type, backspace, forwardDelete } kind;
    std::string typed;
    ui::Range expectedRange;
    std::string expectedText;
    std::size_t expectedCaret;
};

TEST_F(FocusedTextField, UserEditsCountCharactersAndTheDelegateSeesTheFinalText) {
    const std::string eAcute = "e\xCC\x81";                                    // e + combining acute
    const std::string thumb = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";              // thumbs up, skin tone
    const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9"; // man ZWJ woman
    const std::string flag = "\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA";               // DE flag
    constexpr auto type = EditCase::type;
    constexpr auto back = EditCase::backspace;
    constexpr auto del = EditCase::forwardDelete;
    // clang-format off
    const std::vector<EditCase> cases{
        {"append after clusters", eAcute + thumb, {2, 0}, type, "x", {2, 0}, eAcute + thumb + "x", 3},
        {"insert between clusters", eAcute + thumb, {1, 0}, type, "(", {1, 0}, eAcute + "(" + thumb, 2},
        {"backspace removes a whole emoji", "a" + family, {2, 0}, back, "", {1, 1}, "a", 1},
        {"backspace removes letter and its mark", "x" + eAcute, {2, 0}, back, "", {1, 1}, "x", 1},
        {"typing over a selection", "a" + flag + "b", {1, 1}, type, "\"", {1, 1}, "a\"b", 2},
        {"backspace deletes the selection", "abc", {0, 2}, back, "", {0, 2}, "c", 0},
        {"delete removes the emoji after the caret", "a" + family + "b", {1, 0}, del, "", {1, 1}, "ab", 1},
        {"delete removes letter and its mark", eAcute + "x", {0, 0}, del, "", {0, 1}, "x", 0},
        {"delete deletes the selection", "abc", {1, 2}, del, "", {1, 2}, "a", 1},
        {"combining mark joins the letter before", "e", {1, 0}, type, "\xCC\x81", {1, 0}, eAcute, 1},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        field->setText(c.start);
        field->setSelectedRange(c.selection);
        bool applied = c.kind == EditCase::type        ? field->typeText(c.typed)
                       : c.kind == EditCase::backspace ? field->deleteBackward()
                                                       : field->deleteForward();
        ASSERT_TRUE(applied);
        EXPECT_EQ(delegate->lastRange, c.expectedRange);
        EXPECT_EQ(field->text(), c.expectedText);
        EXPECT_EQ(delegate->proposed, field->text()) << "proposed text must be the field's text";
        EXPECT_EQ(field->selectedRange(), (ui::Range{c.expectedCaret, 0}));
    }
}

TEST_F(FocusedTextField, BackspaceAtTheStartAndDeleteAtTheEndAskNothing) {
    field->setText("ab");
    field->setSelectedRange({0, 0});
    delegate->calls.clear();
    EXPECT_FALSE(field->deleteBackward());
    field->setSelectedRange({2, 0});
    EXPECT_FALSE(field->deleteForward());
    EXPECT_TRUE(delegate->calls.empty());
    EXPECT_EQ(field->text(), "ab");
}

TEST_F(FocusedTextField, ReplaceRangeSkipsTheDelegateAndPutsTheCaretAfterTheInsert) {
    field->setText("a\xF0\x9F\x98\x80"
                   "b"); // a 😀 b
    delegate->calls.clear();
    field->replaceRange({1, 1}, "XY");
    EXPECT_TRUE(delegate->calls.empty());
    EXPECT_EQ(field->text(), "aXYb");
    EXPECT_EQ(field->selectedRange(), (ui::Range{3, 0}));
    ASSERT_TRUE(field->typeText("Z"));
    EXPECT_EQ(field->text(), "aXYZb");
}

TEST_F(FocusedTextField, OutOfRangeRangesAreClippedNotRejected) {
    field->setText("ab");
    field->replaceRange({5, 3}, "!");
    EXPECT_EQ(field->text(), "ab!");
    field->setSelectedRange({1, 99});
    EXPECT_EQ(field->selectedRange(), (ui::Range{1, 2}));
}

TEST_F(FocusedTextField, PasteTypesThePasteboardStringAndReturnAsksTheDelegate) {
    ui::Pasteboard::general().setString("print(x)");
    ASSERT_TRUE(field->paste());
    EXPECT_EQ(field->text(), "print(x)");
    ui::Pasteboard::general().setString(std::nullopt);
    EXPECT_FALSE(field->paste());
    delegate->answerReturn = false;
    EXPECT_FALSE(field->pressReturn());
    EXPECT_EQ(delegate->calls.back(), "shouldReturn");
}

TEST(TextFieldIdle, UserEditsNeedTheFieldToBeEditingButCodeMayChangeIt) {
    auto field = std::make_shared<ui::TextField>();
    EXPECT_FALSE(field->typeText("x"));
    EXPECT_FALSE(field->pressReturn());
    EXPECT_FALSE(field->selectedRange().has_value());
    field->replaceRange({0, 0}, "abc");
    EXPECT_EQ(field->text(), "abc");
    EXPECT_FALSE(field->selectedRange().has_value());
}

// ---- first responder and keyboard notifications ----------------------------------------------------

class KeyboardNotifications : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {ui::keyboardWillShowNotification, ui::keyboardWillHideNotification}) {
            tokens.push_back(
                ns::NotificationCenter::defaultCenter().addObserver(name, [this](const ns::Notification& n) {
                    auto it = n.userInfo.find(ui::keyboardFrameBeginUserInfoKey);
                    bool hasRect = it != n.userInfo.end() && std::any_cast<ui::Rect>(&it->second) != nullptr;
                    events.push_back(n.name + (hasRect ? "+frame" : ""));
                    if (hasRect) frames.push_back(std::any_cast<ui::Rect>(it->second));
                }));
        }
    }
    void TearDown() override {
        for (auto t : tokens)
            ns::NotificationCenter::defaultCenter().removeObserver(t);
        if (ui::firstResponder()) ui::firstResponder()->resignFirstResponder();
    }
    std::vector<ns::NotificationCenter::ObserverToken> tokens;
    std::vector<std::string> events;
    std::vector<ui::Rect> frames;
};

TEST_F(KeyboardNotifications, OneFirstResponderAtATimeWithBalancedNotifications) {
    auto a = std::make_shared<ui::TextField>();
    auto b = std::make_shared<ui::TextField>();
    auto da = std::make_shared<RecordingDelegate>();
    a->setDelegate(da);

    ASSERT_TRUE(a->becomeFirstResponder());
    EXPECT_TRUE(a->isFirstResponder());
    EXPECT_TRUE(ui::isKeyboardVisible());
    ASSERT_TRUE(b->becomeFirstResponder());
    EXPECT_FALSE(a->isFirstResponder());
    EXPECT_TRUE(b->isFirstResponder());
    EXPECT_EQ(ui::firstResponder(), b.get());
    EXPECT_FALSE(a->selectedRange().has_value());

    std::vector<std::string> expected{"UIKeyboardWillShowNotification+frame",
                                      "UIKeyboardWillHideNotification+frame",
                                      "UIKeyboardWillShowNotification+frame"};
    EXPECT_EQ(events, expected);
    EXPECT_EQ(da->calls, (std::vector<std::string>{"shouldBegin", "didBegin", "didEnd"}));
    ASSERT_FALSE(frames.empty());
    EXPECT_DOUBLE_EQ(frames[0].height(), ui::kKeyboardHeight);
}

TEST_F(KeyboardNotifications, RefusedBeginLeavesEverythingAlone) {
    auto field = std::make_shared<ui::TextField>();
    auto delegate = std::make_shared<RecordingDelegate>();
    delegate->allowBegin = false;
    field->setDelegate(delegate);
    EXPECT_FALSE(field->becomeFirstResponder());
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(field->resignFirstResponder()) << "resigning when not first responder is harmless";
    EXPECT_TRUE(events.empty());
}

TEST_F(KeyboardNotifications, EndEditingOnAnAncestorResignsTheFieldInside) {
    auto root = std::make_shared<ui::View>();
    auto line = std::make_shared<ui::View>();
    auto field = std::make_shared<ui::TextField>();
    auto outside = std::make_shared<ui::View>();
    root->addSubview(line);
    line->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());
    outside->endEditing(true);
    EXPECT_TRUE(field->isFirstResponder()) << "a view that does not contain the field leaves it alone";
    EXPECT_TRUE(root->endEditing(true));
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_EQ(events.back(), "UIKeyboardWillHideNotification+frame");
}

TEST_F(KeyboardNotifications, ADelegateThatIsGoneCountsAsNone) {
    auto field = std::make_shared<ui::TextField>();
    {
        auto delegate = std::make_shared<RecordingDelegate>();
        delegate->allowBegin = false;
        field->setDelegate(delegate);
    }
    EXPECT_TRUE(field->becomeFirstResponder());
    EXPECT_TRUE(field->typeText("ok"));
    EXPECT_EQ(field->text(), "ok");
}

} // namespace
