// KXGfxObject: the common polymorphic base of the graphics layer's resource objects (render
// targets), so that they can be owned and destroyed through a base pointer. It has no data and
// makes no GL calls; what a derived object's destructor needs is documented there.
#pragma once

class KXGfxObject {
public:
    KXGfxObject() = default;
    virtual ~KXGfxObject() = default;

protected:
    // Copying belongs to the derived classes (which own GL names and mostly forbid it).
    KXGfxObject(const KXGfxObject&) = default;
    KXGfxObject& operator=(const KXGfxObject&) = default;
};
