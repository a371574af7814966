// `--input pattern:NAME`: a built-in test pattern (Patterns.h) as an input source. A still
// pattern is drawn and uploaded once; a moving one is drawn for every host frame.
//
// Main thread; see InputSource.h for which calls need the GL context.
#pragma once

#include "inputs/InputSource.h"
#include "inputs/Patterns.h"

namespace ffglhost {

// The text after "pattern:" that --input takes.
constexpr const char kPatternPrefix[] = "pattern:";

class PatternInput : public InputSource {
public:
    explicit PatternInput(Pattern pattern) : pattern_(pattern) {}

    std::string label() const override { return std::string(kPatternPrefix) + patternName(pattern_); }
    Status open(int width, int height) override;
    Status start(TextureLayout layout) override;
    Status texture(int64_t frame, FFGLTextureStructTag*& record) override;
    void stop() override { texture_.release(); }

private:
    Pattern pattern_;
    int width_ = 0;
    int height_ = 0;
    HostTexture texture_;
};

} // namespace ffglhost
