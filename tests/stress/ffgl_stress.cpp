// ffgl_stress: a host that works one FFGL plug-in hard, in one headless GL context, and checks
// that it keeps rendering. Run alone, under the sanitizers (CTest) or under valgrind's memcheck
// (scripts/leakcheck.sh), where it shows that no cycle leaks.
//
//   ffgl_stress PLUGIN.so [--cycles N] [--instances N] [--rounds N] [--size N] [--max-size N]
//                         [--set NAME=VALUE]... [--cap NAME=VALUE]... [--skip PHASE]...
//
// Phases, each checked frame by frame (code 17 succeeds, no GL error, the host's matrix mode and
// matrix and attribute stack depths as they were):
//   cycles     N times: instantiate at size x size, two frames, de-instantiate.
//   alternate  `instances` instances take turns rendering into one framebuffer, `rounds` times.
//   flood      the same instances get every extreme host value (NaN, infinities, huge, negative,
//              0, 1, denormals) on every parameter, a different mix per instance and round, with
//              a frame after each mix. Every write of a value within 0..1 must read back (code 9)
//              as itself, finite and within 0..1; booleans and events read back as 0 or 1;
//              display texts (code 7) must be terminated and bounded. Afterwards the starting
//              values are restored and every instance must render a picture with lit pixels
//              again.
//   extremes   each extreme value alone on each parameter (the others at their starting values)
//              for one frame, spread over the instances; then the parameter is restored and the
//              instance must show lit pixels again within a few frames: one bad value must not
//              spoil an instance for good.
//   viewports  1x1, MxM, Mx1 and 1xM, M the largest size the context allows (GL_MAX_VIEWPORT_DIMS,
//              GL_MAX_RENDERBUFFER_SIZE) but at most --max-size.
// Values out of 0..1 read back unclamped, as hosts may drive parameters past their range; they
// are only checked to be float words.
//
// A plug-in that needs input frames (an effect) gets that many with every frame: one host texture,
// a colourful picture in the lower left of a larger, padded texture. At the end the texture must
// hold what the host put there.
//
// --skip leaves a phase out (skipping alternate skips flood and extremes too: they work on its
// instances). --set gives a parameter a starting host value in every instance; --cap keeps the flood from
// sending a parameter more than VALUE (infinities included; NaN and negatives still go), which
// bounds the cost of a frame (Quorus: "Particles" decides how many particle pairs are drawn).
//
// Exit status: 0 all checks passed, 1 a check failed, 2 bad usage or an unusable plug-in, 77 no
// EGL display on this machine (CTest counts that as skipped). Progress is shown on a terminal.
#include "frame/HostContext.h"
#include "frame/Progress.h"
#include "plugin/PluginDescription.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginLoader.h"

#include "HeadlessGL.h"

#include <GL/gl.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using ffglhost::Plugin;
using ffglhost::PluginInstance;
using ffglhost::Status;

constexpr int kExitSkipped = 77;
constexpr int kFramesPerCycle = 2;
// Frames an instance gets to show lit pixels again after the flood (or at a new viewport).
constexpr int kRecoveryFrames = 5;
// Failures described in full; the rest are only counted.
constexpr int kMaxReportedFailures = 20;
// Most input frames this host hands a frame, and the picture and texture sizes of the input.
constexpr uint32_t kMaxInputs = 4;
constexpr int kInputWidth = 48;
constexpr int kInputHeight = 27;
constexpr int kInputTextureSize = 64;

struct Options {
    std::string plugin;
    int cycles = 1000;
    int instances = 8;
    int rounds = 10;
    int size = 32;
    // An RGBA8 colour and a depth buffer of 4096 x 4096 take 128 MiB; the 16384 that llvmpipe
    // allows would take 2 GiB and prove nothing more.
    int maxSize = 4096;
    std::vector<std::pair<std::string, float>> sets;
    std::vector<std::pair<std::string, float>> caps;
    std::vector<std::string> skipped;

    bool runs(const char* phase) const
    {
        return std::find(skipped.begin(), skipped.end(), phase) == skipped.end();
    }
};

