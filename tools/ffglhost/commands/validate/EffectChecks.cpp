// The validator's checks for effects (see EffectChecks.h).
#include "commands/validate/EffectChecks.h"

#include "commands/validate/FrameDifference.h"
#include "commands/validate/WatchedCall.h"
#include "inputs/HostTexture.h"
#include "inputs/Patterns.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace ffglhost {

namespace {

constexpr int kCountFrames = 2;
// Code 16 is asked about at most this many inputs below the maximum.
constexpr uint32_t kMostStatusQueries = 64;
constexpr unsigned kFreshProcessSeed = 1;

std::string inputsText(uint32_t n) { return std::to_string(n) + (n == 1 ? " input" : " inputs"); }

std::string wordText(FFWord w) { return w == FF_FAIL ? "failure" : std::to_string(w); }

// Still pictures in host textures of one layout, for the picture checks.
class StillInputs {
public:
    Status create(const std::vector<Picture>& pictures, TextureLayout layout)
    {
        for (const Picture& p : pictures) {
            textures_.push_back(std::make_unique<HostTexture>());
            Status s = textures_.back()->create(p.width, p.height, layout);
            if (s.ok())
                s = textures_.back()->upload(p);
            if (!s.ok())
                return s;
        }
        return Status();
    }
    FrameInputs records() const
    {
        FrameInputs out;
        for (const std::unique_ptr<HostTexture>& t : textures_)
            out.push_back(t->record());
        return out;
    }
    const FFGLTextureStructTag& record(std::size_t slot) const { return *textures_[slot]->record(); }

private:
    std::vector<std::unique_ptr<HostTexture>> textures_;
};

// Code 18 of `instance`, watched; false (with `c` failed) when it fails.
bool createWatched(ValidationRig& rig, PluginInstance& instance, const std::string& what, Check& c)
{
    Status s;
    const Watch w = watched(rig.scene(0), GL_MODELVIEW, [&] { s = instance.create(rig.width(), rig.height()); });
    if (!s.ok()) {
        c.fail(what + ": code 18 (instantiate GL) returned failure");
        return false;
    }
    failAll(w, what + ": code 18", c);
    return true;
}

void destroyWatched(ValidationRig& rig, PluginInstance& instance, const std::string& what, Check& c)
{
    Status s;
    const Watch w = watched(rig.scene(0), GL_MODELVIEW, [&] { s = instance.destroy(); });
    if (!s.ok())
        c.fail(what + ": code 19 (de-instantiate GL) returned failure");
    failAll(w, what + ": code 19", c);
}

// The frame a fresh instance ends with after kPictureFrames frames of `inputs`, in `frame`;
// false (with `c` failed) when a call failed or the frame could not be read.
bool renderFresh(const Plugin& plugin, ValidationRig& rig, FrameInputs inputs, const std::string& what, Check& c,
                 std::vector<unsigned char>& frame)
{
    rig.clear(0);
    std::srand(kFreshProcessSeed);
    PluginInstance instance(plugin);
    if (!createWatched(rig, instance, what, c))
        return false;
    bool ok = true;
    for (int f = 1; f <= kPictureFrames && ok; ++f)
        ok = watchedFrame(rig, 0, instance, inputs, what + ", frame " + std::to_string(f), c);
    if (ok && !rig.read(0, frame)) {
        c.fail(what + ": the host could not read the frame back");
        ok = false;
    }
    destroyWatched(rig, instance, what, c);
    return ok && !c.failed();
}

bool sameFrame(const ValidationRig& rig, const std::vector<unsigned char>& a, const std::vector<unsigned char>& b,
               FrameDifference* difference = nullptr)
{
    const FrameDifference d = compareFrames(a, b, rig.width(), rig.height(), kSameLevels);
    if (difference != nullptr)
        *difference = d;
    return d.differing == 0;
}

// Skips `c` unless the effect gives the same frame twice for the same inputs.
bool skippedAsUnsteady(const ValidationRig& rig, const std::vector<unsigned char>& a,
                       const std::vector<unsigned char>& b, Check& c)
{
    FrameDifference d;
    if (sameFrame(rig, a, b, &d))
        return false;
    c.skip("two fresh instances render the same inputs differently (the effect may follow the clock): " +
           d.text(kSameLevels));
    return true;
}

std::string sizeText(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

// The picture most unlike `p` among its negative and two patterns, and what it is.
Picture alternativePicture(const Picture& p, std::string& name)
{
    Picture negative = p;
    for (std::size_t i = 0; i < negative.rgba.size(); ++i)
        if (i % 4 != 3)
            negative.rgba[i] = static_cast<unsigned char>(255 - negative.rgba[i]);
    std::vector<std::pair<Picture, std::string>> candidates;
    candidates.emplace_back(std::move(negative), "its negative");
    for (Pattern pattern : {Pattern::Card, Pattern::Bars})
        candidates.emplace_back(drawPattern(pattern, p.width, p.height, 1),
                                std::string("pattern:") + patternName(pattern));
    std::size_t best = 0;
    long long bestDistance = -1;
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        long long distance = 0;
        for (std::size_t i = 0; i < p.rgba.size(); ++i)
            distance += std::abs(static_cast<int>(p.rgba[i]) - static_cast<int>(candidates[k].first.rgba[i]));
        if (distance > bestDistance) {
            bestDistance = distance;
            best = k;
        }
    }
    name = candidates[best].second;
    return candidates[best].first;
}

void checkInputStatus(const Plugin& plugin, const PluginInstance& instance, uint32_t maximum, Check& c)
{
    const std::string below = ", below the maximum " + std::to_string(maximum) + " (0 or 1 expected)";
    for (uint32_t i = 0; i < std::min(maximum, kMostStatusQueries); ++i) {
        const FFWord w = plugin.call(FF_GETINPUTSTATUS, i, instance.id());
        if (w != 0 && w != 1)
            c.fail("code 16 (get input status) answers " + wordText(w) + " for input " + std::to_string(i) + below);
    }
    const FFWord w = plugin.call(FF_GETINPUTSTATUS, maximum, instance.id());
    if (w != FF_FAIL)
        c.fail("code 16 (get input status) answers " + wordText(w) + " for input " + std::to_string(maximum) +
               ", one past the last of its " + inputsText(maximum) + " (failure expected)");
}

} // namespace

