// Parameters and parameter lists: typed writes, owned storage, notification, sharing and removal.
#include "KXParam.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using KX::Param;
using KX::ParamList;

// Records every call; an optional hook runs inside paramChanged.
struct Recorder : KX::ParamListener {
    std::string id;
    std::vector<std::string>* log;
    int changed = 0;
    int destroyed = 0;
    std::string destroyedName;
    std::function<void(Param*)> onChanged;

    explicit Recorder(std::string i = "", std::vector<std::string>* l = nullptr) : id(i), log(l) {}
    void paramChanged(Param* p) override
    {
        ++changed;
        if (log)
            log->push_back(id);
        if (onChanged)
            onChanged(p);
    }
    void paramDestroyed(Param* p) override
    {
        ++destroyed;
        destroyedName = p->getName();
    }
};

TEST(Param, FreshParameterAndTypeNames)
{
    Param p;
    EXPECT_EQ(p.getType(), KX::PARAM_UNKNOWN);
    EXPECT_STREQ(p.getName(), "unknown");
    EXPECT_EQ(p.getMin(), 0.0f);
    EXPECT_EQ(p.getMax(), 1.0f);
    EXPECT_EQ(p.getNumElements(), 1);
    EXPECT_EQ(p.tag, -1);
    EXPECT_EQ(p.getFloat(), 0.0f);
    EXPECT_FALSE(p.getBool());
    EXPECT_EQ(p.getString(), nullptr);
    EXPECT_EQ(p.getColor(), nullptr);
    p.setFloat(1.0f, 0); // nothing bound: refused, no write through null

    EXPECT_STREQ(Param::getTypeName(KX::PARAM_COLOR), "UNKNOWN");
    EXPECT_EQ(Param::getTypeName(KX::PARAM_UNKNOWN), nullptr);
    EXPECT_EQ(Param::getTypeName(static_cast<KX::PARAM_TYPE>(8)), nullptr);
    for (int t = 0; t < Param::kNumTypeNames; ++t)
        EXPECT_EQ(Param::getTypeFromString(Param::getTypeName(static_cast<KX::PARAM_TYPE>(t))), t);
    EXPECT_EQ(Param::getTypeFromString("int"), KX::PARAM_UNKNOWN);
    EXPECT_EQ(Param::getTypeFromString(nullptr), KX::PARAM_UNKNOWN);
}

TEST(Param, FloatValuesAndRanges)
{
    Recorder r; // outlives the parameters it listens to
    float v = 10.0f;
    Param p;
    p.initFloat("Level", &v, 0.0f, 40.0f);
    p.addListener(&r);
    EXPECT_FLOAT_EQ(p.getFloat01(), 0.25f);

    p.setFloat(100.0f, 0); // no clamping, in either direction
    EXPECT_EQ(v, 100.0f);
    EXPECT_FLOAT_EQ(p.getFloat01(), 2.5f);
    p.setFloat(5.0f, 1);
    p.setFloat(5.0f, -1);
    p.setFloatArray(&v); // single floats are set with setFloat only
    EXPECT_EQ(v, 100.0f);
    EXPECT_EQ(r.changed, 1);

    float flat = 3.0f;
    Param degenerate;
    degenerate.initFloat("Flat", &flat, 2.0f, 2.0f);
    EXPECT_EQ(degenerate.getFloat01(), 0.0f);

    float arr[3] = {9, 9, 9};
    Param a;
    a.initFloatArray("Vec", arr, 3, -1.0f, 1.0f);
    const float in[3] = {0.0f, 0.5f, 1.0f};
    a.setFloatArray01(in);
    EXPECT_EQ(arr[0], -1.0f);
    EXPECT_EQ(arr[1], 0.0f);
    EXPECT_EQ(arr[2], 1.0f);
    a.setFloat(7.0f, 2);
    a.setFloat(7.0f, 3);
    EXPECT_EQ(arr[2], 7.0f);
}

