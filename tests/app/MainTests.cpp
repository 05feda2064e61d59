#include "app/Main.h"

#include <gtest/gtest.h>

TEST(MainForm, EmptyFrame)
{
    TMainForm frame;
    EXPECT_EQ(frame.windowTitle(), "Quarrow");
    EXPECT_EQ(MainForm(), &frame);
    EXPECT_EQ(frame.size(), QSize(667, 549));
}
