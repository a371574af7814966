// The validate command (see ValidateCommand.h).
#include "ValidateCommand.h"

#include "Check.h"
#include "HostContext.h"
#include "InstanceChecks.h"
#include "MetadataChecks.h"
#include "PluginDescription.h"
#include "PluginLoader.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace ffglhost {

namespace {

// Points standard output at standard error while it lives (nothing when that cannot be done).
class StdoutToStderr {
public:
    StdoutToStderr()
    {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        if (saved_ >= 0 && dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
            close(saved_);
            saved_ = -1;
        }
    }
    ~StdoutToStderr()
    {
        if (saved_ < 0)
            return;
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
    }
    StdoutToStderr(const StdoutToStderr&) = delete;
    StdoutToStderr& operator=(const StdoutToStderr&) = delete;

private:
    int saved_ = -1;
};

// What must hold before any check makes sense: an FFGL 1.x plug-in that does OpenGL processing.
Status checkRunnable(const Plugin& plugin, const std::string& path)
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
    return Status();
}

// Input frames handed to every frame: the plug-in's minimum, and one for an effect that takes
// any, never more than the host supplies.
uint32_t inputsFor(const ValidatedMetadata& m)
{
    uint32_t n = m.minInputs;
    if (n == 0 && m.type == FF_EFFECT && m.maxInputs > 0)
        n = 1;
    return n < kMaxValidatedInputs ? n : kMaxValidatedInputs;
}

} // namespace

Status runValidate(const Options& o, std::string& report)
{
    report.clear();
    std::unique_ptr<Plugin> plugin;
    Status s = Plugin::open(o.pluginPath, plugin);
    if (s.ok())
        s = checkRunnable(*plugin, o.pluginPath);
    if (!s.ok())
        return s;

    std::vector<Check> checks;
    ValidatedMetadata meta;
    std::string renderer;
    FrameSetup setup;
    {
        const StdoutToStderr quiet;
        runMetadataChecks(*plugin, checks, meta);
        std::unique_ptr<kxhost::HeadlessGL> gl;
        s = openContext(gl);
        if (s.ok())
            s = checkFrameSize(o.width, o.height);
        if (!s.ok())
            return s;
        renderer = printable(gl->renderer());
        setup = FrameSetup{o.width, o.height, inputsFor(meta)};
        s = runInstanceChecks(*plugin, meta, setup, checks);
        if (!s.ok())
            return s;
        if (!plugin->deInitialise().ok()) {
            for (Check& c : checks)
                if (c.name().rfind("initialise", 0) == 0)
                    c.fail("code 2 (de-initialise) returned failure at the end");
        }
    }

    report += "validating " + (meta.name.empty() ? std::string("(unnamed)") : meta.name) + " (" + o.pluginPath +
              ") at " + std::to_string(o.width) + "x" + std::to_string(o.height) + " with " +
              std::to_string(setup.inputs) + " input texture(s) on " + renderer + "\n";
    for (const Check& c : checks)
        report += c.line() + "\n";
    report += summaryLine(checks) + "\n";
    const std::size_t failed = failedCount(checks);
    if (failed > 0)
        return Status::failed(std::to_string(failed) + " of " + std::to_string(checks.size()) + " checks failed");
    return Status();
}

} // namespace ffglhost
