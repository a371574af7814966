// One source of pictures for an effect's input slot, whatever it is: a still image, a video or
// camera, a built-in test pattern, or another plug-in rendering frame by frame (frame/Stage.h).
// The host asks each source for its texture once per host frame, before the effect's frame.
//
// Life of a source: open() before any GL context exists, where bad input is found (a missing or
// corrupt image, a video that cannot be opened, an unknown pattern, a plug-in that is no source),
// so that nothing renders and no file is written when one --input is wrong; start() with the GL
// context current makes its texture; texture() for frames 1, 2, 3, ... in order; stop() with the
// context current releases its GL objects. A source that was started must be stopped before the
// context goes; destroying one never makes a GL call.
//
// Ownership: the source owns its texture and the record describing it. Main thread (a source may
// run helpers of its own, such as a decoding thread, which never touch GL).
#pragma once

#include "Status.h"
#include "inputs/HostTexture.h"

#include "FFGLPluginSDK.h"

#include <cstdint>
#include <string>

namespace ffglhost {

class InputSource {
public:
    virtual ~InputSource() = default;

    // What the command line named ("photo.png", "pattern:card", "Quorus.so"), for messages.
    virtual std::string label() const = 0;
    // Prepares pictures of width x height. Bad input, one line naming the source, when it cannot
    // be used. [main thread, no GL needed]
    virtual Status open(int width, int height) = 0;
    // Makes its texture, laid out as `layout`. [GL context current]
    virtual Status start(TextureLayout layout) = 0;
    // Brings the texture up to host frame `frame` (1, 2, ...) and points `record` at the record
    // describing it, owned by the source and valid until the next call or stop(). [GL context
    // current]
    virtual Status texture(int64_t frame, FFGLTextureStructTag*& record) = 0;
    // Releases its GL objects; nothing when not started. [GL context current]
    virtual void stop() = 0;
};

} // namespace ffglhost
