#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/uikit/Animation.hpp"
#include "platform/uikit/LayoutConstraint.hpp"
#include "platform/uikit/View.hpp"

#include <gtest/gtest.h>

#include <new>

namespace {

class AnimationPresentation : public ::testing::Test {
  protected:
    void SetUp() override {
        dispatch::main().removeAll();
        ui::AnimationLog::shared().clear();
    }
    void TearDown() override {
        dispatch::main().removeAll();
        ui::AnimationLog::shared().clear();
    }
    double alphaAt(const ui::View& view, double time) {
        return ui::AnimationLog::shared().presentation(&view, "alpha", view.alpha(), time);
    }
    double scaleAt(const ui::View& view, double time) {
        return ui::AnimationLog::shared().presentation(&view, "transformScale", view.transformScale(), time);
    }
    dispatch::VirtualClockScope clock;
    ui::View bar;
};

TEST_F(AnimationPresentation, FromBeforeTheDelayAlongTheCurveDuringModelAfter) {
    bar.setAlpha(0);
    ui::animate(0.5, 10, ui::AnimationOptions::curveEaseOut, [&] { bar.setAlpha(1); });
    ASSERT_DOUBLE_EQ(bar.alpha(), 1); // the model is at its end at once
    struct Case {
        double time;
        double alpha;
    } cases[] = {
        {0, 0}, {9.9, 0}, {10, 0}, {10.25, 0.75}, {10.5, 1}, {10.6, 1}, {100, 1},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(alphaAt(bar, c.time), c.alpha, 1e-9) << "at " << c.time;
}

TEST_F(AnimationPresentation, CurvesShapeTheMiddle) {
    using O = ui::AnimationOptions;
    EXPECT_DOUBLE_EQ(ui::curveProgress(O::curveLinear, 0.25), 0.25);
    EXPECT_DOUBLE_EQ(ui::curveProgress(O::curveEaseIn, 0.5), 0.25);
    EXPECT_DOUBLE_EQ(ui::curveProgress(O::curveEaseOut, 0.5), 0.75);
    EXPECT_DOUBLE_EQ(ui::curveProgress(O::curveEaseInOut, 0.5), 0.5);
    EXPECT_LT(ui::curveProgress(O::curveEaseInOut, 0.2), 0.2);
    EXPECT_DOUBLE_EQ(ui::curveProgress(O::curveEaseOut, -1), 0);
    EXPECT_DOUBLE_EQ(ui::curveProgress(O::curveEaseOut, 2), 1);
}

TEST_F(AnimationPresentation, PointsAndColoursBlendBoolsSwitchAtTheEnd) {
    auto p = std::get<ui::Point>(ui::interpolate(ui::Point{0, 100}, ui::Point{10, 0}, 0.5));
    EXPECT_EQ(p, (ui::Point{5, 50}));
    auto c = std::get<ui::Color>(ui::interpolate(ui::Color::black(), ui::Color::white(), 0.5));
    EXPECT_DOUBLE_EQ(c.green, 0.5);
    EXPECT_FALSE(std::get<bool>(ui::interpolate(false, true, 0.99)));
    EXPECT_TRUE(std::get<bool>(ui::interpolate(false, true, 1)));
}

TEST_F(AnimationPresentation, StepsStartedTogetherPlayInTurnAsABlink) {
    // Grow to 1.3 and back, twice, as steps with growing delays.
    const std::pair<double, double> steps[] = {{0.0, 1.3}, {0.2, 1.0}, {0.4, 1.3}, {0.6, 1.0}};
    for (const auto& [delay, scale] : steps)
        ui::animate(0.2, delay, ui::AnimationOptions::curveLinear,
                    [&, s = scale] { bar.setTransformScale(s); });
    struct Case {
        double time;
        double scale;
    } cases[] = {{0.1, 1.15}, {0.2, 1.3}, {0.3, 1.15}, {0.5, 1.15}, {0.6, 1.3}, {0.7, 1.15}, {0.8, 1.0}};
    for (const auto& c : cases)
        EXPECT_NEAR(scaleAt(bar, c.time), c.scale, 1e-9) << "at " << c.time;
}

TEST_F(AnimationPresentation, ALaterAnimationReplacesOneStillWaiting) {
    bar.setAlpha(0);
    ui::animate(0.5, 10, ui::AnimationOptions::none, [&] { bar.setAlpha(1); });
    dispatch::main().advance(6); // the next lesson shows the bar afresh
    bar.setAlpha(0);
    ui::animate(0.5, 10, ui::AnimationOptions::none, [&] { bar.setAlpha(1); });
    EXPECT_DOUBLE_EQ(alphaAt(bar, 12), 0); // the first one's fade no longer counts
    EXPECT_DOUBLE_EQ(alphaAt(bar, 16.6), 1);
}

TEST_F(AnimationPresentation, OtherPropertiesAndViewsShowTheirModel) {
    ui::View other;
    other.setAlpha(0.3);
    ui::animate(1, [&] { bar.setAlpha(0.5); });
    EXPECT_DOUBLE_EQ(alphaAt(other, 0.5), 0.3);
    EXPECT_DOUBLE_EQ(scaleAt(bar, 0.5), 1);
}

TEST_F(AnimationPresentation, NextChangeIsNowWhileRunningTheBeginWhileWaiting) {
    auto& log = ui::AnimationLog::shared();
    EXPECT_FALSE(log.nextChange(0));
    ui::animate(0.5, 2, ui::AnimationOptions::none, [&] { bar.setAlpha(0.5); });
    ui::animate(1, 5, ui::AnimationOptions::none, [&] { bar.setCenter({1, 1}); });
    ui::animate(3, 0, ui::AnimationOptions::none, [] {}); // changes nothing: nothing to draw
    EXPECT_DOUBLE_EQ(log.nextChange(1).value_or(-1), 2);
    EXPECT_DOUBLE_EQ(log.nextChange(2.2).value_or(-1), 2.2);
    EXPECT_DOUBLE_EQ(log.nextChange(3).value_or(-1), 5);
    EXPECT_FALSE(log.nextChange(6));
}

TEST_F(AnimationPresentation, TheLogKeepsTheNewestAndWhateverIsStillInFlight) {
    auto& log = ui::AnimationLog::shared();
    ui::animate(0.5, 1000, ui::AnimationOptions::none, [&] { bar.setAlpha(0.5); }); // waits long
    for (int i = 0; i < 400; ++i) {
        ui::animate(0.1, [&, i] { bar.setTransformScale(1 + i); });
        dispatch::main().advance(0.2);
    }
    EXPECT_EQ(log.entries().size(), ui::AnimationLog::kKeep + 1);
    EXPECT_DOUBLE_EQ(log.entries().front().delay, 1000); // the waiting one stayed
    EXPECT_DOUBLE_EQ(std::get<double>(log.last()->changes.front().to), 400);
    EXPECT_EQ(log.animationsOf(&bar, "alpha").size(), 1u);
    EXPECT_DOUBLE_EQ(alphaAt(bar, 999), 1); // its "from" is still shown
}

// A view made where a freed one stood: the same address, by construction rather than by luck.
TEST_F(AnimationPresentation, AViewMadeWhereAFreedOneStoodShowsNoneOfItsAnimations) {
    alignas(ui::View) unsigned char storage[sizeof(ui::View)];
    auto* first = new (storage) ui::View;
    first->setAlpha(0);
    ui::animate(0.5, 10, ui::AnimationOptions::none, [&] { first->setAlpha(1); }); // a fade-in, waiting
    const std::uint64_t firstIdentity = first->animationIdentity();
    ASSERT_DOUBLE_EQ(alphaAt(*first, 1), 0);
    first->~View();

    auto* second = new (storage) ui::View;
    ASSERT_EQ(static_cast<void*>(second), static_cast<void*>(first));
    EXPECT_NE(second->animationIdentity(), firstIdentity);
    EXPECT_DOUBLE_EQ(alphaAt(*second, 1), 1); // drawn at once, not when the old fade would have run
    EXPECT_TRUE(ui::AnimationLog::shared().animationsOf(second, "alpha").empty());
    // The fade ended with its view: nothing is left to wake the screen for.
    EXPECT_FALSE(ui::AnimationLog::shared().nextChange(1));
    EXPECT_EQ(ui::AnimationLog::shared().entries().size(), 1u); // the animation itself is still logged
    second->~View();
}

TEST_F(AnimationPresentation, ACopiedConstraintIsAnotherObjectToTheLog) {
    ui::LayoutConstraint original(8);
    ui::animate(0.5, 10, ui::AnimationOptions::none, [&] { original.setConstant(40); });
    ui::LayoutConstraint copy = original;
    EXPECT_NE(copy.animationIdentity(), original.animationIdentity());
    EXPECT_TRUE(ui::AnimationLog::shared().animationsOf(&copy, "constant").empty());
    EXPECT_EQ(ui::AnimationLog::shared().animationsOf(&original, "constant").size(), 1u);
}

} // namespace
