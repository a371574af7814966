// ffglhost on Windows (see HostPlatform.h): info, render and validate, plug-ins in a worker
// process started from ffglhost.exe itself unless --in-process asks otherwise.
#include "HostPlatform.h"

#include "commands/preview/PreviewCommand.h"
#include "commands/sheet/SheetCommand.h"
#include "inputs/InputFactory.h"
#include "output/VideoEncoder.h"
#include "worker/ChildProcess.h"
#include "worker/InProcessSupervisor.h"
#include "worker/SpawnedSupervisor.h"
#include "worker/Supervisor.h"

#include <string>

namespace ffglhost {

namespace {

// The one line for a feature this build lacks.
Status linuxOnly(const std::string& feature)
{
    return Status::badInput(feature + " is Linux-only; this Windows ffglhost offers info, render and validate");
}

const char kPreview[] = "preview (it shows frames in an X11 window through GLX)";
const char kSheet[] = "sheet (it draws its labels with cairo)";
const char kVideo[] = "render --video (it pipes frames into ffmpeg)";

} // namespace

Status checkPlatformFeatures(const Options& o)
{
    if (o.command == Command::Preview)
        return linuxOnly(kPreview);
    if (o.command == Command::Sheet)
        return linuxOnly(kSheet);
    if (!o.videoPath.empty())
        return linuxOnly(kVideo);
    // Videos and cameras come through ffmpeg: refused here, as the rest, before a plug-in loads.
    std::vector<std::string> inputs = o.inputs;
    for (const ThenStage& t : o.thenStages)
        inputs.insert(inputs.end(), t.inputs.begin(), t.inputs.end());
    for (const std::string& source : inputs) {
        InputKind kind = InputKind::Pattern;
        const Status s = classifyInput(source, kind);
        if (!s.ok())
            return s;
    }
    return Status();
}

std::unique_ptr<Supervisor> makeSupervisor(bool inProcess)
{
    if (inProcess)
        return std::make_unique<InProcessSupervisor>();
    return std::make_unique<SpawnedSupervisor>();
}

// Stand-ins for the Linux-only commands, which checkPlatformFeatures refuses before they are reached.
Status runPreview(const Options&, std::string&) { return linuxOnly(kPreview); }
Status runSheet(const Options&, std::string&) { return linuxOnly(kSheet); }
Status findVideoTool(VideoTool&) { return linuxOnly(kVideo); }
Status VideoEncoder::start(const VideoTool&, const std::string&, int, int, int) { return linuxOnly(kVideo); }
Status VideoEncoder::writeFrame(const std::vector<unsigned char>&) { return linuxOnly(kVideo); }
Status VideoEncoder::finish() { return linuxOnly(kVideo); }
Status VideoEncoder::commit() { return linuxOnly(kVideo); }
void VideoEncoder::abandon() {}
ErrorCapture::~ErrorCapture() = default;

} // namespace ffglhost
