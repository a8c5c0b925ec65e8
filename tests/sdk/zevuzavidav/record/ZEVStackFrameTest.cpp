#include "sdk/zevuzavidav/record/ZEVStackFrame.hpp"

#include <gtest/gtest.h>

namespace {

TEST(StackFrame, DescriptionShowsWhatIsKnown) {
    ZEVStackFrame frame = ZEVStackFrame::stackFrameWithAddress(0x1f);
    EXPECT_EQ(frame.description(), "{[0x1f + 0] (null)}");
    frame.symbol = "main";
    frame.lineNumber = 12;
    EXPECT_EQ(frame.description(), "{[0x1f + 12] main}");
    frame.fileName = "main.cpp";
    EXPECT_EQ(frame.description(), "{[0x1f] main.cpp - main:12}");
}

} // namespace
