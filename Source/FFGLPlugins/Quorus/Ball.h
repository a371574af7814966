// One particle of the Quorus network: its position, its resting point, its per-frame depth step
// and its drawing as a sphere.
//
// A Ball is a plain value owned by the effect's particle array (Plugin::balls). It refers to the
// effect's sphere display list by name and does not own it. update() needs no GL context; draw()
// needs the GL context in which the display list was compiled. Host rendering thread only.
#pragma once

#include "KXVec3.h"

#include <utility>
#include <vector>

// Depth of the box the particles travel through: depths stay within 0..QUORUS_DEPTH_RANGE.
constexpr float QUORUS_DEPTH_RANGE = 100.0f;

class Ball {
public:
    // One (distance, particle index) pair; ordered by distance first, then by index.
    using Neighbour = std::pair<float, int>;

    // Sets position and anchor to `position`; `speed` is written by the motion step before use.
    Ball(KXMath::Vec3 position, float size, unsigned displayList);

    // Depth step: moves towards the viewer by `speed` and re-enters at the far end of the
    // 0..100 range, emptying the neighbour array when it wraps. The depth always stays within
    // the range: a step longer than the range wraps as often as it takes, and a non-finite step
    // is not taken. The elapsed time (units of 10 ms) is accepted but not used: motion is
    // counted in frames.
    void update(float elapsed);

    // Draws the sphere at (x, y, -z): red for shade 0, white for shade 1. rx, ry, rz are the
    // effect's rotation parameters in degrees; the sphere is turned back against the camera
    // rotation so that it always faces the viewer the same way. [gl-context]
    void draw(float shade, float rx, float ry, float rz);

    float size;
    float speed;
    unsigned displayList;
    // Particles within reach found during the current frame's drawing; empty between frames.
    // Cleared without releasing storage, so steady-state frames do not allocate.
    std::vector<Neighbour> neighbours;
    KXMath::Vec3 position;
    KXMath::Vec3 anchor;
};
