// Several plug-ins rendered side by side in one process (see SideBySideRender.h).
#include "commands/render/SideBySideRender.h"

#include "commands/render/RenderCommand.h"
#include "frame/Chain.h"
#include "frame/FrameCall.h"
#include "frame/HostContext.h"
#include "frame/Progress.h"
#include "frame/RenderSetup.h"
#include "frame/Stats.h"
#include "output/PngWriter.h"
#include "plugin/PluginDescription.h"

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

// One lane of the render: the main chain (the plug-in and its --then stages) or one --also
// plug-in, in command-line order.
struct Lane {
    Chain chain;
    std::string outPath;
    std::vector<double> frameMs;
    std::vector<unsigned char> lastFrame; // without --every
    std::vector<std::string> written;
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

// Opens and describes every plug-in and input and settles every output before a GL context
// exists.
Status prepareLanes(const Options& o, std::vector<Lane>& lanes)
{
    lanes = std::vector<Lane>(o.alsoPaths.size() + 1);
    const bool folder = o.every > 0;
    std::vector<std::string> taken;
    std::size_t plugins = 0;
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        Lane& lane = lanes[i];
        std::vector<StagePlan> plans;
        if (i == 0) {
            plans = chainPlan(o);
        } else {
            plans.resize(1);
            plans[0].path = o.alsoPaths[i - 1];
        }
        Status s = lane.chain.open(plans, o.width, o.height, i == 0 && o.potInputs, kMaxRenderPlugins - plugins);
        if (!s.ok())
            return s;
        plugins += lane.chain.stages().size();
        if (i == 0)
            lane.outPath = o.outPath.empty() ? defaultOutputPath(lane.chain.fileName(), folder) : o.outPath;
        else
            lane.outPath = alsoOutputPath(lanes[0].outPath, lane.chain.fileName(), folder, taken);
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
        return Status::failed("cannot read frame " + std::to_string(frame) + " of " + lane.chain.name() +
                              " back from its framebuffer");
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

// The lanes' GL objects go before the context that holds them.
class StartedLanes {
public:
    explicit StartedLanes(std::vector<Lane>& lanes) : lanes_(lanes) {}
    ~StartedLanes()
    {
        for (Lane& lane : lanes_)
            lane.chain.stop();
    }
    StartedLanes(const StartedLanes&) = delete;
    StartedLanes& operator=(const StartedLanes&) = delete;

private:
    std::vector<Lane>& lanes_;
};

// Everything that happens with the GL context current.
Status renderLanes(const Options& o, std::vector<Lane>& lanes, std::vector<std::string>& reportLines,
                   std::string& renderer)
{
    std::unique_ptr<kxhost::HeadlessGL> gl;
    Status s = openFrameContext(gl, o.width, o.height);
    if (!s.ok())
        return s;
    renderer = printable(gl->renderer());

    const StartedLanes started(lanes);
    for (Lane& lane : lanes) {
        std::srand(kFreshProcessSeed);
        s = lane.chain.start();
        if (!s.ok())
            return s;
    }

    std::vector<unsigned char> pixels;
    Progress progress(o.frames * static_cast<int>(lanes.size()));
    int done = 0;
    for (int frame = 1; frame <= o.frames; ++frame) {
        for (Lane& lane : lanes) {
            double ms = 0.0;
            s = lane.chain.renderFrame(ms);
            if (!s.ok())
                return s;
            lane.frameMs.push_back(ms);
            s = keepFrame(o, frame, lane.chain.output().framebuffer(), lane, pixels);
            if (!s.ok())
                return s;
            progress.update(++done);
        }
    }
    progress.finish();

    s = lanes[0].chain.reportLines(reportLines, true);
    for (std::size_t i = 0; s.ok() && i < lanes.size(); ++i)
        s = lanes[i].chain.finish();
    return s;
}

std::string outputText(const Lane& lane, bool folder)
{
    if (!folder)
        return lane.outPath;
    return lane.outPath + " (" + std::to_string(lane.written.size()) + " files, " +
           std::filesystem::path(lane.written.front()).filename().string() + " to " +
           std::filesystem::path(lane.written.back()).filename().string() + ")";
}

// Every lane's plug-ins once all could be opened (a lane of one plug-in with its frame times),
// else the command line's files.
void addLanePlugins(const Options& o, const std::vector<Lane>& lanes, RunReport& facts)
{
    facts.plugins.clear();
    for (const Lane& lane : lanes) {
        if (lane.chain.stages().empty()) {
            facts.plugins.clear();
            addCommandLinePlugins(o, facts);
            return;
        }
    }
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        std::vector<std::vector<double>> ms;
        if (lanes[i].chain.stages().size() == 1)
            ms.push_back(lanes[i].frameMs);
        addChainPlugins(lanes[i].chain, i > 0, ms, facts);
    }
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

Status runSideBySide(const Options& o, std::string& report, RunReport& facts)
{
    report.clear();
    std::vector<Lane> lanes;
    Status s = prepareLanes(o, lanes);
    std::vector<std::string> reportLines;
    std::string renderer;
    if (s.ok())
        s = renderLanes(o, lanes, reportLines, renderer);
    facts.renderer = renderer;
    addLanePlugins(o, lanes, facts);
    for (std::size_t i = 0; s.ok() && i < lanes.size(); ++i)
        s = lanes[i].chain.deInitialise();
    const bool folder = o.every > 0;
    for (std::size_t i = 0; s.ok() && !folder && i < lanes.size(); ++i) {
        s = writePng(lanes[i].outPath, o.width, o.height, lanes[i].lastFrame);
        if (s.ok())
            lanes[i].written.push_back(lanes[i].outPath);
    }
    if (!s.ok())
        return s;

    facts.rendered = true;
    facts.frameTime = summarize(lanes[0].frameMs);
    for (const Lane& lane : lanes)
        facts.files.insert(facts.files.end(), lane.written.begin(), lane.written.end());

    report += "rendered " + std::to_string(o.frames) + (o.frames == 1 ? " frame" : " frames") + " of each of " +
              std::to_string(lanes.size()) + " plug-ins side by side at " + std::to_string(o.width) + "x" +
              std::to_string(o.height) + ", alternating frame by frame in one GL context\n";
    report += "frame time (code 17 process OpenGL, glFinish inside the timed region):\n";
    report += "  " + pad("plug-in", kNameColumn) + pad("median", kTimeColumn) + pad("95th pct", kTimeColumn) +
              "output\n";
    for (const Lane& lane : lanes) {
        const TimingSummary t = summarize(lane.frameMs);
        report += "  " + pad(lane.chain.name(), kNameColumn) + pad(formatMs(t.medianMs), kTimeColumn) +
                  pad(formatMs(t.p95Ms), kTimeColumn) + outputText(lane, folder) + "\n";
    }
    report += "GL renderer: " + renderer + "\n";
    for (const std::string& line : reportLines)
        report += line + "\n";
    return Status();
}

} // namespace ffglhost
