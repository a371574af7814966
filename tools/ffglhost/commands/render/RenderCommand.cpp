// The render command (see RenderCommand.h).
#include "commands/render/RenderCommand.h"

#include "frame/Chain.h"
#include "frame/FrameMarker.h"
#include "frame/HostContext.h"
#include "frame/Progress.h"
#include "frame/RenderSetup.h"
#include "frame/Stats.h"
#include "output/FrameFiles.h"
#include "output/PngWriter.h"
#include "output/VideoEncoder.h"
#include "plugin/PluginDescription.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace ffglhost {

namespace {

std::string formatMs(double ms)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f ms", ms);
    return buf;
}

// Everything that happens with the GL context current: instances, parameters, frames, read-back.
struct RenderResult {
    std::vector<double> frameMs;                  // the whole chain's
    std::vector<std::vector<double>> stageMs;     // each stage's, in Chain::stages() order
    std::vector<std::string> written;             // files written while rendering (--every)
    std::vector<unsigned char> lastFrame;         // without --every
    std::vector<std::string> reportLines;
    std::string renderer;
};

// With `video`, every frame also goes into it; it is started here and finished by the caller.
Status renderFrames(Chain& chain, const Options& o, const std::string& outPath, const VideoTool* videoTool,
                    VideoEncoder& video, RenderResult& r)
{
    std::unique_ptr<kxhost::HeadlessGL> gl;
    Status s = openFrameContext(gl, o.width, o.height);
    if (!s.ok())
        return s;
    r.renderer = printable(gl->renderer());

    const ChainStopper stopper(chain);
    s = chain.start();
    if (s.ok() && videoTool != nullptr)
        s = video.start(*videoTool, o.videoPath, o.width, o.height, o.fps);
    if (!s.ok())
        return s;
    const kxhost::Framebuffer& framebuffer = chain.output().framebuffer();

    r.frameMs.reserve(static_cast<std::size_t>(o.frames));
    r.stageMs.assign(chain.stages().size(), {});
    // With --every, frames are written while the next ones render; those kept before a
    // failure are still written.
    FrameFiles files;
    auto fileOf = [&](int frame) { return (std::filesystem::path(outPath) / frameFileName(frame)).string(); };
    if (o.every > 0 && !(s = files.open(o.width, o.height, fileOf)).ok())
        return s;
    const FrameMarker marker;
    std::vector<unsigned char> pixels; // frames that only go into the video
    Progress progress(o.frames);
    for (int frame = 1; frame <= o.frames; ++frame) {
        double ms = 0.0;
        s = chain.renderFrame(ms);
        if (!s.ok())
            return files.finish(s);
        r.frameMs.push_back(ms);
        for (std::size_t i = 0; i < chain.stages().size(); ++i)
            r.stageMs[i].push_back(chain.stages()[i]->lastFrameMs());
        marker.frameDone();

        const bool keep = o.every > 0 ? frame % o.every == 0 : frame == o.frames;
        if (keep && o.every > 0) {
            if (!(s = files.keep(framebuffer, frame)).ok())
                return files.finish(s);
            r.written.push_back(fileOf(frame));
        }
        if (videoTool != nullptr || (keep && o.every == 0)) {
            std::vector<unsigned char>& target = keep && o.every == 0 ? r.lastFrame : pixels;
            if (!framebuffer.readPixels(target))
                return files.finish(Status::failed("cannot read frame " + std::to_string(frame) +
                                                   " back from the framebuffer"));
            // The framebuffer starts cleared to black, so its colours are the frame as it looks
            // over black; pictures for people are written opaque rather than with the
            // plug-in's coverage alpha (which viewers show over white).
            for (std::size_t i = 3; i < target.size(); i += 4)
                target[i] = 255;
            if (videoTool != nullptr && !(s = video.writeFrame(target)).ok())
                return files.finish(s);
        }
        progress.update(frame);
    }
    if (!(s = files.finish()).ok())
        return s;
    progress.finish();

    s = chain.reportLines(r.reportLines);
    return s.ok() ? chain.finish() : s;
}

} // namespace

