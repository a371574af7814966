// What the preview's keys do: the action of each key, which parameters the keys reach, the value
// one step gives, and the window title that shows the selection. Pure functions of their
// arguments (keys come as X keysyms); any thread; no GL and no X connection needed.
#pragma once

#include "plugin/PluginDescription.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ffglhost {

// A key press changes the selected value by a small step (1/100 of the host range 0..1) or a
// large one (ten small steps).
constexpr int kSmallStepsPerUnit = 100;
constexpr int kSmallStepsPerLargeStep = 10;
constexpr float kSmallStep = 1.0f / kSmallStepsPerUnit;
constexpr float kLargeStep = static_cast<float>(kSmallStepsPerLargeStep) / kSmallStepsPerUnit;

enum class PreviewAction { None, Quit, NextParameter, PreviousParameter, Step, TogglePause };

struct KeyAction {
    PreviewAction action = PreviewAction::None;
    int direction = 0;  // Step: +1 up, -1 down
    bool large = false; // Step: kLargeStep rather than kSmallStep
};

// Escape and q quit; Down and Tab select the next parameter, Up and Shift+Tab the previous one;
// Right and Left step by kSmallStep, with Shift (or PageUp and PageDown) by kLargeStep; Space
// pauses. Every other key does nothing.
KeyAction actionForKey(unsigned long keysym, bool shift);

// The value after one step: boolean and event parameters toggle between 0 and 1 whichever the
// direction; every other type moves by the step, lands on a multiple of kSmallStep (so that
// repeated steps do not gather float error) and stays within 0..1.
float steppedValue(uint32_t type, float value, int direction, bool large);

// Positions in d.parameters of the parameters keys can change (every one that takes a 0..1
// host value), in table order.
std::vector<std::size_t> adjustableParameters(const PluginDescription& d);

// The position `step` (+1 / -1) places away from `current` among `count` (> 0), wrapping round.
std::size_t cycled(std::size_t current, std::size_t count, int step);

// "NAME | PARAM: DISPLAY | 1.23 ms" with "| STATE" after it when `state` is not empty; without
// a parameter (`parameter` empty) that part reads "no parameters". Control characters in the
// plug-in's texts become '?'.
std::string previewTitle(const std::string& pluginName, const std::string& parameter, const std::string& display,
                         double frameMs, const std::string& state);

} // namespace ffglhost
