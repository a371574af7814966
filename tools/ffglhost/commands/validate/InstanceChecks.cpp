// The validator's checks with GL (see InstanceChecks.h).
#include "commands/validate/InstanceChecks.h"

#include "commands/validate/EffectChecks.h"
#include "commands/validate/HostGLState.h"
#include "commands/validate/WatchedCall.h"
#include "plugin/PluginDescription.h"
#include "plugin/PluginInstance.h"

#include "HeadlessGL.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <string>

namespace ffglhost {

namespace {

constexpr int kStateFrames = 6;
constexpr int kSideBySideRounds = 3;
// Read-backs may pass through a plug-in's own range and back.
constexpr float kReadBackTolerance = 1e-4f;
// The host matrix mode of frame i is kHostModes[i % 3].
const GLenum kHostModes[] = {GL_MODELVIEW, GL_TEXTURE, GL_PROJECTION};
const float kFloodValues[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), 3.0e38f, -3.0e38f, -0.5f};
const char kTestText[] = "ffglhost validate";
// Values the seed chooses for each parameter (values check) and for the flood.
constexpr std::size_t kSeededValues = 2;

std::string floatText(float v)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
    return buf;
}

bool inUnitRange(float v) { return v >= 0.f && v <= 1.f; }

// Types whose value reads back as it was set (booleans and events may be quantised).
bool readsBackExactly(uint32_t type) { return takesUnitValue(type) && type != FF_TYPE_BOOLEAN && type != FF_TYPE_EVENT; }

// A float parameter write through code 8, as raw as a host makes it.
bool setRaw(const Plugin& plugin, const PluginInstance& instance, uint32_t index, FFWord value)
{
    SetParameterStructTag record{};
    record.ParameterNumber = index;
    record.NewParameterValue = value;
    return plugin.call(FF_SETPARAMETER, reinterpret_cast<FFWord>(&record), instance.id()) == FF_SUCCESS;
}

bool setValue(const Plugin& plugin, const PluginInstance& instance, uint32_t index, float v)
{
    return setRaw(plugin, instance, index, wordOfFloat(v));
}

// Sets an entry back to its default; false when the plug-in refuses.
bool restoreDefault(const Plugin& plugin, const PluginInstance& instance, const ParameterEntry& e)
{
    if (e.type == FF_TYPE_BUFFER)
        return true;
    if (isTextType(e.type))
        return setRaw(plugin, instance, e.index, reinterpret_cast<FFWord>(e.defaultText.c_str()));
    return setValue(plugin, instance, e.index, e.defaultValue);
}

// Code 7 on `instance`: a failure when the text is missing or has no terminator within `bound`;
// `length` is its length otherwise.
bool readDisplay(const Plugin& plugin, const PluginInstance& instance, const ParameterEntry& e, std::size_t bound,
                 const std::string& when, Check& c, std::size_t* length = nullptr)
{
    const FFWord w = plugin.call(FF_GETPARAMETERDISPLAY, e.index, instance.id());
    if (w == 0 || w == FF_FAIL) {
        c.fail(e.label + ": code 7 (get parameter display) returned a null pointer " + when);
        return false;
    }
    const std::size_t n = strnlen(reinterpret_cast<const char*>(w), bound);
    if (n == bound) {
        c.fail(e.label + ": the display text " + when + " is not terminated within " + std::to_string(bound) +
               " bytes");
        return false;
    }
    if (length != nullptr)
        *length = n;
    return true;
}

// Returns whether any instance could be created.
bool checkCycles(const Plugin& plugin, ValidationRig& rig, Check& c)
{
    for (int k = 1; k <= kInstanceCycles; ++k) {
        PluginInstance instance(plugin);
        const std::string who = "instance " + std::to_string(k) + ": ";
        Status s;
        Watch w = watched(rig.scene(0), GL_MODELVIEW, [&] { s = instance.create(rig.width(), rig.height()); });
        if (!s.ok()) {
            c.fail(who + "code 18 (instantiate GL) returned failure");
            return k > 1;
        }
        failAll(w, who + "code 18", c);
        w = watched(rig.scene(0), GL_MODELVIEW, [&] { s = instance.destroy(); });
        if (!s.ok())
            c.fail(who + "code 19 (de-instantiate GL) returned failure");
        failAll(w, who + "code 19", c);
        if (c.failureCount() > 0)
            break; // one faulty round tells what the others would
    }
    return true;
}