void checkInputCounts(const Plugin& plugin, ValidationRig& rig, const ValidatedMetadata& m, Check& c)
{
    if (m.minInputs > m.maxInputs) {
        c.skip("the minimum input count " + std::to_string(m.minInputs) + " is above the maximum " +
               std::to_string(m.maxInputs));
        return;
    }
    const uint32_t top = std::min(m.maxInputs, static_cast<uint32_t>(rig.slots()));
    if (top < m.minInputs) {
        c.skip("the minimum input count " + std::to_string(m.minInputs) + " is more than this host hands (" +
               std::to_string(rig.slots()) + ")");
        return;
    }
    bool statusAsked = false;
    for (uint32_t n = m.minInputs; n <= top; ++n) {
        const std::string with = "with " + inputsText(n);
        PluginInstance instance(plugin);
        if (!createWatched(rig, instance, "the instance " + with, c))
            continue;
        for (int f = 1; f <= kCountFrames; ++f)
            watchedFrame(rig, 0, instance, n, "frame " + std::to_string(f) + " " + with, c);
        if (!statusAsked)
            checkInputStatus(plugin, instance, m.maxInputs, c);
        statusAsked = true;
        destroyWatched(rig, instance, "the instance " + with, c);
    }
    // Fewer than the minimum: no host should send such a frame, and a plug-in should refuse it
    // rather than draw from inputs it does not have; what it must not do is break anything.
    for (uint32_t n = 0; n < m.minInputs; ++n) {
        const std::string with = "the frame with " + inputsText(n) + ", below the minimum " +
                                 std::to_string(m.minInputs);
        PluginInstance instance(plugin);
        if (!createWatched(rig, instance, "the instance for " + with, c))
            continue;
        FrameInputs inputs;
        Status s = rig.nextInputs(n, inputs);
        if (!s.ok()) {
            c.fail(with + ": the host's input source failed: " + s.message());
            continue;
        }
        const Watch w = watched(rig.scene(0), GL_MODELVIEW, inputs,
                                [&] { s = processFrame(instance, rig.framebufferId(0), inputs); });
        failAll(w, with, c);
        if (s.ok())
            c.warn(with + ", answered success instead of failure");
        watchedFrame(rig, 0, instance, m.minInputs, "the frame with " + inputsText(m.minInputs) + " after " + with,
                     c);
        destroyWatched(rig, instance, "the instance for " + with, c);
    }
}

