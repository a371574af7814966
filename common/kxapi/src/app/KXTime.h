// The process-wide frame clock: a millisecond tick source and a frames-per-second estimator.
//
// One set of clock variables per process, shared by every instance, unsynchronised: call from
// the host's rendering thread only. No GL context needed.
#pragma once

namespace KXApp {

// Milliseconds as a double from the platform clock (monotonic on Linux); differences between two
// readings are elapsed milliseconds.
double getTickCount();

// Advances the clock to nowMs: frame time since the previous call, and the frame rate over
// windows of more than one second.
void updateTime(double nowMs);

double getCurrentTime(); // time of the latest updateTime call, ms
double getFrameTime();   // time between the two latest updateTime calls, ms
double getFPS();         // frames per second over the last closed window (60 at first)
double getFpsRatio();    // target rate divided by the measured rate, from the last closed window
void setTargetFps(double fps);

} // namespace KXApp
