// Benchmark of the Quorus plug-in, all in one headless GL context:
//   - frame time through plugMain at 1280x720 with the defaults and with the heaviest setting,
//     and of the trivial ClearGen generator as the host's floor (skipped when it is not built);
//   - CPU time of the motion step plus the neighbour search for 400 particles, without GL;
//   - operator-new calls per steady frame made through plugMain (the plug-in's own code: the
//     GL driver allocates with malloc and is not counted).
//
//   quorus_bench [--frames N] [--size WxH] [--cpu-only] [--repeats N] [--quorify Q]
//
// --cpu-only skips the frame and allocation cases (for profilers); --repeats sets the CPU steps
// measured per case (default 50); --quorify runs the CPU cases for that one "Quorify" value
// instead of 10 and 40.
//
// Not part of the test run. Prints one table: name, median ms, p95 ms, ratio to the baseline.
#include "FFGLPlugin.h"
#include "FFGLPluginSDK.h"
#include "HeadlessGL.h"

#include <GL/gl.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

// Every operator new of the host thread (the plug-in loaded with dlopen binds to these too).
namespace {
std::atomic<long> g_allocations{0};
// Only threads that set this are counted: the GL driver's worker threads are not our code.
thread_local bool t_countAllocations = false;

// Every form is replaced, so that whatever allocates (the GL driver's C++ too) frees consistently.
void* countedAllocation(std::size_t size, std::size_t alignment)
{
    if (t_countAllocations)
        ++g_allocations;
    if (size == 0)
        size = 1;
    if (alignment <= alignof(std::max_align_t))
        return std::malloc(size);
    return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
}
} // namespace

void* operator new(std::size_t size)
{
    if (void* p = countedAllocation(size, 0))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, std::align_val_t al)
{
    if (void* p = countedAllocation(size, static_cast<std::size_t>(al)))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t al) { return operator new(size, al); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return countedAllocation(size, 0); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return countedAllocation(size, 0); }
void* operator new(std::size_t size, std::align_val_t al, const std::nothrow_t&) noexcept
{
    return countedAllocation(size, static_cast<std::size_t>(al));
}
void* operator new[](std::size_t size, std::align_val_t al, const std::nothrow_t&) noexcept
{
    return countedAllocation(size, static_cast<std::size_t>(al));
}
// Kept out of line: inlined into callers, the compiler would pair the caller's new with free.
#define KX_COUNTED_DELETE(...) __attribute__((noinline)) void operator delete(__VA_ARGS__) noexcept { std::free(p); }
#define KX_COUNTED_DELETE_ARRAY(...) __attribute__((noinline)) void operator delete[](__VA_ARGS__) noexcept { std::free(p); }
KX_COUNTED_DELETE(void* p)
KX_COUNTED_DELETE_ARRAY(void* p)
KX_COUNTED_DELETE(void* p, std::size_t)
KX_COUNTED_DELETE_ARRAY(void* p, std::size_t)
KX_COUNTED_DELETE(void* p, std::align_val_t)
KX_COUNTED_DELETE_ARRAY(void* p, std::align_val_t)
KX_COUNTED_DELETE(void* p, std::size_t, std::align_val_t)
KX_COUNTED_DELETE_ARRAY(void* p, std::size_t, std::align_val_t)
KX_COUNTED_DELETE(void* p, const std::nothrow_t&)
KX_COUNTED_DELETE_ARRAY(void* p, const std::nothrow_t&)
KX_COUNTED_DELETE(void* p, std::align_val_t, const std::nothrow_t&)
KX_COUNTED_DELETE_ARRAY(void* p, std::align_val_t, const std::nothrow_t&)
#undef KX_COUNTED_DELETE
#undef KX_COUNTED_DELETE_ARRAY

