// The validator's steps in a worker (see ValidationWorker.h).
#include "commands/validate/ValidationWorker.h"

#include "commands/validate/Check.h"
#include "commands/validate/InstanceChecks.h"
#include "commands/validate/MetadataChecks.h"
#include "frame/HostContext.h"
#include "plugin/PluginDescription.h"
#include "plugin/PluginLoader.h"
#include "worker/Supervisor.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace ffglhost {

namespace {

// What must hold before any check makes sense: an FFGL 1.x plug-in that does OpenGL processing.
// Also reads the identity and input counts the header and the checks use.
Status checkRunnable(const Plugin& plugin, const std::string& path, ValidatedMetadata& meta)
{
    PluginInfoStructTag info{};
    Status s = plugin.info(info);
    if (!s.ok())
        return s;
    if (info.APIMajorVersion != 1)
        return Status::badInput(path + " uses FFGL API " + std::to_string(info.APIMajorVersion) + "." +
                                std::to_string(info.APIMinorVersion) + "; this host speaks FFGL 1.x only");
    if (plugin.capability(FF_CAP_PROCESSOPENGL) != 1)
        return Status::badInput(path + " does not do OpenGL processing (capability 4 is not 1): not an FFGL plug-in "
                                       "this host can run");
    meta.name = printable(std::string(info.PluginName, strnlen(info.PluginName, FF_PLUGIN_NAME_SIZE)));
    meta.uniqueId =
        printable(std::string(info.PluginUniqueID, strnlen(info.PluginUniqueID, FF_UNIQUE_ID_SIZE)));
    meta.type = info.PluginType;
    meta.minInputs = inputFrames(plugin.capability(FF_CAP_MINIMUMINPUTFRAMES));
    meta.maxInputs = inputFrames(plugin.capability(FF_CAP_MAXIMUMINPUTFRAMES));
    return Status();
}

// Input frames handed to the frames of the checks for every plug-in: the plug-in's minimum, and
// one for an effect that takes any, never more than the host supplies.
uint32_t inputsFor(const ValidatedMetadata& m)
{
    uint32_t n = m.minInputs;
    if (n == 0 && m.type == FF_EFFECT && m.maxInputs > 0)
        n = 1;
    return n < kMaxValidatedInputs ? n : kMaxValidatedInputs;
}

// Input slots with a source: those frames get, and every slot up to the maximum for the checks
// for effects, never more than the host supplies.
std::size_t slotsFor(const ValidatedMetadata& m)
{
    return std::max(inputsFor(m), std::min(m.maxInputs, kMaxValidatedInputs));
}

bool isEffect(const ValidatedMetadata& m) { return m.maxInputs > 0; }

// " with 0 input texture(s)" for a plug-in that takes none; " with 1 input texture(s)
// (pattern:card)" or " with 1 to 3 input textures (pattern:card, pattern:bars, pattern:grey)" for
// an effect: what its frames get, then every slot's source.
std::string inputsHeader(const ValidatedMetadata& m, const ValidationRig& rig)
{
    const uint32_t frames = inputsFor(m);
    const std::size_t slots = rig.slots();
    if (!isEffect(m) || slots == 0)
        return " with " + std::to_string(frames) + " input texture(s)";
    std::string labels;
    for (std::size_t slot = 0; slot < slots; ++slot)
        labels += (labels.empty() ? "" : ", ") + printable(rig.sourceLabel(slot));
    if (slots == frames)
        return " with " + std::to_string(frames) + " input texture(s) (" + labels + ")";
    return " with " + std::to_string(frames) + " to " + std::to_string(slots) + " input textures (" + labels + ")";
}

// Everything the steps share in one worker.
struct Worker {
    const Options& options;
    const InputSourceFactories& inputs;
    bool fitInputs;
    ValidationProgress& progress;
    int reportFd;
    std::unique_ptr<Plugin> plugin;
    std::unique_ptr<kxhost::HeadlessGL> gl;
    ValidatedMetadata meta;
    std::unique_ptr<InstanceChecks> instances; // destroyed before the context and the plug-in

