// The host entry point plugMain and its dispatch: global queries answered from a lazily created
// prototype instance, instance creation and destruction, and forwarding of per-instance calls.
//
// Process-wide state: g_CurrPluginInfo (FFGLPluginInfoData.cpp) and the prototype below. The
// host calls plugMain from one thread at a time; codes 17, 18, 19 and 23 need its GL context.
#include "FFGLPluginInfo.h"
#include "FFGLPluginSDK.h"
#include "FFGLWords.h"

#include <cstring>
#include <memory>

namespace {

// The prototype answers the instance-less queries; it never receives GL calls.
CFreeFrameGLPlugin* s_pPrototype = nullptr;

// Host indices are 32-bit; a wider word cannot name a parameter or input.
bool toIndex(FFWord word, uint32_t& index)
{
    if (word > 0xFFFFFFFFu)
        return false;
    index = static_cast<uint32_t>(word);
    return true;
}

FFWord pointerToWord(const void* p) { return reinterpret_cast<FFWord>(p); }

} // namespace

// Global functions ---------------------------------------------------------------------------

FFWord getInfo()
{
    if (g_CurrPluginInfo == nullptr)
        return 0;
    return pointerToWord(g_CurrPluginInfo->GetPluginInfo());
}

FFWord getExtendedInfo()
{
    if (g_CurrPluginInfo == nullptr)
        return 0;
    return pointerToWord(g_CurrPluginInfo->GetPluginExtendedInfo());
}

FFWord initialise()
{
    if (g_CurrPluginInfo == nullptr)
        return FF_FAIL;
    if (s_pPrototype != nullptr)
        return FF_SUCCESS;
    FPCREATEINSTANCEGL factory = g_CurrPluginInfo->GetFactoryMethod();
    if (factory == nullptr)
        return FF_FAIL;
    CFreeFrameGLPlugin* created = nullptr;
    const FFWord result = factory(&created);
    if (result == FF_FAIL || created == nullptr) {
        // A factory that reports failure yet hands something back still gives up ownership.
        delete created;
        return FF_FAIL;
    }
    s_pPrototype = created;
    return FF_SUCCESS;
}

FFWord deInitialise()
{
    delete s_pPrototype;
    s_pPrototype = nullptr;
    return FF_SUCCESS;
}

namespace {
bool havePrototype() { return s_pPrototype != nullptr || initialise() == FF_SUCCESS; }
} // namespace

FFWord getNumParameters()
{
    if (!havePrototype())
        return FF_FAIL;
    return static_cast<FFWord>(static_cast<uint32_t>(s_pPrototype->GetNumParams()));
}

FFWord getParameterName(FFWord indexWord)
{
    uint32_t index;
    if (!havePrototype() || !toIndex(indexWord, index))
        return 0;
    return pointerToWord(s_pPrototype->GetParamName(index));
}

FFWord getParameterDefault(FFWord indexWord)
{
    uint32_t index;
    if (!havePrototype() || !toIndex(indexWord, index))
        return FF_FAIL;
    void* def = s_pPrototype->GetParamDefault(index);
    if (def == nullptr)
        return FF_FAIL;
    if (s_pPrototype->GetParamType(index) == FF_TYPE_TEXT)
        return pointerToWord(def);
    return FFFloatToWord(*static_cast<const float*>(def));
}

FFWord getPluginCaps(FFWord code)
{
    if (!havePrototype())
        return FF_FAIL;
    switch (code) {
    case FF_CAP_PROCESSOPENGL:
        return 1;
    case FF_CAP_SETTIME:
        return s_pPrototype->GetTimeSupported() ? 1 : 0;
    case FF_CAP_MINIMUMINPUTFRAMES: {
        const int n = s_pPrototype->GetMinInputs();
        return n < 0 ? 0 : static_cast<FFWord>(n);
    }
    case FF_CAP_MAXIMUMINPUTFRAMES: {
        const int n = s_pPrototype->GetMaxInputs();
        return n < 0 ? 0 : static_cast<FFWord>(n);
    }
    default:
        return 0;
    }
}

