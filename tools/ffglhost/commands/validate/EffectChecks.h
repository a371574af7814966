// The validator's checks for effects, plug-ins that take input textures (ValidationPlan.h):
//
//   input counts   every count from the plug-in's minimum to its maximum (at most the slots the
//                  rig has) renders with a fresh instance, watched like every frame; code 16
//                  (get input status) answers 0 or 1 for every input below the maximum and
//                  failure for the maximum itself; a frame with fewer inputs than the minimum is
//                  refused (success is a warning) and the instance renders afterwards
//   padded inputs  the slots' first pictures in power-of-two textures (picture in the lower-left
//                  corner, the rest transparent black) render like the same pictures in exact
//                  textures: at most kPaddedShare of the pixels more than kPaddedLevels apart
//   uses inputs    another picture in any one slot, the others kept, changes the frame
//
// The picture checks render with fresh instances (after srand(1), what a fresh process has) for
// kPictureFrames frames and compare the frames they end with. They first render the same inputs
// twice: an effect that does not give the same frame twice (one that follows the clock) is
// skipped with that reason, since no difference could be laid at its inputs' door.
//
// Free functions; main thread, with the rig's GL context current.
#pragma once

#include "commands/validate/Check.h"
#include "commands/validate/MetadataChecks.h"
#include "commands/validate/ValidationRig.h"
#include "plugin/PluginLoader.h"

namespace ffglhost {

// Frames each picture check renders before comparing.
constexpr int kPictureFrames = 3;
// Frames that differ nowhere by more than this many levels count as the same frame.
constexpr int kSameLevels = 2;
// Padded inputs may move at most this share of the pixels by more than kPaddedLevels. An effect
// that samples anywhere within the picture (folded and turned, like a kaleidoscope) still meets
// the picture's edges, where linear filtering blends in half a texel of the transparent padding:
// on llvmpipe that moved 0.1% of the pixels at 1280x720, 0.3% at 256x144, 1.3% at 64x36 and 2.7%
// at 48x27, by up to 127 levels. One that ignores the hardware size moved 42 to 82%.
constexpr int kPaddedLevels = 16;
constexpr double kPaddedShare = 0.05;

void checkInputCounts(const Plugin& plugin, ValidationRig& rig, const ValidatedMetadata& meta, Check& c);
void checkPaddedInputs(const Plugin& plugin, ValidationRig& rig, Check& c);
void checkUsesInputs(const Plugin& plugin, ValidationRig& rig, Check& c);

} // namespace ffglhost
