// The command line of ffglhost: which command, which plug-in file(s) (validate takes several, and
// folders), the render, preview, validate and sheet options and the report files, with every value checked as far as it can be without the plug-in and a
// GL context (parameter names
// and the context's size limits are checked later). Plain values; any thread.
#pragma once

#include "Status.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ffglhost {

constexpr int kDefaultWidth = 1280;
constexpr int kDefaultHeight = 720;
constexpr int kDefaultFrames = 120;
constexpr int kMaxFrames = 1000000;
constexpr int kDefaultFps = 60;
constexpr int kMaxFps = 1000;

// The validator's frame size when --size is not given: small, since it renders many frames.
constexpr int kDefaultValidateWidth = 256;
constexpr int kDefaultValidateHeight = 144;
// Most --also plug-ins one render may load next to the main one.
constexpr std::size_t kMaxAlsoPlugins = 16;
// Most --input options one plug-in may take: more than any plug-in has input slots.
constexpr std::size_t kMaxInputOptions = 16;
// How long one plug-in call may take before the host gives up on it (--timeout), and the most
// that can be asked for. The heaviest Quorus frame (400 particles, all joined, widest lines,
// opaque triangles at 1280x720) took up to 16 s under the sanitizers on a busy 2-core machine:
// the default leaves a wide margin, and a hang still ends in bounded time.
constexpr double kDefaultTimeoutSeconds = 120.0;
constexpr double kMaxTimeoutSeconds = 86400.0;

// The sheet's cell size, frames per cell and values per parameter when not given.
constexpr int kDefaultSheetCellWidth = 160;
constexpr int kDefaultSheetCellHeight = 90;
constexpr int kDefaultSheetFrames = 30;
constexpr int kDefaultSheetSteps = 5;
constexpr int kMaxSheetSteps = 64;

// The validator's seed when --seed is not given: fixed, so that two runs over the same plug-ins
// make the same choices and give the same report.
constexpr uint32_t kDefaultValidateSeed = 1;
// Most rounds --repeat may ask for.
constexpr int kMaxRepeat = 10000;

enum class Command { Help, Version, Info, Render, Preview, Validate, Sheet };

// One --set NAME=VALUE: a host value in 0..1 for the parameter named exactly NAME.
struct ParameterSetting {
    std::string name;
    float value = 0.f;
};

// One --then PLUGIN.so of a chain, with the --input and --set options that follow it.
struct ThenStage {
    std::string pluginPath;
    std::vector<std::string> inputs;        // its slots 1, 2, ... (slot 0 is the stage before)
    std::vector<ParameterSetting> settings; // in command-line order
};

struct Options {
    Command command = Command::Help;
    std::string pluginPath;                 // the plug-in file (validate: the first path given)
    std::vector<std::string> pluginPaths;   // validate: every file and folder given, in order
    int width = kDefaultWidth;
    int height = kDefaultHeight;
    int frames = kDefaultFrames;            // preview: 0 (the default there) runs until closed
    int every = 0;                          // 0: write only the last frame
    std::vector<ParameterSetting> settings; // the first plug-in's, in command-line order
    std::vector<std::string> inputs;        // --input SOURCE of the first plug-in, slot order
    std::vector<ThenStage> thenStages;      // render, preview: --then, in chain order
    bool potInputs = false;                 // --pot-inputs: power-of-two input textures
    std::string outPath;                    // empty: the default path for the plug-in
    bool outGiven = false;                  // --out or --every asked for PNG files
    std::string videoPath;                  // render --video: empty for none
    int fps = kDefaultFps;                  // render --fps: frame rate of the video
    bool hold = false;                      // preview --hold: keep the last of --frames on screen
    std::vector<std::string> alsoPaths;     // render --also: plug-ins rendered next to the main one
    int steps = kDefaultSheetSteps;         // sheet --steps: values per parameter, 0 to 1
    std::vector<std::string> sheetParameters; // sheet --param: the rows; empty for all
    double timeoutSeconds = kDefaultTimeoutSeconds; // --timeout: longest a plug-in call may take
    bool timeoutGiven = false;              // --timeout was on the command line
    bool inProcess = false;                 // --in-process: no worker process, no watchdog
    std::string driver;                     // --driver: Mesa driver name, empty for the default
    bool recursive = false;                 // validate --recursive: plug-ins in sub-folders too
    bool strict = false;                    // validate --strict: a warning fails the plug-in
    uint32_t seed = kDefaultValidateSeed;   // validate --seed: the first round's seed
    int repeat = 1;                         // validate --repeat: rounds of the whole plan
    std::string reportPath;                 // --report (validate, info, render): empty for none
    std::string junitPath;                  // validate --junit: empty for none
};

// Parses argv[1..argc-1]. A bad value gives a bad-input status; a usage error (unknown command
// or option, a missing argument) also sets `usageError` so that the caller prints the usage.
Status parseOptions(int argc, const char* const* argv, Options& out, bool& usageError);

// The short usage (a few lines, newline-terminated) and the full help text.
const char* usageText();
const char* helpText();
// "ffglhost 1.1.0": what --version prints, without the newline.
std::string versionLine();

} // namespace ffglhost
