// The frame loop's own rules: the window's size for a monitor and the step
// a frame takes.
#include <gtest/gtest.h>

#include "game/mainloop.h"

namespace {

TEST(WindowSize, LargeWindowOnlyOnMonitorsWiderAndTallerThanIt) {
    struct Case {
        int monitorWidth, monitorHeight, width, height;
    };
    const Case cases[] = {
        {1920, 1080, 1280, 720},  {1920, 1200, 1920, 1080}, {2560, 1080, 1280, 720},
        {1680, 1050, 1280, 720},  {2560, 1440, 1920, 1080}, {1920, 1081, 1920, 1080},
        {1919, 1200, 1280, 720},  {3840, 2160, 1920, 1080}, {1280, 720, 1280, 720},
        {1024, 768, 1280, 720},   {0, 0, 1280, 720},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.monitorWidth << "x" << c.monitorHeight);
        WindowSize size = chooseWindowSize(c.monitorWidth, c.monitorHeight);
        EXPECT_EQ(size.width, c.width);
        EXPECT_EQ(size.height, c.height);
    }
}

TEST(FrameStep, ElapsedTimeIsClampedToOneThirtieth) {
    const float cap = static_cast<float>(1.0 / 30.0);
    struct Case {
        double elapsed;
        float step;
    };
    const Case cases[] = {
        {0.0176667, static_cast<float>(0.0176667)},
        {0.03, static_cast<float>(0.03)},
        {1.0 / 30.0, cap},
        {0.0333334, cap},
        {0.5, cap},
        {12.75, cap},  // the first frame counts all of start-up
        {1e9, cap},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.elapsed);
        EXPECT_EQ(frameStep(c.elapsed), c.step);
    }
}

}  // namespace
