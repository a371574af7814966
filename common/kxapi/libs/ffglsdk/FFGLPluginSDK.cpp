// Default behaviour of the per-instance operations of CFreeFrameGLPlugin (see FFGLPluginSDK.h).
#include "FFGLPluginSDK.h"
#include "FFGLWords.h"

#include <cstdio>
#include <cstring>

namespace {

// The one process-wide buffer of the default GetParameterDisplay; each call overwrites it.
char s_DisplayValue[FF_DISPLAY_VALUE_SIZE];

} // namespace

CFreeFrameGLPlugin::CFreeFrameGLPlugin() : m_bConnected(false) {}

CFreeFrameGLPlugin::~CFreeFrameGLPlugin() = default;

FFWord CFreeFrameGLPlugin::InitGL(const FFGLViewportStructTag*) { return FF_SUCCESS; }
FFWord CFreeFrameGLPlugin::DeInitGL() { return FF_SUCCESS; }

char* CFreeFrameGLPlugin::GetParameterDisplay(uint32_t index)
{
    const uint32_t type = GetParamType(index);
    const FFWord value = GetParameter(index);
    if (value == FF_FAIL || type == 0xFFFFFFFFu)
        return nullptr;
    if (type == FF_TYPE_TEXT)
        return reinterpret_cast<char*>(value);

    std::memset(s_DisplayValue, 0, sizeof s_DisplayValue);
    const float v = FFWordToFloat(value);
    const int n = std::snprintf(s_DisplayValue, sizeof s_DisplayValue, "%1.2f", static_cast<double>(v));
    // Values too wide for two decimals in 31 characters (say 3.4e38) are shown in short
    // scientific form instead of being cut off mid-number.
    if (n < 0 || n >= FF_DISPLAY_VALUE_SIZE)
        std::snprintf(s_DisplayValue, sizeof s_DisplayValue, "%.6g", static_cast<double>(v));
    return s_DisplayValue;
}

FFWord CFreeFrameGLPlugin::SetParameter(const SetParameterStructTag*) { return FF_FAIL; }
FFWord CFreeFrameGLPlugin::GetParameter(uint32_t) { return FF_FAIL; }
FFWord CFreeFrameGLPlugin::ProcessOpenGL(ProcessOpenGLStructTag*) { return FF_FAIL; }
FFWord CFreeFrameGLPlugin::SetTime(double) { return FF_FAIL; }

FFWord CFreeFrameGLPlugin::GetInputStatus(uint32_t index)
{
    // Unsigned comparison, as the host's index is unsigned: a negative maximum admits nothing.
    const int maxInputs = GetMaxInputs();
    if (maxInputs > 0 && index < static_cast<uint32_t>(maxInputs))
        return 1;
    return FF_FAIL;
}

char* CFreeFrameGLPlugin::GetShortName() { return nullptr; }
FFWord CFreeFrameGLPlugin::Connect() { return FF_SUCCESS; }
FFWord CFreeFrameGLPlugin::Disconnect() { return FF_SUCCESS; }
FFWord CFreeFrameGLPlugin::Resize(const FFGLViewportStructTag*) { return FF_SUCCESS; }
