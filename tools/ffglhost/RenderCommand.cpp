// The render command (see RenderCommand.h).
#include "RenderCommand.h"

#include "FrameFiles.h"
#include "FrameMarker.h"
#include "HostContext.h"
#include "PluginDescription.h"
#include "PluginInstance.h"
#include "PluginLoader.h"
#include "PngWriter.h"
#include "Progress.h"
#include "Stats.h"

#include <GL/gl.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace ffglhost {

namespace {

// Capacity of a frame file name, "frame_0000010.png" and terminator.
constexpr std::size_t kFrameNameCapacity = 32;

// A --set resolved against the plug-in's parameter table.
struct ResolvedSetting {
    const ParameterInfo* parameter;
    float value;
};

Status resolveSettings(const PluginDescription& d, const std::vector<ParameterSetting>& settings,
                       std::vector<ResolvedSetting>& out)
{
    out.clear();
    for (const ParameterSetting& s : settings) {
        const ParameterInfo* p = findParameter(d, s.name);
        if (p == nullptr) {
            std::string names;
            for (const ParameterInfo& q : d.parameters)
                names += (names.empty() ? "" : ", ") + printable(q.name);
            return Status::badInput("--set: " + printable(d.name) + " has no parameter \"" + printable(s.name) +
                                    "\" (parameters: " + (names.empty() ? "none" : names) + ")");
        }
        if (!takesHostValue(*p))
            return Status::badInput("--set: parameter \"" + printable(s.name) + "\" is a " +
                                    parameterTypeName(p->type) + " parameter; only numeric parameters take 0..1");
        out.push_back(ResolvedSetting{p, s.value});
    }
    return Status();
}

// Refuses an output that cannot be created: a file path naming a folder, a folder path naming a
// file, or a path below something that is not a folder.
Status checkOutputPath(const std::string& path, bool folder)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target(path);
    if (fs::exists(target, ec)) {
        if (folder && !fs::is_directory(target, ec))
            return Status::badInput("--out " + path + " exists and is not a folder");
        if (!folder && fs::is_directory(target, ec))
            return Status::badInput("--out " + path + " is a folder; give the path of a .png file");
    }
    for (fs::path p = target.parent_path(); !p.empty(); p = p.parent_path()) {
        if (fs::exists(p, ec)) {
            if (!fs::is_directory(p, ec))
                return Status::badInput("--out " + path + ": " + p.string() + " is not a folder");
            break;
        }
        if (p == p.parent_path())
            break;
    }
    return Status();
}

