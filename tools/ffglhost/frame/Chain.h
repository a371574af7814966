// A render as a chain of stages (Stage.h): the first plug-in, then each --then effect fed with the
// output of the one before, frame by frame and GPU to GPU; every stage with its own --input
// sources (plug-ins among them rendered as stages of their own). A render of one plug-in is a
// chain of one stage. The last stage's framebuffer holds the frames the host keeps.
//
// Every stage renders at the frame size, and every input picture is scaled to it; with
// --pot-inputs every input texture (stage outputs that feed another stage included) is allocated
// at power-of-two sizes with the picture in its lower-left corner.
//
// Ownership: the chain owns its last stage, which owns the rest. Main thread. open() needs no GL
// context; the other calls need the render's context current, and so does destroying a started
// chain that was not stopped.
#pragma once

#include "Options.h"
#include "Status.h"
#include "frame/Stage.h"

#include <memory>
#include <string>
#include <vector>

namespace ffglhost {

// Most plug-ins one render loads: every stage, plug-in input and --also plug-in (the flight
// record keeps the names of that many).
constexpr std::size_t kMaxRenderPlugins = 17;

// The stages the command line asks for: the plug-in, its --input and --set, then every --then.
std::vector<StagePlan> chainPlan(const Options& o);

class Chain {
public:
    Chain() = default;
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;
    ~Chain();

    // Opens every plug-in and input of `plans` for width x height frames (Stage::open), checks
    // --pot-inputs against them, and that no more than `mostPlugins` plug-ins are loaded. Bad
    // input, one line, for anything wrong; nothing has rendered then.
    Status open(const std::vector<StagePlan>& plans, int width, int height, bool potInputs,
                std::size_t mostPlugins = kMaxRenderPlugins);
    // Makes every framebuffer, texture and instance; writes the --set values. [GL]
    Status start();
    // Renders the next host frame through every stage. `ms`: the frame's time, the sum over the
    // stages of code 17 and glFinish. [GL]
    Status renderFrame(double& ms);
    // A fresh instance of every stage, the frame count back to 0 (sheet cells); `settings`
    // replaces the last stage's --set values when not null. [GL]
    Status restart(const std::vector<ResolvedSetting>* settings = nullptr);
    // The last stage's frame size changed (a resized preview window). [GL]
    Status resize(int width, int height) { return output().resize(width, height); }
    // Code 19 of every instance, checked. [GL]
    Status finish() { return output().finish(); }
    // Releases every GL object; nothing when not started. [GL]
    void stop();
    // Code 2 of every plug-in, checked.
    Status deInitialise() { return output().deInitialise(); }

    // The last stage: its framebuffer holds the frames; the chain owns it.
    Stage& output() { return *last_; }
    const Stage& output() const { return *last_; }
    // Every stage, upstream first, the last stage last; owned by the chain.
    const std::vector<Stage*>& stages() const { return stages_; }
    // The stages named on the command line (the plug-in and each --then), in order.
    const std::vector<Stage*>& mainStages() const { return main_; }
    int64_t frames() const { return frame_; }

    // "Quorus", or "Quorus -> Kaleidoscope -> Invert" for a chain: its plug-ins' names, printable.
    std::string name() const;
    // The name default output files take: "Quorus", or "Quorus-Kaleidoscope-Invert".
    std::string fileName() const;
    // A line per --set value written ("parameter Speed = 0.5 (display "0.50")", with " of NAME"
    // after the parameter's name in a chain or with `namePlugins`), and one per input of every
    // stage ("input 0 of Invert: pattern:card"), the values read back from the instances.
    // [GL, started]
    Status reportLines(std::vector<std::string>& lines, bool namePlugins = false) const;

private:
    std::unique_ptr<Stage> last_;
    std::vector<Stage*> stages_;
    std::vector<Stage*> main_;
    TextureLayout layout_ = TextureLayout::Exact;
    int64_t frame_ = 0;
    bool started_ = false;
};

} // namespace ffglhost
