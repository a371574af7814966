// The Quorus effect: a rotating, fogged three-dimensional particle network drawn as a generator.
//
// `Plugin` is the application object that the FFGL adapter (KXFFGLPlugin) drives, one per host
// instance. Its eleven float members are bound to the host parameters (the adapter writes them,
// the effect reads them directly). It owns its particle field `balls` (400 particles, built by
// init) and its two GLU quadrics and display lists (created by init, released by exit; the
// destructor releases no GL objects), and the scratch of its motion step and neighbour search
// (sized by init, so that frames allocate nothing).
//
// `createPluginInstance` is the factory held by the plug-in's registration record: it makes one
// Plugin inside one adapter and hands the adapter, which owns the Plugin, to the caller.
//
// Everything runs on the host's rendering thread; init, draw and exit need the host's GL context.
#pragma once

#include "Ball.h"
#include "NeighbourSearch.h"
#include "FFGLPluginSDK.h"
#include "KXFFGLApp.h"
#include "KXVec3.h"

#include <vector>

class GLUquadric; // GLU declares it as a class in C++

// Size of the particle field: the most that "Particles" can ask for.
constexpr int QUORUS_MAX_PARTICLES = 400;

class Plugin : public KXFFGLApp {
public:
    Plugin();
    ~Plugin() override;

    // Compiles the sphere and cylinder display lists and builds the 400 particles. True when the
    // particle field is complete. [gl-context]
    bool init() override;
    // The motion step: anchors from noise, jitter, depth travel. No GL needed.
    void update() override;
    // Draws the frame into the bound framebuffer. [gl-context, after init and update]
    void draw() override;
    // Releases the display lists, the quadrics and the particle field. [gl-context]
    void exit() override;

    // The effect's clock in milliseconds (the platform clock).
    double getTime() const;
    // One-dimensional noise of x, in single precision.
    float noise(float x) const;
    // Euclidean distance in single precision.
    float dist(KXMath::Vec3 a, KXMath::Vec3 b) const;
    // Draws the cylinder from particle i towards particle j, which lie d apart. A connection of
    // zero length has no direction and is skipped. [gl-context]
    void drawConnection(int i, int j, float d);

    // How many particles take part in motion and drawing: the whole part of `particles`, never
    // more than the particle field holds; 0 for a negative or non-numeric count.
    int activeCount() const;

    // The neighbour search of a frame: sets the neighbour array of every particle i < count to
    // the other active particles within `linkDistance`, as (distance, index) pairs in ascending
    // order of index. The drawing empties each array again. No GL needed.
    void findNeighbours(int count);

    // Parameter values (bound to the host parameters, see the constructor for ranges).
    float particles;
    float spread;
    float linkDistance;
    float noiseAmount;
    float lineWidth;
    float particleSize;
    float speed;
    float triangleOpacity;
    // Time offset of the jitter noise: 0 after init, +0.002 per motion step.
    float noiseTime;
    // Viewport width / height, recomputed by every motion step (1 while the height is not
    // positive).
    float aspect;
    float rotateX;
    float rotateY;
    float rotateZ;
    unsigned sphereList;
    GLUquadric* sphereQuadric;   // owned, from init to exit
    unsigned cylinderList;
    GLUquadric* cylinderQuadric; // owned, from init to exit
    // The particle field; particle i is balls[i]. Holds QUORUS_MAX_PARTICLES after init.
    std::vector<Ball> balls;
    // Clock reading of init or of the previous motion step, in milliseconds.
    double lastTime;

    // What the motion step computes from a particle's index alone, the same every frame: the
    // noise values of its anchor and the phases of its jitter noise (before the time offset).
    struct IndexTerms {
        float anchorNoiseX;
        float anchorNoiseY;
        double jitterPhaseX;
        double jitterPhaseY;
    };
    // Terms of particles 0 .. size-1; extended (once) by init and the motion step as needed.
    std::vector<IndexTerms> indexTerms;
    // Scratch of the neighbour search, sized by init.
    NeighbourSearch neighbourSearch;

private:
    void extendIndexTerms(int count);
};

// The plug-in's instance factory: stores a new adapter (owning a new Plugin) through `instance`
// and returns FF_SUCCESS. The caller owns the adapter. Exceptions from construction propagate,
// with nothing leaked.
FFWord createPluginInstance(CFreeFrameGLPlugin** instance);