void checkPastTable(const Plugin& plugin, const PluginInstance& instance, const ValidatedMetadata& m, Check& c)
{
    const uint32_t n = static_cast<uint32_t>(m.parameters.size());
    const std::string at = " for index " + std::to_string(n) + ", past the table";
    const FFWord name = plugin.call(FF_GETPARAMETERNAME, n, 0);
    if (name != 0 && name != FF_FAIL)
        c.fail("code 5 (get parameter name) answers a pointer" + at);
    if (plugin.call(FF_GETPARAMETERTYPE, n, 0) != FF_FAIL)
        c.fail("code 15 (get parameter type) answers a type" + at);
    if (plugin.call(FF_GETPARAMETERDEFAULT, n, 0) != FF_FAIL)
        c.fail("code 6 (get parameter default) answers a default" + at);
    if (setValue(plugin, instance, n, 0.5f))
        c.fail("code 8 (set parameter) answers success" + at);
    if (plugin.call(FF_GETPARAMETER, n, instance.id()) != FF_FAIL)
        c.fail("code 9 (get parameter) answers a value" + at);
}

void checkNewInstanceDefaults(const Plugin& plugin, const PluginInstance& instance, const ValidatedMetadata& m,
                              Check& c)
{
    for (const ParameterEntry& e : m.parameters) {
        if (!e.usable || e.type == FF_TYPE_BUFFER)
            continue;
        const FFWord w = plugin.call(FF_GETPARAMETER, e.index, instance.id());
        if (w == FF_FAIL || (isTextType(e.type) && w == 0)) {
            c.fail(e.label + ": code 9 (get parameter) returned failure");
            continue;
        }
        if (isTextType(e.type)) {
            const char* text = reinterpret_cast<const char*>(w);
            if (strnlen(text, kMaxPluginTextLength) == kMaxPluginTextLength ||
                e.defaultText != std::string(text))
                c.fail(e.label + " does not read back its default text");
            continue;
        }
        const float v = floatOfWord(w);
        if (!(std::fabs(v - e.defaultValue) <= kReadBackTolerance))
            c.fail(e.label + " reads back " + floatText(v) + " (default " + floatText(e.defaultValue) + ")");
        else if (takesUnitValue(e.type) && !inUnitRange(v))
            c.fail(e.label + " reads back " + floatText(v) + ", outside 0..1");
    }
}

// The values the set-and-read check writes to an entry of `type`.
// The values tried on a parameter: fixed ones, and for types that read back exactly some the
// seed chooses.
std::vector<float> testValues(const ParameterEntry& e, const SeededChoices& choices)
{
    if (e.type == FF_TYPE_BOOLEAN)
        return {0.f, 1.f};
    if (e.type == FF_TYPE_EVENT)
        return {1.f, 0.f};
    if (takesUnitValue(e.type)) {
        std::vector<float> values = {0.f, 1.f, 0.25f, 0.75f};
        if (readsBackExactly(e.type))
            for (float v : choices.unitValues(e.index, kSeededValues))
                values.push_back(v);
        return values;
    }
    return {e.defaultValue}; // options: the default option is the one value known to exist
}

