#include "platform/uikit/Animation.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/uikit/LayoutConstraint.hpp"
#include "platform/uikit/View.hpp"

#include <gtest/gtest.h>

namespace {

class AnimationsOnVirtualClock : public ::testing::Test {
  protected:
    void SetUp() override {
        dispatch::main().removeAll();
        ui::AnimationLog::shared().clear();
    }
    // A completion still waiting goes with the test, before its clock does.
    void TearDown() override { dispatch::main().removeAll(); }
    dispatch::VirtualClockScope clock;
};

TEST_F(AnimationsOnVirtualClock, EndStateAtOnceAndEveryChangeLoggedFromTo) {
    auto panel = std::make_shared<ui::View>(ui::Rect::make(0, 100, 200, 50));
    ui::LayoutConstraint bottom(8);
    panel->setAlpha(0);
    panel->setCenter({100, 175}); // one panel-height below
    ui::animate(0.5, 0.4, ui::AnimationOptions::curveEaseOut, [&] {
        panel->setCenter({100, 125});
        panel->setAlpha(0.5);
        panel->setAlpha(1); // merged with the first alpha change
        bottom.setConstant(40);
    });

    EXPECT_DOUBLE_EQ(panel->alpha(), 1);
    EXPECT_EQ(panel->center(), (ui::Point{100, 125}));
    EXPECT_EQ(bottom.constant(), 40);

    ASSERT_EQ(ui::AnimationLog::shared().entries().size(), 1u);
    const ui::Animation& a = *ui::AnimationLog::shared().last();
    EXPECT_DOUBLE_EQ(a.duration, 0.5);
    EXPECT_DOUBLE_EQ(a.delay, 0.4);
    EXPECT_TRUE(ui::hasOption(a.options, ui::AnimationOptions::curveEaseOut));
    EXPECT_FALSE(ui::hasOption(a.options, ui::AnimationOptions::curveEaseIn));
    ASSERT_EQ(a.changes.size(), 3u);
    const ui::PropertyChange* alpha = a.find(panel.get(), "alpha");
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->from, ui::AnimatedValue{0.0});
    EXPECT_EQ(alpha->to, ui::AnimatedValue{1.0});
    const ui::PropertyChange* center = a.find(panel.get(), "center");
    ASSERT_NE(center, nullptr);
    EXPECT_EQ(center->from, (ui::AnimatedValue{ui::Point{100, 175}}));
    const ui::PropertyChange* constant = a.find(&bottom, "constant");
    ASSERT_NE(constant, nullptr);
    EXPECT_EQ(constant->to, ui::AnimatedValue{40.0});
}

TEST_F(AnimationsOnVirtualClock, ChangesOutsideABlockAreNotRecorded) {
    auto view = std::make_shared<ui::View>();
    view->setAlpha(0.3);
    ui::animate(0.3, [] {});
    ASSERT_EQ(ui::AnimationLog::shared().entries().size(), 1u);
    EXPECT_TRUE(ui::AnimationLog::shared().last()->changes.empty());
    EXPECT_TRUE(ui::AnimationLog::shared().animationsOf(view.get(), "alpha").empty());
}

TEST_F(AnimationsOnVirtualClock, CompletionRunsOnTheMainQueueAfterDelayPlusDuration) {
    int finished = 0;
    ui::animate(
        0.5, 0.4, ui::AnimationOptions::none, [] {}, [&](bool done) { finished += done ? 1 : 100; });
    dispatch::main().drain();
    EXPECT_EQ(finished, 0);
    dispatch::main().advance(0.89);
    EXPECT_EQ(finished, 0);
    dispatch::main().advance(0.01);
    EXPECT_EQ(finished, 1);
}

TEST_F(AnimationsOnVirtualClock, NestedBlocksAreRecordedSeparately) {
    auto view = std::make_shared<ui::View>();
    ui::animate(1.0, [&] {
        view->setHidden(true);
        ui::animate(0.2, [&] { view->setTransformScale(2); });
    });
    const auto& log = ui::AnimationLog::shared().entries();
    ASSERT_EQ(log.size(), 2u);
    // The inner block ends first.
    EXPECT_NE(log[0].find(view.get(), "transformScale"), nullptr);
    EXPECT_EQ(log[0].find(view.get(), "hidden"), nullptr);
    EXPECT_NE(log[1].find(view.get(), "hidden"), nullptr);
}

TEST(AnimationOptions, CurvesCompareAsAWhole) {
    using O = ui::AnimationOptions;
    EXPECT_TRUE(ui::hasOption(O::curveLinear | O::allowUserInteraction, O::allowUserInteraction));
    EXPECT_FALSE(ui::hasOption(O::curveLinear, O::curveEaseOut));
    EXPECT_FALSE(ui::hasOption(O::curveEaseOut, O::curveEaseInOut));
    EXPECT_TRUE(ui::hasOption(O::none, O::curveEaseInOut));
    EXPECT_FALSE(ui::hasOption(O::curveEaseIn, O::beginFromCurrentState));
}

} // namespace