TEST(Param, SettersWriteOnlyTheirTypes)
{
    Recorder r; // outlives the parameters it listens to
    bool b = false, ev = false;
    int i = 0, sel = 0;
    double d = 0.0;
    float f = 0.0f, rgba[4] = {};
    const char* entries[] = {"a", "b", "c"};
    Param pb, pe, pi, ps, pd, pf, pc;
    pb.initBool("b", &b);
    pe.initEvent("e", &ev);
    pi.initInt("i", &i);
    ps.initSelection("s", entries, &sel, 3);
    pd.initDouble("d", &d, 0.0, 1.0);
    pf.initFloat("f", &f, 0.0f, 1.0f);
    pc.initColor("c", rgba);
    for (Param* p : {&pb, &pe, &pi, &ps, &pd, &pf, &pc})
        p->addListener(&r);

    pb.setInt(5);
    pi.setBool(true);
    pf.setDouble(2.0, 0);
    pd.setFloat(2.0f, 0);
    pf.setColor(1, 1, 1, 1);
    pc.setString("x");
    EXPECT_EQ(r.changed, 0);
    EXPECT_FALSE(b);
    EXPECT_EQ(i, 0);

    pe.setBool(true);
    ps.setInt(2);
    const float c[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    pc.setColor(c);
    EXPECT_EQ(r.changed, 3);
    EXPECT_TRUE(ev);
    EXPECT_STREQ(ps.getString(), "c");
    EXPECT_EQ(rgba[3], 0.4f);
    ps.setInt(3);
    EXPECT_EQ(ps.getString(), nullptr);
    ps.setInt(-1);
    EXPECT_EQ(ps.getString(), nullptr);
}

TEST(Param, StringStorage)
{
    Recorder r; // outlives the parameters it listens to
    ParamList list;
    Param* s = list.addString("s", nullptr);
    EXPECT_STREQ(s->getString(), "");
    EXPECT_FALSE(list.addBool("b", nullptr)->getBool());
    EXPECT_FALSE(list.addEvent("e", nullptr)->getBool());
    EXPECT_EQ(list.addInt("i", nullptr)->getInt(), 0);
    EXPECT_EQ(list.addFloatArray("a", nullptr, 4, 0, 1, 0)->getFloat(), 0.0f);
    EXPECT_EQ(list.addDouble("d", nullptr, 0, 1, 0)->getDouble(), 0.0);

    s->addListener(&r);
    const std::string text(300, 'x');
    s->setString(text.c_str());
    EXPECT_EQ(std::string(s->getString()), text.substr(0, 255));
    s->setString(nullptr);
    EXPECT_EQ(r.changed, 1);
    s->setString(s->getString() + 5); // from its own buffer
    EXPECT_EQ(std::string(s->getString()), text.substr(0, 250));

    char big[512] = {};
    Param bound;
    bound.initString("t", big);
    bound.setString(std::string(400, 'y').c_str()); // a caller buffer takes the whole text
    EXPECT_EQ(std::string(big), std::string(400, 'y'));
}

TEST(Param, NotificationOrderAndWalk)
{
    std::vector<std::string> log;
    Recorder a("a", &log), b("b", &log), c("c", &log), late("late", &log);
    float v = 0;
    Param p;
    p.initFloat("v", &v, 0, 1);
    EXPECT_TRUE(p.addListener(&a));
    EXPECT_FALSE(p.addListener(&a));
    p.addListener(&b);
    p.setFloat(0.0f, 0); // same value still notifies
    p.valueChanged(0);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "a", "b"}));

    // Added during the walk: called in the same walk.
    log.clear();
    a.onChanged = [&](Param* q) { q->addListener(&late); };
    p.setFloat(0.5f, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "late"}));

    // Removed during the walk: the later listeners shift down, so the next one is passed over.
    log.clear();
    a.onChanged = [&](Param* q) { q->removeListener(&a); };
    p.setFloat(0.6f, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "late"}));

    EXPECT_TRUE(p.removeListener(&b));
    EXPECT_FALSE(p.removeListener(&b));
    p.addListener(&c);
    p.clearListeners();
    p.setFloat(0.7f, 0);
    EXPECT_EQ(c.changed, 0);
}

TEST(ParamList, LookupAndByNameSetters)
{
    Recorder r; // outlives the parameters it listens to
    float speed = 0, other = 0;
    bool ev = false;
    int sel = 1;
    const char* entries[] = {"a", "b"};
    ParamList list;
    Param* first = list.addFloat("Speed", &speed, 0, 1, -1);
    EXPECT_EQ(list.getNumParams(), 1);
    EXPECT_EQ(list.find("Speed"), first);
    EXPECT_EQ(list.find("speed"), nullptr);
    Param* second = list.addFloat("Speed", &other, 0, 1, 7);
    EXPECT_EQ(second->tag, 7);
    EXPECT_EQ(list.getNumParams(), 2);
    EXPECT_EQ(list.getParam(0), first);
    EXPECT_EQ(list.find("Speed"), second);
    EXPECT_EQ(list.getParam(-1), nullptr);
    EXPECT_EQ(list.getParam(2), nullptr);

    list.addEvent("Go", &ev);
    Param* s = list.addSelection("Mode", entries, &sel, 2);
    EXPECT_TRUE(list.setFloat("Speed", 0.5f));
    EXPECT_EQ(other, 0.5f);
    EXPECT_FALSE(list.setBool("Go", true));
    EXPECT_FALSE(list.setInt("Mode", 0));
    EXPECT_FALSE(list.setDouble("Speed", 1.0));
    EXPECT_FALSE(list.setFloat("Nope", 1.0f));
    EXPECT_FALSE(ev);
    EXPECT_EQ(s->getInt(), 1);

    list.addListener(&r);
    Param* later = list.addInt("Later", nullptr);
    later->setInt(3);
    s->setInt(0);
    EXPECT_EQ(r.changed, 1);
}

TEST(ParamList, SharingReleaseAndRemove)
{
    Recorder r; // outlives the parameters it listens to
    ParamList a;
    Param* x = a.addInt("x", nullptr);
    Param* y = a.addInt("y", nullptr);
    x->addListener(&r);
    y->addListener(&r);
    {
        ParamList b;
        b.addParams(a);
        EXPECT_EQ(x->refCount, 2);
        // Removing a shared parameter leaves it alive for the other list.
        EXPECT_TRUE(a.remove(x));
        EXPECT_EQ(a.find("x"), nullptr);
        EXPECT_EQ(b.find("x"), x);
        EXPECT_EQ(x->refCount, 1);
        EXPECT_FALSE(a.remove(x));
        a.release();
        EXPECT_EQ(r.destroyed, 0);
        EXPECT_EQ(y->refCount, 1);
        x->setInt(4); // still valid through b
        EXPECT_EQ(b.find("x")->getInt(), 4);
    } // b's destructor deletes both
    EXPECT_EQ(r.destroyed, 2);
    a.release();

    // Removing one of two parameters of the same name keeps the index entry of the other.
    ParamList c;
    Param* older = c.addInt("dup", nullptr);
    Param* newer = c.addInt("dup", nullptr);
    older->addListener(&r);
    EXPECT_TRUE(c.remove(older));
    EXPECT_EQ(r.destroyed, 3);
    EXPECT_STREQ(r.destroyedName.c_str(), "dup");
    EXPECT_EQ(c.find("dup"), newer);
    EXPECT_TRUE(c.remove(newer));
    EXPECT_EQ(c.find("dup"), nullptr);
    EXPECT_EQ(c.getNumParams(), 0);
}

} // namespace
