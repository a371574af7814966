// `--input FILE` for a still image (ImageFile.h): decoded and scaled to the frame size once, when
// the source is opened, and uploaded once, when it starts; every frame then hands out the same
// texture.
//
// Main thread; see InputSource.h for which calls need the GL context.
#pragma once

#include "inputs/InputSource.h"
#include "inputs/Picture.h"

namespace ffglhost {

class ImageInput : public InputSource {
public:
    explicit ImageInput(std::string path) : path_(std::move(path)) {}

    std::string label() const override { return path_; }
    Status open(int width, int height) override;
    Status start(TextureLayout layout) override;
    Status texture(int64_t frame, FFGLTextureStructTag*& record) override;
    void stop() override { texture_.release(); }

private:
    std::string path_;
    Picture picture_; // at the frame size
    HostTexture texture_;
};

} // namespace ffglhost
