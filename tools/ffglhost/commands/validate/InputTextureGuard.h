// What the validator watches in the host's input textures around one frame (code 17): before
// the call it notes each texture's name, size, internal format, sampling parameters (filters,
// wrap modes, base and maximum level) and content; afterwards it says what the plug-in changed
// and puts every texture back as it was (re-created under the same name when deleted,
// re-specified and refilled, its parameters reset), so that later frames get sound inputs.
//
// Deleting a texture, changing its size, format or content are faults; sampling parameters left
// changed are worth a warning (the host sets them again before it samples, most hosts do not).
//
// Ownership: the guard owns its snapshots; the textures stay their owners' (the input sources,
// the checks' own HostTextures) and must outlive the guard. Main thread, with the GL context the
// textures live in current for both calls. Each call keeps the active texture unit, its 2D
// binding and the pixel transfer state in force.
#pragma once

#include "inputs/Picture.h"

#include "FFGLPluginSDK.h"

#include <string>
#include <vector>

namespace ffglhost {

// The records of the input textures one frame gets, in slot order; the records belong to whoever
// made the textures.
using FrameInputs = std::vector<FFGLTextureStructTag*>;

// The number of sampling parameters watched.
constexpr int kWatchedSamplingParameters = 6;

class InputTextureGuard {
public:
    // Notes the textures of `inputs` as they are now (records may be null: nothing to note).
    explicit InputTextureGuard(const FrameInputs& inputs);

    // Compares every texture with its note, appends the faults ("input 0 (texture 5) was
    // deleted", "input 1 (texture 6) content changed in 4 of 144 rows, first at row 0 from the
    // bottom") and the warnings ("input 0 (texture 5) has min filter GL_NEAREST (was
    // GL_LINEAR)"), and puts back what changed. Once only.
    void restore(std::vector<std::string>& faults, std::vector<std::string>& warnings);

private:
    struct Note {
        std::size_t slot = 0;
        unsigned name = 0;
        int width = 0;
        int height = 0;
        int format = 0;
        int sampling[kWatchedSamplingParameters] = {};
        Picture content; // as allocated, bottom row first
    };
    std::vector<Note> notes_;
};

// The content of texture `name` as allocated, width x height RGBA8 pixels, bottom row first
// (the texture must have that size). [GL context current; bindings kept]
Picture readTextureContent(unsigned name, int width, int height);
// The picture of an input texture: the record's Width x Height pixels in the lower-left corner.
Picture readInputPicture(const FFGLTextureStructTag& record);

} // namespace ffglhost
