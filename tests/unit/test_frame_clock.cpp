// The process-wide frame clock: frame times and the frames-per-second windows. The clock is
// never reset, so the whole sequence runs in one test, in order.
#include "KXPlatform.h"
#include "KXTime.h"

#include <gtest/gtest.h>

namespace {

double g_fakeNow = 0.0;
double fakeClock() { return g_fakeNow; }

TEST(FrameClock, WindowsCloseAfterMoreThanOneSecond)
{
    EXPECT_EQ(KXApp::getFPS(), 60.0);
    EXPECT_EQ(KXApp::getFpsRatio(), 1.0);

    KXApp::updateTime(0.0);
    EXPECT_EQ(KXApp::getFrameTime(), 0.0) << "the first call has no previous frame";
    EXPECT_EQ(KXApp::getFPS(), 60.0);

    // Calls every 16 ms: the first window closes at 1008 ms with 64 frames counted (the call
    // that opened it included).
    for (double t = 16.0; t < 1008.0; t += 16.0) {
        KXApp::updateTime(t);
        EXPECT_EQ(KXApp::getFPS(), 60.0) << "window still open at " << t;
    }
    KXApp::updateTime(1008.0);
    EXPECT_DOUBLE_EQ(KXApp::getFPS(), 64000.0 / 1008.0);
    EXPECT_NEAR(KXApp::getFpsRatio(), 0.945, 0.001);
    EXPECT_EQ(KXApp::getFrameTime(), 16.0);
    EXPECT_EQ(KXApp::getCurrentTime(), 1008.0);

    // The next window does not count the call that closed the previous one: 63 frames.
    for (double t = 1024.0; t <= 2016.0; t += 16.0)
        KXApp::updateTime(t);
    EXPECT_DOUBLE_EQ(KXApp::getFPS(), 62.5);

    // A window of exactly 1000 ms stays open; the first call after it closes it.
    KXApp::updateTime(3016.0);
    EXPECT_DOUBLE_EQ(KXApp::getFPS(), 62.5);
    // A new target changes the ratio only when the next window closes.
    KXApp::setTargetFps(30.0);
    EXPECT_DOUBLE_EQ(KXApp::getFpsRatio(), 60.0 / 62.5);
    KXApp::updateTime(3017.0);
    EXPECT_DOUBLE_EQ(KXApp::getFPS(), 2 * 1000.0 / 1001.0);
    EXPECT_DOUBLE_EQ(KXApp::getFpsRatio(), 30.0 / KXApp::getFPS());
}

TEST(FrameClock, TickCountFollowsThePlatformClockAndItsSeam)
{
    const double a = KXApp::getTickCount();
    const double b = KXApp::getTickCount();
    EXPECT_GE(b, a) << "the system clock is monotonic";

    KXPlatform::setClockOverride(fakeClock);
    g_fakeNow = 1234.5;
    EXPECT_EQ(KXApp::getTickCount(), 1234.5);
    KXPlatform::setClockOverride(nullptr);
    EXPECT_GE(KXApp::getTickCount(), b);
}

} // namespace
