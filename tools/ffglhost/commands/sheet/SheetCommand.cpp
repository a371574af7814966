// The sheet command (see SheetCommand.h).
#include "commands/sheet/SheetCommand.h"

#include "commands/sheet/SheetCanvas.h"
#include "commands/sheet/SheetLayout.h"
#include "frame/Chain.h"
#include "frame/HostContext.h"
#include "frame/Progress.h"
#include "frame/RenderSetup.h"
#include "output/PngWriter.h"
#include "plugin/PluginDescription.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace ffglhost {

namespace {

// The seed a process starts its C library random generator with: every cell's instance starts
// from it, as if it were the only one.
constexpr unsigned kFreshProcessSeed = 1;
// Label column: at least this wide, and this much beside the longest name.
constexpr int kMinLabelWidth = 60;
constexpr int kLabelPadding = 8;

std::string formatValue(float v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
    return buf;
}

// One cell: a fresh instance with `p` at `value` (and fresh instances of whatever feeds it),
// `frames` frames, then the picture and the display text of the value. [GL context current]
Status renderCell(Chain& chain, const ParameterInfo& p, float value, int frames, Progress& progress,
                  int& framesDone, std::vector<unsigned char>& pixels, std::string& display)
{
    std::srand(kFreshProcessSeed);
    const std::vector<ResolvedSetting> cell{ResolvedSetting{&p, value}};
    Status s = chain.restart(&cell);
    if (s.ok())
        s = chain.output().instance().parameterDisplay(p.index, display);
    for (int f = 0; s.ok() && f < frames; ++f) {
        double ms = 0.0;
        s = chain.renderFrame(ms);
        progress.update(++framesDone);
    }
    if (s.ok() && !chain.output().framebuffer().readPixels(pixels))
        s = Status::failed("cannot read the frame of " + printable(p.name) + " = " + formatValue(value) +
                           " back from the framebuffer");
    return s;
}

} // namespace

std::string defaultSheetPath(const std::string& pluginName) { return "out/" + fileStem(pluginName) + "-sheet.png"; }

Status sheetRows(const PluginDescription& d, const std::vector<std::string>& names,
                 std::vector<const ParameterInfo*>& rows)
{
    rows.clear();
    std::vector<bool> wanted(d.parameters.size(), names.empty());
    for (const std::string& name : names) {
        const ParameterInfo* p = findParameter(d, name);
        if (p == nullptr) {
            std::string all;
            for (const ParameterInfo& q : d.parameters)
                all += (all.empty() ? "" : ", ") + printable(q.name);
            return Status::badInput("--param: " + printable(d.name) + " has no parameter \"" + printable(name) +
                                    "\" (parameters: " + (all.empty() ? "none" : all) + ")");
        }
        if (!takesHostValue(*p))
            return Status::badInput("--param: parameter \"" + printable(name) + "\" is a " +
                                    parameterTypeName(p->type) + " parameter; a sheet shows values 0..1");
        wanted[static_cast<std::size_t>(p - d.parameters.data())] = true;
    }
    for (std::size_t i = 0; i < d.parameters.size(); ++i)
        if (wanted[i] && takesHostValue(d.parameters[i]))
            rows.push_back(&d.parameters[i]);
    if (rows.empty())
        return Status::badInput(printable(d.name) + " has no parameter that takes a value from 0 to 1: nothing to show");
    return Status();
}