void checkPaddedInputs(const Plugin& plugin, ValidationRig& rig, Check& c)
{
    const int w = rig.width();
    const int h = rig.height();
    const int hw = hardwareSize(w, TextureLayout::PowerOfTwo);
    const int hh = hardwareSize(h, TextureLayout::PowerOfTwo);
    if (hw == w && hh == h) {
        c.skip("at " + sizeText(w, h) + " a power-of-two texture has no padding (validate at another size)");
        return;
    }
    std::vector<Picture> pictures;
    for (std::size_t slot = 0; slot < rig.slots(); ++slot)
        pictures.push_back(rig.still(slot));
    StillInputs exact;
    StillInputs padded;
    Status s = exact.create(pictures, TextureLayout::Exact);
    if (s.ok())
        s = padded.create(pictures, TextureLayout::PowerOfTwo);
    if (!s.ok()) {
        c.fail("the host could not make the input textures: " + s.message());
        return;
    }
    std::vector<unsigned char> first;
    std::vector<unsigned char> inPadding;
    std::vector<unsigned char> second;
    if (!renderFresh(plugin, rig, exact.records(), "the exact inputs", c, first) ||
        !renderFresh(plugin, rig, padded.records(), "the padded inputs", c, inPadding) ||
        !renderFresh(plugin, rig, exact.records(), "the exact inputs again", c, second) ||
        skippedAsUnsteady(rig, first, second, c))
        return;
    const FrameDifference d = compareFrames(first, inPadding, w, h, kPaddedLevels);
    if (d.share() > kPaddedShare)
        c.warn("with " + sizeText(w, h) + " pictures in " + sizeText(hw, hh) + " textures, " + d.text(kPaddedLevels) +
               " from the exact textures' frame");
}

void checkUsesInputs(const Plugin& plugin, ValidationRig& rig, Check& c)
{
    std::vector<Picture> pictures;
    for (std::size_t slot = 0; slot < rig.slots(); ++slot)
        pictures.push_back(rig.still(slot));
    StillInputs given;
    Status s = given.create(pictures, TextureLayout::Exact);
    if (!s.ok()) {
        c.fail("the host could not make the input textures: " + s.message());
        return;
    }
    std::vector<unsigned char> first;
    std::vector<unsigned char> second;
    if (!renderFresh(plugin, rig, given.records(), "the first pictures", c, first) ||
        !renderFresh(plugin, rig, given.records(), "the first pictures again", c, second) ||
        skippedAsUnsteady(rig, first, second, c))
        return;
    for (std::size_t slot = 0; slot < pictures.size(); ++slot) {
        std::string name;
        std::vector<Picture> changed = pictures;
        changed[slot] = alternativePicture(pictures[slot], name);
        StillInputs other;
        s = other.create(changed, TextureLayout::Exact);
        if (!s.ok()) {
            c.fail("the host could not make the input textures: " + s.message());
            return;
        }
        const std::string input = "input " + std::to_string(slot);
        std::vector<unsigned char> frame;
        if (!renderFresh(plugin, rig, other.records(), name + " in " + input, c, frame))
            return;
        if (sameFrame(rig, first, frame))
            c.warn("the effect ignores its " + input + ": " + rig.sourceLabel(slot) + " and " + name +
                   " there give the same frame");
    }
}

} // namespace ffglhost