FFWord getParameterType(FFWord indexWord)
{
    uint32_t index;
    if (!havePrototype() || !toIndex(indexWord, index))
        return FF_FAIL;
    return s_pPrototype->GetParamType(index);
}

FFWord getNumParameterElements(FFWord indexWord)
{
    uint32_t index;
    if (!havePrototype() || !toIndex(indexWord, index))
        return FF_FAIL;
    return s_pPrototype->GetNumParamElements(index);
}

FFWord getParameterUsage(FFWord indexWord)
{
    uint32_t index;
    if (!havePrototype() || !toIndex(indexWord, index))
        return FF_FAIL;
    return s_pPrototype->GetParamUsage(index);
}

FFWord getPluginShortName()
{
    if (!havePrototype())
        return FF_FAIL;
    char* name = s_pPrototype->GetShortName();
    return name != nullptr ? pointerToWord(name) : FF_FAIL;
}

FFWord instantiateGL(const FFGLViewportStructTag* viewport)
{
    if (g_CurrPluginInfo == nullptr || viewport == nullptr)
        return FF_FAIL;
    if (s_pPrototype == nullptr && (initialise() != FF_SUCCESS || s_pPrototype == nullptr))
        return FF_FAIL;

    FPCREATEINSTANCEGL factory = g_CurrPluginInfo->GetFactoryMethod();
    CFreeFrameGLPlugin* instance = nullptr;
    const FFWord created = factory != nullptr ? factory(&instance) : FF_FAIL;
    std::unique_ptr<CFreeFrameGLPlugin> owned(instance); // destroyed on every failure path
    if (created == FF_FAIL || instance == nullptr)
        return FF_FAIL;

    // Start the new instance from the prototype's defaults. The announced parameters are walked
    // node by node rather than as indices 0..count-1: an application whose unannounced
    // parameters leave gaps in the host indices must still be instantiable.
    for (const ParamInfo* node = s_pPrototype->GetParamInfoList(); node != nullptr; node = node->pNext) {
        if (node->dwType == FF_TYPE_BUFFER)
            continue;
        SetParameterStructTag record{};
        record.ParameterNumber = node->ID;
        if (node->dwType == FF_TYPE_TEXT) {
            if (node->DefaultStringVal == nullptr)
                return FF_FAIL;
            record.NewParameterValue = pointerToWord(node->DefaultStringVal);
        } else {
            record.NewParameterValue = FFFloatToWord(node->DefaultFloatVal);
        }
        if (instance->SetParameter(&record) == FF_FAIL)
            return FF_FAIL;
    }

    if (instance->InitGL(viewport) == FF_SUCCESS)
        return pointerToWord(owned.release()); // the host holds the instance from here on
    instance->DeInitGL();
    return FF_FAIL;
}

FFWord deInstantiateGL(CFreeFrameGLPlugin* instance)
{
    if (instance == nullptr)
        return FF_FAIL;
    if (instance->m_bConnected) {
        instance->Disconnect();
        instance->m_bConnected = false;
    }
    instance->DeInitGL();
    delete instance;
    return FF_SUCCESS;
}

// Dispatch -----------------------------------------------------------------------------------

