// Several plug-ins rendered side by side in one process (see SideBySideRender.h).
#include "commands/render/SideBySideRender.h"

#include "commands/render/RenderCommand.h"
#include "frame/FrameLoop.h"
#include "frame/HostContext.h"
#include "frame/Progress.h"
#include "frame/RenderSetup.h"
#include "frame/Stats.h"
#include "output/PngWriter.h"
#include "plugin/PluginDescription.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginLoader.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace ffglhost {

namespace {

// The seed a process starts its C library random generator with.
constexpr unsigned kFreshProcessSeed = 1;
// Columns of the report's table.
constexpr std::size_t kNameColumn = 18;
constexpr std::size_t kTimeColumn = 14;

// One plug-in of the render: what lives outside the GL context, in command-line order (the
// main plug-in first).
struct Lane {
    std::unique_ptr<Plugin> plugin;
    PluginDescription description;
    std::string outPath;
    std::vector<double> frameMs;
    std::vector<unsigned char> lastFrame; // without --every
    std::vector<std::string> written;
};

// The GL side of a lane. The instance is destroyed before the framebuffer, both before the
// context.
struct GLLane {
    kxhost::Framebuffer framebuffer;
    std::unique_ptr<PluginInstance> instance;
};

std::string pad(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

std::string formatMs(double ms)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f ms", ms);
    return buf;
}

std::string formatFloat(float v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
    return buf;
}

// Opens and describes every plug-in and settles every output before a GL context exists.
Status prepareLanes(const Options& o, std::vector<Lane>& lanes, std::vector<ResolvedSetting>& settings)
{
    std::vector<std::string> paths{o.pluginPath};
    paths.insert(paths.end(), o.alsoPaths.begin(), o.alsoPaths.end());
    lanes.resize(paths.size());
    const bool folder = o.every > 0;
    std::vector<std::string> taken;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        Lane& lane = lanes[i];
        Status s = Plugin::open(paths[i], lane.plugin);
        if (s.ok())
            s = describe(*lane.plugin, lane.description);
        if (s.ok())
            s = checkSource(lane.description, paths[i]);
        if (s.ok() && i == 0)
            s = resolveSettings(lane.description, o.settings, settings);
        if (!s.ok())
            return s;
        if (i == 0)
            lane.outPath = o.outPath.empty() ? defaultOutputPath(lane.description.name, folder) : o.outPath;
        else
            lane.outPath = alsoOutputPath(lanes[0].outPath, lane.description.name, folder, taken);
        taken.push_back(lane.outPath);
        s = checkOutputPath(lane.outPath, folder);
        if (!s.ok())
            return s;
    }
    return Status();
}

// Keeps frame `frame` of a lane when the options ask for it: into lastFrame, or written into the
// lane's folder with --every.
Status keepFrame(const Options& o, int frame, const kxhost::Framebuffer& framebuffer, Lane& lane,
                 std::vector<unsigned char>& pixels)
{
    const bool keep = o.every > 0 ? frame % o.every == 0 : frame == o.frames;
    if (!keep)
        return Status();
    std::vector<unsigned char>& target = o.every > 0 ? pixels : lane.lastFrame;
    if (!framebuffer.readPixels(target))
        return Status::failed("cannot read frame " + std::to_string(frame) + " of " +
                              printable(lane.description.name) + " back from its framebuffer");
    // Opaque pictures of the frame over the black the framebuffer starts with.
    for (std::size_t i = 3; i < target.size(); i += 4)
        target[i] = 255;
    if (o.every == 0)
        return Status();
    const std::string file = (std::filesystem::path(lane.outPath) / frameFileName(frame)).string();
    Status s = writePng(file, o.width, o.height, pixels);
    if (s.ok())
        lane.written.push_back(file);
    return s;
}

