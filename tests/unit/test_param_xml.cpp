// Saving and restoring parameter values as TinyXML trees, through TinyXML's printer and parser.
#include "KXParam.h"
#include "TinyXmlInput.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <climits>
#include <cmath>
#include <memory>
#include <string>

namespace {

using KX::Param;
using KX::ParamList;

struct Counter : KX::ParamListener {
    int changed = 0;
    void paramChanged(Param*) override { ++changed; }
    void paramDestroyed(Param*) override {}
};

std::string print(const TiXmlNode& node)
{
    TiXmlPrinter printer;
    printer.SetStreamPrinting(); // one line, no indentation
    node.Accept(&printer);
    return printer.CStr();
}

// Prints `e` (taking ownership) and parses it back into `doc`; returns the parsed root.
TiXmlElement* roundTrip(TiXmlElement* e, TiXmlDocument& doc)
{
    std::unique_ptr<TiXmlElement> owned(e);
    EXPECT_TRUE(KX::parseXml(doc, print(*owned))) << doc.ErrorDesc();
    return doc.RootElement();
}

std::string exported(Param& p)
{
    std::unique_ptr<TiXmlElement> e(p.createXML());
    return e ? print(*e) : "(null)";
}

TEST(ParamXml, ValueFormatting)
{
    float f = 0.1f;
    Param pf;
    pf.initFloat("f", &f, 0, 1);
    EXPECT_EQ(exported(pf), "<var type=\"FLOAT\" name=\"f\">0.1</var>");
    f = 400.0f;
    EXPECT_EQ(exported(pf), "<var type=\"FLOAT\" name=\"f\">400</var>");
    // Six significant digits where they bring the float back, nine where they would not: a
    // saved preset must restore the very value it saved.
    f = 0.1234567f;
    EXPECT_EQ(exported(pf), "<var type=\"FLOAT\" name=\"f\">0.123456702</var>");
    for (const float v : {0.1234567f, 7.6000004f, 1.0f / 3.0f, 3.4e38f, -1.17549435e-38f}) {
        f = v;
        std::unique_ptr<TiXmlElement> e(pf.createXML());
        f = 0.0f;
        ASSERT_TRUE(pf.readXML(e.get()));
        EXPECT_EQ(f, v) << exported(pf);
    }

    bool b = true;
    int sel = 2;
    const char* entries[] = {"a", "b", "c"};
    double d = 1.0 / 3.0;
    Param pb, ps, pd, pc, pu;
    pb.initBool("b", &b);
    ps.initSelection("s", entries, &sel, 3);
    pd.initDouble("d", &d, 0, 1);
    float rgba[4] = {};
    pc.initColor("c", rgba);
    EXPECT_EQ(exported(pb), "<var type=\"BOOL\" name=\"b\">1</var>");
    EXPECT_EQ(exported(ps), "<var type=\"SELECTION\" name=\"s\">2</var>");
    EXPECT_EQ(exported(pd), "<var type=\"DOUBLE\" name=\"d\">0.33333333333333331</var>");
    EXPECT_EQ(exported(pc), "(null)");
    EXPECT_EQ(exported(pu), "(null)");

    KX::ParamData extra;
    pb.data = &extra;
    EXPECT_EQ(exported(pb), "<var type=\"BOOL\" name=\"b\">1<EmptyValueData /></var>");
}

TEST(ParamXml, ListRoundTripRestoresEveryValueOnce)
{
    Counter counter; // outlives the parameters it listens to
    float f = 0.25f, arr[2] = {0.5f, 0.75f}, rgba[4] = {1, 1, 1, 1};
    double d = 0.1;
    bool b = true, ev = true;
    int i = -42, sel = 1;
    const char* entries[] = {"x", "y"};
    char big[6000] = {};
    ParamList list;
    list.addFloat("F", &f, 0, 1, -1);
    list.addFloatArray("A", arr, 2, 0, 1, -1);
    list.addColor("C", rgba);
    list.addDouble("D", &d, 0, 1, -1);
    list.addBool("B", &b);
    list.addEvent("E", &ev);
    list.addInt("I", &i);
    list.addSelection("S", entries, &sel, 2);
    Param* s = list.addString("Str", nullptr);
    s->setString("a <b> & \"c\"");
    Param* longText = list.addString("Long", big);
    const std::string text(5000, 'z'); // longer than the formatting buffer
    longText->setString(text.c_str());

    TiXmlDocument doc;
    TiXmlElement* root = roundTrip(list.createXML(), doc);
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->Value(), "Params");
    int vars = 0;
    for (TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement())
        ++vars;
    EXPECT_EQ(vars, 9) << "everything but the colour";