void checkValues(const Plugin& plugin, const PluginInstance& instance, const ValidatedMetadata& m,
                 const SeededChoices& choices, Check& values, Check& display)
{
    for (const ParameterEntry& e : m.parameters) {
        if (!e.usable || e.type == FF_TYPE_BUFFER)
            continue;
        if (isTextType(e.type)) {
            if (!setRaw(plugin, instance, e.index, reinterpret_cast<FFWord>(kTestText))) {
                values.fail(e.label + ": code 8 (set parameter) returned failure for a text");
            } else {
                const FFWord w = plugin.call(FF_GETPARAMETER, e.index, instance.id());
                if (w == 0 || w == FF_FAIL || strnlen(reinterpret_cast<const char*>(w), kMaxPluginTextLength) ==
                                                  kMaxPluginTextLength ||
                    std::string(reinterpret_cast<const char*>(w)) != kTestText)
                    values.fail(e.label + " does not read back the text it was set to");
            }
            readDisplay(plugin, instance, e, kMaxPluginTextLength, "for a text it was set to", display);
        } else {
            for (float v : testValues(e, choices)) {
                const std::string after = " after " + floatText(v);
                if (!setValue(plugin, instance, e.index, v)) {
                    values.fail(e.label + ": code 8 (set parameter) returned failure for " + floatText(v));
                    continue;
                }
                const FFWord w = plugin.call(FF_GETPARAMETER, e.index, instance.id());
                if (w == FF_FAIL) {
                    values.fail(e.label + ": code 9 (get parameter) returned failure" + after);
                    continue;
                }
                const float r = floatOfWord(w);
                if (takesUnitValue(e.type) && !inUnitRange(r))
                    values.fail(e.label + " reads back " + floatText(r) + after + ", outside 0..1");
                else if ((readsBackExactly(e.type) || e.type == FF_TYPE_BOOLEAN || e.type == FF_TYPE_OPTION) &&
                         !(std::fabs(r - v) <= kReadBackTolerance))
                    values.fail(e.label + " reads back " + floatText(r) + after);
                readDisplay(plugin, instance, e, FF_DISPLAY_VALUE_SIZE, "for " + floatText(v), display);
            }
        }
        if (!restoreDefault(plugin, instance, e))
            values.fail(e.label + ": code 8 (set parameter) returned failure for its default");
    }
}

void checkFrames(ValidationRig& rig, PluginInstance& instance, Check& frames, Check& transform, Check& attributes,
                 Check& inputs)
{
    for (int f = 1; f <= kStateFrames; ++f) {
        const std::string what = "frame " + std::to_string(f);
        FrameInputs textures;
        Status s = rig.nextInputs(rig.inputs(), textures);
        if (!s.ok()) {
            frames.fail(what + ": the host's input source failed: " + s.message());
            continue;
        }
        const Watch w = watched(rig.scene(0), kHostModes[(f - 1) % 3], textures,
                                [&] { s = processFrame(instance, rig.framebufferId(0), textures); });
        if (!s.ok())
            frames.fail(what + ": code 17 (process OpenGL) returned failure");
        failAll(w, what, frames, transform, attributes, inputs);
    }
}

void checkFlood(const Plugin& plugin, ValidationRig& rig, PluginInstance& instance, const ValidatedMetadata& m,
                const SeededChoices& choices, Check& c)
{
    std::vector<float> flood(std::begin(kFloodValues), std::end(kFloodValues));
    for (float v : choices.outsideValues(kSeededValues))
        flood.push_back(v);
    // Out-of-range read-backs and long display texts are worth knowing but no fault: hosts are to
    // send 0..1, and a plug-in may keep what it was sent. One example each, and how many.
    std::vector<std::string> range(m.parameters.size());
    std::vector<std::string> longTexts(m.parameters.size());
    for (float v : flood) {
        const std::string after = "after " + floatText(v);
        for (std::size_t i = 0; i < m.parameters.size(); ++i) {
            const ParameterEntry& e = m.parameters[i];
            if (!e.usable || e.type == FF_TYPE_BUFFER || isTextType(e.type))
                continue;
            (void)setValue(plugin, instance, e.index, v); // refusing such a value is fine
            const FFWord w = plugin.call(FF_GETPARAMETER, e.index, instance.id());
            if (w == FF_FAIL) {
                c.fail(e.label + ": code 9 (get parameter) returned failure " + after);
                continue;
            }
            const float r = floatOfWord(w);
            if (takesUnitValue(e.type) && !inUnitRange(r) && range[i].empty())
                range[i] = e.label + " reads back " + floatText(r) + " " + after;
            std::size_t length = 0;
            if (readDisplay(plugin, instance, e, kMaxPluginTextLength, after, c, &length) &&
                length >= static_cast<std::size_t>(FF_DISPLAY_VALUE_SIZE) && longTexts[i].empty())
                longTexts[i] = e.label + " shows " + std::to_string(length) + " characters " + after;
        }
        watchedFrame(rig, 0, instance, rig.inputs(), "the frame " + after, c);
    }
    const auto summarise = [&c, &m](const std::vector<std::string>& found, const std::string& what) {
        std::size_t n = 0;
        std::string example;
        for (const std::string& f : found) {
            if (!f.empty() && n++ == 0)
                example = f;
        }
        if (n > 0)
            c.warn(std::to_string(n) + " of " + std::to_string(m.parameters.size()) + " parameters " + what +
                   " (e.g. " + example + ")");
    };
    summarise(range, "read back values outside 0..1 after values outside 0..1");
    summarise(longTexts, "show display texts longer than " + std::to_string(FF_DISPLAY_VALUE_SIZE - 1) +
                             " characters after extreme values");

    for (const ParameterEntry& e : m.parameters) {
        if (!e.usable || e.type == FF_TYPE_BUFFER || isTextType(e.type))
            continue;
        if (!restoreDefault(plugin, instance, e)) {
            c.fail(e.label + ": code 8 (set parameter) returned failure for its default after the flood");
            continue;
        }
        float r = 0.f;
        const FFWord w = plugin.call(FF_GETPARAMETER, e.index, instance.id());
        if (w != FF_FAIL)
            r = floatOfWord(w);
        if (w == FF_FAIL || !(std::fabs(r - e.defaultValue) <= kReadBackTolerance))
            c.fail(e.label + " does not read back its default " + floatText(e.defaultValue) +
                   " when set again after the flood");
    }
    watchedFrame(rig, 0, instance, rig.inputs(), "the frame after the defaults came back", c);
}

