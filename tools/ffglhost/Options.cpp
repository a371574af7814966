// Command-line parsing (see Options.h).
#include "Options.h"

#include "HostVersion.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace ffglhost {

namespace {

const char kUsage[] =
    "usage: ffglhost info PLUGIN.so\n"
    "       ffglhost render PLUGIN.so [--size WxH] [--frames N] [--set NAME=VALUE]... [--out PATH] [--every K]\n"
    "                                 [--video FILE.mp4 [--fps N]] [--input SOURCE]... [--pot-inputs]\n"
    "                                 [--then EFFECT.so [--input SOURCE]... [--set NAME=VALUE]...]...\n"
    "                                 [--also OTHER.so]... [--driver NAME]\n"
    "       ffglhost preview PLUGIN.so [--size WxH] [--frames N [--hold]] [--set NAME=VALUE]...\n"
    "                                  [--input SOURCE]... [--pot-inputs] [--then EFFECT.so ...]... [--driver NAME]\n"
    "       ffglhost validate PATH... [--recursive] [--size WxH] [--input SOURCE]... [--driver NAME]\n"
    "                                 [--strict] [--seed N] [--repeat N] [--junit FILE.xml]\n"
    "       ffglhost sheet PLUGIN.so [--size WxH] [--steps N] [--frames K] [--param NAME]... [--out PATH]\n"
    "                                [--input SOURCE]... [--pot-inputs] [--driver NAME]\n"
    "       every command also takes [--timeout SECONDS] [--in-process]; info, render and validate\n"
    "       also [--report FILE.json]\n"
    "       ffglhost --help | --version\n";

const char kHelp[] =
    "ffglhost: an FFGL 1.5 host for source (generator) and effect plug-ins, headless or in a window.\n"
    "\n"
    "usage: ffglhost info PLUGIN.so\n"
    "       ffglhost render PLUGIN.so [options]\n"
    "       ffglhost preview PLUGIN.so [options]\n"
    "       ffglhost validate PATH... [options]\n"
    "       ffglhost sheet PLUGIN.so [options]\n"
    "       ffglhost --help | --version\n"
    "\n"
    "info     prints the plug-in's identity, versions, texts, capabilities and parameters.\n"
    "render   renders frames into an offscreen framebuffer and writes PNG files or a video.\n"
    "preview  renders live into an X11 window at the display rate, with keys for the parameters.\n"
    "validate runs host-side checks on any FFGL plug-in (metadata, instances, parameters, the\n"
    "         GL state frames leave behind, an effect's use of its input textures) and prints\n"
    "         PASS, WARN, FAIL or SKIP per check; --size is the frame size (default 256x144).\n"
    "         PATH... are plug-in files and folders (every .so in a folder; .dll on Windows),\n"
    "         each plug-in validated on its own, then a table of them all.\n"
    "sheet    draws one PNG picture of what each parameter does: a row per parameter, a\n"
    "         column per host value, each cell rendered by a new instance, with labels.\n"
    "\n"
    "render, preview, validate and sheet take --driver NAME: the Mesa driver to render with, llvmpipe,\n"
    "softpipe or zink (OpenGL on the lavapipe Vulkan driver). Without it the first driver the\n"
    "platform offers is used (a GPU's, else llvmpipe). The renderer is printed with the report;\n"
    "a driver that cannot be brought up is refused (exit status 2).\n"
    "\n"
    "inputs of effects (render, preview, sheet, validate):\n"
    "  --input SOURCE     the picture of the plug-in's next input slot (repeatable, slot 0 first):\n"
    "                     an image file (PNG, JPEG) or a video file, camera (/dev/video0) or URL\n"
    "                     that ffmpeg opens, scaled to the frame size (videos: frame i feeds\n"
    "                     frame i, looping at the end; decoded beside the rendering; Linux only);\n"
    "                     pattern:NAME, a built-in test pattern: card (still: orientation and\n"
    "                     colour order), bars (still), sweep (moving), grey (still);\n"
    "                     or another plug-in file, a source, rendered at the frame size each frame.\n"
    "                     An effect given no --input gets patterns in the slots it needs.\n"
    "  --pot-inputs       allocate input textures at power-of-two sizes with the picture in their\n"
    "                     lower-left corner, as older hosts do (render, preview, sheet)\n"
    "\n"
    "chains (render, preview):\n"
    "  --then EFFECT.so   the output of the plug-in before becomes input 0 of EFFECT, frame by\n"
    "                     frame on the GPU; --input and --set after a --then belong to it (its\n"
    "                     --input fill slots 1, 2, ...); repeatable\n"
    "\n"
"render options:\n"
    "  --size WxH         frame size in pixels (default 1280x720)\n"
    "  --frames N         number of frames to render (default 120)\n"
    "  --set NAME=VALUE   host value 0..1 for the parameter named exactly NAME of the plug-in\n"
    "                     named last before it, set before the first frame (repeatable)\n"
    "  --out PATH         the PNG file of the last frame (default out/<plug-in name>.png), or with\n"
    "                     --every the folder for the frames (default out/<plug-in name>)\n"
    "  --every K          write every K-th frame as PATH/frame_NNNNN.png instead\n"
    "  --video FILE       encode every frame into FILE (e.g. out.mp4) with ffmpeg: H.264\n"
    "                     (libx264), or MPEG-4 part 2 where this ffmpeg lacks libx264; the size\n"
    "                     must be even. Without --out or --every no PNG file is written then.\n"
    "  --fps N            frame rate of the video (default 60)\n"
    "  --also OTHER.so    load another plug-in into the same process and render it alternately\n"
    "                     with the main one, frame by frame, each into its own framebuffer;\n"
    "                     its output is PATH with \"-<its name>\" added (a.png -> a-Name.png,\n"
    "                     folder seq -> seq-Name), \"-2\", \"-3\", ... after repeated names.\n"
    "                     --set applies to the main plug-in only (repeatable)\n"
    "\n"
    "preview options:\n"
    "  --size WxH         initial window size (default 1280x720); resizing the window resizes\n"
    "                     the last plug-in's frame (inputs and earlier stages keep their size)\n"
    "  --frames N         render N frames, then quit (default: until the window is closed)\n"
    "  --hold             with --frames: keep showing frame N until the window is closed\n"
    "  --set NAME=VALUE   as for render\n"
    "preview keys:\n"
    "  Up/Down, Shift+Tab/Tab         select the previous / next parameter (of every plug-in\n"
    "                                 of a chain, in chain order)\n"
    "  Left/Right                     change the selected value by 0.01 (booleans toggle)\n"
    "  Shift+Left/Right, PageDown/Up  change it by 0.1; values stay within 0..1\n"
    "  Space                          pause / resume the animation\n"
    "  Escape, q, closing the window  quit; the parameters changed are printed\n"
    "\n"
    "validate options:\n"
    "  --recursive        also the plug-ins in the folders' sub-folders\n"
    "  --strict           a warning fails the plug-in (exit status 1, a JUnit failure)\n"
    "  --seed N           the seed of the validator's choices (values it tries), 0 to 4294967295\n"
    "                     (default 1); printed in the header, so that a run can be replayed\n"
    "  --repeat N         run each plug-in's checks up to N times, the seed one higher each\n"
    "                     round; stops at the first round that fails and reports it\n"
    "  --junit FILE.xml   also write the results as JUnit XML (a test suite per plug-in, a test\n"
    "                     case per check)\n"
    "  --input SOURCE     with several plug-ins: every effect gets the sources for the slots it\n"
    "                     takes, sources (generators) none\n"
    "\n"
    "reports (info, render, validate):\n"
    "  --report FILE.json the run as a JSON document (schema ffglhost-report/1): host version,\n"
    "                     GL renderer, each plug-in with its result and, for validate, its checks\n"
    "\n"
    "sheet options:\n"
    "  --size WxH         size of each cell in pixels (default 160x90)\n"
    "  --steps N          values per parameter, from 0 to 1 in equal steps (default 5, 2 to 64)\n"
    "  --frames K         frames each cell's new instance renders before its picture is taken\n"
    "                     (default 30); every other parameter stays at its default\n"
    "  --param NAME       a row for the parameter named exactly NAME (repeatable; default: every\n"
    "                     parameter that takes a value from 0 to 1)\n"
    "  --out PATH         the PNG file (default out/<plug-in name>-sheet.png)\n"
    "\n"
    "isolation options (every command):\n"
    "  --timeout SECONDS  the longest one plug-in call may take (fractions allowed, default 120);\n"
    "                     a plug-in that hangs longer is stopped and reported\n"
    "  --in-process       run the plug-in in ffglhost's own process, without the watched worker\n"
    "                     process (for debuggers; a crash or hang then takes ffglhost with it)\n"
    "\n"
    "exit status: 0 success, 1 a plug-in call, the rendering or ffmpeg failed, or a plug-in\n"
    "crashed, hung or exited in a call (validate: a plug-in failed a check, could not be loaded,\n"
    "or with --strict warned), 2 bad usage or input (validate: no plug-in could be validated; an\n"
    "--input that cannot be read, a plug-in that cannot take its place in a chain), no EGL\n"
    "display (info, render, validate, sheet), no X display (preview), or no ffmpeg (render\n"
    "--video, video inputs).\n"
    "\n"
    "Linux only: preview, sheet, render --video, video and camera inputs, and --driver.\n"
    "ffglhost.exe on Windows runs plug-ins in watched worker processes as well.\n";

// A whole decimal number, nothing around it.
bool parseInt(const std::string& text, int& out)
{
    const char* first = text.data();
    const char* last = first + text.size();
    const auto r = std::from_chars(first, last, out);
    return r.ec == std::errc() && r.ptr == last && !text.empty();
}

Status parseSize(const std::string& text, Options& out)
{
    const std::size_t x = text.find('x');
    int w = 0, h = 0;
    if (x == std::string::npos || !parseInt(text.substr(0, x), w) || !parseInt(text.substr(x + 1), h))
        return Status::badInput("--size \"" + text + "\": expected WIDTHxHEIGHT in pixels, e.g. 1280x720");
    if (w < 1 || h < 1)
        return Status::badInput("--size \"" + text + "\": width and height must be at least 1");
    out.width = w;
    out.height = h;
    return Status();
}

Status parseCount(const char* option, const std::string& text, int& out, int most = kMaxFrames)
{
    int n = 0;
    if (!parseInt(text, n) || n < 1 || n > most)
        return Status::badInput(std::string(option) + " \"" + text + "\": expected a whole number from 1 to " +
                                std::to_string(most));
    out = n;
    return Status();
}

Status parseSetting(const std::string& text, std::vector<ParameterSetting>& out)
{
    // Names may hold '=', numbers never do: the value starts after the last one.
    const std::size_t eq = text.rfind('=');
    if (eq == std::string::npos || eq == 0)
        return Status::badInput("--set \"" + text + "\": expected NAME=VALUE");
    const std::string value = text.substr(eq + 1);
    double v = 0.0;
    const char* first = value.data();
    const char* last = first + value.size();
    const auto r = std::from_chars(first, last, v);
    if (value.empty() || r.ec != std::errc() || r.ptr != last || !std::isfinite(v) || v < 0.0 || v > 1.0)
        return Status::badInput("--set \"" + text + "\": the value must be a number from 0 to 1");
    out.push_back(ParameterSetting{text.substr(0, eq), static_cast<float>(v)});
    return Status();
}

Status parseTimeout(const std::string& text, Options& out)
{
    double v = 0.0;
    const char* first = text.data();
    const char* last = first + text.size();
    const auto r = std::from_chars(first, last, v);
    if (text.empty() || r.ec != std::errc() || r.ptr != last || !(v > 0.0) || v > kMaxTimeoutSeconds)
        return Status::badInput("--timeout \"" + text + "\": expected seconds, more than 0 and at most " +
                                std::to_string(static_cast<int>(kMaxTimeoutSeconds)));
    out.timeoutSeconds = v;
    out.timeoutGiven = true;
    return Status();
}

bool isHelp(const std::string& a) { return a == "--help" || a == "-h"; }

// A whole decimal number from 0 to 2^32 - 1.
Status parseSeed(const std::string& text, uint32_t& out)
{
    const char* first = text.data();
    const char* last = first + text.size();
    uint32_t v = 0;
    const auto r = std::from_chars(first, last, v);
    if (text.empty() || r.ec != std::errc() || r.ptr != last)
        return Status::badInput("--seed \"" + text + "\": expected a whole number from 0 to 4294967295");
    out = v;
    return Status();
}

std::string commandName(Command c)
{
    switch (c) {
    case Command::Info: return "info";
    case Command::Render: return "render";
    case Command::Preview: return "preview";
    case Command::Validate: return "validate";
    case Command::Sheet: return "sheet";
    case Command::Help:
    case Command::Version: break;
    }
    return "ffglhost";
}

} // namespace