    f = arr[0] = arr[1] = 0.0f;
    d = 0.0;
    b = ev = false;
    i = sel = 0;
    s->setString("");
    longText->setString("");
    list.addListener(&counter);
    EXPECT_TRUE(list.readXML(root));

    EXPECT_EQ(f, 0.25f);
    EXPECT_EQ(arr[0], 0.5f) << "an array saves its first element";
    EXPECT_EQ(arr[1], 0.0f);
    EXPECT_EQ(d, 0.1) << "doubles come back exactly";
    EXPECT_TRUE(b);
    EXPECT_FALSE(ev) << "restoring must not fire a trigger";
    EXPECT_EQ(i, -42);
    EXPECT_EQ(sel, 1);
    EXPECT_STREQ(s->getString(), "a <b> & \"c\"");
    EXPECT_EQ(std::string(big), text);
    EXPECT_EQ(counter.changed, 8);
}

TEST(ParamXml, EmptyAndOverlongStrings)
{
    ParamList list;
    Param* s = list.addString("s", nullptr);
    KX::ParamData extra;
    s->data = &extra;
    TiXmlDocument doc;
    TiXmlElement* root = roundTrip(list.createXML(), doc); // "" comes back without a text node
    s->setString("stale");
    EXPECT_TRUE(list.readXML(root));
    EXPECT_STREQ(s->getString(), "");

    TiXmlElement e("var");
    e.SetAttribute("type", "STRING");
    e.SetAttribute("name", "s");
    e.LinkEndChild(new TiXmlText(std::string(300, 'q').c_str()));
    EXPECT_TRUE(s->readXML(&e));
    EXPECT_EQ(std::string(s->getString()), std::string(255, 'q'));

    // A caller's buffer bound with its capacity takes what fits, terminated, and nothing beyond.
    char small[16 + 1];
    small[16] = '#';
    Param* bounded = list.addString("s", small, 16);
    EXPECT_TRUE(bounded->readXML(&e));
    EXPECT_EQ(std::string(small), std::string(15, 'q'));
    EXPECT_EQ(small[16], '#');
    EXPECT_EQ(exported(*bounded), "<var type=\"STRING\" name=\"s\">" + std::string(15, 'q') + "</var>");
    small[15] = 'x'; // no terminator within the buffer: the export still stops at its end
    EXPECT_EQ(exported(*bounded), "<var type=\"STRING\" name=\"s\">" + std::string(15, 'q') + "x</var>");
}

