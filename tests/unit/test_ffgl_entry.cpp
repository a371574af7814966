// The host entry point as a host sees it: identity records, the prototype's life, instance
// creation and destruction, connect bookkeeping, and the parameter metadata of the instance base.
#include "FFGLPluginInfo.h"
#include "FFGLPluginSDK.h"
#include "FFWordBits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// What the test instances did, in order, across all instances.
std::vector<std::string> g_log;
int g_factoryCalls = 0;
int g_liveInstances = 0;

// Knobs a test turns to make the next instance misbehave.
struct Faults {
    bool factoryFails = false;
    bool factoryThrows = false;
    bool rejectParameter = false;
    bool throwOnParameter = false;
    bool initFails = false;
    FFWord connectResult = FF_SUCCESS;
} g_faults;

class TestInstance : public CFreeFrameGLPlugin {
public:
    TestInstance()
    {
        ++g_liveInstances;
        SetParamInfo(0, "Level", FF_TYPE_STANDARD, 0.375f);
        SetParamInfo(1, "Enabled", FF_TYPE_BOOLEAN, true);
        SetParamInfo(2, "Caption", FF_TYPE_TEXT, "hello");
        SetBufferParamInfo(3, "Samples", 8, 2);
        SetOptionParamInfo(4, "Mode", 3, 2);
    }
    ~TestInstance() override
    {
        --g_liveInstances;
        g_log.push_back("destroy");
    }

    FFWord InitGL(const FFGLViewportStructTag* vp) override
    {
        g_log.push_back("init " + std::to_string(vp->width) + "x" + std::to_string(vp->height));
        return g_faults.initFails ? FF_FAIL : FF_SUCCESS;
    }
    FFWord DeInitGL() override
    {
        g_log.push_back("deinit");
        return FF_SUCCESS;
    }
    FFWord SetParameter(const SetParameterStructTag* r) override
    {
        if (g_faults.throwOnParameter)
            throw std::bad_alloc();
        if (g_faults.rejectParameter)
            return FF_FAIL;
        if (r->ParameterNumber == 2)
            text = reinterpret_cast<const char*>(r->NewParameterValue);
        else if (r->ParameterNumber < 5)
            values[r->ParameterNumber] = floatOf(r->NewParameterValue);
        g_log.push_back("set " + std::to_string(r->ParameterNumber));
        return FF_SUCCESS;
    }
    FFWord GetParameter(uint32_t index) override
    {
        if (index == 2)
            return reinterpret_cast<FFWord>(text.c_str());
        if (index >= 5)
            return FF_FAIL;
        return bitsOf(values[index]);
    }
    FFWord ProcessOpenGL(ProcessOpenGLStructTag*) override
    {
        g_log.push_back("process");
        return FF_SUCCESS;
    }
    FFWord Connect() override
    {
        g_log.push_back("connect");
        return g_faults.connectResult;
    }
    FFWord Disconnect() override
    {
        g_log.push_back("disconnect");
        return FF_SUCCESS;
    }

    float values[5] = {};
    std::string text;
};

FFWord createTestInstance(CFreeFrameGLPlugin** out)
{
    ++g_factoryCalls;
    if (g_faults.factoryThrows)
        throw std::bad_alloc();
    if (g_faults.factoryFails)
        return FF_FAIL;
    *out = new TestInstance();
    return FF_SUCCESS;
}

const unsigned char kExtraData[3] = {1, 2, 3};
CFFGLPluginInfo PluginInfo(createTestInstance, "T3ST", "Test Generator", 1, 500, 2, 7, FF_SOURCE,
                           "a description", "about text", sizeof kExtraData, kExtraData);

FFWord call(uint32_t code, FFWord input = 0, FFWord instance = 0)
{
    return plugMain(code, input, instance);
}

FFWord instantiate(uint32_t w = 64, uint32_t h = 32)
{
    FFGLViewportStructTag vp{0, 0, w, h};
    return call(FF_INSTANTIATEGL, reinterpret_cast<FFWord>(&vp));
}

class EntryPoint : public ::testing::Test {
protected:
    void SetUp() override
    {
        call(FF_DEINITIALISE);
        g_faults = Faults();
        g_log.clear();
        g_factoryCalls = 0;
    }
    void TearDown() override
    {
        g_faults = Faults();
        call(FF_DEINITIALISE);
        EXPECT_EQ(g_liveInstances, 0) << "an instance leaked";
    }
};

