// One watched plug-in call (codes 17, 18, 19): the context is put into the known host state of
// HostGLState.h, the call runs, and what it left behind is collected: pending GL errors, changed
// transform state, changed attributes and, for frames, what it did to the host's input textures
// (InputTextureGuard.h, which also puts them back). The checks then turn what was collected into
// failures and warnings of the checks they serve.
//
// Plain values and free functions; main thread, with the host's GL context current.
#pragma once

#include "commands/validate/Check.h"
#include "commands/validate/HostGLState.h"
#include "commands/validate/InputTextureGuard.h"
#include "commands/validate/ValidationRig.h"
#include "plugin/PluginInstance.h"

#include <string>
#include <vector>

namespace ffglhost {

// What one watched call left behind.
struct Watch {
    std::vector<std::string> errors;
    std::vector<std::string> transform;
    std::vector<std::string> attributes;
    std::vector<std::string> inputFaults;   // input textures deleted, resized, reformatted, overwritten
    std::vector<std::string> inputSampling; // input textures' sampling parameters left changed
};

// Runs `call` in the host state of `scene` with `mode` current and compares afterwards; the
// textures of `inputs` are watched and put back.
template <class Call>
Watch watched(const HostScene& scene, unsigned mode, const FrameInputs& inputs, Call call)
{
    InputTextureGuard guard(inputs);
    enterHostState(scene, mode);
    const GLStateSnapshot before = captureGLState();
    call();
    Watch w;
    w.errors = takeGLErrors();
    const GLStateSnapshot after = captureGLState();
    w.transform = transformDifferences(before, after);
    w.attributes = attributeDifferences(before, after);
    guard.restore(w.inputFaults, w.inputSampling);
    return w;
}

// A call that gets no input textures (codes 18, 19).
template <class Call>
Watch watched(const HostScene& scene, unsigned mode, Call call)
{
    return watched(scene, mode, FrameInputs(), call);
}

// Everything a watched call left, each problem starting with `what`: pending GL errors as
// failures of `errors`, changed transform state of `transform`, changed attributes of
// `attributes`, input texture faults of `inputs`, and changed sampling as warnings of `inputs`.
void failAll(const Watch& w, const std::string& what, Check& errors, Check& transform, Check& attributes,
             Check& inputs);
// The same, all failures of `c`: one call inside a check that is about something else. Sampling
// left changed is no fault and is the frames' own check's to report: it is left out here.
void failAll(const Watch& w, const std::string& what, Check& c);

// One watched frame of `instance` into the rig's framebuffer `framebuffer` with `inputs`: a
// refused frame and all it leaves go to `c`. Returns whether code 17 answered success.
bool watchedFrame(ValidationRig& rig, std::size_t framebuffer, PluginInstance& instance, FrameInputs& inputs,
                  const std::string& what, Check& c);
// The same with the rig's sources in the first `count` slots, brought up to the next host frame.
bool watchedFrame(ValidationRig& rig, std::size_t framebuffer, PluginInstance& instance, uint32_t count,
                  const std::string& what, Check& c);

} // namespace ffglhost