    ~Worker()
    {
        instances.reset();
        gl.reset();
    }

    Status start()
    {
        Status s = Plugin::open(options.pluginPath, plugin);
        if (s.ok())
            s = openFrameContext(gl, options.width, options.height);
        if (!s.ok())
            return s;
        progress.setRenderer(printable(gl->renderer()));
        s = checkRunnable(*plugin, options.pluginPath, meta);
        if (!s.ok())
            return s;
        progress.setIdentity(meta.name, meta.uniqueId, meta.type);
        if (!fitInputs && !inputs.empty() && meta.maxInputs == 0)
            return Status::badInput("--input: " + printable(meta.name) + " takes no input (it announces no input "
                                    "slot, capability 11)");
        if (!fitInputs && inputs.size() > meta.maxInputs)
            return Status::badInput("--input: " + printable(meta.name) + " takes at most " +
                                    std::to_string(meta.maxInputs) + (meta.maxInputs == 1 ? " input" : " inputs") +
                                    ", and " + std::to_string(inputs.size()) + " are given");
        progress.setEffect(isEffect(meta));
        // Sources past the slots the plug-in has are not used (slotSources).
        instances = std::make_unique<InstanceChecks>(
            *plugin, meta,
            FrameSetup{options.width, options.height, inputsFor(meta), slotSources(inputs, slotsFor(meta))},
            options.seed);
        s = instances->createRig();
        if (s.ok() && isEffect(meta)) {
            std::vector<std::string> labels;
            for (std::size_t slot = 0; slot < instances->rig().slots(); ++slot)
                labels.push_back(printable(instances->rig().sourceLabel(slot)));
            progress.setInputs(labels);
        }
        return s;
    }

    void printHeader()
    {
        (void)writeText(reportFd, "validating " + (meta.name.empty() ? std::string("(unnamed)") : meta.name) + " (" +
                                      options.pluginPath + ") at " + std::to_string(options.width) + "x" +
                                      std::to_string(options.height) + inputsHeader(meta, instances->rig()) +
                                      " on " + progress.renderer() + ", seed " + std::to_string(options.seed) + "\n");
        progress.setHeaderPrinted();
    }

    // What step `step` produced that later steps use, made again without reporting anything.
    void prepare(int step)
    {
        Check scratch("preparation");
        switch (kSteps[step].first) {
        case CheckId::Initialise: (void)plugin->initialise(); break;
        case CheckId::Table: checkTable(*plugin, scratch, meta); break;
        default: break;
        }
    }

    void run(int step, std::vector<Check>& c)
    {
        switch (kSteps[step].first) {
        case CheckId::Info: checkInfoRecord(*plugin, c[0]); break;
        case CheckId::Extended: checkExtendedInfo(*plugin, c[0]); break;
        case CheckId::Initialise: checkInitialise(*plugin, c[0]); break;
        case CheckId::Capabilities: checkCapabilities(*plugin, c[0], meta); break;
        case CheckId::Table:
            checkTable(*plugin, c[0], meta);
            checkDefaults(meta, c[1]);
            break;
        case CheckId::Consistent: checkConsistency(*plugin, c[0]); break;
        case CheckId::Cycles: instances->cycles(c[0]); break;
        case CheckId::PastTable: instances->pastTable(c[0]); break;
        case CheckId::NewDefaults: instances->newDefaults(c[0]); break;
        case CheckId::Values: instances->values(c[0], c[1]); break;
        case CheckId::Frames: instances->frames(c[0], c[1], c[2], c[3]); break;
        case CheckId::Flood: instances->flood(c[0]); break;
        case CheckId::SideBySide: instances->sideBySide(c[0]); break;
        case CheckId::InputCounts: instances->inputCounts(c[0]); break;
        case CheckId::PaddedInputs: instances->paddedInputs(c[0]); break;
        case CheckId::UsesInputs: instances->usesInputs(c[0]); break;
        case CheckId::Destroy: instances->destroyShared(c[0]); break;
        case CheckId::Deinitialise:
            if (!plugin->deInitialise().ok())
                c[0].fail("code 2 (de-initialise) returned failure");
            // Unloading runs the plug-in's static destructors: part of this check.
            instances.reset();
            plugin.reset();
            break;
        default: break;
        }
    }
};

} // namespace