TEST_F(EntryPoint, IdentityRecordsCarryTheRegisteredValues)
{
    const auto* info = reinterpret_cast<const unsigned char*>(call(FF_GETINFO));
    ASSERT_NE(info, nullptr);
    uint32_t word;
    std::memcpy(&word, info + 0, 4);
    EXPECT_EQ(word, 1u);
    std::memcpy(&word, info + 4, 4);
    EXPECT_EQ(word, 500u);
    EXPECT_EQ(std::memcmp(info + 8, "T3ST", 4), 0);
    EXPECT_EQ(std::memcmp(info + 12, "Test Generator\0\0", 16), 0);
    std::memcpy(&word, info + 28, 4);
    EXPECT_EQ(word, FF_SOURCE);

    const auto* ext = reinterpret_cast<const PluginExtendedInfoStructTag*>(call(FF_GETEXTENDEDINFO));
    ASSERT_NE(ext, nullptr);
    EXPECT_EQ(ext->PluginMajorVersion, 2u);
    EXPECT_EQ(ext->PluginMinorVersion, 7u);
    EXPECT_STREQ(ext->Description, "a description");
    EXPECT_STREQ(ext->About, "about text");
    ASSERT_EQ(ext->FreeFrameExtendedDataSize, 3u);
    // The record keeps its own copy of the data block.
    EXPECT_NE(ext->FreeFrameExtendedDataBlock, static_cast<const void*>(kExtraData));
    EXPECT_EQ(std::memcmp(ext->FreeFrameExtendedDataBlock, kExtraData, 3), 0);
}

TEST(RegistrationRecord, FixedFieldsAreCutAndPaddedAndTheLastRecordWins)
{
    CFFGLPluginInfo* before = g_CurrPluginInfo;
    {
        CFFGLPluginInfo other(createTestInstance, "LONGID", "A name that is far too long", 1, 0, 1,
                              0, FF_EFFECT, nullptr, "x", 0, kExtraData);
        EXPECT_EQ(g_CurrPluginInfo, &other);
        const PluginInfoStructTag* info = other.GetPluginInfo();
        EXPECT_EQ(std::memcmp(info->PluginUniqueID, "LONG", 4), 0);
        EXPECT_EQ(std::memcmp(info->PluginName, "A name that is f", 16), 0);
        // A block without a size is not copied; a null description becomes an empty text.
        EXPECT_EQ(other.GetPluginExtendedInfo()->FreeFrameExtendedDataBlock, nullptr);
        EXPECT_STREQ(other.GetPluginExtendedInfo()->Description, "");
    }
    // A destroyed record never stays registered.
    EXPECT_EQ(g_CurrPluginInfo, nullptr);
    g_CurrPluginInfo = before;
}

TEST_F(EntryPoint, PrototypeIsMadeOnFirstNeedAndAgainAfterDeInitialise)
{
    EXPECT_EQ(call(FF_GETNUMPARAMETERS), 5u);
    EXPECT_EQ(call(FF_GETNUMPARAMETERS), 5u);
    EXPECT_EQ(g_factoryCalls, 1);
    EXPECT_EQ(call(FF_INITIALISE), FF_SUCCESS);
    EXPECT_EQ(g_factoryCalls, 1);
    EXPECT_EQ(call(FF_DEINITIALISE), FF_SUCCESS);
    EXPECT_EQ(g_liveInstances, 0);
    EXPECT_EQ(call(FF_GETNUMPARAMETERS), 5u);
    EXPECT_EQ(g_factoryCalls, 2);
}

TEST_F(EntryPoint, FailingFactoryFailsEveryGlobalQueryAndIsRetried)
{
    g_faults.factoryFails = true;
    EXPECT_EQ(call(FF_INITIALISE), FF_FAIL);
    EXPECT_EQ(call(FF_GETNUMPARAMETERS), FF_FAIL);
    EXPECT_EQ(call(FF_GETPARAMETERNAME, 0), 0u);
    EXPECT_EQ(call(FF_GETPARAMETERDEFAULT, 0), FF_FAIL);
    EXPECT_EQ(call(FF_GETPLUGINCAPS, FF_CAP_PROCESSOPENGL), FF_FAIL);
    EXPECT_EQ(instantiate(), FF_FAIL);
    g_faults.factoryFails = false;
    EXPECT_EQ(call(FF_GETNUMPARAMETERS), 5u);
}