namespace {

FFWord dispatchInstance(uint32_t code, FFWord input, CFreeFrameGLPlugin* instance)
{
    uint32_t index = 0;
    switch (code) {
    case FF_GETPARAMETERDISPLAY:
        if (!toIndex(input, index))
            return 0;
        return pointerToWord(instance->GetParameterDisplay(index));
    case FF_SETPARAMETER:
        if (input == 0)
            return FF_FAIL;
        return instance->SetParameter(reinterpret_cast<const SetParameterStructTag*>(input));
    case FF_GETPARAMETER:
        if (!toIndex(input, index))
            return FF_FAIL;
        return instance->GetParameter(index);
    case FF_GETINPUTSTATUS:
        if (!toIndex(input, index))
            return FF_FAIL;
        return instance->GetInputStatus(index);
    case FF_PROCESSOPENGL:
        if (input == 0)
            return FF_FAIL;
        if (!instance->m_bConnected) {
            instance->Connect();
            instance->m_bConnected = true;
        }
        return instance->ProcessOpenGL(reinterpret_cast<ProcessOpenGLStructTag*>(input));
    case FF_DEINSTANTIATEGL:
        return deInstantiateGL(instance);
    case FF_SETTIME:
        if (input == 0)
            return FF_FAIL;
        return instance->SetTime(*reinterpret_cast<const double*>(input));
    case FF_CONNECT: {
        const FFWord result = instance->Connect();
        if (result == FF_SUCCESS)
            instance->m_bConnected = true;
        return result;
    }
    case FF_DISCONNECT: {
        const FFWord result = instance->Disconnect();
        if (result == FF_SUCCESS)
            instance->m_bConnected = false;
        return result;
    }
    case FF_RESIZE:
        if (input == 0)
            return FF_FAIL;
        return instance->Resize(reinterpret_cast<const FFGLViewportStructTag*>(input));
    default:
        return FF_FAIL;
    }
}

bool isInstanceCode(uint32_t code)
{
    switch (code) {
    case FF_GETPARAMETERDISPLAY: case FF_SETPARAMETER: case FF_GETPARAMETER:
    case FF_GETINPUTSTATUS: case FF_PROCESSOPENGL: case FF_DEINSTANTIATEGL: case FF_SETTIME:
    case FF_CONNECT: case FF_DISCONNECT: case FF_RESIZE:
        return true;
    default:
        return false;
    }
}

// Codes whose answer is a pointer report failure as null rather than the failure word.
bool returnsPointer(uint32_t code)
{
    return code == FF_GETINFO || code == FF_GETEXTENDEDINFO || code == FF_GETPARAMETERNAME ||
           code == FF_GETPARAMETERDISPLAY;
}

FFWord dispatch(uint32_t code, FFWord input, FFWord instanceID)
{
    if (isInstanceCode(code)) {
        if (instanceID == 0)
            return returnsPointer(code) ? 0 : FF_FAIL;
        return dispatchInstance(code, input, reinterpret_cast<CFreeFrameGLPlugin*>(instanceID));
    }
    switch (code) {
    case FF_GETINFO: return getInfo();
    case FF_INITIALISE: return initialise();
    case FF_DEINITIALISE: return deInitialise();
    case FF_GETNUMPARAMETERS: return getNumParameters();
    case FF_GETPARAMETERNAME: return getParameterName(input);
    case FF_GETPARAMETERDEFAULT: return getParameterDefault(input);
    case FF_GETPLUGINCAPS: return getPluginCaps(input);
    case FF_GETEXTENDEDINFO: return getExtendedInfo();
    case FF_GETPARAMETERTYPE: return getParameterType(input);
    case FF_INSTANTIATEGL:
        return instantiateGL(reinterpret_cast<const FFGLViewportStructTag*>(input));
    case FF_GETNUMPARAMETERELEMENTS: return getNumParameterElements(input);
    case FF_GETPARAMETERUSAGE: return getParameterUsage(input);
    case FF_GETPLUGINSHORTNAME: return getPluginShortName();
    default: return FF_FAIL; // 3, 11, 12, 14, 24-30, 34 and above
    }
}

} // namespace

extern "C" FFWord plugMain(uint32_t functionCode, FFWord inputValue, FFWord instanceID)
{
    // Nothing may unwind into the host: an exception from instance code (memory exhaustion while
    // building an instance, say) is answered as a failure.
    try {
        return dispatch(functionCode, inputValue, instanceID);
    } catch (...) {
        return returnsPointer(functionCode) ? 0 : FF_FAIL;
    }
}