namespace {

using PlugMain = FFWord (*)(uint32_t, FFWord, FFWord);
using Clock = std::chrono::steady_clock;
using Settings = std::vector<std::pair<uint32_t, float>>;

// Longest a frame-time case runs before it stops sampling (at least kMinFrames frames).
constexpr double kCaseBudgetMs = 20000.0;
constexpr int kMinFrames = 3;
constexpr int kWarmupFrames = 10;
constexpr int kAllocationFrames = 100;
constexpr int kCpuRepeats = 50;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Stats {
    double median = 0;
    double p95 = 0;
    int samples = 0;
};

Stats statsOf(std::vector<double> samples)
{
    Stats s;
    if (samples.empty())
        return s;
    std::sort(samples.begin(), samples.end());
    s.samples = static_cast<int>(samples.size());
    s.median = samples[samples.size() / 2];
    s.p95 = samples[std::min(samples.size() - 1, static_cast<std::size_t>(samples.size() * 0.95))];
    return s;
}

FFWord floatWord(float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

PlugMain load(const char* path)
{
    void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr)
        return nullptr;
    return reinterpret_cast<PlugMain>(dlsym(lib, "plugMain"));
}

class Host {
public:
    Host(PlugMain entry, int width, int height, unsigned fbo) : entry_(entry), fbo_(fbo)
    {
        FFGLViewportStructTag viewport{0, 0, static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
        id_ = entry_(FF_INSTANTIATEGL, reinterpret_cast<FFWord>(&viewport), 0);
    }
    ~Host()
    {
        if (ok())
            entry_(FF_DEINSTANTIATEGL, 0, id_);
    }
    bool ok() const { return id_ != FF_FAIL && id_ != 0; }
    void apply(const Settings& settings)
    {
        for (const auto& s : settings) {
            SetParameterStructTag record{s.first, floatWord(s.second)};
            entry_(FF_SETPARAMETER, reinterpret_cast<FFWord>(&record), id_);
        }
    }
    bool frame()
    {
        ProcessOpenGLStructTag record{};
        record.HostFBO = fbo_;
        const bool done = entry_(FF_PROCESSOPENGL, reinterpret_cast<FFWord>(&record), id_) == FF_SUCCESS;
        glFinish(); // the frame's GL work counts
        return done;
    }

private:
    PlugMain entry_;
    unsigned fbo_;
    FFWord id_ = FF_FAIL;
};

Stats frameTimes(PlugMain entry, const Settings& settings, int width, int height, unsigned fbo, int frames)
{
    std::srand(1);
    Host host(entry, width, height, fbo);
    if (!host.ok())
        return {};
    host.apply(settings);
    const auto warmStart = Clock::now();
    for (int i = 0; i < kWarmupFrames && (i < 2 || msSince(warmStart) < kCaseBudgetMs / 4); ++i)
        host.frame();
    std::vector<double> samples;
    const auto start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        if (i >= kMinFrames && msSince(start) > kCaseBudgetMs)
            break;
        const auto t = Clock::now();
        host.frame();
        samples.push_back(msSince(t));
    }
    return statsOf(samples);
}

// operator-new calls per frame, over `frames` frames after the warm-up.
double allocationsPerFrame(PlugMain entry, const Settings& settings, unsigned fbo, int width, int height,
                           int frames)
{
    std::srand(1);
    Host host(entry, width, height, fbo);
    if (!host.ok())
        return -1;
    host.apply(settings);
    for (int i = 0; i < kWarmupFrames; ++i)
        host.frame();
    const long before = g_allocations.load();
    for (int i = 0; i < frames; ++i)
        host.frame();
    return static_cast<double>(g_allocations.load() - before) / frames;
}

// Keeps the nearest-three results alive so that the search is not optimised away.
volatile float g_sink = 0.0f;

// The plug-in's own search: all neighbour arrays at once, then the three nearest of each.
void searchOfPlugin(Plugin& plugin, int count)
{
    plugin.findNeighbours(count);
    float sum = 0.0f;
    for (int i = 0; i < count; ++i) {
        Ball& b = plugin.balls[i];
        if (b.neighbours.size() > 2)
            sum += nearestThree(b.neighbours)[2].first;
        b.neighbours.clear();
    }
    g_sink = sum;
}

// The straightforward search the plug-in replaced, as the baseline: every particle scans all
// others, collects those in reach and sorts the whole array for its three nearest.
void searchByFullSort(Plugin& plugin, int count)
{
    float sum = 0.0f;
    for (int i = 0; i < count; ++i) {
        Ball& b = plugin.balls[i];
        for (int j = 0; j < count; ++j) {
            if (j == i)
                continue;
            const float d = plugin.dist(b.position, plugin.balls[j].position);
            if (d < plugin.linkDistance)
                b.neighbours.emplace_back(d, j);
        }
        if (b.neighbours.size() > 2) {
            std::sort(b.neighbours.begin(), b.neighbours.end());
            sum += b.neighbours[2].first;
        }
        b.neighbours.clear();
    }
    g_sink = sum;
}

enum class CpuPart { MotionOnly, MotionAndSearch, MotionAndFullSort };

// The CPU part of a frame for 400 particles: the motion step alone, with the plug-in's
// neighbour search, or with the full-sort baseline; GL only to build the field once.
Stats cpuStep(float linkDistance, CpuPart part, int repeats, long& allocations)
{
    Plugin plugin;
    plugin.viewport = {0, 0, 1280, 720};
    plugin.init();
    plugin.particles = 400.0f;
    plugin.linkDistance = linkDistance;
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(repeats));
    allocations = 0;
    for (int r = 0; r < repeats + 5; ++r) {
        const long before = g_allocations.load();
        const auto t = Clock::now();
        plugin.update();
        const int count = plugin.activeCount();
        if (part == CpuPart::MotionAndSearch)
            searchOfPlugin(plugin, count);
        else if (part == CpuPart::MotionAndFullSort)
            searchByFullSort(plugin, count);
        const double ms = msSince(t);
        const long allocated = g_allocations.load() - before;
        if (r >= 5) { // the first steps warm the caches
            samples.push_back(ms);
            allocations += allocated;
        }
    }
    plugin.exit();
    return statsOf(samples);
}