// Everything that happens with the GL context current.
Status renderLanes(const Options& o, const std::vector<ResolvedSetting>& settings, std::vector<Lane>& lanes,
                   std::vector<std::string>& settingLines, std::string& renderer)
{
    std::unique_ptr<kxhost::HeadlessGL> gl;
    Status s = openFrameContext(gl, o.width, o.height);
    if (!s.ok())
        return s;
    renderer = printable(gl->renderer());

    std::vector<GLLane> gls(lanes.size());
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        std::string error;
        if (!gls[i].framebuffer.create(o.width, o.height, error))
            return Status::failed("cannot create the " + std::to_string(o.width) + "x" + std::to_string(o.height) +
                                  " host framebuffer for " + printable(lanes[i].description.name) + ": " + error);
        // A defined, transparent black start for plug-ins that draw without clearing.
        gls[i].framebuffer.bind();
        glClearColor(0.f, 0.f, 0.f, 0.f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        gls[i].framebuffer.bind();
        gls[i].instance = std::make_unique<PluginInstance>(*lanes[i].plugin);
        std::srand(kFreshProcessSeed);
        s = gls[i].instance->create(o.width, o.height);
        if (!s.ok())
            return s;
    }
    PluginInstance& main = *gls[0].instance;
    for (const ResolvedSetting& setting : settings) {
        s = main.setParameter(setting.parameter->index, setting.value);
        if (!s.ok())
            return s;
    }

    std::vector<unsigned char> pixels;
    Progress progress(o.frames * static_cast<int>(lanes.size()));
    int done = 0;
    for (int frame = 1; frame <= o.frames; ++frame) {
        for (std::size_t i = 0; i < lanes.size(); ++i) {
            gls[i].framebuffer.bind();
            double ms = 0.0;
            s = finishedFrame(*gls[i].instance, gls[i].framebuffer.id(), ms);
            if (!s.ok())
                return s;
            lanes[i].frameMs.push_back(ms);
            s = keepFrame(o, frame, gls[i].framebuffer, lanes[i], pixels);
            if (!s.ok())
                return s;
            progress.update(++done);
        }
    }
    progress.finish();

    for (const ResolvedSetting& setting : settings) {
        float value = 0.f;
        std::string display;
        s = main.getParameter(setting.parameter->index, value);
        if (s.ok())
            s = main.parameterDisplay(setting.parameter->index, display);
        if (!s.ok())
            return s;
        settingLines.push_back("parameter " + printable(setting.parameter->name) + " of " +
                               printable(lanes[0].description.name) + " = " + formatFloat(value) + " (display \"" +
                               printable(display) + "\")");
    }
    for (GLLane& g : gls) {
        s = g.instance->destroy();
        if (!s.ok())
            return s;
    }
    return Status();
}

std::string outputText(const Lane& lane, bool folder)
{
    if (!folder)
        return lane.outPath;
    return lane.outPath + " (" + std::to_string(lane.written.size()) + " files, " +
           std::filesystem::path(lane.written.front()).filename().string() + " to " +
           std::filesystem::path(lane.written.back()).filename().string() + ")";
}

} // namespace

std::string alsoOutputPath(const std::string& mainOut, const std::string& pluginName, bool folder,
                           const std::vector<std::string>& taken)
{
    namespace fs = std::filesystem;
    fs::path base(mainOut);
    if (!base.has_filename()) // "seq/" names the folder seq
        base = base.parent_path();
    const std::string extension = folder ? std::string() : base.extension().string();
    const std::string stem = folder ? base.filename().string() : base.stem().string();
    const std::string name = fileStem(pluginName);
    for (int n = 1;; ++n) {
        const std::string suffix = n == 1 ? "" : "-" + std::to_string(n);
        const std::string candidate = (base.parent_path() / (stem + "-" + name + suffix + extension)).string();
        if (std::find(taken.begin(), taken.end(), candidate) == taken.end())
            return candidate;
    }
}

Status runSideBySide(const Options& o, std::string& report)
{
    report.clear();
    std::vector<Lane> lanes;
    std::vector<ResolvedSetting> settings;
    Status s = prepareLanes(o, lanes, settings);
    std::vector<std::string> settingLines;
    std::string renderer;
    if (s.ok())
        s = renderLanes(o, settings, lanes, settingLines, renderer);
    for (std::size_t i = 0; s.ok() && i < lanes.size(); ++i)
        s = lanes[i].plugin->deInitialise();
    const bool folder = o.every > 0;
    for (std::size_t i = 0; s.ok() && !folder && i < lanes.size(); ++i) {
        s = writePng(lanes[i].outPath, o.width, o.height, lanes[i].lastFrame);
        if (s.ok())
            lanes[i].written.push_back(lanes[i].outPath);
    }
    if (!s.ok())
        return s;

    report += "rendered " + std::to_string(o.frames) + (o.frames == 1 ? " frame" : " frames") + " of each of " +
              std::to_string(lanes.size()) + " plug-ins side by side at " + std::to_string(o.width) + "x" +
              std::to_string(o.height) + ", alternating frame by frame in one GL context\n";
    report += "frame time (code 17 process OpenGL, glFinish inside the timed region):\n";
    report += "  " + pad("plug-in", kNameColumn) + pad("median", kTimeColumn) + pad("95th pct", kTimeColumn) +
              "output\n";
    for (const Lane& lane : lanes) {
        const TimingSummary t = summarize(lane.frameMs);
        report += "  " + pad(printable(lane.description.name), kNameColumn) + pad(formatMs(t.medianMs), kTimeColumn) +
                  pad(formatMs(t.p95Ms), kTimeColumn) + outputText(lane, folder) + "\n";
    }
    report += "GL renderer: " + renderer + "\n";
    for (const std::string& line : settingLines)
        report += line + "\n";
    return Status();
}

} // namespace ffglhost
