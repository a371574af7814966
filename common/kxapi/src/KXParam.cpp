// Parameters, parameter lists and their XML form.
#include "KXParam.h"

#include "KXUtils.h"

#include <tinyxml.h>

#include <cstdlib>
#include <cstring>

namespace KX {

namespace {

// Table names of the types, indexed by PARAM_TYPE. Colours have no name of their own: their slot
// holds "UNKNOWN", so they are never exported and an element typed "UNKNOWN" is refused.
constexpr const char* names[Param::kNumTypeNames] = {
    "FLOAT", "DOUBLE", "BOOL", "STRING", "EVENT", "SELECTION", "INT", "UNKNOWN",
};

// Copies `s` into `dst` with memmove, so that setting a parameter from its own buffer is safe.
// With a capacity the copy keeps at most capacity - 1 characters and is always terminated.
void copyText(char* dst, const char* s, std::size_t capacity)
{
    std::size_t len = std::strlen(s);
    if (capacity > 0 && len > capacity - 1)
        len = capacity - 1;
    std::memmove(dst, s, len);
    dst[len] = '\0';
}

// The value of a "var" element: its first text child (plain or CDATA), so that a comment or an
// element written before the value does not hide it. Null when it has none.
const char* valueText(const TiXmlElement& e)
{
    for (const TiXmlNode* child = e.FirstChild(); child; child = child->NextSibling()) {
        if (const TiXmlText* text = child->ToText())
            return text->Value();
    }
    return nullptr;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// ParamData

TiXmlElement* ParamData::createXML() { return new TiXmlElement("EmptyValueData"); }

bool ParamData::readXML(TiXmlElement*) { return false; }

// ---------------------------------------------------------------------------------------------
// Param

Param::Param()
    : tag(-1), refCount(0), data(nullptr), name("unknown"), address(nullptr), min(0.0), max(1.0),
      defaultValue(0.0), numElements(1), selectionNames(nullptr), stringCapacity(0),
      type(PARAM_UNKNOWN)
{
}

Param::~Param()
{
    // Index walk with the count re-read each step, as for change notifications.
    for (std::size_t i = 0; i < listeners.size(); ++i)
        listeners[i]->paramDestroyed(this);
}

template <typename T> void Param::allocateStorage(int count)
{
    // At least one element, so that element 0 can always be read.
    const std::size_t n = count > 1 ? static_cast<std::size_t>(count) : 1;
    ownedStorage = std::unique_ptr<void, ParamStorageDeleter>(
        new T[n](), ParamStorageDeleter{[](void* p) { delete[] static_cast<T*>(p); }});
    address = ownedStorage.get();
}

void Param::initFloat(const char* n, float* var, float lo, float hi)
{
    name = n;
    type = PARAM_FLOAT;
    address = var;
    if (!var)
        allocateStorage<float>(1);
    min = lo;
    max = hi;
    numElements = 1;
    defaultValue = *static_cast<float*>(address);
}

void Param::initFloatArray(const char* n, float* var, int count, float lo, float hi)
{
    name = n;
    type = PARAM_FLOAT;
    address = var;
    if (!var)
        allocateStorage<float>(count);
    min = lo;
    max = hi;
    numElements = count;
    defaultValue = 0.0;
}

void Param::initDouble(const char* n, double* var, double lo, double hi)
{
    name = n;
    type = PARAM_DOUBLE;
    address = var;
    if (!var)
        allocateStorage<double>(1);
    min = lo;
    max = hi;
    numElements = 1;
    defaultValue = *static_cast<double*>(address);
}

void Param::initBool(const char* n, bool* var)
{
    name = n;
    type = PARAM_BOOL;
    address = var;
    if (!var)
        allocateStorage<bool>(1);
    numElements = 1;
}

void Param::initEvent(const char* n, bool* var)
{
    name = n;
    type = PARAM_EVENT;
    address = var;
    if (!var)
        allocateStorage<bool>(1);
    numElements = 1;
}

void Param::initInt(const char* n, int* var)
{
    name = n;
    type = PARAM_INT;
    address = var;
    if (!var)
        allocateStorage<int>(1);
    numElements = 1;
}

void Param::initString(const char* n, char* buffer, std::size_t capacity)
{
    name = n;
    type = PARAM_STRING;
    address = buffer;
    stringCapacity = capacity;
    if (!buffer) {
        allocateStorage<char>(static_cast<int>(kOwnedStringCapacity)); // zeroed: the empty string
        stringCapacity = kOwnedStringCapacity;
    }
    numElements = 1;
}

void Param::initSelection(const char* n, const char** entries, int* var, int count)
{
    name = n;
    type = PARAM_SELECTION;
    address = var;
    if (!var)
        allocateStorage<int>(1); // a selection needs a variable; never read through null
    selectionNames = entries;
    numElements = count;
    defaultValue = *static_cast<int*>(address);
}

void Param::initColor(const char* n, float* rgba)
{
    name = n;
    type = PARAM_COLOR;
    address = rgba;
    if (!rgba)
        allocateStorage<float>(4); // a colour needs a variable; never write through null
    numElements = 1;
}

void Param::notifyChanged()
{
    // By index, re-reading the count: a listener added during the walk is called in the same
    // walk; one removed during it shifts the later ones down by one place.
    for (std::size_t i = 0; i < listeners.size(); ++i)
        listeners[i]->paramChanged(this);
}

void Param::setFloat(float v, int index)
{
    if (type != PARAM_FLOAT || index < 0 || index >= numElements)
        return;
    static_cast<float*>(address)[index] = v;
    notifyChanged();
}

void Param::setDouble(double v, int index)
{
    if (type != PARAM_DOUBLE || index < 0 || index >= numElements)
        return;
    static_cast<double*>(address)[index] = v;
    notifyChanged();
}

void Param::setInt(int v)
{
    if (type != PARAM_INT && type != PARAM_SELECTION)
        return;
    *static_cast<int*>(address) = v;
    notifyChanged();
}

void Param::setBool(bool v)
{
    if (type != PARAM_BOOL && type != PARAM_EVENT)
        return;
    *static_cast<bool*>(address) = v;
    notifyChanged();
}

void Param::setString(const char* s)
{
    if (type != PARAM_STRING || !s)
        return;
    // A caller buffer of unknown size gets the whole text.
    copyText(static_cast<char*>(address), s, stringCapacity);
    notifyChanged();
}

void Param::setColor(float r, float g, float b, float a)
{
    if (type != PARAM_COLOR)
        return;
    float* c = static_cast<float*>(address);
    c[0] = r;
    c[1] = g;
    c[2] = b;
    c[3] = a;
    notifyChanged();
}

void Param::setColor(const float* rgba)
{
    if (rgba)
        setColor(rgba[0], rgba[1], rgba[2], rgba[3]);
}

void Param::setFloatArray(const float* values)
{
    if (type != PARAM_FLOAT || numElements <= 1 || !values)
        return;
    std::copy(values, values + numElements, static_cast<float*>(address));
    notifyChanged();
}

void Param::setFloatArray01(const float* values)
{
    if (type != PARAM_FLOAT || numElements <= 1 || !values)
        return;
    float* dst = static_cast<float*>(address);
    for (int i = 0; i < numElements; ++i)
        dst[i] = static_cast<float>(min + static_cast<double>(values[i]) * (max - min));
    notifyChanged();
}

void Param::valueChanged(int) { notifyChanged(); }

float Param::getFloat() const
{
    return type == PARAM_FLOAT ? static_cast<const float*>(address)[0] : 0.0f;
}

double Param::getDouble() const
{
    return type == PARAM_DOUBLE ? *static_cast<const double*>(address) : 0.0;
}

bool Param::getBool() const
{
    return (type == PARAM_BOOL || type == PARAM_EVENT) ? *static_cast<const bool*>(address) : false;
}

int Param::getInt() const
{
    return (type == PARAM_INT || type == PARAM_SELECTION) ? *static_cast<const int*>(address) : 0;
}

char* Param::getString() const
{
    if (type == PARAM_STRING)
        return static_cast<char*>(address);
    if (type == PARAM_SELECTION && selectionNames) {
        // Callers take a plain character pointer for both kinds; entry names stay read-only.
        const int i = getInt();
        return (i >= 0 && i < numElements) ? const_cast<char*>(selectionNames[i]) : nullptr;
    }
    return nullptr;
}

float* Param::getColor() const
{
    return (type == PARAM_COLOR || type == PARAM_SELECTION) ? static_cast<float*>(address) : nullptr;
}

float Param::getFloat01() const
{
    // A degenerate range has no position within it; answer 0 rather than a non-finite value.
    if (max == min)
        return 0.0f;
    return static_cast<float>((static_cast<double>(getFloat()) - min) / (max - min));
}

float Param::getMin() const { return static_cast<float>(min); }

float Param::getMax() const { return static_cast<float>(max); }

int Param::getNumElements() const { return numElements; }

void* Param::getAddress() const { return address; }

PARAM_TYPE Param::getType() const { return type; }

const char* Param::getName() const { return name.c_str(); }

bool Param::isName(const char* s) const { return s && name == s; }

ParamData* Param::getData() { return data; }

bool Param::addListener(ParamListener* listener) { return stdPushOnce(listeners, listener); }

bool Param::removeListener(ParamListener* listener)
{
    return stdEraseFromVector(listeners, listener);
}

void Param::clearListeners() { listeners.clear(); }

const char* Param::getTypeName(PARAM_TYPE t)
{
    return (t >= 0 && t < kNumTypeNames) ? names[t] : nullptr;
}

PARAM_TYPE Param::getTypeFromString(const char* s)
{
    if (s) {
        for (int i = 0; i < kNumTypeNames; ++i) {
            if (std::strcmp(s, names[i]) == 0)
                return static_cast<PARAM_TYPE>(i);
        }
    }
    return PARAM_UNKNOWN;
}

TiXmlElement* Param::createXML()
{
    if (type == PARAM_UNKNOWN || type == PARAM_COLOR || !getTypeName(type))
        return nullptr;

    TiXmlElement* e = new TiXmlElement("var");
    e->SetAttribute("type", getTypeName(type));
    e->SetAttribute("name", name.c_str());

    std::string text;
    switch (type) {
    case PARAM_FLOAT: {
        const float v = getFloat();
        stdPrintf(text, "%g", static_cast<double>(v));
        // Six digits do not bring every float back; those get the nine that always do.
        if (v == v && stringToFloat(text.c_str()) != v)
            stdPrintf(text, "%.9g", static_cast<double>(v));
        break;
    }
    case PARAM_DOUBLE:
        // Enough digits to read back the identical double.
        stdPrintf(text, "%.17g", getDouble());
        break;
    case PARAM_BOOL:
    case PARAM_EVENT:
        stdPrintf(text, "%d", getBool() ? 1 : 0);
        break;
    case PARAM_STRING:
        // Taken whole, not through the bounded formatting buffer: a caller buffer may hold a text
        // of any length.
        if (const char* s = getString())
            text.assign(s, stringCapacity > 0 ? strnlen(s, stringCapacity) : std::strlen(s));
        break;
    case PARAM_SELECTION:
    case PARAM_INT:
        stdPrintf(text, "%d", getInt());
        break;
    default:
        break;
    }
    e->LinkEndChild(new TiXmlText(text.c_str()));

    if (data)
        e->LinkEndChild(data->createXML());
    return e;
}

bool Param::readXML(TiXmlElement* e)
{
    if (!e)
        return false;
    const char* elementName = e->Attribute("name");
    const PARAM_TYPE elementType = getTypeFromString(e->Attribute("type"));
    if (elementType == PARAM_UNKNOWN || elementType == PARAM_COLOR)
        return false;
    // An element without a name cannot say what it is for; leave the parameter alone.
    if (!elementName)
        return false;

    const char* text = valueText(*e);
    name = elementName;

    // Dispatch on the element's type; the setters still refuse a value of another type. Without
    // a text a string reads as empty and a number keeps its value.
    switch (elementType) {
    case PARAM_FLOAT:
        if (text)
            setFloat(stringToFloat(text), 0);
        break;
    case PARAM_DOUBLE:
        if (text)
            setDouble(std::strtod(text, nullptr), 0);
        break;
    case PARAM_BOOL:
        if (text)
            setBool(stringToInt(text) != 0);
        break;
    case PARAM_STRING:
        setString(text ? text : "");
        break;
    case PARAM_EVENT:
        // Restoring saved values must not fire a trigger.
        break;
    case PARAM_SELECTION:
    case PARAM_INT:
        if (text)
            setInt(stringToInt(text));
        break;
    default:
        break;
    }

    if (data) {
        if (TiXmlElement* child = e->FirstChildElement())
            data->readXML(child);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// ParamList

ParamList::ParamList() = default;

ParamList::~ParamList() { release(); }

Param* ParamList::addFloat(const char* name, float* var, float min, float max, int tag)
{
    Param* p = new Param;
    p->initFloat(name, var, min, max);
    p->tag = tag;
    addParam(p);
    return p;
}

Param* ParamList::addDouble(const char* name, double* var, double min, double max, int tag)
{
    Param* p = new Param;
    p->initDouble(name, var, min, max);
    p->tag = tag;
    addParam(p);
    return p;
}

Param* ParamList::addFloatArray(const char* name, float* var, int count, float min, float max,
                                int tag)
{
    Param* p = new Param;
    p->initFloatArray(name, var, count, min, max);
    p->tag = tag;
    addParam(p);
    return p;
}

Param* ParamList::addBool(const char* name, bool* var)
{
    Param* p = new Param;
    p->initBool(name, var);
    addParam(p);
    return p;
}

Param* ParamList::addEvent(const char* name, bool* var)
{
    Param* p = new Param;
    p->initEvent(name, var);
    addParam(p);
    return p;
}

Param* ParamList::addInt(const char* name, int* var)
{
    Param* p = new Param;
    p->initInt(name, var);
    addParam(p);
    return p;
}

Param* ParamList::addString(const char* name, char* buffer, std::size_t capacity)
{
    Param* p = new Param;
    p->initString(name, buffer, capacity);
    addParam(p);
    return p;
}

Param* ParamList::addSelection(const char* name, const char** entries, int* var, int count)
{
    Param* p = new Param;
    p->initSelection(name, entries, var, count);
    addParam(p);
    return p;
}

Param* ParamList::addColor(const char* name, float* rgba)
{
    Param* p = new Param;
    p->initColor(name, rgba);
    addParam(p);
    return p;
}

void ParamList::addParam(Param* p)
{
    if (!p)
        return;
    ++p->refCount;
    params.push_back(p);
    paramsByName[p->name] = p;
}

void ParamList::addParams(const ParamList& other)
{
    // Copy first: adding a list to itself must not walk a vector that grows.
    const std::vector<Param*> shared = other.params;
    for (Param* p : shared)
        addParam(p);
}

Param* ParamList::find(const char* name) const
{
    if (!name)
        return nullptr;
    auto it = paramsByName.find(name);
    return it != paramsByName.end() ? it->second : nullptr;
}

int ParamList::getNumParams() const { return static_cast<int>(params.size()); }

Param* ParamList::getParam(int i) const
{
    return (i >= 0 && i < getNumParams()) ? params[static_cast<std::size_t>(i)] : nullptr;
}

bool ParamList::setInt(const char* name, int v)
{
    Param* p = find(name);
    if (!p || p->getType() != PARAM_INT)
        return false;
    p->setInt(v);
    return true;
}

bool ParamList::setBool(const char* name, bool v)
{
    Param* p = find(name);
    if (!p || p->getType() != PARAM_BOOL)
        return false;
    p->setBool(v);
    return true;
}

bool ParamList::setDouble(const char* name, double v)
{
    Param* p = find(name);
    if (!p || p->getType() != PARAM_DOUBLE)
        return false;
    p->setDouble(v, 0);
    return true;
}

bool ParamList::setFloat(const char* name, float v)
{
    Param* p = find(name);
    if (!p || p->getType() != PARAM_FLOAT)
        return false;
    p->setFloat(v, 0);
    return true;
}

void ParamList::addListener(ParamListener* listener)
{
    for (Param* p : params)
        p->addListener(listener);
}

bool ParamList::remove(Param* p)
{
    auto it = std::find(params.begin(), params.end(), p);
    if (it == params.end())
        return false;
    params.erase(it);

    // The name index keeps entries of other parameters of the same name. Entries of p go once p
    // has left the list entirely, including one under an older name (p may have been renamed).
    if (std::find(params.begin(), params.end(), p) == params.end()) {
        for (auto entry = paramsByName.begin(); entry != paramsByName.end();) {
            if (entry->second == p)
                entry = paramsByName.erase(entry);
            else
                ++entry;
        }
    }

    // Another list sharing p keeps it alive.
    if (p->refCount > 1)
        --p->refCount;
    else
        delete p;
    return true;
}

void ParamList::release()
{
    // Take the entries out first so that listeners called from destructors see a settled list.
    std::vector<Param*> held;
    held.swap(params);
    paramsByName.clear();
    for (Param* p : held) {
        if (p->refCount > 1)
            --p->refCount;
        else
            delete p;
    }
}

TiXmlElement* ParamList::createXML()
{
    TiXmlElement* root = new TiXmlElement("Params");
    for (Param* p : params) {
        if (TiXmlElement* e = p->createXML())
            root->LinkEndChild(e);
    }
    return root;
}

bool ParamList::readXML(TiXmlElement* e)
{
    if (!e)
        return true;
    for (TiXmlElement* child = e->FirstChildElement(); child; child = child->NextSiblingElement()) {
        if (Param* p = find(child->Attribute("name")))
            p->readXML(child);
    }
    return true;
}

} // namespace KX
