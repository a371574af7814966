// Test patterns as input sources (see PatternInput.h).
#include "inputs/PatternInput.h"

namespace ffglhost {

Status PatternInput::open(int width, int height)
{
    width_ = width;
    height_ = height;
    return Status();
}

Status PatternInput::start(TextureLayout layout)
{
    Status s = texture_.create(width_, height_, layout);
    if (s.ok() && !patternMoves(pattern_))
        s = texture_.upload(drawPattern(pattern_, width_, height_, 1));
    return s;
}

Status PatternInput::texture(int64_t frame, FFGLTextureStructTag*& record)
{
    if (patternMoves(pattern_)) {
        const Status s = texture_.upload(drawPattern(pattern_, width_, height_, frame));
        if (!s.ok())
            return s;
    }
    record = texture_.record();
    return Status();
}

} // namespace ffglhost