std::string frameFileName(int frame)
{
    char name[kFrameNameCapacity];
    std::snprintf(name, sizeof name, "frame_%05d.png", frame);
    return name;
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

// Everything that happens with the GL context current: instance, parameters, frames, read-back.
struct RenderResult {
    std::vector<double> frameMs;
    std::vector<std::string> written;     // files written while rendering (--every)
    std::vector<unsigned char> lastFrame; // without --every
    std::vector<std::string> settingLines;
    std::string renderer;
};

Status renderFrames(const Plugin& plugin, const Options& o, const std::vector<ResolvedSetting>& settings,
                    const std::string& outPath, RenderResult& r)
{
    std::unique_ptr<kxhost::HeadlessGL> gl;
    Status s = openContext(gl);
    if (s.ok())
        s = checkFrameSize(o.width, o.height);
    if (!s.ok())
        return s;
    r.renderer = printable(gl->renderer());

    kxhost::Framebuffer framebuffer;
    std::string error;
    if (!framebuffer.create(o.width, o.height, error))
        return Status::failed("cannot create the " + std::to_string(o.width) + "x" + std::to_string(o.height) +
                              " host framebuffer: " + error);
    // The renderbuffers start undefined: give plug-ins that draw without clearing a defined,
    // transparent black start.
    framebuffer.bind();
    glClearColor(0.f, 0.f, 0.f, 0.f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    PluginInstance instance(plugin);
    s = instance.create(o.width, o.height);
    for (std::size_t i = 0; s.ok() && i < settings.size(); ++i)
        s = instance.setParameter(settings[i].parameter->index, settings[i].value);
    if (!s.ok())
        return s;

    r.frameMs.reserve(static_cast<std::size_t>(o.frames));
    // With --every, frames are written while the next ones render; those kept before a
    // failure are still written.
    FrameFiles files;
    auto fileOf = [&](int frame) { return (std::filesystem::path(outPath) / frameFileName(frame)).string(); };
    if (o.every > 0 && !(s = files.open(o.width, o.height, fileOf)).ok())
        return s;
    const FrameMarker marker;
    Progress progress(o.frames);
    for (int frame = 1; frame <= o.frames; ++frame) {
        framebuffer.bind();
        const auto start = std::chrono::steady_clock::now();
        s = instance.processFrame(framebuffer.id());
        glFinish();
        const auto end = std::chrono::steady_clock::now();
        if (!s.ok())
            return files.finish(s);
        r.frameMs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        marker.frameDone();

        const bool keep = o.every > 0 ? frame % o.every == 0 : frame == o.frames;
        if (keep && o.every > 0) {
            if (!(s = files.keep(framebuffer, frame)).ok())
                return files.finish(s);
            r.written.push_back(fileOf(frame));
        } else if (keep) {
            if (!framebuffer.readPixels(r.lastFrame))
                return Status::failed("cannot read frame " + std::to_string(frame) + " back from the framebuffer");
            // The framebuffer starts cleared to black, so its colours are the frame as it looks
            // over black; pictures for people are written opaque rather than with the
            // plug-in's coverage alpha (which viewers show over white).
            for (std::size_t i = 3; i < r.lastFrame.size(); i += 4)
                r.lastFrame[i] = 255;
        }
        progress.update(frame);
    }
    if (!(s = files.finish()).ok())
        return s;
    progress.finish();

    for (const ResolvedSetting& setting : settings) {
        float value = 0.f;
        std::string display;
        s = instance.getParameter(setting.parameter->index, value);
        if (s.ok())
            s = instance.parameterDisplay(setting.parameter->index, display);
        if (!s.ok())
            return s;
        r.settingLines.push_back("parameter " + printable(setting.parameter->name) + " = " + formatFloat(value) +
                                 " (display \"" + printable(display) + "\")");
    }
    return instance.destroy();
}

} // namespace

std::string defaultOutputPath(const std::string& pluginName, bool folder)
{
    std::string stem = pluginName;
    for (char& ch : stem) {
        const unsigned char u = static_cast<unsigned char>(ch);
        const bool keep = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '-' ||
                          u == '_' || u == '.';
        if (!keep)
            ch = '_';
    }
    if (stem.find_first_not_of('.') == std::string::npos)
        stem = "plugin";
    return "out/" + stem + (folder ? "" : ".png");
}

Status runRender(const Options& o, std::string& report)
{
    report.clear();
    std::unique_ptr<Plugin> plugin;
    Status s = Plugin::open(o.pluginPath, plugin);
    PluginDescription d;
    if (s.ok())
        s = describe(*plugin, d);
    if (s.ok())
        s = checkSource(d, o.pluginPath);
    std::vector<ResolvedSetting> settings;
    if (s.ok())
        s = resolveSettings(d, o.settings, settings);
    const bool folder = o.every > 0;
    const std::string outPath = o.outPath.empty() ? defaultOutputPath(d.name, folder) : o.outPath;
    if (s.ok())
        s = checkOutputPath(outPath, folder);
    RenderResult r;
    if (s.ok())
        s = renderFrames(*plugin, o, settings, outPath, r);
    if (s.ok())
        s = plugin->deInitialise();
    if (s.ok() && !folder) {
        s = writePng(outPath, o.width, o.height, r.lastFrame);
        if (s.ok())
            r.written.push_back(outPath);
    }
    if (!s.ok())
        return s;

    const TimingSummary t = summarize(r.frameMs);
    report += "rendered " + std::to_string(t.count) + (t.count == 1 ? " frame of " : " frames of ") + printable(d.name) + " at " +
              std::to_string(o.width) + "x" + std::to_string(o.height) + "\n";
    report += "frame time (code 17 process OpenGL, glFinish inside the timed region): median " + formatMs(t.medianMs) +
              ", 95th percentile " + formatMs(t.p95Ms) + "\n";
    report += "GL renderer: " + r.renderer + "\n";
    for (const std::string& line : r.settingLines)
        report += line + "\n";
    if (!folder)
        report += "wrote " + outPath + "\n";
    else
        report += "wrote " + std::to_string(r.written.size()) + " files into " + outPath + " (" +
                  std::filesystem::path(r.written.front()).filename().string() + " to " +
                  std::filesystem::path(r.written.back()).filename().string() + ")\n";
    return Status();
}

} // namespace ffglhost
