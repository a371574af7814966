// Marks the end of every rendered frame in the GL command stream, for GL tracers and debuggers
// that offer GL_GREMEDY_frame_terminator (apitrace does while it records): a recorded render
// then replays frame by frame. Where the extension is missing, marking does nothing.
//
// Construct and use it with the host's GL context current, on the render thread.
#pragma once

namespace ffglhost {

class FrameMarker {
public:
    // Looks the extension up in the current context.
    FrameMarker();
    // Ends the current frame in the command stream.
    void frameDone() const;
    // Whether frames are marked at all.
    bool active() const { return terminate_ != nullptr; }

private:
    void (*terminate_)() = nullptr;
};

} // namespace ffglhost