const char* usageText() { return kUsage; }

const char* helpText() { return kHelp; }

std::string versionLine() { return std::string("ffglhost ") + kHostVersion; }

Status parseOptions(int argc, const char* const* argv, Options& out, bool& usageError)
{
    out = Options();
    usageError = false;
    auto usage = [&usageError](const std::string& what) {
        usageError = true;
        return Status::badInput(what);
    };
    const std::vector<std::string> args(argv + 1, argv + (argc > 1 ? argc : 1));
    if (args.empty())
        return usage("no command given");
    for (const std::string& a : args) {
        if (isHelp(a)) {
            out.command = Command::Help;
            return Status();
        }
    }
    for (const std::string& a : args) {
        if (a == "--version") {
            out.command = Command::Version;
            return Status();
        }
    }
    if (args[0] == "info")
        out.command = Command::Info;
    else if (args[0] == "render")
        out.command = Command::Render;
    else if (args[0] == "preview")
        out.command = Command::Preview;
    else if (args[0] == "validate")
        out.command = Command::Validate;
    else if (args[0] == "sheet")
        out.command = Command::Sheet;
    else
        return usage("unknown command \"" + args[0] + "\"");
    const bool preview = out.command == Command::Preview;
    if (preview)
        out.frames = 0;

    bool haveEvery = false;
    bool haveFps = false;
    bool haveFrames = false;
    bool haveSize = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || a[0] != '-') {
            if (!out.pluginPath.empty() && out.command != Command::Validate)
                return usage("unexpected argument \"" + a + "\"");
            if (out.pluginPath.empty())
                out.pluginPath = a;
            out.pluginPaths.push_back(a);
            continue;
        }
        if (a == "--in-process") {
            out.inProcess = true;
            continue;
        }
        if (a == "--recursive" || a == "--strict") {
            if (out.command != Command::Validate)
                return usage(commandName(out.command) + " takes no option \"" + a + "\" (it belongs to validate)");
            (a == "--strict" ? out.strict : out.recursive) = true;
            continue;
        }
        if (a == "--pot-inputs") {
            if (out.command != Command::Render && out.command != Command::Preview && out.command != Command::Sheet)
                return usage(commandName(out.command) + " takes no option \"--pot-inputs\"");
            out.potInputs = true;
            continue;
        }
        const bool isolation = a.rfind("--timeout", 0) == 0 && (a.size() == 9 || a[9] == '=');
        const bool report = a.rfind("--report", 0) == 0 && (a.size() == 8 || a[8] == '=');
        if (out.command == Command::Info && !isolation && !report)
            return usage("info takes no option \"" + a + "\"");
        if (a == "--hold") {
            if (!preview)
                return usage("render takes no option \"--hold\" (it belongs to preview)");
            out.hold = true;
            continue;
        }
        // --name VALUE or --name=VALUE
        const std::size_t eq = a.find('=');
        const std::string name = a.substr(0, eq);
        if (name != "--size" && name != "--frames" && name != "--set" && name != "--out" && name != "--every" &&
            name != "--video" && name != "--fps" && name != "--also" && name != "--steps" && name != "--param" &&
            name != "--timeout" && name != "--driver" && name != "--input" && name != "--then" &&
            name != "--seed" && name != "--repeat" && name != "--report" && name != "--junit")
            return usage("unknown option \"" + name + "\"");
        if (report && out.command != Command::Info && out.command != Command::Render &&
            out.command != Command::Validate)
            return usage(commandName(out.command) + " takes no option \"--report\" (info, render and validate do)");
        if ((name == "--seed" || name == "--repeat" || name == "--junit") && out.command != Command::Validate)
            return usage(commandName(out.command) + " takes no option \"" + name + "\" (it belongs to validate)");
        const bool sheet = out.command == Command::Sheet;
        if (sheet && name != "--size" && name != "--frames" && name != "--out" && name != "--steps" &&
            name != "--param" && name != "--driver" && name != "--input" && !isolation)
            return usage("sheet takes no option \"" + name + "\"");
        if (!sheet && (name == "--steps" || name == "--param"))
            return usage(name + " belongs to sheet");
        if (name == "--then" && out.command != Command::Render && !preview)
            return usage(commandName(out.command) + " takes no option \"--then\" (chains are for render and preview)");
        if (preview && (name == "--out" || name == "--every" || name == "--video" || name == "--fps" ||
                        name == "--also"))
            return usage("preview takes no option \"" + name + "\" (it belongs to render)");
        if (out.command == Command::Validate && name != "--size" && name != "--driver" && name != "--input" &&
            name != "--seed" && name != "--repeat" && name != "--report" && name != "--junit" && !isolation)
            return usage("validate takes no option \"" + name + "\"");
        std::string value;
        if (eq != std::string::npos)
            value = a.substr(eq + 1);
        else if (i + 1 < args.size())
            value = args[++i];
        else
            return usage("option " + name + " needs a value");

        Status s;
        if (isolation) {
            s = parseTimeout(value, out);
        } else if (name == "--seed") {
            s = parseSeed(value, out.seed);
        } else if (name == "--repeat") {
            s = parseCount("--repeat", value, out.repeat, kMaxRepeat);
        } else if (name == "--report" || name == "--junit") {
            if (value.empty())
                s = Status::badInput(name + " needs the path of the file to write");
            (name == "--report" ? out.reportPath : out.junitPath) = value;
        } else if (name == "--size") {
            s = parseSize(value, out);
            haveSize = true;
        } else if (name == "--also") {
            if (value.empty())
                s = Status::badInput("--also needs the path of a plug-in file");
            else if (out.alsoPaths.size() >= kMaxAlsoPlugins)
                s = Status::badInput("--also: at most " + std::to_string(kMaxAlsoPlugins) +
                                     " plug-ins can be rendered next to the main one");
            else
                out.alsoPaths.push_back(value);
        } else if (name == "--frames") {
            s = parseCount("--frames", value, out.frames);
            haveFrames = true;
        } else if (name == "--every") {
            s = parseCount("--every", value, out.every);
            haveEvery = true;
            out.outGiven = true;
        } else if (name == "--fps") {
            s = parseCount("--fps", value, out.fps, kMaxFps);
            haveFps = true;
        } else if (name == "--set") {
            s = parseSetting(value, out.thenStages.empty() ? out.settings : out.thenStages.back().settings);
        } else if (name == "--input") {
            std::vector<std::string>& inputs = out.thenStages.empty() ? out.inputs : out.thenStages.back().inputs;
            if (value.empty())
                s = Status::badInput("--input needs a source: an image, a video, a plug-in file or pattern:NAME");
            else if (inputs.size() >= kMaxInputOptions)
                s = Status::badInput("--input: at most " + std::to_string(kMaxInputOptions) +
                                     " inputs for one plug-in");
            else
                inputs.push_back(value);
        } else if (name == "--then") {
            if (value.empty())
                s = Status::badInput("--then needs the path of an effect plug-in file");
            else if (out.pluginPath.empty())
                return usage("--then " + value + " follows the first plug-in: ffglhost " +
                             commandName(out.command) + " FIRST.so --then " + value);
            else if (out.thenStages.size() + 1 >= kMaxAlsoPlugins)
                s = Status::badInput("--then: a chain has at most " + std::to_string(kMaxAlsoPlugins) + " plug-ins");
            else
                out.thenStages.push_back(ThenStage{value, {}, {}});
        } else if (name == "--steps") {
            s = parseCount("--steps", value, out.steps, kMaxSheetSteps);
            if (s.ok() && out.steps < 2)
                s = Status::badInput("--steps \"" + value + "\": a sheet needs at least 2 values (0 and 1)");
        } else if (name == "--param") {
            if (value.empty())
                s = Status::badInput("--param needs the name of a parameter");
            else
                out.sheetParameters.push_back(value);
        } else if (name == "--driver") {
            if (value.empty())
                s = Status::badInput("--driver needs a name: llvmpipe, softpipe or zink");
            out.driver = value; // the name is checked when it is selected, before anything renders
        } else if (value.empty()) {
            s = Status::badInput(name + " needs a non-empty path");
        } else if (name == "--video") {
            out.videoPath = value;
        } else {
            out.outPath = value;
            out.outGiven = true;
        }
        if (!s.ok())
            return s;
    }
    if (out.pluginPath.empty())
        return usage(out.command == Command::Validate ? "no plug-in file or folder given" : "no plug-in file given");
    if (!out.reportPath.empty() && out.reportPath == out.junitPath)
        return Status::badInput("--report and --junit name the same file " + out.reportPath);
    if (out.command == Command::Validate && !haveSize) {
        out.width = kDefaultValidateWidth;
        out.height = kDefaultValidateHeight;
    }
    if (out.command == Command::Sheet) {
        if (!haveSize) {
            out.width = kDefaultSheetCellWidth;
            out.height = kDefaultSheetCellHeight;
        }
        if (!haveFrames)
            out.frames = kDefaultSheetFrames;
    }
    if (haveEvery && out.every > out.frames)
        return Status::badInput("--every " + std::to_string(out.every) + " is more than the " +
                                std::to_string(out.frames) + " frames rendered: no frame would be written");
    if (haveFps && out.videoPath.empty())
        return usage("--fps sets the frame rate of a --video; give --video FILE too");
    // The encoder's 4:2:0 chroma planes cover pixels in pairs each way.
    if (!out.videoPath.empty() && (out.width % 2 != 0 || out.height % 2 != 0))
        return Status::badInput("--video needs an even width and height (its yuv420p picture covers pixels in "
                                "pairs); --size " + std::to_string(out.width) + "x" + std::to_string(out.height) +
                                " is odd, try " + std::to_string(out.width + out.width % 2) + "x" +
                                std::to_string(out.height + out.height % 2));
    if (out.hold && !haveFrames)
        return usage("--hold keeps frame N of --frames N on screen; give --frames too");
    if (!out.alsoPaths.empty() && !out.videoPath.empty())
        return usage("--video encodes one plug-in's frames; it cannot be combined with --also");
    return Status();
}

} // namespace ffglhost
