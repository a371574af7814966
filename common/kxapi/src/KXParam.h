// Typed, named parameters bound to application variables, their listeners, and the parameter
// list an application registers them in.
//
// A KX::Param is bound to a variable of the application (a float, an int, a character buffer...):
// the application reads its variable directly, while everything from outside (the FFGL adapter,
// the XML reader) writes through the parameter, which checks the type, stores the value and then
// notifies its listeners. A KX::ParamList keeps parameters in order of registration (the host's
// parameter index) and finds them by exact name. Both can save and restore their values as a
// TinyXML element tree ("Params" with one "var" per parameter).
//
// Ownership: a list owns its parameters; a parameter held by several lists is counted in its
// refCount and deleted by the last list that lets go of it. Listeners, selection entry names and
// `data` are never owned by the parameter. A bound variable must outlive its parameter, and a
// listener must stay alive until it is removed or the parameter is destroyed (it is told then).
//
// Threads: none of its own and no locking; listeners run synchronously inside the setters. Export
// formats through KX::stdPrintf's shared buffer, so use one thread only. No GL context needed.
#pragma once

#include "TinyXmlObject.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace KX {

// Appends `value` unless `v` already holds an equal element; true when appended.
template <typename Vector, typename Value>
bool stdPushOnce(Vector& v, const Value& value)
{
    if (std::find(v.begin(), v.end(), value) != v.end())
        return false;
    v.push_back(value);
    return true;
}

// Erases the first element of `v` equal to `value`; true when one was found.
template <typename Vector, typename Value>
bool stdEraseFromVector(Vector& v, const Value& value)
{
    auto it = std::find(v.begin(), v.end(), value);
    if (it == v.end())
        return false;
    v.erase(it);
    return true;
}

enum PARAM_TYPE : std::int32_t {
    PARAM_UNKNOWN = -1,  // constructed but not initialised
    PARAM_FLOAT = 0,     // one float or an array of numElements floats
    PARAM_DOUBLE = 1,    // one double
    PARAM_BOOL = 2,      // one bool
    PARAM_STRING = 3,    // a NUL-terminated character buffer
    PARAM_EVENT = 4,     // one bool used as a trigger
    PARAM_SELECTION = 5, // one int: index into the entry names
    PARAM_INT = 6,       // one int
    PARAM_COLOR = 7,     // four floats: red, green, blue, alpha
};

class Param;

// Frees a parameter's own storage through the function matching its element type.
struct ParamStorageDeleter {
    void (*destroy)(void*) = nullptr;
    void operator()(void* p) const
    {
        if (destroy)
            destroy(p);
    }
};

// Implemented by applications that want to hear about parameter changes.
class ParamListener {
public:
    virtual ~ParamListener() = default;
    // After every accepted write of a value, even when the value did not change.
    virtual void paramChanged(Param* param) = 0;
    // From the parameter's destructor, while the parameter is still intact.
    virtual void paramDestroyed(Param* param) = 0;
};

// Extra data saved and restored with a parameter: an empty "EmptyValueData" element.
class ParamData {
public:
    // A new "EmptyValueData" element, owned by the caller.
    TiXmlElement* createXML();
    // Reads nothing; always false.
    bool readXML(TiXmlElement* element);
};

class Param : public TinyXmlObject {
public:
    // Size of the buffer a string parameter allocates when no buffer is bound, terminator included.
    static constexpr std::size_t kOwnedStringCapacity = 256;
    // Number of entries of the type-name table (every type from PARAM_FLOAT to PARAM_COLOR).
    static constexpr int kNumTypeNames = 8;

    Param();
    ~Param() override;

    Param(const Param&) = delete;
    Param& operator=(const Param&) = delete;

    // A new "var" element with the current value (owned by the caller), or null for colour and
    // uninitialised parameters.
    TiXmlElement* createXML() override;
    // Sets the value from a "var" element (not owned); false when the element is refused.
    bool readXML(TiXmlElement* element) override;
    virtual ParamData* getData();

    // Each init binds the parameter to a variable once. A null address (where allowed) makes the
    // parameter allocate zeroed storage of its own, released with the parameter.
    void initFloat(const char* name, float* var, float min, float max);
    void initFloatArray(const char* name, float* var, int count, float min, float max);
    void initDouble(const char* name, double* var, double min, double max);
    void initBool(const char* name, bool* var);
    void initEvent(const char* name, bool* var);
    void initInt(const char* name, int* var);
    // `capacity` is the size of the caller's buffer in bytes, terminator included; longer texts
    // are cut to fit. Give it wherever texts come from outside (XML, hosts): without it (0) the
    // buffer must be large enough for every text later set. A null buffer gives owned storage of
    // kOwnedStringCapacity bytes.
    void initString(const char* name, char* buffer, std::size_t capacity = 0);
    // `entries` (count names, not owned) must outlive the parameter; `var` should not be null.
    void initSelection(const char* name, const char** entries, int* var, int count);
    // `rgba` points to four floats; it should not be null.
    void initColor(const char* name, float* rgba);