float floatFromBits(uint32_t bits)
{
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// The flood's values, in the order they are handed out.
std::vector<float> floodValues()
{
    return {std::numeric_limits<float>::quiet_NaN(),
            std::numeric_limits<float>::infinity(),
            -std::numeric_limits<float>::infinity(),
            FLT_MAX,
            -FLT_MAX,
            1.0e30f,
            -1.0e30f,
            -1.0f,
            0.0f,
            1.0f,
            0.5f,
            FLT_MIN,
            floatFromBits(0x00000001u), // smallest denormal
            floatFromBits(0x007FFFFFu), // largest denormal
            floatFromBits(0x80000001u), // negative denormal
            2.0f,
            -0.5f,
            floatFromBits(0x7F800001u),  // signalling NaN
            floatFromBits(0xFFC00000u)}; // negative NaN
}

bool inUnitRange(float v) { return std::isfinite(v) && v >= 0.0f && v <= 1.0f; }

// The host's input texture: a colourful picture in the lower left of a padded texture, handed as
// each of `count` input frames. Owns its GL texture. [GL context current]
class HostInputs {
public:
    explicit HostInputs(uint32_t count)
    {
        if (count == 0)
            return;
        texels_.resize(static_cast<std::size_t>(kInputTextureSize) * kInputTextureSize * 4);
        for (int y = 0; y < kInputTextureSize; ++y)
            for (int x = 0; x < kInputTextureSize; ++x) {
                unsigned char* t = &texels_[(static_cast<std::size_t>(y) * kInputTextureSize + x) * 4];
                t[0] = static_cast<unsigned char>(x * 5);
                t[1] = static_cast<unsigned char>(y * 9);
                t[2] = static_cast<unsigned char>(255 - x * 3);
                t[3] = 255;
            }
        glGenTextures(1, &name_);
        glBindTexture(GL_TEXTURE_2D, name_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kInputTextureSize, kInputTextureSize, 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, texels_.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        const FFGLTextureStructTag record{kInputWidth, kInputHeight, kInputTextureSize, kInputTextureSize, name_};
        records_.assign(count, record);
        for (FFGLTextureStructTag& r : records_)
            pointers_.push_back(&r);
    }
    ~HostInputs()
    {
        if (name_ != 0)
            glDeleteTextures(1, &name_);
    }
    HostInputs(const HostInputs&) = delete;
    HostInputs& operator=(const HostInputs&) = delete;

    // The frame record's list and count (null and 0 for a plug-in that needs no input).
    FFGLTextureStructTag** list() { return pointers_.empty() ? nullptr : pointers_.data(); }
    uint32_t count() const { return static_cast<uint32_t>(pointers_.size()); }
    // Whether the texture still holds what the host put there.
    bool unchanged() const
    {
        if (name_ == 0)
            return true;
        std::vector<unsigned char> now(texels_.size());
        glBindTexture(GL_TEXTURE_2D, name_);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, now.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return now == texels_;
    }

private:
    GLuint name_ = 0;
    std::vector<unsigned char> texels_;
    std::vector<FFGLTextureStructTag> records_;
    std::vector<FFGLTextureStructTag*> pointers_;
};

class Stress {
public:
    Stress(const Options& options, Plugin& plugin, const ffglhost::PluginDescription& d)
        : opt_(options), plugin_(plugin), desc_(d), inputs_(d.caps.minInputs)
    {
    }

    // Runs every phase; true when every check passed.
    bool run();

private:
    struct Phase {
        const char* name;
        int frames = 0;
        int litFrames = 0;
        int failures = 0;
    };

    void fail(Phase& phase, const std::string& what);
    // Code 17 into `fb` with the usual checks; counts the frame. When `lit` is given the frame
    // is read back (if small enough) and `lit` tells whether any pixel is not black.
    void frame(Phase& phase, PluginInstance& instance, const kxhost::Framebuffer& fb, bool* lit);
    // Instantiates at width x height and applies the --set values.
    bool create(Phase& phase, PluginInstance& instance, int width, int height);
    void applyStartValues(Phase& phase, PluginInstance& instance);
    // The host value the parameter `p` starts from: its default, or the --set value.
    float startValue(const ffglhost::ParameterInfo& p) const;
    float capped(const ffglhost::ParameterInfo& p, float v) const;
    // Code 8, then code 9 and code 7 with the read-back checks.
    void setAndCheck(Phase& phase, PluginInstance& instance, const ffglhost::ParameterInfo& p, float v);
    // Renders until a frame shows lit pixels, at most kRecoveryFrames; false if none did.
    bool rendersLit(Phase& phase, PluginInstance& instance, const kxhost::Framebuffer& fb);

    using Instances = std::vector<std::unique_ptr<PluginInstance>>;

    void cycles();
    // Makes the shared instances and runs the phases that use them: alternate, flood, extremes.
    void sharedInstances();
    void alternate(Phase& phase, Instances& instances, const kxhost::Framebuffer& fb);
    void flood(Phase& phase, Instances& instances, const kxhost::Framebuffer& fb);
    void extremes(Phase& phase, Instances& instances, const kxhost::Framebuffer& fb);
    void viewports();
    bool framebuffer(Phase& phase, kxhost::Framebuffer& fb, int width, int height);

    const Options& opt_;
    Plugin& plugin_;
    const ffglhost::PluginDescription& desc_;
    HostInputs inputs_;
    std::vector<Phase> phases_;
    std::vector<unsigned char> pixels_;
    int reported_ = 0;
};

void Stress::fail(Phase& phase, const std::string& what)
{
    ++phase.failures;
    if (++reported_ <= kMaxReportedFailures)
        std::fprintf(stderr, "ffgl_stress: %s: %s\n", phase.name, what.c_str());
}

void queryStacks(GLint out[5])
{
    glGetIntegerv(GL_MATRIX_MODE, &out[0]);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &out[1]);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &out[2]);
    glGetIntegerv(GL_TEXTURE_STACK_DEPTH, &out[3]);
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &out[4]);
}