void addChainPlugins(const Chain& chain, bool also, const std::vector<std::vector<double>>& stageMs,
                     RunReport& facts)
{
    for (std::size_t i = 0; i < chain.stages().size(); ++i) {
        const Stage& stage = *chain.stages()[i];
        const PluginDescription& d = stage.description();
        ReportPlugin p;
        p.file = stage.label();
        p.name = printable(d.name);
        p.uniqueId = printable(d.uniqueId);
        p.type = d.type;
        switch (stage.role()) {
        case StageRole::First: p.role = "main"; break;
        case StageRole::Then: p.role = "then"; break;
        case StageRole::Input: p.role = "input"; break;
        }
        if (also)
            p.role = "also";
        if (i < stageMs.size() && !stageMs[i].empty()) {
            p.timed = true;
            p.frameTime = summarize(stageMs[i]);
        }
        facts.plugins.push_back(p);
    }
}

std::string defaultOutputPath(const std::string& pluginName, bool folder)
{
    return "out/" + fileStem(pluginName) + (folder ? "" : ".png");
}

Status runRender(const Options& o, std::string& report, RunReport& facts)
{
    report.clear();
    facts.plugins.clear();
    // A video needs ffmpeg: find it before the plug-in runs at all.
    const bool withVideo = !o.videoPath.empty();
    VideoTool videoTool;
    Status s = withVideo ? findVideoTool(videoTool) : Status();
    if (!s.ok())
        return s;
    Chain chain;
    s = chain.open(chainPlan(o), o.width, o.height, o.potInputs);
    const bool folder = o.every > 0;
    // With --video, pictures only where --out or --every asks for them.
    const bool pictures = !withVideo || o.outGiven;
    const std::string outPath =
        o.outPath.empty() && s.ok() ? defaultOutputPath(chain.fileName(), folder) : o.outPath;
    if (s.ok() && pictures)
        s = checkOutputPath(outPath, folder);
    if (s.ok() && withVideo)
        s = checkOutputPath(o.videoPath, false, "--video");
    RenderResult r;
    VideoEncoder video;
    if (s.ok())
        s = renderFrames(chain, o, outPath, withVideo ? &videoTool : nullptr, video, r);
    facts.renderer = r.renderer;
    // The plug-ins as far as the chain got them open; the command line's files before that.
    if (chain.stages().empty())
        addCommandLinePlugins(o, facts);
    else
        addChainPlugins(chain, false, r.stageMs, facts);
    if (s.ok() && withVideo)
        s = video.finish();
    if (s.ok())
        s = chain.deInitialise();
    if (s.ok() && !folder && pictures) {
        s = writePng(outPath, o.width, o.height, r.lastFrame);
        if (s.ok())
            r.written.push_back(outPath);
    }
    // The video replaces what was at its path only once everything else went well.
    if (s.ok() && withVideo)
        s = video.commit();
    if (!s.ok())
        return s;

    const TimingSummary t = summarize(r.frameMs);
    facts.rendered = true;
    facts.frameTime = t;
    facts.files = r.written;
    if (withVideo) {
        facts.files.push_back(o.videoPath);
        facts.video = o.videoPath;
    }
    report += "rendered " + std::to_string(t.count) + (t.count == 1 ? " frame of " : " frames of ") + chain.name() +
              " at " + std::to_string(o.width) + "x" + std::to_string(o.height) + "\n";
    report += "frame time (code 17 process OpenGL, glFinish inside the timed region): median " + formatMs(t.medianMs) +
              ", 95th percentile " + formatMs(t.p95Ms) + "\n";
    if (chain.stages().size() > 1) {
        for (std::size_t i = 0; i < chain.stages().size(); ++i) {
            const TimingSummary st = summarize(r.stageMs[i]);
            report += "  " + printable(chain.stages()[i]->description().name) + ": median " + formatMs(st.medianMs) +
                      ", 95th percentile " + formatMs(st.p95Ms) + "\n";
        }
    }
    report += "GL renderer: " + r.renderer + "\n";
    for (const std::string& line : r.reportLines)
        report += line + "\n";
    if (withVideo)
        report += "wrote " + o.videoPath + " (" + std::to_string(video.framesWritten()) + " frames at " +
                  std::to_string(o.fps) + " fps, " + videoTool.codec + ")\n";
    if (pictures && !folder)
        report += "wrote " + outPath + "\n";
    else if (pictures)
        report += "wrote " + std::to_string(r.written.size()) + " files into " + outPath + " (" +
                  std::filesystem::path(r.written.front()).filename().string() + " to " +
                  std::filesystem::path(r.written.back()).filename().string() + ")\n";
    return Status();
}

} // namespace ffglhost