Status runSheet(const Options& o, std::string& report)
{
    report.clear();
    Chain chain;
    Status s = chain.open(chainPlan(o), o.width, o.height, o.potInputs);
    std::vector<const ParameterInfo*> rows;
    const PluginDescription& d = chain.output().description();
    if (s.ok())
        s = sheetRows(d, o.sheetParameters, rows);
    const std::string outPath = o.outPath.empty() ? defaultSheetPath(d.name) : o.outPath;
    if (s.ok())
        s = checkOutputPath(outPath, false);
    if (!s.ok())
        return s;

    // The canvas measures the names before the layout is known; it is made again at full size.
    SheetCanvas canvas;
    int labelWidth = kMinLabelWidth;
    if (!(s = canvas.create(1, 1)).ok())
        return s;
    for (const ParameterInfo* p : rows)
        labelWidth = std::max(labelWidth, canvas.textWidth(p->name, TextStyle::Name) + 2 * kLabelPadding);
    SheetLayout layout;
    if (!(s = layoutSheet(o.width, o.height, static_cast<int>(rows.size()), o.steps, labelWidth, kSheetTextHeight,
                          layout))
             .ok())
        return s;

    std::unique_ptr<kxhost::HeadlessGL> gl;
    s = openFrameContext(gl, o.width, o.height);
    SheetCanvas sheet;
    if (s.ok())
        s = sheet.create(layout.width(), layout.height());
    if (!s.ok())
        return s;
    auto stopper = std::make_unique<ChainStopper>(chain);
    if (!(s = chain.start()).ok())
        return s;

    // An effect's title names what it was fed: "Kaleidoscope (KXKS) on scene.png".
    std::string fed;
    for (std::size_t slot = 0; slot < chain.output().inputCount(); ++slot)
        fed += (fed.empty() ? " on " : ", ") +
               printable(std::filesystem::path(chain.output().input(slot).label()).filename().string());
    const std::string title = printable(d.name) + " (" + printable(d.uniqueId) + ")" + fed;
    sheet.drawText(title, layout.gap, 0, layout.width() - 2 * layout.gap, TextStyle::Title, TextAlign::Left);
    sheet.drawText(std::to_string(rows.size()) + (rows.size() == 1 ? " parameter" : " parameters") +
                       " from 0 to 1, the others at their defaults; each cell after " +
                       std::to_string(o.frames) + (o.frames == 1 ? " frame" : " frames") + " of a new instance",
                   layout.gap, kSheetTextHeight, layout.width() - 2 * layout.gap, TextStyle::Caption, TextAlign::Left);
    for (int c = 0; c < layout.columns; ++c)
        sheet.drawText(formatValue(sheetValue(c, layout.columns)), layout.cellX(c), layout.headerY(), layout.cellWidth,
                       TextStyle::Caption, TextAlign::Centre);

    const int total = static_cast<int>(rows.size()) * layout.columns * o.frames;
    Progress progress(total);
    int framesDone = 0;
    std::vector<unsigned char> pixels;
    for (int r = 0; r < layout.rows; ++r) {
        const ParameterInfo& p = *rows[static_cast<std::size_t>(r)];
        const int nameTop = layout.cellY(r) + (layout.cellHeight - kSheetTextHeight) / 2;
        sheet.drawText(p.name, kLabelPadding, nameTop, layout.labelWidth - 2 * kLabelPadding + layout.gap,
                       TextStyle::Name, TextAlign::Left);
        for (int c = 0; c < layout.columns; ++c) {
            std::string display;
            s = renderCell(chain, p, sheetValue(c, layout.columns), o.frames, progress, framesDone, pixels,
                           display);
            if (!s.ok())
                return s;
            sheet.drawPicture(layout.cellX(c), layout.cellY(r), o.width, o.height, pixels);
            sheet.drawText(display, layout.cellX(c), layout.captionY(r), layout.cellWidth, TextStyle::Caption,
                           TextAlign::Centre);
        }
    }
    progress.finish();
    if (!(s = chain.finish()).ok())
        return s;
    stopper.reset();
    gl.reset();
    if (!(s = chain.deInitialise()).ok())
        return s;

    std::vector<unsigned char> rgba;
    s = sheet.pixels(rgba);
    if (s.ok())
        s = writePng(outPath, layout.width(), layout.height(), rgba);
    if (!s.ok())
        return s;
    report += "sheet of " + printable(d.name) + ": " + std::to_string(rows.size()) +
              (rows.size() == 1 ? " parameter x " : " parameters x ") + std::to_string(layout.columns) +
              " values, cells " + std::to_string(o.width) + "x" + std::to_string(o.height) + " after " +
              std::to_string(o.frames) + (o.frames == 1 ? " frame\n" : " frames\n");
    report += "wrote " + outPath + " (" + std::to_string(layout.width()) + "x" + std::to_string(layout.height()) +
              ")\n";
    return Status();
}

} // namespace ffglhost
