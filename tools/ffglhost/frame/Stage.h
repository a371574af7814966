// One plug-in of a render and what feeds it: the plug-in file, its instance drawing into a
// framebuffer of its own, its --set values, and one input source per input slot (images, videos,
// test patterns, or other stages rendering source plug-ins). A stage is an input source itself:
// the colour texture of its framebuffer is what the effect after it in a chain (--then), or the
// effect it is an --input of, gets as an input texture, GPU to GPU.
//
// Roles: the first plug-in of a render may be a source or an effect; a --then stage is an effect
// whose slot 0 is the stage before it, its --input sources filling slots 1, 2, ...; an --input
// plug-in must be a source and takes no inputs. An effect's slots up to its minimum that no
// --input fills get built-in patterns (card, bars, sweep).
//
// Ownership: a stage owns its plug-in (the library), its instance, its framebuffer and its
// input sources, the stage before it included. Main thread. open() needs no GL context;
// everything that makes, uses or releases GL objects needs the render's context current, the
// destructor too unless stop() ran (it destroys what is left: the instance unchecked, then the
// framebuffer, then the inputs).
#pragma once

#include "HeadlessGL.h"
#include "Options.h"
#include "Status.h"
#include "frame/RenderSetup.h"
#include "inputs/InputSource.h"
#include "plugin/PluginDescription.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginLoader.h"

#include <memory>
#include <string>
#include <vector>

namespace ffglhost {

// Most input slots the host fills for one plug-in: a bound against counts that are garbage.
constexpr uint32_t kMaxInputSlots = 16;

enum class StageRole { First, Then, Input };

// What the command line says about one plug-in of a render.
struct StagePlan {
    StageRole role = StageRole::First;
    std::string path;
    std::vector<std::string> inputs;        // --input SOURCE, for the stage's own slots in order
    std::vector<ParameterSetting> settings; // --set NAME=VALUE, in command-line order
};

class Stage : public InputSource {
public:
    // `previous`: the stage before a --then stage (its slot 0), else null. `name` names the stage
    // in crash reports ("stage 2 of 3" gives "Invert (stage 2 of 3)"); empty: the plug-in's own
    // name alone.
    Stage(StagePlan plan, std::unique_ptr<Stage> previous, std::string name);
    ~Stage() override;
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    std::string label() const override { return plan_.path; }
    // Loads and describes the plug-in, checks it for its role and its --input and --set against
    // it, and opens every input source (bad input, one line, for anything wrong).
    Status open(int width, int height) override;
    // Starts the stage as another's input: a framebuffer with a colour texture in `layout`.
    Status start(TextureLayout layout) override;
    // Renders host frame `frame` and hands out the colour texture.
    Status texture(int64_t frame, FFGLTextureStructTag*& record) override;
    // Destroys the instance unchecked and releases the GL objects of this stage and its inputs.
    void stop() override;

    // Starts the stage whose frames the host keeps: a framebuffer with a colour renderbuffer,
    // inputs laid out as `layout`. [GL context current]
    Status startOutput(TextureLayout layout);
    // Renders host frame `frame` (1, 2, ...): every input brought up to it, then code 17 into the
    // framebuffer with glFinish. [GL context current]
    Status renderFrame(int64_t frame);
    // A new instance of this stage and of every stage feeding it (code 19, framebuffer cleared,
    // code 18, --set values), as if the render started again; `settings` replaces this stage's
    // --set values when not null. [GL context current]
    Status restart(const std::vector<ResolvedSetting>* settings);
    // The frame size changed: a new framebuffer of that size and code 23 (inputs keep theirs).
    // [GL context current]
    Status resize(int width, int height);
    // Code 19 of this stage's instance and of every stage feeding it, the answers checked.
    // [GL context current]
    Status finish();
    // Code 2 of this plug-in and of every plug-in feeding it.
    Status deInitialise();

    // This stage and every stage feeding it, upstream first, this one last. Pointers owned by
    // the stage, valid while it lives.
    void collectStages(std::vector<Stage*>& out);

    StageRole role() const { return plan_.role; }
    const PluginDescription& description() const { return description_; }
    const std::vector<ResolvedSetting>& settings() const { return settings_; }
    const kxhost::Framebuffer& framebuffer() const { return framebuffer_; }
    PluginInstance& instance() { return *instance_; }
    const PluginInstance& instance() const { return *instance_; }
    // The time of the last frame's code 17 and glFinish, ms.
    double lastFrameMs() const { return lastMs_; }
    // Whether the plug-in takes input textures at all (its maximum is above 0).
    bool takesInputs() const { return description_.caps.maxInputs > 0; }
    // The sources of its slots, in slot order; owned by the stage.
    std::size_t inputCount() const { return inputs_.size(); }
    InputSource& input(std::size_t slot) { return *inputs_[slot]; }
    const InputSource& input(std::size_t slot) const { return *inputs_[slot]; }

private:
    Status checkRole() const;
    Status openInputs(int width, int height);
    Status startInputs(TextureLayout layout);
    Status createInstance();
    Status clearFramebuffer();

    StagePlan plan_;
    std::string name_;
    int width_ = 0;
    int height_ = 0;
    std::unique_ptr<Plugin> plugin_;
    PluginDescription description_;
    std::vector<ResolvedSetting> settings_;
    std::vector<std::unique_ptr<InputSource>> inputs_; // slot order
    std::vector<Stage*> upstream_;                     // the inputs that are stages, slot order
    std::vector<FFGLTextureStructTag*> records_;       // this frame's, slot order
    kxhost::Framebuffer framebuffer_; // declared before the instance: the instance goes first
    std::unique_ptr<PluginInstance> instance_;
    FFGLTextureStructTag output_{};   // the colour texture, when this stage is an input
    double lastMs_ = 0.0;
};

} // namespace ffglhost
