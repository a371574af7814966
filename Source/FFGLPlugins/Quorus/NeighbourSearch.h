// The neighbour search of the Quorus network: which active particles lie within reach of each
// other, and the three nearest of a particle's neighbours.
//
// NeighbourSearch owns its scratch columns (positions copied out of the particle field), sized
// once by reserve(); find() writes into the particles' own neighbour arrays and allocates nothing
// while the field stays within the reserved size. Pure CPU work, no GL. Host rendering thread.
//
// Distances are exactly those of the single-precision formula sqrt((dx^2 + dy^2) + dz^2) with
// dx = a.x - b.x and so on, compared strictly against the reach. Each pair is measured once:
// swapping a and b negates dx, dy and dz exactly, so both particles see the same distance bits.
#pragma once

#include "Ball.h"

#include <array>
#include <vector>

class NeighbourSearch {
public:
    // Makes room for fields of up to `capacity` particles (allocates; call outside the frame).
    void reserve(int capacity);

    // For every i < count, sets balls[i].neighbours to one (d, j) pair for every other j < count
    // with d = distance(i, j) < reach, in ascending order of j. Needs count <= balls.size(); a
    // count above the reserved capacity grows the scratch columns first.
    void find(std::vector<Ball>& balls, int count, float reach);

private:
    std::vector<float> x_, y_, z_; // positions of the active particles, padded for whole blocks
};

// The three smallest pairs of `neighbours` (at least three) by distance, then index: the first
// three that sorting the whole array would give.
std::array<Ball::Neighbour, 3> nearestThree(const std::vector<Ball::Neighbour>& neighbours);
