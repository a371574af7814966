// One particle of the Quorus network (see Ball.h).
#include "Ball.h"

#include <GL/gl.h>

Ball::Ball(KXMath::Vec3 position_, float size_, unsigned displayList_)
    : size(size_), speed(0.0f), displayList(displayList_), position(position_), anchor(position_)
{
}

void Ball::update(float /*elapsed*/)
{
    position.z = position.z - speed;
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