int runValidationWorker(const Options& o, const InputSourceFactories& inputs, bool fitInputs, int first,
                        int reportFd, ValidationProgress& progress)
{
    Worker w{o, inputs, fitInputs, progress, reportFd, nullptr, nullptr, ValidatedMetadata(), nullptr};
    progress.setStage(ValidationProgress::kStarting);
    const Status s = w.start();
    if (!s.ok()) {
        progress.setFailure(s.message());
        std::fprintf(stderr, "%s\n", s.message().c_str());
        return s.exitCode();
    }
    if (first == 0)
        w.printHeader();

    progress.setStage(ValidationProgress::kPreparing);
    bool instanceNeeded = false;
    for (int step = 0; step < kStepCount; ++step) {
        if (step < first && !progress.crashed(step))
            w.prepare(step);
        if (step >= first && kSteps[step].needsInstance)
            instanceNeeded = true;
    }
    if (first > kInstanceStep && instanceNeeded)
        w.instances->prepareShared();

    for (int step = first; step < kStepCount; ++step) {
        if (!stepApplies(step, progress.effect()))
            continue;
        progress.setStage(step);
        std::vector<Check> checks;
        const int firstCheck = static_cast<int>(kSteps[step].first);
        for (int c = 0; c < kSteps[step].checks; ++c)
            checks.emplace_back(checkName(firstCheck + c));
        const auto started = std::chrono::steady_clock::now();
        w.run(step, checks);
        // The step's time goes to its first check: its checks are computed together.
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        for (int c = 0; c < kSteps[step].checks; ++c) {
            if (!progress.applies(firstCheck + c))
                continue;
            const Check& check = checks[static_cast<std::size_t>(c)];
            (void)writeText(reportFd, check.line() + "\n");
            progress.report(firstCheck + c, check.outcome(), check.message(), seconds);
            seconds = 0.0;
        }
    }
    progress.setFinished();
    return 0;
}

std::vector<std::string> validationJobWords(int first, const std::string& pluginPath, uint32_t seed, bool fitInputs)
{
    return {std::to_string(first), pluginPath, std::to_string(seed), fitInputs ? "1" : "0"};
}

namespace {

// A whole word of decimal digits as `out`.
template <typename T>
bool wholeNumber(const std::string& word, T& out)
{
    const char* text = word.c_str();
    const auto parsed = std::from_chars(text, text + word.size(), out);
    return !word.empty() && parsed.ec == std::errc() && parsed.ptr == text + word.size();
}

} // namespace

int runValidationJob(const Options& options, const std::vector<std::string>& words, int reportFd,
                     ValidationProgress& progress)
{
    int first = -1;
    Options o = options;
    if (words.size() != 4 || !wholeNumber(words[0], first) || first < 0 || first > kStepCount ||
        !wholeNumber(words[2], o.seed) || (words[3] != "0" && words[3] != "1")) {
        std::fprintf(stderr, "ffglhost: error: a validation worker was started without its step\n");
        return kExitFailed;
    }
    o.pluginPath = words[1];
    InputSourceFactories inputs;
    const Status s = inputFactories(o.inputs, inputs);
    if (!s.ok()) {
        progress.setFailure(s.message());
        std::fprintf(stderr, "%s\n", s.message().c_str());
        return s.exitCode();
    }
    return runValidationWorker(o, inputs, words[3] == "1", first, reportFd, progress);
}

} // namespace ffglhost