TEST_F(EntryPoint, ExceptionsFromInstanceCodeBecomeFailures)
{
    g_faults.factoryThrows = true;
    EXPECT_EQ(call(FF_GETNUMPARAMETERS), FF_FAIL);
    EXPECT_EQ(call(FF_GETPARAMETERNAME, 0), 0u);
    g_faults.factoryThrows = false;

    ASSERT_EQ(call(FF_GETNUMPARAMETERS), 5u);
    g_faults.throwOnParameter = true;
    EXPECT_EQ(instantiate(), FF_FAIL);
    EXPECT_EQ(g_liveInstances, 1) << "only the prototype may survive";
}

TEST_F(EntryPoint, ParameterMetadataQueries)
{
    EXPECT_STREQ(reinterpret_cast<const char*>(call(FF_GETPARAMETERNAME, 0)), "Level");
    EXPECT_EQ(call(FF_GETPARAMETERTYPE, 1), FF_TYPE_BOOLEAN);
    EXPECT_EQ(call(FF_GETPARAMETERTYPE, 3), FF_TYPE_BUFFER);
    EXPECT_EQ(call(FF_GETNUMPARAMETERELEMENTS, 3), 8u);
    EXPECT_EQ(call(FF_GETPARAMETERUSAGE, 3), 2u);
    EXPECT_EQ(call(FF_GETNUMPARAMETERELEMENTS, 4), 3u);

    EXPECT_EQ(floatOf(call(FF_GETPARAMETERDEFAULT, 0)), 0.375f);
    EXPECT_EQ(floatOf(call(FF_GETPARAMETERDEFAULT, 1)), 1.0f);
    EXPECT_EQ(floatOf(call(FF_GETPARAMETERDEFAULT, 4)), 2.0f);
    EXPECT_STREQ(reinterpret_cast<const char*>(call(FF_GETPARAMETERDEFAULT, 2)), "hello");

    // Indices without an entry; on 64-bit words also ones wider than the host's 32-bit index.
    std::vector<FFWord> missingIndices = {FFWord(5), FFWord(0xFFFFFFFFu), ~FFWord(0)};
    if (sizeof(FFWord) > 4)
        missingIndices.push_back(static_cast<FFWord>(0x100000000ull));
    for (FFWord missing : missingIndices) {
        EXPECT_EQ(call(FF_GETPARAMETERNAME, missing), 0u);
        EXPECT_EQ(call(FF_GETPARAMETERDEFAULT, missing), FF_FAIL);
        EXPECT_EQ(call(FF_GETPARAMETERTYPE, missing), FF_FAIL);
        EXPECT_EQ(call(FF_GETNUMPARAMETERELEMENTS, missing), FF_FAIL);
        EXPECT_EQ(call(FF_GETPARAMETERUSAGE, missing), FF_FAIL);
    }
}

TEST_F(EntryPoint, CapabilitiesAndUnsupportedCodes)
{
    EXPECT_EQ(call(FF_GETPLUGINCAPS, FF_CAP_PROCESSOPENGL), 1u);
    for (FFWord cap : {0, 1, 2, 3, 5, 10, 11, 15, 16, 1000})
        EXPECT_EQ(call(FF_GETPLUGINCAPS, cap), 0u) << "capability " << cap;
    for (uint32_t code : {3u, 11u, 12u, 14u, 24u, 25u, 30u, 34u, 100u, 0xFFFFFFFFu})
        EXPECT_EQ(call(code), FF_FAIL) << "code " << code;
    EXPECT_EQ(call(FF_GETPLUGINSHORTNAME), FF_FAIL);
}

TEST_F(EntryPoint, InstantiationCopiesDefaultsThenInitialises)
{
    FFGLViewportStructTag* none = nullptr;
    EXPECT_EQ(call(FF_INSTANTIATEGL, reinterpret_cast<FFWord>(none)), FF_FAIL);
    EXPECT_EQ(g_liveInstances, 0);

    const FFWord id = instantiate(320, 240);
    ASSERT_NE(id, FF_FAIL);
    ASSERT_NE(id, 0u);
    // Every default except the buffer parameter, then InitGL.
    const std::vector<std::string> expected = {"set 0", "set 1", "set 2", "set 4", "init 320x240"};
    EXPECT_EQ(g_log, expected);
    auto* instance = reinterpret_cast<TestInstance*>(id);
    EXPECT_EQ(instance->values[0], 0.375f);
    EXPECT_EQ(instance->text, "hello");
    EXPECT_EQ(call(FF_DEINSTANTIATEGL, 0, id), FF_SUCCESS);
}