    // Setters write only when the type (and index) fits, then notify every listener once.
    void setFloat(float v, int index);
    void setDouble(double v, int index);
    void setInt(int v);   // int and selection parameters; no range check
    void setBool(bool v); // bool and event parameters
    // Null is ignored. Keeps at most stringCapacity - 1 characters when the capacity is known.
    void setString(const char* s);
    void setColor(float r, float g, float b, float a);
    void setColor(const float* rgba);
    // Float arrays only (numElements > 1): numElements values, plain or normalised to 0..1.
    void setFloatArray(const float* values);
    void setFloatArray01(const float* values);
    // Notifies every listener; the argument is not used.
    void valueChanged(int unused);

    float getFloat() const;
    double getDouble() const;
    bool getBool() const;
    int getInt() const;
    // The bound buffer of a string parameter, the selected entry's name of a selection (null when
    // the index is out of range), otherwise null. Valid as long as the buffer / entry names; the
    // entry names of a selection are read-only text and must not be written through it.
    char* getString() const;
    // The bound floats of a colour parameter (for a selection: its index variable); else null.
    float* getColor() const;
    // (value - min) / (max - min); 0 when min equals max. Not clamped.
    float getFloat01() const;
    float getMin() const;
    float getMax() const;
    int getNumElements() const;
    void* getAddress() const;
    PARAM_TYPE getType() const;
    const char* getName() const; // valid until the parameter is renamed or destroyed
    bool isName(const char* s) const;

    bool addListener(ParamListener* listener);    // false when already present
    bool removeListener(ParamListener* listener); // false when absent
    void clearListeners();                        // notifies nobody

    // The table name of a type ("UNKNOWN" for PARAM_COLOR), null outside the table.
    static const char* getTypeName(PARAM_TYPE t);
    // The type whose table name equals s exactly ("UNKNOWN" gives PARAM_COLOR), else PARAM_UNKNOWN.
    static PARAM_TYPE getTypeFromString(const char* s);

    // The fields are public so that applications can read `tag` and attach `data`; everything
    // else is maintained by the init operations and the parameter lists.
    int tag;           // stored for the application only
    int refCount;      // number of lists holding the parameter
    ParamData* data;   // optional extra data for XML; not owned
    std::unique_ptr<void, ParamStorageDeleter> ownedStorage;
    std::vector<ParamListener*> listeners; // not owned, notified in order of addition
    std::string name;
    void* address; // the bound variable or ownedStorage
    double min;
    double max;
    double defaultValue;
    int numElements;
    const char** selectionNames; // not owned
    std::size_t stringCapacity;  // bytes of a string parameter's buffer; 0 when not known
    PARAM_TYPE type;

private:
    void notifyChanged();
    // Allocates `count` zeroed elements of T as owned storage and binds `address` to them.
    template <typename T> void allocateStorage(int count);
};

class ParamList : public TinyXmlObject {
public:
    ParamList();
    ~ParamList() override;

    ParamList(const ParamList&) = delete;
    ParamList& operator=(const ParamList&) = delete;

    // A new "Params" element with one child per exportable parameter, owned by the caller.
    TiXmlElement* createXML() override;
    // Restores the parameters named by the children of `element` (not owned); always true.
    bool readXML(TiXmlElement* element) override;

    // The add operations create a parameter owned by this list and return it (valid until the
    // list releases or removes it). A null address gives owned storage; not so for selection
    // and colour parameters, which must be bound to a variable.
    Param* addFloat(const char* name, float* var, float min, float max, int tag);
    Param* addDouble(const char* name, double* var, double min, double max, int tag);
    Param* addFloatArray(const char* name, float* var, int count, float min, float max, int tag);
    Param* addBool(const char* name, bool* var);
    Param* addEvent(const char* name, bool* var);
    Param* addInt(const char* name, int* var);
    Param* addString(const char* name, char* buffer, std::size_t capacity = 0);
    Param* addSelection(const char* name, const char** entries, int* var, int count);
    Param* addColor(const char* name, float* rgba);

    // Takes a share of `p`, which must have been allocated with new. A parameter of the same name
    // replaces the older one in the name index; both stay in the list.
    void addParam(Param* p);
    // Shares every parameter of `other` with this list, in its order.
    void addParams(const ParamList& other);

    // The parameter indexed under exactly `name`, or null. Owned by the list.
    Param* find(const char* name) const;
    int getNumParams() const;
    Param* getParam(int i) const; // null outside 0..getNumParams()-1

    // By-name setters: true when a parameter of exactly that type (not a selection / an event)
    // took the value.
    bool setInt(const char* name, int v);
    bool setBool(const char* name, bool v);
    bool setDouble(const char* name, double v);
    bool setFloat(const char* name, float v);

    // Adds the listener to every parameter now in the list.
    void addListener(ParamListener* listener);

    // Takes `p` out of this list; it is deleted unless another list still shares it. False when
    // `p` is not in the list.
    bool remove(Param* p);
    // Lets go of every parameter (deleting those no other list shares) and empties the list.
    void release();

private:
    std::vector<Param*> params;
    std::map<std::string, Param*> paramsByName;
};

} // namespace KX
