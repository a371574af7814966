// The validator's checks that need a GL context: instances created and destroyed many times,
// parameter indices past the table, values set and read back through a live instance, display
// texts, frames and the GL state and input textures they leave behind, a flood of extreme
// parameter values (the values and the flood also try values chosen by the seed), several instances rendering alternately, and for effects the input counts,
// padded inputs and whether every input shows (EffectChecks.h). Every watched call (codes 17,
// 18, 19) runs in the known host state of HostGLState.h and is compared against it afterwards
// (WatchedCall.h).
//
// Main thread, with the host's GL context current for every function here.
#pragma once

#include "Status.h"
#include "commands/validate/Check.h"
#include "commands/validate/MetadataChecks.h"
#include "commands/validate/SeededChoices.h"
#include "commands/validate/ValidationRig.h"
#include "plugin/PluginLoader.h"

#include <cstdint>
#include <memory>
#include <string>

namespace ffglhost {

constexpr int kInstanceCycles = 100;
constexpr int kSideBySideInstances = 4;

// The checks, run step by step in the order the validator reports them. They share the host's
// GL resources and one instance of the plug-in, made at the end of cycles() (or, in a fresh
// process that starts after it, by prepareShared()). When no instance could be made, or the
// parameter table could not be read, the checks that need it are skipped with the reason.
//
// Ownership: owns the host's GL resources and the shared instance; the plug-in and the metadata
// must outlive it. Destroy it with the GL context current.
class InstanceChecks {
public:
    // `seed` decides the values the values and flood checks try besides their fixed ones
    // (SeededChoices.h).
    InstanceChecks(const Plugin& plugin, const ValidatedMetadata& meta, const FrameSetup& setup, uint32_t seed);
    ~InstanceChecks();
    InstanceChecks(const InstanceChecks&) = delete;
    InstanceChecks& operator=(const InstanceChecks&) = delete;

    // The host's framebuffers, textures and input sources (ValidationRig.h for the statuses).
    Status createRig();
    // The rig createRig() made; owned by this object.
    const ValidationRig& rig() const;

    void cycles(Check& c);
    // The shared instance, made quietly (a failure only makes the later checks skip).
    void prepareShared();
    void pastTable(Check& c);
    void newDefaults(Check& c);
    void values(Check& values, Check& display);
    void frames(Check& frames, Check& transform, Check& attributes, Check& inputs);
    void flood(Check& c);
    void sideBySide(Check& c);
    // For effects (EffectChecks.h), each with instances of its own.
    void inputCounts(Check& c);
    void paddedInputs(Check& c);
    void usesInputs(Check& c);
    // Code 19 of the shared instance, watched.
    void destroyShared(Check& c);

private:
    struct Parts;

    // Skips `c` when its instance (or, with `needsTable`, the parameter table) is missing.
    bool skipped(Check& c, bool needsTable) const;

    const Plugin& plugin_;
    const ValidatedMetadata& meta_;
    FrameSetup setup_;
    SeededChoices choices_;
    std::unique_ptr<Parts> parts_;
    std::string unavailable_; // why the instance checks cannot run; empty while they can
};

} // namespace ffglhost
