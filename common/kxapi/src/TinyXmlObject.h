// Abstract base of the framework objects that save their state into a TinyXML element tree and
// restore it from one (parameters and parameter lists, KXParam.h).
//
// createXML returns a newly allocated element (null when there is nothing to export); the caller
// owns it and usually hands it to a parent with TiXmlNode::LinkEndChild. readXML only reads the
// element it is given and never takes ownership of it. No GL context needed; call an object's
// operations from one thread at a time.
#pragma once

class TiXmlElement;

class TinyXmlObject {
public:
    virtual ~TinyXmlObject() = default;

    // A new element describing the object, owned by the caller, or null.
    virtual TiXmlElement* createXML() = 0;
    // Restores the object from `element` (not owned); false when the element is refused.
    virtual bool readXML(TiXmlElement* element) = 0;
};