void printRow(const char* name, const Stats& s, double baseline)
{
    if (s.samples == 0) {
        std::printf("%-40s %10s %10s %10s\n", name, "-", "-", "-");
        return;
    }
    char ratio[32] = "-";
    if (baseline > 0)
        std::snprintf(ratio, sizeof ratio, "%.2fx", s.median / baseline);
    std::printf("%-40s %10.3f %10.3f %10s   (%d samples)\n", name, s.median, s.p95, ratio, s.samples);
}

} // namespace

int main(int argc, char** argv)
{
    t_countAllocations = true; // the host thread, on which the plug-in runs
    int frames = 30;
    int width = 1280, height = 720;
    bool cpuOnly = false;
    int repeats = kCpuRepeats;
    std::vector<float> quorifyValues = {10.0f, 40.0f};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            frames = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc)
            std::sscanf(argv[++i], "%dx%d", &width, &height);
        else if (std::strcmp(argv[i], "--cpu-only") == 0)
            cpuOnly = true;
        else if (std::strcmp(argv[i], "--repeats") == 0 && i + 1 < argc)
            repeats = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--quorify") == 0 && i + 1 < argc)
            quorifyValues = {static_cast<float>(std::atof(argv[++i]))};
        else {
            std::fprintf(stderr, "usage: %s [--frames N] [--size WxH] [--cpu-only] [--repeats N] [--quorify Q]\n",
                         argv[0]);
            return 2;
        }
    }

    std::string error;
    std::unique_ptr<kxhost::HeadlessGL> gl = kxhost::HeadlessGL::create(error);
    if (!gl) {
        std::fprintf(stderr, "no GL context: %s\n", error.c_str());
        return 1;
    }
    kxhost::Framebuffer target;
    if (!target.create(width, height, error)) {
        std::fprintf(stderr, "no framebuffer: %s\n", error.c_str());
        return 1;
    }
    target.bind();
    glClearColor(0, 0, 0, 0);

    const PlugMain quorus = load(QUORUS_PLUGIN_PATH);
    if (quorus == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", QUORUS_PLUGIN_PATH, dlerror());
        return 1;
    }
    const PlugMain clearGen = load(CLEARGEN_PLUGIN_PATH);

    const Settings defaults;
    const Settings heaviest = {{1, 1.0f}, {2, 1.0f}, {5, 1.0f}, {7, 1.0f}};

    std::printf("GL: %s, %s (%s)\n", gl->renderer().c_str(), gl->version().c_str(), gl->platformName());

    // The CPU part: the motion step alone, and with each search for every Quorify asked for.
    struct CpuCase {
        float quorify;
        Stats fullSort;
        Stats search;
        long searchAllocations = 0;
    };
    long unused = 0;
    const Stats cpuMotion = cpuStep(10.0f, CpuPart::MotionOnly, repeats, unused);
    std::vector<CpuCase> cpuCases;
    for (float q : quorifyValues) {
        CpuCase c{q, {}, {}};
        c.fullSort = cpuStep(q, CpuPart::MotionAndFullSort, repeats, unused);
        c.search = cpuStep(q, CpuPart::MotionAndSearch, repeats, c.searchAllocations);
        cpuCases.push_back(c);
    }
    auto printCpuRows = [&] {
        std::printf("CPU, 400 particles (ratio: to the full-sort search of the same Quorify)\n");
        printRow("CPU motion step alone", cpuMotion, 0);
        for (const CpuCase& c : cpuCases) {
            char name[64];
            std::snprintf(name, sizeof name, "CPU motion+full-sort search, Quorify %g", static_cast<double>(c.quorify));
            printRow(name, c.fullSort, c.fullSort.median);
            std::snprintf(name, sizeof name, "CPU motion+search, 400, Quorify %g", static_cast<double>(c.quorify));
            printRow(name, c.search, c.fullSort.median);
        }
    };
    if (cpuOnly) {
        std::printf("\n%-40s %10s %10s %10s\n", "case", "median ms", "p95 ms", "ratio");
        printCpuRows();
        return 0;
    }

    std::printf("frames at %dx%d, up to %d per case after %d warm-up frames\n\n", width, height, frames,
                kWarmupFrames);
    Stats base;
    if (clearGen != nullptr)
        base = frameTimes(clearGen, {}, width, height, target.id(), frames);
    const Stats plain = frameTimes(quorus, defaults, width, height, target.id(), frames);
    const Stats heavy = frameTimes(quorus, heaviest, width, height, target.id(), frames);

    std::printf("%-40s %10s %10s %10s\n", "case", "median ms", "p95 ms", "ratio");
    if (clearGen != nullptr)
        printRow("ClearGen baseline frame", base, base.median);
    else
        std::printf("%-40s (skipped: %s not built)\n", "ClearGen baseline frame", CLEARGEN_PLUGIN_PATH);
    printRow("Quorus frame, defaults", plain, base.median);
    printRow("Quorus frame, heaviest", heavy, base.median);
    printCpuRows();

    // Allocation counts do not depend on the picture size: measured small to keep the run short.
    kxhost::Framebuffer small;
    if (!small.create(160, 90, error)) {
        std::fprintf(stderr, "no framebuffer: %s\n", error.c_str());
        return 1;
    }
    small.bind();
    const long beforeInstance = g_allocations.load();
    { Host probe(quorus, 160, 90, small.id()); }
    const long instanceAllocations = g_allocations.load() - beforeInstance;
    const double allocDefault = allocationsPerFrame(quorus, defaults, small.id(), 160, 90, kAllocationFrames);
    const double allocHeavy = allocationsPerFrame(quorus, heaviest, small.id(), 160, 90, kAllocationFrames / 5);

    std::printf("\nallocations (operator new) per steady frame through plugMain: defaults %.2f, heaviest %.2f\n",
                allocDefault, allocHeavy);
    for (const CpuCase& c : cpuCases)
        std::printf("allocations in the CPU step over %d steps, Quorify %g: %ld\n", repeats,
                    static_cast<double>(c.quorify), c.searchAllocations);
    std::printf("(counting check: one instantiation and release allocated %ld times)\n", instanceAllocations);
    return 0;
}
