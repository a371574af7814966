// libFuzzer target: the framework's parameter XML import from arbitrary text. The input is
// parsed with TinyXML; the root element is read into a fresh parameter list that holds one
// parameter of every type (and a second one under an already used name), every child element is
// also read into every parameter directly, whatever its name says, and the list is then saved,
// printed, parsed again and restored into a second fresh list, so the export path sees whatever
// values the import let through.
//
// Every text goes to the parser through KX::TinyXmlInput laid out in guarded memory: its last
// padding byte is the last byte before an inaccessible page, so any read of the parser past the
// padding faults at once (the parser is not instrumented, so the sanitizers would not see it).
//
// No GL. One thread (the parameter system formats through a shared buffer).
#include "GuardedMemory.h"
#include "KXParam.h"
#include "TinyXmlInput.h"

#include <tinyxml.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// Most child elements read into every parameter directly (the list reads all of them).
constexpr int kMaxDirectReads = 16;
constexpr int kArrayLength = 4;
constexpr int kSelectionCount = 3;
constexpr std::size_t kTextCapacity = 24;

// The application variables one list is bound to, as an effect would hold them.
struct Values {
    float f = 0.5f;
    float array[kArrayLength] = {0.1f, 0.2f, 0.3f, 0.4f};
    double d = 0.25;
    bool b = true;
    bool ev = false;
    int i = 7;
    int selection = 1;
    const char* selectionNames[kSelectionCount] = {"first", "second", "third"};
    float rgba[4] = {1.0f, 0.5f, 0.25f, 1.0f};
    float shadow = 0.0f;
    // A caller's buffer for a string parameter, bound with its capacity: longer texts are cut,
    // and a write past it lands in the allocator's red zone.
    std::vector<char> text = std::vector<char>(kTextCapacity, '\0');
};

// Fills `list` with one parameter of each type bound to `v`; `extra` is attached to one of them
// so that its data child is read too.
void build(KX::ParamList& list, Values& v, KX::ParamData& extra)
{
    list.addFloat("F", &v.f, -1.0f, 1.0f, 0);
    list.addFloatArray("A", v.array, kArrayLength, 0.0f, 1.0f, 1);
    list.addDouble("D", &v.d, 0.0, 10.0, 2);
    list.addBool("B", &v.b)->data = &extra;
    list.addEvent("E", &v.ev);
    list.addInt("I", &v.i);
    list.addSelection("S", v.selectionNames, &v.selection, kSelectionCount);
    list.addString("Str", nullptr); // owned storage, cut to its capacity
    list.addString("Buf", v.text.data(), v.text.size());
    list.addColor("C", v.rgba);
    list.addFloat("F", &v.shadow, 0.0f, 400.0f, 3); // same name: replaces the first in the index
    list.addFloat("Owned", nullptr, 0.0f, 1.0f, 4);
}

// Parses `size` bytes of `text` into `doc` from the end of the guarded memory.
bool parseGuarded(TiXmlDocument& doc, const char* text, std::size_t size)
{
    static GuardedMemory memory;
    char* buffer = memory.tail(KX::TinyXmlInput::bufferSize(size));
    if (buffer == nullptr) {
        std::fprintf(stderr, "fuzz_param_xml: no guarded memory for %zu bytes\n", size);
        std::abort();
    }
    return KX::TinyXmlInput(text, size, buffer).parse(doc);
}

std::string print(const TiXmlNode& node)
{
    TiXmlPrinter printer;
    printer.SetStreamPrinting();
    node.Accept(&printer);
    return printer.CStr();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    TiXmlDocument doc;
    if (!parseGuarded(doc, reinterpret_cast<const char*>(data), size))
        return 0;
    TiXmlElement* root = doc.RootElement();
    if (root == nullptr)
        return 0;

    Values values;
    KX::ParamData extra;
    KX::ParamList list;
    build(list, values, extra);
    list.readXML(root);

    int direct = 0;
    for (TiXmlElement* e = root->FirstChildElement(); e != nullptr && direct < kMaxDirectReads;
         e = e->NextSiblingElement(), ++direct) {
        for (int i = 0; i < list.getNumParams(); ++i)
            list.getParam(i)->readXML(e);
    }
    list.readXML(root); // the root itself as a parameter element, too
    list.getParam(0)->readXML(root);

    // Save what came in and restore it into a fresh list.
    std::unique_ptr<TiXmlElement> saved(list.createXML());
    if (!saved)
        return 0;
    const std::string printed = print(*saved);
    TiXmlDocument again;
    if (!parseGuarded(again, printed.data(), printed.size()) || again.RootElement() == nullptr) {
        std::fprintf(stderr, "fuzz_param_xml: the saved parameters do not parse: %s\n%s\n",
                     again.ErrorDesc(), printed.c_str());
        std::abort();
    }
    Values restoredValues;
    KX::ParamData restoredExtra;
    KX::ParamList restored;
    build(restored, restoredValues, restoredExtra);
    restored.readXML(again.RootElement());
    return 0;
}
