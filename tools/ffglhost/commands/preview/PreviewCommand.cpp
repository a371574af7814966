// The preview command (see PreviewCommand.h).
#include "commands/preview/PreviewCommand.h"

#include "commands/preview/PreviewControls.h"
#include "commands/preview/PreviewWindow.h"
#include "frame/Chain.h"
#include "frame/FrameCall.h"
#include "frame/HostContext.h"
#include "frame/Stats.h"
#include "plugin/PluginDescription.h"
#include "plugin/PluginLoader.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace ffglhost {

namespace {

using Clock = std::chrono::steady_clock;

// The title's frame time is the mean over about this long; it is redrawn no more often.
constexpr auto kTitleInterval = std::chrono::milliseconds(500);
// Without swap control the loop paces itself to this rate instead of spinning.
constexpr auto kFallbackFramePeriod = std::chrono::microseconds(16667);
// How long the loop sleeps in the X connection while nothing is rendered (paused or held).
constexpr int kIdleWaitMs = 100;
// Capacity of a window id or frame time text.
constexpr std::size_t kNumberTextCapacity = 64;

std::string formatMs(double ms)
{
    char buf[kNumberTextCapacity];
    std::snprintf(buf, sizeof buf, "%.3f ms", ms);
    return buf;
}

struct PreviewResult {
    std::vector<double> frameMs;
    std::vector<std::string> parameterLines;
    int width = 0;
    int height = 0;
};

// A parameter the keys reach: which stage, which position in its description.
struct Knob {
    std::size_t stage;     // in Chain::stages()
    std::size_t parameter; // in the stage's description().parameters
};

class Preview {
public:
    Preview(Chain& chain, const Options& o, PreviewWindow& window) : o_(o), window_(window), chain_(chain)
    {
        const std::vector<Stage*>& stages = chain_.stages();
        for (std::size_t s = 0; s < stages.size(); ++s) {
            changed_.emplace_back(stages[s]->description().parameters.size(), false);
            for (std::size_t p : adjustableParameters(stages[s]->description()))
                adjustable_.push_back(Knob{s, p});
        }
    }

    Status run(PreviewResult& r);

private:
    Status handle(const WindowEvent& e, bool& quit);
    Status step(int direction, bool large);
    Status frame();
    void updateTitle(bool force);
    const ParameterInfo& parameterOf(const Knob& k) const
    {
        return chain_.stages()[k.stage]->description().parameters[k.parameter];
    }
    PluginInstance& instanceOf(const Knob& k) { return chain_.stages()[k.stage]->instance(); }