// Trees the parser accepts but our export never writes: the value is still found where there is
// one, and nothing is read that is not there.
TEST(ParamXml, OddTreesReadSafely)
{
    float f = 0.5f;
    int n = 7;
    double d = 1.0;
    char text[32] = "keep";
    ParamList list;
    list.addFloat("f", &f, 0, 1, -1);
    list.addInt("n", &n);
    list.addDouble("d", &d, 0, 1, -1);
    list.addString("s", text, sizeof text);
    Param* unnamed = list.addInt("", nullptr);

    TiXmlDocument doc;
    ASSERT_TRUE(KX::parseXml(doc, "<Params>"
                                  "<var type=\"STRING\" name=\"s\"><!-- edited by hand -->"
                                  "<![CDATA[a<b]]></var>"
                                  "<var type=\"FLOAT\" name=\"f\"><EmptyValueData/>0.25</var>"
                                  "<var type=\"INT\" name=\"n\" x=\"y\">-99999999999</var>"
                                  "<var type=\"INT\" name=\"n\">99999999999999999999</var>"
                                  "<var type=\"INT\" name=\"n\"><var type=\"INT\" name=\"n\">1"
                                  "</var></var>"
                                  "<var type=\"DOUBLE\" name=\"d\">-1e999</var>"
                                  "<var type=\"INT\" name=\"\">5</var>"
                                  "</Params>"));
    EXPECT_TRUE(list.readXML(doc.RootElement()));
    EXPECT_STREQ(text, "a<b") << "a comment before the value does not hide it";
    EXPECT_EQ(f, 0.25f) << "nor does the data element";
    EXPECT_EQ(n, INT_MAX) << "numbers beyond int are clamped; nested elements are not read";
    EXPECT_EQ(d, -HUGE_VAL);
    EXPECT_EQ(unnamed->getInt(), 5) << "an empty name is a name like any other";
}

TEST(ParamXml, RefusedAndMalformedElements)
{
    Counter counter; // outlives the parameters it listens to
    float f = 0.5f;
    int n = 7;
    bool b = true;
    ParamList list;
    Param* pf = list.addFloat("f", &f, 0, 1, -1);
    list.addInt("n", &n);
    list.addBool("b", &b);
    list.addListener(&counter);

    TiXmlDocument doc;
    ASSERT_TRUE(KX::parseXml(doc, "<Params>"
                                  "<var type=\"UNKNOWN\" name=\"f\">1</var>"
                                  "<var type=\"float\" name=\"f\">1</var>"
                                  "<var name=\"f\">1</var>"
                                  "<var type=\"INT\" name=\"f\">3</var>"
                                  "<var type=\"FLOAT\">0.9</var>"
                                  "<var type=\"DOUBLE\"/>"
                                  "<var type=\"FLOAT\" name=\"missing\">1</var>"
                                  "<var type=\"FLOAT\" name=\"f\"/>"
                                  "<var type=\"INT\" name=\"n\"/>"
                                  "<var type=\"BOOL\" name=\"b\"></var>"
                                  "<other type=\"INT\" name=\"n\">12abc</other>"
                                  "</Params>"));
    EXPECT_TRUE(list.readXML(doc.RootElement()));
    EXPECT_EQ(f, 0.5f);
    EXPECT_TRUE(b);
    EXPECT_EQ(n, 12) << "any element name; the longest numeric prefix";
    EXPECT_EQ(counter.changed, 1);
    EXPECT_TRUE(list.readXML(nullptr));

    // Read directly: refused elements change neither value nor name.
    TiXmlElement* refused = doc.RootElement()->FirstChildElement();
    EXPECT_FALSE(pf->readXML(refused));
    EXPECT_FALSE(pf->readXML(refused->NextSiblingElement()));
    TiXmlElement nameless("var");
    nameless.SetAttribute("type", "FLOAT");
    nameless.LinkEndChild(new TiXmlText("0.9"));
    EXPECT_FALSE(pf->readXML(&nameless));
    EXPECT_STREQ(pf->getName(), "f");
    EXPECT_EQ(f, 0.5f);
}

TEST(ParamXml, RenamedParameterLeavesNoStaleIndexOnRemove)
{
    ParamList list;
    Param* p = list.addFloat("old", nullptr, 0, 1, -1);
    TiXmlElement e("var");
    e.SetAttribute("type", "FLOAT");
    e.SetAttribute("name", "new");
    e.LinkEndChild(new TiXmlText("0.75"));
    EXPECT_TRUE(p->readXML(&e)); // takes the element's name
    EXPECT_STREQ(p->getName(), "new");
    EXPECT_EQ(p->getFloat(), 0.75f);
    EXPECT_EQ(list.find("old"), p);
    EXPECT_TRUE(list.remove(p));
    EXPECT_EQ(list.find("old"), nullptr);
}

} // namespace