TEST_F(EntryPoint, FailedInstantiationDestroysThePartlyMadeInstance)
{
    g_faults.rejectParameter = true;
    EXPECT_EQ(instantiate(), FF_FAIL);
    g_faults.rejectParameter = false;
    EXPECT_EQ(g_liveInstances, 1); // the prototype

    g_log.clear();
    g_faults.initFails = true;
    EXPECT_EQ(instantiate(), FF_FAIL);
    ASSERT_GE(g_log.size(), 3u);
    EXPECT_EQ(g_log[g_log.size() - 2], "deinit");
    EXPECT_EQ(g_log.back(), "destroy");
    EXPECT_EQ(g_liveInstances, 1);
}

TEST_F(EntryPoint, FramesConnectOnceAndDisconnectingReconnects)
{
    const FFWord id = instantiate();
    ASSERT_NE(id, FF_FAIL);
    ProcessOpenGLStructTag frame{0, nullptr, 0};
    const FFWord framePtr = reinterpret_cast<FFWord>(&frame);

    g_log.clear();
    EXPECT_EQ(call(FF_PROCESSOPENGL, framePtr, id), FF_SUCCESS);
    EXPECT_EQ(call(FF_PROCESSOPENGL, framePtr, id), FF_SUCCESS);
    EXPECT_EQ(g_log, (std::vector<std::string>{"connect", "process", "process"}));

    g_log.clear();
    EXPECT_EQ(call(FF_DISCONNECT, 0, id), FF_SUCCESS);
    EXPECT_EQ(call(FF_PROCESSOPENGL, framePtr, id), FF_SUCCESS);
    EXPECT_EQ(g_log, (std::vector<std::string>{"disconnect", "connect", "process"}));

    // Destroying a connected instance disconnects it before de-initialising.
    g_log.clear();
    EXPECT_EQ(call(FF_DEINSTANTIATEGL, 0, id), FF_SUCCESS);
    EXPECT_EQ(g_log, (std::vector<std::string>{"disconnect", "deinit", "destroy"}));
}

TEST_F(EntryPoint, RefusedConnectLeavesTheInstanceDisconnected)
{
    const FFWord id = instantiate();
    ASSERT_NE(id, FF_FAIL);
    g_faults.connectResult = 5;
    EXPECT_EQ(call(FF_CONNECT, 0, id), 5u);
    EXPECT_FALSE(reinterpret_cast<TestInstance*>(id)->m_bConnected);
    g_faults.connectResult = FF_SUCCESS;
    EXPECT_EQ(call(FF_CONNECT, 0, id), FF_SUCCESS);
    EXPECT_TRUE(reinterpret_cast<TestInstance*>(id)->m_bConnected);
    EXPECT_EQ(call(FF_DEINSTANTIATEGL, 0, id), FF_SUCCESS);
}

TEST_F(EntryPoint, InstanceCodesRefuseMissingInstancesAndPointers)
{
    for (uint32_t code : {7u, 8u, 9u, 16u, 17u, 19u, 20u, 21u, 22u, 23u})
        EXPECT_EQ(call(code, 0, 0), code == 7u ? 0u : FF_FAIL) << "code " << code;

    const FFWord id = instantiate();
    ASSERT_NE(id, FF_FAIL);
    g_log.clear();
    for (uint32_t code : {8u, 17u, 20u, 23u})
        EXPECT_EQ(call(code, 0, id), FF_FAIL) << "code " << code;
    EXPECT_TRUE(g_log.empty()) << "nothing reaches the instance";
    // SetTime's default refuses; resize's default accepts.
    double t = 1.5;
    EXPECT_EQ(call(FF_SETTIME, reinterpret_cast<FFWord>(&t), id), FF_FAIL);
    FFGLViewportStructTag vp{0, 0, 8, 8};
    EXPECT_EQ(call(FF_RESIZE, reinterpret_cast<FFWord>(&vp), id), FF_SUCCESS);
    EXPECT_EQ(call(FF_DEINSTANTIATEGL, 0, id), FF_SUCCESS);
}

TEST_F(EntryPoint, DefaultDisplayFormatsTheValueWithinItsBuffer)
{
    const FFWord id = instantiate();
    ASSERT_NE(id, FF_FAIL);
    auto* instance = reinterpret_cast<TestInstance*>(id);
    auto display = [&](uint32_t index) {
        const char* text = reinterpret_cast<const char*>(call(FF_GETPARAMETERDISPLAY, index, id));
        return text != nullptr ? std::string(text) : std::string("(null)");
    };
    instance->values[0] = 0.25f;
    EXPECT_EQ(display(0), "0.25");
    EXPECT_EQ(display(2), "hello");
    EXPECT_EQ(display(5), "(null)");
    EXPECT_EQ(display(0xFFFFFFFFu), "(null)");

    for (float extreme : {3.4e38f, -3.4e38f, std::numeric_limits<float>::infinity(),
                          std::numeric_limits<float>::quiet_NaN(), 1e-38f}) {
        instance->values[0] = extreme;
        const std::string text = display(0);
        EXPECT_LT(text.size(), static_cast<std::size_t>(FF_DISPLAY_VALUE_SIZE)) << text;
        EXPECT_FALSE(text.empty());
    }
    instance->values[0] = 3.4e38f;
    EXPECT_EQ(std::stof(display(0)), 3.4e38f) << "a huge value is shown, not cut off";
    EXPECT_EQ(call(FF_DEINSTANTIATEGL, 0, id), FF_SUCCESS);
}