void Stress::frame(Phase& phase, PluginInstance& instance, const kxhost::Framebuffer& fb, bool* lit)
{
    ++phase.frames;
    fb.bind();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    while (glGetError() != GL_NO_ERROR) {
    }
    GLint before[5] = {};
    queryStacks(before);
    const Status s = instance.processFrame(fb.id(), inputs_.list(), inputs_.count());
    const GLenum error = glGetError();
    GLint after[5] = {};
    queryStacks(after);
    if (!s.ok())
        fail(phase, s.message());
    if (error != GL_NO_ERROR) {
        char text[64];
        std::snprintf(text, sizeof text, "GL error 0x%04X after a frame", error);
        fail(phase, text);
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    if (std::memcmp(before, after, sizeof before) != 0)
        fail(phase, "a frame changed the host's matrix mode or stack depths");
    if (lit == nullptr)
        return;
    *lit = false;
    if (!fb.readPixels(pixels_)) {
        fail(phase, "reading the frame back failed");
        return;
    }
    for (std::size_t i = 0; i < pixels_.size() && !*lit; i += 4)
        *lit = pixels_[i] != 0 || pixels_[i + 1] != 0 || pixels_[i + 2] != 0;
    if (*lit)
        ++phase.litFrames;
}

float Stress::startValue(const ffglhost::ParameterInfo& p) const
{
    for (const auto& s : opt_.sets)
        if (s.first == p.name)
            return s.second;
    return p.defaultValue;
}

float Stress::capped(const ffglhost::ParameterInfo& p, float v) const
{
    for (const auto& c : opt_.caps)
        if (c.first == p.name && v > c.second)
            return c.second;
    return v;
}

void Stress::applyStartValues(Phase& phase, PluginInstance& instance)
{
    for (const ffglhost::ParameterInfo& p : desc_.parameters)
        if (ffglhost::takesHostValue(p))
            setAndCheck(phase, instance, p, startValue(p));
}

bool Stress::create(Phase& phase, PluginInstance& instance, int width, int height)
{
    const Status s = instance.create(width, height);
    if (!s.ok()) {
        fail(phase, s.message());
        return false;
    }
    applyStartValues(phase, instance);
    return true;
}

void Stress::setAndCheck(Phase& phase, PluginInstance& instance, const ffglhost::ParameterInfo& p, float v)
{
    const bool numeric = p.type == FF_TYPE_STANDARD || p.type == FF_TYPE_BOOLEAN || p.type == FF_TYPE_EVENT;
    const Status s = instance.setParameter(p.index, v);
    if (numeric && !s.ok()) {
        fail(phase, "parameter \"" + p.name + "\" refused a value: " + s.message());
        return;
    }
    float r = 0.0f;
    const Status g = instance.getParameter(p.index, r);
    if (numeric && !g.ok())
        fail(phase, "parameter \"" + p.name + "\" cannot be read back: " + g.message());
    if (g.ok() && p.type == FF_TYPE_STANDARD && inUnitRange(v) &&
        !(inUnitRange(r) && std::fabs(r - v) <= 1.0e-6f)) {
        char text[160];
        std::snprintf(text, sizeof text, "parameter \"%s\" set to %.9g reads back as %.9g",
                      p.name.c_str(), static_cast<double>(v), static_cast<double>(r));
        fail(phase, text);
    }
    if (g.ok() && (p.type == FF_TYPE_BOOLEAN || p.type == FF_TYPE_EVENT) && r != 0.0f && r != 1.0f)
        fail(phase, "parameter \"" + p.name + "\" reads back as neither 0 nor 1");

    // The display text, copied out with the host's bound: reaching it means no terminator.
    std::string text;
    const Status t = instance.parameterDisplay(p.index, text);
    if (numeric && !t.ok())
        fail(phase, "parameter \"" + p.name + "\" has no display text: " + t.message());
    if (t.ok() && text.size() >= ffglhost::kMaxPluginTextLength)
        fail(phase, "parameter \"" + p.name + "\" has an unterminated or overlong display text");
}

bool Stress::rendersLit(Phase& phase, PluginInstance& instance, const kxhost::Framebuffer& fb)
{
    for (int i = 0; i < kRecoveryFrames; ++i) {
        bool lit = false;
        frame(phase, instance, fb, &lit);
        if (lit)
            return true;
    }
    return false;
}

bool Stress::framebuffer(Phase& phase, kxhost::Framebuffer& fb, int width, int height)
{
    std::string error;
    if (fb.create(width, height, error)) {
        // As in a host, the framebuffer the instances will draw into is bound while they are
        // created: effects that make render targets check them against it.
        fb.bind();
        return true;
    }
    fail(phase, "no " + std::to_string(width) + "x" + std::to_string(height) + " host framebuffer: " + error);
    return false;
}

void Stress::cycles()
{
    phases_.push_back({"cycles"});
    Phase& phase = phases_.back();
    kxhost::Framebuffer fb;
    if (!framebuffer(phase, fb, opt_.size, opt_.size))
        return;
    ffglhost::Progress progress(opt_.cycles);
    for (int c = 0; c < opt_.cycles; ++c) {
        PluginInstance instance(plugin_);
        if (create(phase, instance, opt_.size, opt_.size)) {
            for (int f = 0; f < kFramesPerCycle; ++f) {
                bool lit = false;
                frame(phase, instance, fb, &lit);
            }
            const Status s = instance.destroy();
            if (!s.ok())
                fail(phase, s.message());
        }
        progress.update(c + 1);
    }
    progress.finish();
    if (opt_.cycles > 0 && phase.litFrames == 0)
        fail(phase, "no frame of any cycle showed a lit pixel");
}

void Stress::sharedInstances()
{
    phases_.push_back({"alternate"});
    kxhost::Framebuffer fb;
    if (!framebuffer(phases_.back(), fb, opt_.size, opt_.size))
        return;
    Instances instances;
    for (int k = 0; k < opt_.instances; ++k) {
        auto instance = std::make_unique<PluginInstance>(plugin_);
        if (create(phases_.back(), *instance, opt_.size, opt_.size))
            instances.push_back(std::move(instance));
    }
    if (instances.empty())
        return;
    alternate(phases_.back(), instances, fb);
    if (opt_.runs("flood")) {
        phases_.push_back({"flood"});
        flood(phases_.back(), instances, fb);
    }
    if (opt_.runs("extremes")) {
        phases_.push_back({"extremes"});
        extremes(phases_.back(), instances, fb);
    }
    for (auto& instance : instances) {
        const Status s = instance->destroy();
        if (!s.ok())
            fail(phases_.back(), s.message());
    }
}

void Stress::alternate(Phase& phase, Instances& instances, const kxhost::Framebuffer& fb)
{
    std::vector<int> litCount(instances.size(), 0);
    for (int r = 0; r < opt_.rounds; ++r) {
        for (std::size_t k = 0; k < instances.size(); ++k) {
            bool lit = false;
            frame(phase, *instances[k], fb, &lit);
            litCount[k] += lit ? 1 : 0;
        }
    }
    for (std::size_t k = 0; k < instances.size(); ++k)
        if (opt_.rounds > 0 && litCount[k] == 0)
            fail(phase, "instance " + std::to_string(k) + " never showed a lit pixel");
}

void Stress::flood(Phase& phase, Instances& instances, const kxhost::Framebuffer& fb)
{
    const std::vector<float> values = floodValues();
    const std::size_t nValues = values.size();
    ffglhost::Progress progress(static_cast<int>(nValues * instances.size()));
    for (std::size_t r = 0; r < nValues; ++r) {
        for (std::size_t k = 0; k < instances.size(); ++k) {
            // Parameter i of instance k gets value r + k + i: every parameter of every instance
            // sees every value, in a different company each time.
            for (std::size_t i = 0; i < desc_.parameters.size(); ++i) {
                const ffglhost::ParameterInfo& p = desc_.parameters[i];
                if (ffglhost::takesHostValue(p))
                    setAndCheck(phase, *instances[k], p, capped(p, values[(r + k + i) % nValues]));
            }
            frame(phase, *instances[k], fb, nullptr);
            progress.update(static_cast<int>(r * instances.size() + k + 1));
        }
    }
    progress.finish();
    for (std::size_t k = 0; k < instances.size(); ++k) {
        applyStartValues(phase, *instances[k]);
        if (!rendersLit(phase, *instances[k], fb))
            fail(phase, "instance " + std::to_string(k) + " shows no lit pixel after the flood");
    }
}

void Stress::extremes(Phase& phase, Instances& instances, const kxhost::Framebuffer& fb)
{
    std::size_t turn = 0;
    for (const ffglhost::ParameterInfo& p : desc_.parameters) {
        if (!ffglhost::takesHostValue(p))
            continue;
        for (float v : floodValues()) {
            std::unique_ptr<PluginInstance>& slot = instances[turn++ % instances.size()];
            const float sent = capped(p, v);
            setAndCheck(phase, *slot, p, sent);
            frame(phase, *slot, fb, nullptr);
            setAndCheck(phase, *slot, p, startValue(p));
            if (rendersLit(phase, *slot, fb))
                continue;
            char text[160];
            std::snprintf(text, sizeof text, "no lit pixel after one frame with \"%s\" at %g",
                          p.name.c_str(), static_cast<double>(sent));
            fail(phase, text);
            // A fresh instance takes its place, so that each spoiling value is told apart.
            slot = std::make_unique<PluginInstance>(plugin_);
            if (!create(phase, *slot, opt_.size, opt_.size))
                return;
        }
    }
}

void Stress::viewports()
{
    phases_.push_back({"viewports"});
    Phase& phase = phases_.back();
    GLint dims[2] = {0, 0};
    GLint renderbuffer = 0;
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, dims);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    const int maxW = std::min({dims[0], renderbuffer, opt_.maxSize});
    const int maxH = std::min({dims[1], renderbuffer, opt_.maxSize});
    const int sizes[][2] = {{1, 1}, {maxW, maxH}, {maxW, 1}, {1, maxH}};
    for (const auto& size : sizes) {
        kxhost::Framebuffer fb;
        if (!framebuffer(phase, fb, size[0], size[1]))
            continue;
        PluginInstance instance(plugin_);
        if (!create(phase, instance, size[0], size[1]))
            continue;
        const bool big = size[0] > 1 && size[1] > 1;
        // Only the big square has room for a picture to look at.
        if (big && !rendersLit(phase, instance, fb))
            fail(phase, std::to_string(size[0]) + "x" + std::to_string(size[1]) + " frames show no lit pixel");
        if (!big)
            for (int f = 0; f < kFramesPerCycle; ++f)
                frame(phase, instance, fb, nullptr);
        const Status s = instance.destroy();
        if (!s.ok())
            fail(phase, s.message());
    }
    std::printf("viewports: 1x1, %dx%d, %dx1, 1x%d (context allows %dx%d viewports, %d renderbuffers)\n",
                maxW, maxH, maxW, maxH, dims[0], dims[1], renderbuffer);
}

