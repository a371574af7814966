// KXMath::Vec3: a plain value of three floats, used for particle positions and directions.
//
// No operations beyond construction and copying; users do their own arithmetic on the fields.
// Passed and stored by value. Any thread; no GL needed.
#pragma once

namespace KXMath {

struct Vec3 {
    float x;
    float y;
    float z;

    Vec3() : x(0.0f), y(0.0f), z(0.0f) {}
    Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
    Vec3(const Vec3&) = default;
    Vec3& operator=(const Vec3&) = default;
};

} // namespace KXMath