// The instance base on its own ---------------------------------------------------------------

class BareInstance : public CFreeFrameGLPlugin {};

TEST(PluginManager, DefaultsAreClampedAndNamesFillTheirField)
{
    BareInstance p;
    p.SetParamInfo(0, "A", FF_TYPE_STANDARD, 1.5f);
    p.SetParamInfo(1, "B", FF_TYPE_STANDARD, -0.2f);
    p.SetParamInfo(2, "C", FF_TYPE_STANDARD, 0.375f);
    p.SetParamInfo(3, "D", FF_TYPE_STANDARD, std::nanf(""));
    p.SetParamInfo(4, "SixteenCharsLong", FF_TYPE_STANDARD, 0.0f);
    p.SetParamInfo(5, "SeventeenCharsLng", FF_TYPE_STANDARD, 0.0f);
    auto def = [&](uint32_t i) { return *static_cast<float*>(p.GetParamDefault(i)); };
    EXPECT_EQ(def(0), 1.0f);
    EXPECT_EQ(def(1), 0.0f);
    EXPECT_EQ(def(2), 0.375f);
    EXPECT_EQ(def(3), 0.0f) << "a NaN default is never handed to a host";
    EXPECT_EQ(std::memcmp(p.GetParamName(4), "SixteenCharsLong", 16), 0);
    EXPECT_EQ(std::memcmp(p.GetParamName(5), "SeventeenCharsLn", 16), 0);
    EXPECT_EQ(p.GetNumParamElements(0), 1u);
    EXPECT_EQ(p.GetParamUsage(0), 0u);
}

TEST(PluginManager, EmptyListAndDuplicateIndices)
{
    BareInstance p;
    EXPECT_EQ(p.GetParamName(0), nullptr);
    EXPECT_EQ(p.GetParamType(0), 0xFFFFFFFFu);
    EXPECT_EQ(p.GetParamDefault(0), nullptr);

    p.SetParamInfo(7, "first", FF_TYPE_BOOLEAN, false);
    p.SetParamInfo(7, "second", FF_TYPE_TEXT, "text");
    EXPECT_EQ(p.GetNumParams(), 2);
    EXPECT_STREQ(p.GetParamName(7), "first");
    EXPECT_EQ(p.GetParamType(7), FF_TYPE_BOOLEAN);
    EXPECT_EQ(*static_cast<float*>(p.GetParamDefault(7)), 0.0f);
}

TEST(PluginManager, InputStatusFollowsTheMaximumInputs)
{
    BareInstance p;
    EXPECT_EQ(p.GetInputStatus(0), FF_FAIL);
    p.SetMaxInputs(2);
    EXPECT_EQ(p.GetInputStatus(0), 1u);
    EXPECT_EQ(p.GetInputStatus(1), 1u);
    EXPECT_EQ(p.GetInputStatus(2), FF_FAIL);
    p.SetMaxInputs(-1);
    EXPECT_EQ(p.GetInputStatus(0), FF_FAIL);
    EXPECT_EQ(p.GetInputStatus(0xFFFFFFFFu), FF_FAIL);
}

TEST(PluginManager, DefaultOperations)
{
    BareInstance p;
    p.SetParamInfo(0, "A", FF_TYPE_STANDARD, 0.5f);
    EXPECT_EQ(p.GetParameterDisplay(0), nullptr) << "the default GetParameter fails";
    EXPECT_EQ(p.SetParameter(nullptr), FF_FAIL);
    EXPECT_EQ(p.ProcessOpenGL(nullptr), FF_FAIL);
    EXPECT_EQ(p.InitGL(nullptr), FF_SUCCESS);
    EXPECT_EQ(p.Connect(), FF_SUCCESS);
    EXPECT_EQ(p.GetShortName(), nullptr);
    EXPECT_FALSE(p.m_bConnected);
}

} // namespace