// The value instance `k` of the side-by-side check gets for an entry it can hold apart.
bool ownValue(const ParameterEntry& e, int k, float& v)
{
    if (!e.usable)
        return false;
    if (readsBackExactly(e.type)) {
        v = static_cast<float>(k + 1) / static_cast<float>(kSideBySideInstances + 1);
        return true;
    }
    if (e.type == FF_TYPE_BOOLEAN) {
        v = static_cast<float>(k % 2);
        return true;
    }
    return false;
}

void checkSideBySide(const Plugin& plugin, ValidationRig& rig, const ValidatedMetadata& m, Check& c)
{
    std::vector<std::unique_ptr<PluginInstance>> instances;
    for (int k = 0; k < kSideBySideInstances; ++k) {
        const std::string who = "instance " + std::to_string(k + 1);
        auto instance = std::make_unique<PluginInstance>(plugin);
        Status s;
        const Watch w = watched(rig.scene(static_cast<std::size_t>(k)), GL_MODELVIEW,
                                [&] { s = instance->create(rig.width(), rig.height()); });
        if (!s.ok()) {
            c.fail(who + ": code 18 (instantiate GL) returned failure with " + std::to_string(k) +
                   " other instance(s) alive");
            return;
        }
        failAll(w, who + ": code 18", c);
        for (const ParameterEntry& e : m.parameters) {
            float v = 0.f;
            if (ownValue(e, k, v) && !setValue(plugin, *instance, e.index, v))
                c.fail(who + ", " + e.label + ": code 8 (set parameter) returned failure for " + floatText(v));
        }
        instances.push_back(std::move(instance));
    }
    for (int round = 1; round <= kSideBySideRounds; ++round)
        for (int k = 0; k < kSideBySideInstances; ++k)
            watchedFrame(rig, static_cast<std::size_t>(k), *instances[static_cast<std::size_t>(k)], rig.inputs(),
                         "instance " + std::to_string(k + 1) + ", frame " + std::to_string(round), c);
    for (int k = 0; k < kSideBySideInstances; ++k) {
        for (const ParameterEntry& e : m.parameters) {
            float v = 0.f;
            if (!ownValue(e, k, v))
                continue;
            const FFWord w = plugin.call(FF_GETPARAMETER, e.index, instances[static_cast<std::size_t>(k)]->id());
            const float r = w == FF_FAIL ? std::numeric_limits<float>::quiet_NaN() : floatOfWord(w);
            if (!(std::fabs(r - v) <= kReadBackTolerance))
                c.fail("instance " + std::to_string(k + 1) + " reads back " + floatText(r) + " for " + e.label +
                       ", not its own " + floatText(v));
        }
    }
    for (int k = 0; k < kSideBySideInstances; ++k) {
        Status s;
        const Watch w = watched(rig.scene(static_cast<std::size_t>(k)), GL_MODELVIEW,
                                [&] { s = instances[static_cast<std::size_t>(k)]->destroy(); });
        if (!s.ok())
            c.fail("instance " + std::to_string(k + 1) + ": code 19 (de-instantiate GL) returned failure");
        failAll(w, "instance " + std::to_string(k + 1) + ": code 19", c);
    }
}

} // namespace

