#include "platform/uikit/AttributedString.hpp"
#include "platform/uikit/Button.hpp"
#include "platform/uikit/Label.hpp"
#include "platform/uikit/TextMeasure.hpp"
#include "platform/uikit/View.hpp"

#include <gtest/gtest.h>

namespace {

TEST(ViewTree, AddingMovesAViewAndCyclesAreRefused) {
    auto a = std::make_shared<ui::View>();
    auto b = std::make_shared<ui::View>();
    auto child = std::make_shared<ui::View>();
    ASSERT_TRUE(a->addSubview(child));
    ASSERT_TRUE(b->addSubview(child));
    EXPECT_TRUE(a->subviews().empty());
    EXPECT_EQ(child->superview(), b.get());
    EXPECT_FALSE(child->addSubview(b)) << "an ancestor cannot become a subview";
    EXPECT_FALSE(child->addSubview(child));
    child->removeFromSuperview();
    EXPECT_EQ(child->superview(), nullptr);
    EXPECT_TRUE(b->subviews().empty());
}

TEST(ViewTree, VisibilityFollowsAncestorsAndTagsAreFound) {
    auto root = std::make_shared<ui::View>();
    auto line = std::make_shared<ui::View>();
    auto field = std::make_shared<ui::View>();
    field->setTag(7);
    root->addSubview(line);
    line->addSubview(field);
    EXPECT_TRUE(field->isVisible());
    line->setHidden(true);
    EXPECT_FALSE(field->isVisible());
    line->setHidden(false);
    root->setAlpha(-3); // clamped to 0
    EXPECT_DOUBLE_EQ(root->alpha(), 0);
    EXPECT_FALSE(field->isVisible());
    EXPECT_EQ(root->viewWithTag(7), field.get());
    EXPECT_EQ(root->viewWithTag(8), nullptr);
}

TEST(Label, PlainTextDropsColoursAttributedTextSetsText) {
    ui::Label label;
    ui::AttributedString coloured("let x = 5");
    coloured.addForegroundColor(ui::Color::rgb255(255, 0, 0), {0, 3});
    label.setAttributedText(coloured);
    EXPECT_EQ(label.text(), "let x = 5");
    EXPECT_TRUE(label.attributedText().hasAttributes());
    label.setText("var y");
    EXPECT_EQ(label.attributedText().text(), "var y");
    EXPECT_FALSE(label.attributedText().hasAttributes());
}

TEST(AttributedString, LaterRunsWinOverlapsAndRangesAreClipped) {
    const ui::Color red = ui::Color::rgb255(255, 0, 0), blue = ui::Color::rgb255(0, 0, 255);
    ui::AttributedString s("print(\"hi\")");
    s.addForegroundColor(red, {0, 9});
    s.addForegroundColor(blue, {6, 100}); // clipped to the end
    s.addForegroundColor(blue, {40, 2});  // beyond the end: ignored
    s.addForegroundColor(red, {2, 0});    // empty: ignored
    ASSERT_EQ(s.runs().size(), 2u);
    EXPECT_EQ(s.runs()[1].range, (ui::Range{6, 5}));
    EXPECT_EQ(s.colorAt(5), red);
    EXPECT_EQ(s.colorAt(6), blue);
    std::vector<ui::AttributedString::Segment> expected{{{0, 6}, red}, {{6, 5}, blue}};
    EXPECT_EQ(s.segments(), expected);

    ui::AttributedString partial("abcdef");
    partial.addForegroundColor(red, {2, 2});
    std::vector<ui::AttributedString::Segment> gaps{
        {{0, 2}, std::nullopt}, {{2, 2}, red}, {{4, 2}, std::nullopt}};
    EXPECT_EQ(partial.segments(), gaps);
}

TEST(TextMeasure, MonospaceCharactersClippedToTheBox) {
    const ui::Font font = ui::Font::systemFont(17);
    EXPECT_EQ(ui::measure("", font, {300, 30}), (ui::Size{0, 0}));
    EXPECT_EQ(ui::measure("abc", font, {300, 30}), (ui::Size{30, 20}));
    EXPECT_EQ(ui::measure("e\xCC\x81\xF0\x9F\x91\x8D", font, {300, 30}), (ui::Size{20, 20}))
        << "two characters";
    EXPECT_EQ(ui::measure(std::string(100, 'x'), font, {300, 12}), (ui::Size{300, 12}));
}

TEST(Button, TitlesFallBackToNormalAndTapsRespectState) {
    auto button = std::make_shared<ui::Button>("Run");
    button->setTitle("Go", ui::ControlState::highlighted);
    EXPECT_EQ(button->title(ui::ControlState::highlighted), "Go");
    EXPECT_EQ(button->title(ui::ControlState::disabled), "Run");
    int taps = 0;
    ui::Button* sender = nullptr;
    button->addAction([&](ui::Button& b) {
        ++taps;
        sender = &b;
    });
    EXPECT_TRUE(button->tap());
    EXPECT_EQ(sender, button.get());
    button->setHidden(true);
    EXPECT_FALSE(button->tap());
    button->setHidden(false);
    button->setEnabled(false);
    EXPECT_FALSE(button->tap());
    button->sendActions(); // code may still send them
    EXPECT_EQ(taps, 2);
}

} // namespace
