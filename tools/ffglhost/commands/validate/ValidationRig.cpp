// The validator's host resources (see ValidationRig.h).
#include "commands/validate/ValidationRig.h"

#include <GL/gl.h>
#include <GL/glext.h>

namespace ffglhost {

namespace {

// Side length and grey of the host texture bound while plug-ins run.
constexpr int kHostTextureSize = 4;
constexpr unsigned char kHostTextureGrey = 128;

} // namespace

ValidationRig::~ValidationRig()
{
    for (const std::unique_ptr<InputSource>& s : sources_)
        s->stop();
    if (boundTexture_ != 0) {
        const GLuint name = boundTexture_;
        glDeleteTextures(1, &name);
    }
}

Status ValidationRig::create(const FrameSetup& setup, int framebuffers)
{
    setup_ = setup;
    framebuffers_.resize(static_cast<std::size_t>(framebuffers));
    for (std::size_t k = 0; k < framebuffers_.size(); ++k) {
        std::string error;
        if (!framebuffers_[k].create(setup.width, setup.height, error))
            return Status::failed("cannot create the " + std::to_string(setup.width) + "x" +
                                  std::to_string(setup.height) + " host framebuffer: " + error);
        framebuffers_[k].bind();
        glClearColor(0.f, 0.f, 0.f, 0.f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    boundTexture_ = name;
    const std::vector<unsigned char> grey(static_cast<std::size_t>(kHostTextureSize) * kHostTextureSize * 4,
                                          kHostTextureGrey);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kHostTextureSize, kHostTextureSize, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 grey.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    if (glGetError() != GL_NO_ERROR)
        return Status::failed("cannot create the host's bound texture");

    hostFrame_ = 1;
    for (const InputSourceFactory& make : setup.sources) {
        std::unique_ptr<InputSource> source = make ? make() : nullptr;
        if (source == nullptr)
            return Status::failed("cannot make the source of input " + std::to_string(sources_.size()));
        Status s = source->open(setup.width, setup.height);
        if (s.ok())
            s = source->start(TextureLayout::Exact);
        if (!s.ok())
            return s;
        sources_.push_back(std::move(source));
        FFGLTextureStructTag* record = nullptr;
        s = sources_.back()->texture(hostFrame_, record);
        if (!s.ok())
            return s;
        if (record == nullptr)
            return Status::failed(sources_.back()->label() + " gave no texture");
        stills_.push_back(readInputPicture(*record));
    }
    return Status();
}

HostScene ValidationRig::scene(std::size_t framebuffer) const
{
    return HostScene{framebuffers_[framebuffer].id(), setup_.width, setup_.height, boundTexture_};
}

Status ValidationRig::nextInputs(uint32_t count, FrameInputs& out)
{
    out.assign(count, nullptr);
    ++hostFrame_;
    for (uint32_t slot = 0; slot < count && slot < sources_.size(); ++slot) {
        const Status s = sources_[slot]->texture(hostFrame_, out[slot]);
        if (!s.ok())
            return s;
    }
    return Status();
}

void ValidationRig::clear(std::size_t framebuffer) const
{
    // The host state clears whole buffers (no scissor, every write mask on) whatever a plug-in
    // left behind; its clear colour is transparent black.
    enterHostState(scene(framebuffer), GL_MODELVIEW);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

bool ValidationRig::read(std::size_t framebuffer, std::vector<unsigned char>& rgba) const
{
    return framebuffers_[framebuffer].readPixels(rgba);
}

Status processFrame(PluginInstance& instance, unsigned framebuffer, FrameInputs& inputs)
{
    return instance.processFrame(framebuffer, inputs.empty() ? nullptr : inputs.data(),
                                 static_cast<uint32_t>(inputs.size()));
}

} // namespace ffglhost
