// The preview's key bindings and parameter steps, without a window: what each key does, how a
// step moves, snaps, clamps or toggles a value, how the selection wraps, and the title text.
#include "commands/preview/PreviewControls.h"

#include "FFGLPluginSDK.h"

#include <X11/keysym.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace ffglhost;

TEST(PreviewKeys, BindingsAndModifiers)
{
    EXPECT_EQ(actionForKey(XK_Escape, false).action, PreviewAction::Quit);
    EXPECT_EQ(actionForKey(XK_q, false).action, PreviewAction::Quit);
    EXPECT_EQ(actionForKey(XK_Down, false).action, PreviewAction::NextParameter);
    EXPECT_EQ(actionForKey(XK_Tab, false).action, PreviewAction::NextParameter);
    EXPECT_EQ(actionForKey(XK_Tab, true).action, PreviewAction::PreviousParameter);
    EXPECT_EQ(actionForKey(XK_ISO_Left_Tab, true).action, PreviewAction::PreviousParameter);
    EXPECT_EQ(actionForKey(XK_Up, false).action, PreviewAction::PreviousParameter);
    EXPECT_EQ(actionForKey(XK_space, false).action, PreviewAction::TogglePause);
    EXPECT_EQ(actionForKey(XK_a, false).action, PreviewAction::None);

    struct Case {
        unsigned long key;
        bool shift;
        int direction;
        bool large;
    };
    for (const Case& c : {Case{XK_Right, false, +1, false}, Case{XK_Left, false, -1, false},
                          Case{XK_Right, true, +1, true}, Case{XK_Left, true, -1, true},
                          Case{XK_Page_Up, false, +1, true}, Case{XK_Page_Down, false, -1, true}}) {
        const KeyAction a = actionForKey(c.key, c.shift);
        EXPECT_EQ(a.action, PreviewAction::Step) << c.key;
        EXPECT_EQ(a.direction, c.direction) << c.key;
        EXPECT_EQ(a.large, c.large) << c.key;
    }
}

TEST(PreviewSteps, MoveSnapClampAndToggle)
{
    EXPECT_FLOAT_EQ(steppedValue(FF_TYPE_STANDARD, 0.25f, +1, false), 0.26f);
    EXPECT_FLOAT_EQ(steppedValue(FF_TYPE_STANDARD, 0.25f, -1, true), 0.15f);
    // Steps land on the small step's grid, so a hundred of them add up exactly.
    float v = 0.f;
    for (int i = 0; i < 100; ++i)
        v = steppedValue(FF_TYPE_STANDARD, v, +1, false);
    EXPECT_EQ(v, 1.f);
    EXPECT_FLOAT_EQ(steppedValue(FF_TYPE_STANDARD, 0.123f, +1, false), 0.13f);
    // Within 0..1, from inside and from values a host left outside.
    EXPECT_EQ(steppedValue(FF_TYPE_STANDARD, 0.95f, +1, true), 1.f);
    EXPECT_EQ(steppedValue(FF_TYPE_STANDARD, 0.05f, -1, true), 0.f);
    EXPECT_EQ(steppedValue(FF_TYPE_STANDARD, 7.f, -1, false), 1.f);
    EXPECT_EQ(steppedValue(FF_TYPE_STANDARD, -3.f, +1, false), 0.f);
    EXPECT_EQ(steppedValue(FF_TYPE_STANDARD, std::nanf(""), +1, false), 0.01f);
    // Booleans and events flip whichever way the step goes.
    EXPECT_EQ(steppedValue(FF_TYPE_BOOLEAN, 0.f, -1, false), 1.f);
    EXPECT_EQ(steppedValue(FF_TYPE_BOOLEAN, 1.f, +1, true), 0.f);
    EXPECT_EQ(steppedValue(FF_TYPE_EVENT, 0.f, +1, false), 1.f);
}

TEST(PreviewSelection, WrapsAndSkipsParametersWithoutHostValue)
{
    EXPECT_EQ(cycled(0, 3, -1), 2u);
    EXPECT_EQ(cycled(2, 3, +1), 0u);
    EXPECT_EQ(cycled(1, 3, +1), 2u);
    EXPECT_EQ(cycled(0, 1, +1), 0u);

    PluginDescription d;
    d.parameters = {ParameterInfo{0, "Level", FF_TYPE_STANDARD, 0.f, ""}, ParameterInfo{1, "Label", FF_TYPE_TEXT, 0.f, ""},
                    ParameterInfo{2, "On", FF_TYPE_BOOLEAN, 0.f, ""}};
    EXPECT_EQ(adjustableParameters(d), (std::vector<std::size_t>{0, 2}));
}

TEST(PreviewTitle, NamesSelectionDisplayAndFrameTime)
{
    EXPECT_EQ(previewTitle("Quorus", "Speed", "0.10", 2.345, ""), "Quorus | Speed: 0.10 | 2.35 ms");
    EXPECT_EQ(previewTitle("Quorus", "Speed", "0.10", 1.0, "paused"), "Quorus | Speed: 0.10 | 1.00 ms | paused");
    EXPECT_EQ(previewTitle("Empty", "", "", 0.5, ""), "Empty | no parameters | 0.50 ms");
    EXPECT_EQ(previewTitle("Bad\x1b[2J", "Speed", "\n", 1.0, ""), "Bad?[2J | Speed: ? | 1.00 ms");
}

} // namespace
