// One particle of the Quorus network (see Ball.h).
#include "Ball.h"

#include <GL/gl.h>

#include <cmath>

Ball::Ball(KXMath::Vec3 position_, float size_, unsigned displayList_)
    : size(size_), speed(0.0f), displayList(displayList_), position(position_), anchor(position_)
{
}

void Ball::update(float /*elapsed*/)
{
    // A step no depth can take (a speed that is not a number or infinite, which hosts can send)
    // leaves the particle where it is: a non-finite depth would never come back into the box.
    const float moved = position.z - speed;
    if (!std::isfinite(moved))
        return;
    position.z = moved;
    // A particle leaving one end re-enters at the other. Both tests run: the second sees the
    // result of the first.
    if (position.z < 0.0f) {
        neighbours.clear();
        position.z = position.z + QUORUS_DEPTH_RANGE;
    }
    if (position.z > QUORUS_DEPTH_RANGE) {
        neighbours.clear();
        position.z = position.z - QUORUS_DEPTH_RANGE;
    }
    // A step longer than the whole box (a speed far beyond its range) re-enters it too, where
    // the wrapping would have put it; with the step within the box this never happens.
    if (!(position.z >= 0.0f && position.z <= QUORUS_DEPTH_RANGE)) {
        position.z = std::fmod(position.z, QUORUS_DEPTH_RANGE);
        if (position.z < 0.0f)
            position.z = position.z + QUORUS_DEPTH_RANGE;
    }
}

void Ball::draw(float shade, float rx, float ry, float rz)
{
    glColor4f(1.0f, shade, shade, 1.0f);
    glPushMatrix();
    glTranslatef(position.x, position.y, -position.z);
    glRotatef(180.0f - rz, 0.0f, 0.0f, 1.0f);
    glRotatef(180.0f - ry, 0.0f, 1.0f, 0.0f);
    glRotatef(180.0f - rx, 1.0f, 0.0f, 0.0f);
    glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
    glScalef(size, size, size);
    glCallList(displayList);
    glPopMatrix();
}