// The host's GL resources and the instance the checks share, kept from step to step.
struct InstanceChecks::Parts {
    ValidationRig rig;
    std::unique_ptr<PluginInstance> shared;
};

InstanceChecks::InstanceChecks(const Plugin& plugin, const ValidatedMetadata& meta, const FrameSetup& setup,
                               uint32_t seed)
    : plugin_(plugin), meta_(meta), setup_(setup), choices_(seed), parts_(std::make_unique<Parts>())
{
}

// The shared instance goes first (its code 19 unwatched), then the framebuffers and textures.
InstanceChecks::~InstanceChecks() = default;

Status InstanceChecks::createRig() { return parts_->rig.create(setup_, kSideBySideInstances); }

const ValidationRig& InstanceChecks::rig() const { return parts_->rig; }

bool InstanceChecks::skipped(Check& c, bool needsTable) const
{
    if (!unavailable_.empty())
        c.skip(unavailable_);
    else if (needsTable && !meta_.tableRead)
        c.skip("the parameter table could not be read");
    else
        return false;
    return true;
}

void InstanceChecks::cycles(Check& c)
{
    if (!checkCycles(plugin_, parts_->rig, c)) {
        unavailable_ = "no instance could be created";
        return;
    }
    auto instance = std::make_unique<PluginInstance>(plugin_);
    Status created;
    const Watch w = watched(parts_->rig.scene(0), GL_MODELVIEW,
                            [&] { created = instance->create(parts_->rig.width(), parts_->rig.height()); });
    if (!created.ok()) {
        c.fail("code 18 (instantiate GL) returned failure for the instance the later checks use");
        unavailable_ = "no instance could be created";
        return;
    }
    failAll(w, "code 18 of the instance the later checks use", c);
    parts_->shared = std::move(instance);
}

void InstanceChecks::prepareShared()
{
    auto instance = std::make_unique<PluginInstance>(plugin_);
    if (instance->create(parts_->rig.width(), parts_->rig.height()).ok())
        parts_->shared = std::move(instance);
    else
        unavailable_ = "no instance could be created";
}

void InstanceChecks::pastTable(Check& c)
{
    if (!skipped(c, true))
        checkPastTable(plugin_, *parts_->shared, meta_, c);
}

void InstanceChecks::newDefaults(Check& c)
{
    if (!skipped(c, true))
        checkNewInstanceDefaults(plugin_, *parts_->shared, meta_, c);
}

void InstanceChecks::values(Check& values, Check& display)
{
    if (skipped(values, true)) {
        (void)skipped(display, true);
        return;
    }
    checkValues(plugin_, *parts_->shared, meta_, choices_, values, display);
}

void InstanceChecks::frames(Check& frames, Check& transform, Check& attributes, Check& inputs)
{
    if (skipped(frames, false)) {
        (void)skipped(transform, false);
        (void)skipped(attributes, false);
        (void)skipped(inputs, false);
        return;
    }
    checkFrames(parts_->rig, *parts_->shared, frames, transform, attributes, inputs);
}

void InstanceChecks::flood(Check& c)
{
    if (!skipped(c, true))
        checkFlood(plugin_, parts_->rig, *parts_->shared, meta_, choices_, c);
}

void InstanceChecks::sideBySide(Check& c)
{
    if (!skipped(c, false))
        checkSideBySide(plugin_, parts_->rig, meta_, c);
}

void InstanceChecks::inputCounts(Check& c)
{
    if (!skipped(c, false))
        checkInputCounts(plugin_, parts_->rig, meta_, c);
}

void InstanceChecks::paddedInputs(Check& c)
{
    if (!skipped(c, false))
        checkPaddedInputs(plugin_, parts_->rig, c);
}

void InstanceChecks::usesInputs(Check& c)
{
    if (!skipped(c, false))
        checkUsesInputs(plugin_, parts_->rig, c);
}

void InstanceChecks::destroyShared(Check& c)
{
    if (skipped(c, false))
        return;
    Status destroyed;
    const Watch d = watched(parts_->rig.scene(0), GL_MODELVIEW, [&] { destroyed = parts_->shared->destroy(); });
    if (!destroyed.ok())
        c.fail("code 19 (de-instantiate GL) returned failure");
    failAll(d, "code 19", c);
    parts_->shared.reset();
    unavailable_ = "the instance the checks shared is gone";
}

} // namespace ffglhost