bool Stress::run()
{
    if (opt_.runs("cycles"))
        cycles();
    if (opt_.runs("alternate"))
        sharedInstances();
    if (opt_.runs("viewports"))
        viewports();
    if (inputs_.count() > 0) {
        phases_.push_back({"input"});
        if (!inputs_.unchanged())
            fail(phases_.back(), "the plug-in changed the host's input texture");
    }

    std::printf("%-10s %8s %8s %8s\n", "phase", "frames", "lit", "failures");
    int failures = 0;
    for (const Phase& p : phases_) {
        std::printf("%-10s %8d %8d %8d\n", p.name, p.frames, p.litFrames, p.failures);
        failures += p.failures;
    }
    std::printf("ffgl_stress: %s: %d cycles, %d instances x %d rounds, %s\n", plugin_.path().c_str(),
                opt_.cycles, opt_.instances, opt_.rounds, failures == 0 ? "passed" : "FAILED");
    return failures == 0;
}

bool parseInt(const char* text, int lo, int hi, int& out)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < lo || v > hi)
        return false;
    out = static_cast<int>(v);
    return true;
}

bool parseNamedValue(const char* text, std::vector<std::pair<std::string, float>>& out)
{
    const char* eq = std::strrchr(text, '=');
    if (eq == nullptr || eq == text)
        return false;
    char* end = nullptr;
    const float v = std::strtof(eq + 1, &end);
    if (end == eq + 1 || *end != '\0')
        return false;
    out.emplace_back(std::string(text, eq), v);
    return true;
}