    const Options& o_;
    PreviewWindow& window_;
    Chain& chain_;
    std::vector<Knob> adjustable_;          // every stage's, in chain order
    std::size_t selected_ = 0;              // position in adjustable_
    std::vector<std::vector<bool>> changed_; // by stage, then position in its parameters
    std::vector<double> frameMs_;
    int rendered_ = 0;
    bool paused_ = false;
    bool held_ = false;
    bool showPending_ = true;
    Clock::time_point lastTitle_{};
    std::size_t titleFrom_ = 0; // first frame time not yet in the title
    double titleMs_ = 0.0;
};

Status Preview::frame()
{
    double ms = 0.0;
    Status s = chain_.renderFrame(ms);
    if (s.ok()) {
        frameMs_.push_back(ms);
        showPending_ = true;
    }
    return s;
}

Status Preview::step(int direction, bool large)
{
    if (adjustable_.empty())
        return Status();
    const Knob& k = adjustable_[selected_];
    const ParameterInfo& p = parameterOf(k);
    float value = 0.f;
    Status s = instanceOf(k).getParameter(p.index, value);
    if (s.ok())
        s = instanceOf(k).setParameter(p.index, steppedValue(p.type, value, direction, large));
    if (s.ok())
        changed_[k.stage][k.parameter] = true;
    return s;
}

Status Preview::handle(const WindowEvent& e, bool& quit)
{
    switch (e.kind) {
    case WindowEvent::Kind::Closed: quit = true; return Status();
    case WindowEvent::Kind::Exposed: showPending_ = true; return Status();
    case WindowEvent::Kind::Resized: {
        Status s = chain_.resize(e.width, e.height);
        // Nothing else will be drawn while paused or held: draw the picture at its new size.
        if (s.ok() && (paused_ || held_))
            s = frame();
        showPending_ = true;
        return s;
    }
    case WindowEvent::Kind::Key: break;
    }
    const KeyAction a = actionForKey(e.keysym, e.shift);
    Status s;
    switch (a.action) {
    case PreviewAction::None: return Status();
    case PreviewAction::Quit: quit = true; return Status();
    case PreviewAction::NextParameter: selected_ = cycled(selected_, adjustable_.size(), +1); break;
    case PreviewAction::PreviousParameter: selected_ = cycled(selected_, adjustable_.size(), -1); break;
    case PreviewAction::Step: s = step(a.direction, a.large); break;
    case PreviewAction::TogglePause: paused_ = !paused_; break;
    }
    updateTitle(true);
    return s;
}

void Preview::updateTitle(bool force)
{
    const Clock::time_point now = Clock::now();
    if (!force && now - lastTitle_ < kTitleInterval)
        return;
    if (frameMs_.size() > titleFrom_) {
        double sum = 0.0;
        for (std::size_t i = titleFrom_; i < frameMs_.size(); ++i)
            sum += frameMs_[i];
        titleMs_ = sum / static_cast<double>(frameMs_.size() - titleFrom_);
        titleFrom_ = frameMs_.size();
    }
    lastTitle_ = now;
    std::string name, display;
    if (!adjustable_.empty()) {
        const Knob& k = adjustable_[selected_];
        const ParameterInfo& p = parameterOf(k);
        name = p.name;
        if (chain_.stages().size() > 1)
            name += " of " + chain_.stages()[k.stage]->description().name;
        if (!instanceOf(k).parameterDisplay(p.index, display).ok())
            display = "?";
    }
    const std::string state = held_ ? "frame " + std::to_string(rendered_) + " held" : (paused_ ? "paused" : "");
    window_.setTitle(previewTitle(chain_.name(), name, display, titleMs_, state));
}

Status Preview::run(PreviewResult& r)
{
    Status s = chain_.start();
    if (!s.ok())
        return s;
    for (std::size_t i = 0; i < chain_.stages().size(); ++i) {
        const Stage& stage = *chain_.stages()[i];
        for (const ResolvedSetting& setting : stage.settings())
            changed_[i][static_cast<std::size_t>(setting.parameter - stage.description().parameters.data())] = true;
    }
    updateTitle(true);

    Clock::time_point nextFrame = Clock::now();
    bool quit = false;
    while (!quit) {
        WindowEvent e;
        while (s.ok() && !quit && window_.poll(e))
            s = handle(e, quit);
        if (!s.ok())
            return s;
        if (quit)
            break;
        if (!paused_ && !held_) {
            s = frame();
            if (!s.ok())
                return s;
            ++rendered_;
        }
        if (showPending_) {
            window_.show(chain_.output().framebuffer());
            showPending_ = false;
        }
        if (o_.frames > 0 && rendered_ >= o_.frames && !held_) {
            if (!o_.hold)
                break;
            held_ = true;
            updateTitle(true);
            char id[kNumberTextCapacity];
            std::snprintf(id, sizeof id, "0x%lx", window_.windowId());
            std::printf("holding frame %d in window %s; close the window or press Escape to quit\n", rendered_, id);
            std::fflush(stdout);
        }
        updateTitle(false);
        if (paused_ || held_) {
            window_.wait(kIdleWaitMs);
        } else if (!window_.swapControlled()) {
            nextFrame += kFallbackFramePeriod;
            const Clock::time_point now = Clock::now();
            if (nextFrame > now)
                std::this_thread::sleep_for(nextFrame - now);
            else
                nextFrame = now;
        }
    }

    for (std::size_t i = 0; i < chain_.stages().size(); ++i) {
        const Stage& stage = *chain_.stages()[i];
        const std::string whose = chain_.stages().size() > 1 ? " of " + printable(stage.description().name) : "";
        for (std::size_t p = 0; p < changed_[i].size(); ++p) {
            if (!changed_[i][p])
                continue;
            std::string line;
            s = parameterLine(stage.instance(), stage.description().parameters[p], line, whose);
            if (!s.ok())
                return s;
            r.parameterLines.push_back(line);
        }
    }
    r.frameMs = frameMs_;
    r.width = chain_.output().framebuffer().width();
    r.height = chain_.output().framebuffer().height();
    return chain_.finish();
}

} // namespace

Status runPreview(const Options& o, std::string& report)
{
    report.clear();
    // Destroyed in reverse: the window (and GL context) goes before the plug-ins are unloaded,
    // and the chain's GL objects before the window.
    Chain chain;
    std::unique_ptr<PreviewWindow> window;

    // Without a display nothing can be shown: say so before any plug-in code runs.
    Status s = PreviewWindow::open(o.width, o.height, "ffglhost preview", window);
    if (s.ok())
        s = chain.open(chainPlan(o), o.width, o.height, o.potInputs);
    if (s.ok())
        s = checkFrameSize(o.width, o.height);
    PreviewResult r;
    if (s.ok()) {
        window->setTitle(chain.name());
        Preview preview(chain, o, *window);
        s = preview.run(r);
    }
    chain.stop();
    const std::string renderer = window != nullptr ? printable(window->renderer()) : std::string();
    window.reset();
    if (s.ok())
        s = chain.deInitialise();
    if (!s.ok())
        return s;

    const TimingSummary t = summarize(r.frameMs);
    report += "previewed " + std::to_string(t.count) + (t.count == 1 ? " frame of " : " frames of ") +
              chain.name() + " at " + std::to_string(r.width) + "x" + std::to_string(r.height) + "\n";
    report += "frame time (code 17 process OpenGL, glFinish inside the timed region): median " + formatMs(t.medianMs) +
              ", 95th percentile " + formatMs(t.p95Ms) + "\n";
    report += "GL renderer: " + renderer + "\n";
    for (const std::string& line : r.parameterLines)
        report += line + "\n";
    return Status();
}

} // namespace ffglhost
