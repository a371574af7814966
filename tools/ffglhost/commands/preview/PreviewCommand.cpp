// The preview command (see PreviewCommand.h).
#include "commands/preview/PreviewCommand.h"

#include "commands/preview/PreviewControls.h"
#include "commands/preview/PreviewWindow.h"
#include "frame/FrameLoop.h"
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

class Preview {
public:
    Preview(const Plugin& plugin, const PluginDescription& d, const Options& o, PreviewWindow& window)
        : d_(d), o_(o), window_(window), loop_(plugin), adjustable_(adjustableParameters(d)),
          changed_(d.parameters.size(), false)
    {
    }

    Status run(const std::vector<ResolvedSetting>& settings, PreviewResult& r);

private:
    Status handle(const WindowEvent& e, bool& quit);
    Status step(int direction, bool large);
    Status frame();
    void updateTitle(bool force);

    const PluginDescription& d_;
    const Options& o_;
    PreviewWindow& window_;
    FrameLoop loop_;
    std::vector<std::size_t> adjustable_; // positions in d_.parameters
    std::size_t selected_ = 0;            // position in adjustable_
    std::vector<bool> changed_;           // by position in d_.parameters
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
    Status s = loop_.renderFrame(ms);
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
    const std::size_t at = adjustable_[selected_];
    const ParameterInfo& p = d_.parameters[at];
    float value = 0.f;
    Status s = loop_.instance().getParameter(p.index, value);
    if (s.ok())
        s = loop_.instance().setParameter(p.index, steppedValue(p.type, value, direction, large));
    if (s.ok())
        changed_[at] = true;
    return s;
}

Status Preview::handle(const WindowEvent& e, bool& quit)
{
    switch (e.kind) {
    case WindowEvent::Kind::Closed: quit = true; return Status();
    case WindowEvent::Kind::Exposed: showPending_ = true; return Status();
    case WindowEvent::Kind::Resized: {
        Status s = loop_.resize(e.width, e.height);
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
        const ParameterInfo& p = d_.parameters[adjustable_[selected_]];
        name = p.name;
        if (!loop_.instance().parameterDisplay(p.index, display).ok())
            display = "?";
    }
    const std::string state = held_ ? "frame " + std::to_string(rendered_) + " held" : (paused_ ? "paused" : "");
    window_.setTitle(previewTitle(d_.name, name, display, titleMs_, state));
}

Status Preview::run(const std::vector<ResolvedSetting>& settings, PreviewResult& r)
{
    Status s = loop_.start(window_.width(), window_.height(), settings);
    if (!s.ok())
        return s;
    for (const ResolvedSetting& setting : settings)
        changed_[static_cast<std::size_t>(setting.parameter - d_.parameters.data())] = true;
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
            window_.show(loop_.framebuffer());
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

    for (std::size_t i = 0; i < d_.parameters.size(); ++i) {
        if (!changed_[i])
            continue;
        std::string line;
        s = parameterLine(loop_.instance(), d_.parameters[i], line);
        if (!s.ok())
            return s;
        r.parameterLines.push_back(line);
    }
    r.frameMs = frameMs_;
    r.width = loop_.framebuffer().width();
    r.height = loop_.framebuffer().height();
    return loop_.finish();
}

} // namespace

Status runPreview(const Options& o, std::string& report)
{
    report.clear();
    // Destroyed in reverse: the window (and GL context) goes before the plug-in is unloaded.
    std::unique_ptr<Plugin> plugin;
    PluginDescription d;
    std::vector<ResolvedSetting> settings;
    std::unique_ptr<PreviewWindow> window;

    // Without a display nothing can be shown: say so before any plug-in code runs.
    Status s = PreviewWindow::open(o.width, o.height, "ffglhost preview", window);
    if (s.ok())
        s = openSource(o.pluginPath, o.settings, plugin, d, settings);
    if (s.ok())
        s = checkFrameSize(o.width, o.height);
    PreviewResult r;
    if (s.ok()) {
        window->setTitle(printable(d.name));
        Preview preview(*plugin, d, o, *window);
        s = preview.run(settings, r);
    }
    const std::string renderer = window != nullptr ? printable(window->renderer()) : std::string();
    window.reset();
    if (s.ok())
        s = plugin->deInitialise();
    if (!s.ok())
        return s;

    const TimingSummary t = summarize(r.frameMs);
    report += "previewed " + std::to_string(t.count) + (t.count == 1 ? " frame of " : " frames of ") +
              printable(d.name) + " at " + std::to_string(r.width) + "x" + std::to_string(r.height) + "\n";
    report += "frame time (code 17 process OpenGL, glFinish inside the timed region): median " + formatMs(t.medianMs) +
              ", 95th percentile " + formatMs(t.p95Ms) + "\n";
    report += "GL renderer: " + renderer + "\n";
    for (const std::string& line : r.parameterLines)
        report += line + "\n";
    return Status();
}

} // namespace ffglhost
