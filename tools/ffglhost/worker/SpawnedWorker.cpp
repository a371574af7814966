// The worker ffglhost.exe runs as when its host starts it (see SpawnedWorker.h).
#include "worker/SpawnedWorker.h"

#include "worker/CrashExceptions.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace ffglhost {

namespace {

// A whole unsigned number, nothing around it.
bool parseNumber(const char* first, const char* last, unsigned long long& out)
{
    const auto r = std::from_chars(first, last, out);
    return r.ec == std::errc() && r.ptr == last && first != last;
}

// BLOCK,REPORT: two handle values.
bool parseHandles(const char* text, HANDLE& block, HANDLE& report)
{
    const char* end = text + std::strlen(text);
    const char* comma = std::strchr(text, ',');
    unsigned long long b = 0, r = 0;
    if (comma == nullptr || !parseNumber(text, comma, b) || !parseNumber(comma + 1, end, r) || b == 0)
        return false;
    block = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(b));
    report = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(r));
    return true;
}

// The shared block behind `mapping`, or null when it is none.
WorkerShared* mapBlock(HANDLE mapping)
{
    void* view = MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(WorkerShared));
    MEMORY_BASIC_INFORMATION region{};
    if (view == nullptr)
        return nullptr;
    if (VirtualQuery(view, &region, sizeof region) == 0 || region.RegionSize < sizeof(WorkerShared)) {
        UnmapViewOfFile(view);
        return nullptr;
    }
    // The host constructed the block; the worker uses it as it is.
    return static_cast<WorkerShared*>(view);
}

int notAWorker()
{
    std::fprintf(stderr, "ffglhost: error: %s is for the worker processes ffglhost starts itself\n", kWorkerArgument);
    return kExitBadInput;
}

} // namespace

bool isWorkerProcess(int argc, char** argv) { return argc > 1 && std::strcmp(argv[1], kWorkerArgument) == 0; }

int runWorkerProcess(int argc, char** argv, const JobMaker& makeJob)
{
    // The handlers come first: a plug-in may crash from its first call on.
    (void)installCrashHandlers();
    HANDLE mapping = nullptr, report = nullptr;
    unsigned long long words = 0;
    if (argc < 4 || !parseHandles(argv[2], mapping, report) ||
        !parseNumber(argv[3], argv[3] + std::strlen(argv[3]), words) || words > static_cast<unsigned>(argc - 4))
        return notAWorker();
    WorkerShared* shared = mapBlock(mapping);
    if (shared == nullptr)
        return notAWorker();
    useFlightRecord(&shared->flight);
    useTemporaryFiles(&shared->files);

    int reportFd = STDOUT_FILENO;
    if (report != nullptr) {
        // The host's standard output, in text mode as the host writes it; the worker's own
        // standard output is captured then, and what the plug-in prints reaches the host at once,
        // also when the worker dies a moment later.
        reportFd = _open_osfhandle(reinterpret_cast<intptr_t>(report), _O_WRONLY | _O_TEXT);
        if (reportFd < 0)
            return notAWorker();
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    }
    const int firstHostArgument = 4 + static_cast<int>(words);
    const std::vector<std::string> jobWords(argv + 4, argv + firstHostArgument);
    std::vector<const char*> hostArgv{argv[0]};
    hostArgv.insert(hostArgv.end(), argv + firstHostArgument, argv + argc);

    Options options;
    bool usageError = false;
    const Status parsed = parseOptions(static_cast<int>(hostArgv.size()), hostArgv.data(), options, usageError);
    if (!parsed.ok()) {
        std::fprintf(stderr, "%s\n", parsed.message().c_str());
        return parsed.exitCode();
    }
    const int status = makeJob(options, jobWords, *shared, reportFd);
    std::fflush(stdout);
    return status;
}

} // namespace ffglhost
