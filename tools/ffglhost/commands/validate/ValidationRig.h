// The host's GL resources the validator's checks share: one framebuffer per instance that
// renders at once, the texture the host keeps bound while plug-ins run, and the input sources of
// an effect's input slots (ValidationInputs.h), started in exact layout, with the still picture
// each showed first.
//
// Ownership: the rig owns its framebuffers, its bound texture and its sources (each source owns
// its texture). Main thread, with the GL context the rig was created in current for every call
// and for its destruction.
#pragma once

#include "Status.h"
#include "commands/validate/HostGLState.h"
#include "commands/validate/InputTextureGuard.h"
#include "commands/validate/ValidationInputs.h"
#include "plugin/PluginInstance.h"

#include "HeadlessGL.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ffglhost {

struct FrameSetup {
    int width = 0;
    int height = 0;
    uint32_t inputs = 0;          // input textures handed to the frames of the checks for every plug-in
    InputSourceFactories sources; // one per input slot the checks use: at least `inputs`
};

class ValidationRig {
public:
    ValidationRig() = default;
    ~ValidationRig();
    ValidationRig(const ValidationRig&) = delete;
    ValidationRig& operator=(const ValidationRig&) = delete;

    // `framebuffers` framebuffers of the setup's size, cleared, and every slot's source opened
    // and started, showing its first frame. A source's bad input keeps its status (exit 2);
    // failures of the host's own GL resources are failures (exit 1).
    Status create(const FrameSetup& setup, int framebuffers);

    HostScene scene(std::size_t framebuffer) const;
    unsigned framebufferId(std::size_t framebuffer) const { return framebuffers_[framebuffer].id(); }
    int width() const { return setup_.width; }
    int height() const { return setup_.height; }
    // The input textures of the checks' frames, and the slots with a source.
    uint32_t inputs() const { return setup_.inputs; }
    std::size_t slots() const { return sources_.size(); }

    // The textures of the first `count` slots brought up to the next host frame, in `out`; the
    // records belong to the sources and stay valid until the next call. A source that fails
    // leaves its status.
    Status nextInputs(uint32_t count, FrameInputs& out);
    // The picture slot `slot` showed first, its size the frame's; and what its source is.
    const Picture& still(std::size_t slot) const { return stills_[slot]; }
    std::string sourceLabel(std::size_t slot) const { return sources_[slot]->label(); }

    // Puts the context into the host state of `framebuffer` (HostGLState.h) and clears it to
    // transparent black.
    void clear(std::size_t framebuffer) const;
    // Its pixels, RGBA8 rows top-down; the bindings in force are kept. False on a GL error.
    bool read(std::size_t framebuffer, std::vector<unsigned char>& rgba) const;

private:
    FrameSetup setup_;
    std::vector<kxhost::Framebuffer> framebuffers_;
    unsigned boundTexture_ = 0;
    std::vector<std::unique_ptr<InputSource>> sources_; // each started
    std::vector<Picture> stills_;
    int64_t hostFrame_ = 0; // the host frame the sources last showed
};

// Code 17 of `instance` into framebuffer `framebuffer` (bound by the caller) with `inputs`.
Status processFrame(PluginInstance& instance, unsigned framebuffer, FrameInputs& inputs);

} // namespace ffglhost