int usage(const char* why)
{
    std::fprintf(stderr,
                 "ffgl_stress: %s\nusage: ffgl_stress PLUGIN.so [--cycles N] [--instances N] [--rounds N] "
                 "[--size N] [--max-size N] [--set NAME=VALUE]... [--cap NAME=VALUE]... [--skip PHASE]...\n",
                 why);
    return ffglhost::kExitBadInput;
}

} // namespace

int main(int argc, char** argv)
{
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--cycles" && hasValue && parseInt(argv[i + 1], 0, 1000000, opt.cycles)) {
            ++i;
        } else if (a == "--instances" && hasValue && parseInt(argv[i + 1], 1, 64, opt.instances)) {
            ++i;
        } else if (a == "--rounds" && hasValue && parseInt(argv[i + 1], 0, 100000, opt.rounds)) {
            ++i;
        } else if (a == "--size" && hasValue && parseInt(argv[i + 1], 1, 4096, opt.size)) {
            ++i;
        } else if (a == "--max-size" && hasValue && parseInt(argv[i + 1], 1, 65536, opt.maxSize)) {
            ++i;
        } else if (a == "--set" && hasValue && parseNamedValue(argv[i + 1], opt.sets)) {
            ++i;
        } else if (a == "--cap" && hasValue && parseNamedValue(argv[i + 1], opt.caps)) {
            ++i;
        } else if (a == "--skip" && hasValue) {
            opt.skipped.push_back(argv[++i]);
        } else if (a.rfind("--", 0) != 0 && opt.plugin.empty()) {
            opt.plugin = a;
        } else {
            return usage(("bad argument '" + a + "'").c_str());
        }
    }
    if (opt.plugin.empty())
        return usage("no plug-in given");

    if (!kxhost::HeadlessGL::displayAvailable()) {
        std::printf("ffgl_stress: no EGL display on this machine: skipped\n");
        return kExitSkipped;
    }
    std::unique_ptr<kxhost::HeadlessGL> gl;
    Status s = ffglhost::openContext(gl);
    if (!s.ok()) {
        std::fprintf(stderr, "%s\n", s.message().c_str());
        return s.exitCode();
    }
    int result = ffglhost::kExitOk;
    {
        std::unique_ptr<Plugin> plugin;
        ffglhost::PluginDescription description;
        s = Plugin::open(opt.plugin, plugin);
        if (s.ok())
            s = ffglhost::describe(*plugin, description);
        if (s.ok())
            s = ffglhost::checkOpenGL(description, opt.plugin);
        if (!s.ok()) {
            std::fprintf(stderr, "%s\n", s.message().c_str());
            return s.exitCode();
        }
        if (description.caps.minInputs > kMaxInputs)
            return usage(("the plug-in needs " + std::to_string(description.caps.minInputs) +
                          " input frames; this host hands at most " + std::to_string(kMaxInputs))
                             .c_str());
        for (const auto& named : opt.sets)
            if (ffglhost::findParameter(description, named.first) == nullptr)
                return usage(("no parameter named '" + named.first + "'").c_str());
        Stress stress(opt, *plugin, description);
        if (!stress.run())
            result = ffglhost::kExitFailed;
    } // the plug-in is de-initialised and closed here, with the context still current
    return result;
}
