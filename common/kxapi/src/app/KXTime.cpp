// The frame clock (see KXTime.h).
#include "KXTime.h"

#include "KXPlatform.h"

namespace KXApp {

namespace {
bool firstTime = true;
double curTime = 0.0;
double frameTime = 0.0;
double fpsBase = 0.0;
int frames = 0;
double fps = 60.0;
double targetFps = 60.0;
double fpsRatio = 1.0;
} // namespace

double getTickCount() { return KXPlatform::nowMs(); }

void updateTime(double nowMs)
{
    if (firstTime) {
        curTime = nowMs;
        fpsBase = nowMs;
        firstTime = false;
    }
    frameTime = nowMs - curTime;
    curTime = nowMs;
    ++frames;
    if (curTime - fpsBase > 1000.0) {
        fps = frames * 1000.0 / (curTime - fpsBase);
        fpsRatio = targetFps / fps;
        fpsBase = curTime;
        frames = 0;
    }
}

double getCurrentTime() { return curTime; }
double getFrameTime() { return frameTime; }
double getFPS() { return fps; }
double getFpsRatio() { return fpsRatio; }
void setTargetFps(double value) { targetFps = value; }

} // namespace KXApp
