// ffglhost: an FFGL 1.5 host for source plug-ins. Parses the command line, runs the info,
// render or preview command, and turns its status into one message line and the exit status.
#include "InfoCommand.h"
#include "Options.h"
#include "PreviewCommand.h"
#include "RenderCommand.h"
#include "Status.h"

#include <cstdio>
#include <string>

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
    if (s.ok() && options.command == Command::Info)
        s = runInfo(options, report);
    else if (s.ok() && options.command == Command::Preview)
        s = runPreview(options, report);
    else if (s.ok())
        s = runRender(options, report);
    if (!s.ok()) {
        std::fprintf(stderr, "%s\n", s.message().c_str());
        if (usageError)
            std::fputs(usageText(), stderr);
        return s.exitCode();
    }
    std::fputs(report.c_str(), stdout);
    return kExitOk;
}
