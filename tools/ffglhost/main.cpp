// ffglhost: an FFGL 1.5 host. Parses the command line, runs the info, render, preview or validate
// command, and turns its status into one message line and the exit status. A command's report
// goes to standard output even when the command fails (validate reports its checks either way).
#include "HostContext.h"
#include "InfoCommand.h"
#include "Options.h"
#include "PreviewCommand.h"
#include "RenderCommand.h"
#include "SideBySideRender.h"
#include "Status.h"
#include "ValidateCommand.h"

#include <cstdio>
#include <string>

namespace {

ffglhost::Status runCommand(const ffglhost::Options& options, std::string& report)
{
    using namespace ffglhost;
    switch (options.command) {
    case Command::Info: return runInfo(options, report);
    case Command::Validate: return runValidate(options, report);
    case Command::Preview: return runPreview(options, report);
    case Command::Render: return options.alsoPaths.empty() ? runRender(options, report) : runSideBySide(options, report);
    case Command::Help: break;
    }
    return Status();
}

} // namespace

int main(int argc, char** argv)
{
    using namespace ffglhost;
    Options options;
    bool usageError = false;
    Status s = parseOptions(argc, argv, options, usageError);
    if (s.ok() && options.command == Command::Help) {
        std::fputs(helpText(), stdout);
        return kExitOk;
    }
    std::string report;
    if (s.ok())
        s = selectDriver(options.driver);
    if (s.ok())
        s = runCommand(options, report);
    std::fputs(report.c_str(), stdout);
    std::fflush(stdout);
    if (!s.ok()) {
        std::fprintf(stderr, "%s\n", s.message().c_str());
        if (usageError)
            std::fputs(usageText(), stderr);
        return s.exitCode();
    }
    return kExitOk;
}
