// Where the pictures come from that the validator hands an effect as input textures: one input
// source (inputs/InputSource.h) per input slot. Sources named on the command line reach the
// validation as factories, since every worker process the validation starts (a fresh one after
// a crash, ValidateCommand.h) makes, opens and starts sources of its own; slots without one get
// the built-in still patterns card, bars and grey, in turn.
//
// Plain values and functions; main thread; no GL.
#pragma once

#include "inputs/InputSource.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace ffglhost {

// Makes a new, unopened source for one slot; the caller owns it. Null counts as a failure to
// get the slot ready.
using InputSourceFactory = std::function<std::unique_ptr<InputSource>()>;

// The sources given for slots 0, 1, ... in order, at most one a slot.
using InputSourceFactories = std::vector<InputSourceFactory>;

// The factories of slots 0 .. slots - 1: `given` where it has one, the default patterns for the
// others. Factories past `slots` are not used.
InputSourceFactories slotSources(const InputSourceFactories& given, std::size_t slots);

} // namespace ffglhost
