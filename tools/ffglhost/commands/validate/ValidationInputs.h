// Where the pictures come from that the validator hands an effect as input textures: one input
// source (inputs/InputSource.h) per input slot. Sources named on the command line reach the
// validation as factories, since every worker process the validation starts (a fresh one after
// a crash, ValidateCommand.h) makes, opens and starts sources of its own; slots without one get
// the built-in still patterns card, bars and grey, in turn.
//
// Plain values and functions; main thread; no GL.
#pragma once

#include "Status.h"
#include "inputs/InputSource.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ffglhost {

// Makes a new, unopened source for one slot; the caller owns it. Null counts as a failure to
// get the slot ready.
using InputSourceFactory = std::function<std::unique_ptr<InputSource>()>;

// The sources given for slots 0, 1, ... in order, at most one a slot.
using InputSourceFactories = std::vector<InputSourceFactory>;

// A factory per --input SOURCE, in order: images, videos and patterns as input/ makes them, a
// plug-in as a stage of its own (frame/Stage.h). Bad input, one line, when a source is no picture,
// video, pattern or plug-in file (what is wrong inside one shows when a worker opens it).
Status inputFactories(const std::vector<std::string>& sources, InputSourceFactories& out);

// The factories of slots 0 .. slots - 1: `given` where it has one, the default patterns for the
// others. Factories past `slots` are not used.
InputSourceFactories slotSources(const InputSourceFactories& given, std::size_t slots);

} // namespace ffglhost
