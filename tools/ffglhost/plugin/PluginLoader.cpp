// Loading a plug-in and calling its entry point (see PluginLoader.h).
#include "plugin/PluginLoader.h"

#include "plugin/LibraryLoader.h"
#include "plugin/SharedObjectCheck.h"
#include "worker/FlightRecord.h"

#include <cstring>
#include <filesystem>

namespace ffglhost {

namespace {

bool isFailure(FFWord w) { return w == FF_FAIL; }

// Pointer answers: 0 is "none", and the failure word is no pointer either.
bool isNullPointer(FFWord w) { return w == 0 || w == FF_FAIL; }

std::string boundedText(const char* text, std::size_t capacity)
{
    return std::string(text, strnlen(text, capacity));
}

} // namespace

FFWord wordOfFloat(float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return static_cast<FFWord>(bits);
}

float floatOfWord(FFWord word)
{
    const uint32_t bits = static_cast<uint32_t>(word);
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

Status Plugin::open(const std::string& path, std::unique_ptr<Plugin>& out)
{
    out.reset();
    Status s = checkSharedObject(path);
    if (!s.ok())
        return s;
    FlightRecord& flight = flightRecord();
    // Until code 0 names it, the plug-in goes by its file name.
    const int slot = flight.addPlugin(std::filesystem::path(path).stem().string());
    std::string why;
    flight.loading(slot);
    void* handle = openLibrary(path, why);
    flight.settled();
    if (handle == nullptr)
        return Status::badInput(path + " is not an FFGL plug-in: " + why);
    void* symbol = librarySymbol(handle, "plugMain");
    if (symbol == nullptr) {
        flight.unloading(slot);
        closeLibrary(handle);
        flight.settled();
        return Status::badInput(path + " is not an FFGL plug-in: it exports no plugMain");
    }
    out.reset(new Plugin(path, handle, reinterpret_cast<PlugMain>(symbol), slot));
    return Status();
}

Plugin::~Plugin()
{
    if (initialised_)
        (void)deInitialise();
    if (handle_ != nullptr) {
        FlightRecord& flight = flightRecord();
        flight.unloading(slot_);
        closeLibrary(handle_);
        flight.settled();
    }
}

void Plugin::nameInFlightRecord(const std::string& name) const { flightRecord().renamePlugin(slot_, name); }

FFWord Plugin::call(uint32_t functionCode, FFWord input, FFWord instance, int64_t frame) const
{
    FlightRecord& flight = flightRecord();
    flight.calling(slot_, functionCode, frame);
    const FFWord answer = entry_(functionCode, input, instance);
    // Until the next call, a crash is the host's reading of this answer.
    flight.returned();
    return answer;
}

Status Plugin::parameterText(uint32_t functionCode, uint32_t index, FFWord instance, std::string& text) const
{
    const FFWord w = call(functionCode, index, instance);
    if (isNullPointer(w))
        return Status::callFailed(functionCode, "returned a null pointer for parameter " + std::to_string(index));
    text = boundedText(reinterpret_cast<const char*>(w), kMaxPluginTextLength);
    return Status();
}

Status Plugin::info(PluginInfoStructTag& out) const
{
    const FFWord w = call(FF_GETINFO, 0, 0);
    if (isNullPointer(w))
        return Status::callFailed(FF_GETINFO, "returned a null pointer");
    std::memcpy(&out, reinterpret_cast<const void*>(w), sizeof out);
    flightRecord().renamePlugin(slot_, std::string(out.PluginName, strnlen(out.PluginName, FF_PLUGIN_NAME_SIZE)));
    return Status();
}

Status Plugin::extendedInfo(uint32_t& majorVersion, uint32_t& minorVersion, std::string& description,
                            std::string& about) const
{
    const FFWord w = call(FF_GETEXTENDEDINFO, 0, 0);
    if (isNullPointer(w))
        return Status::callFailed(FF_GETEXTENDEDINFO, "returned a null pointer");
    PluginExtendedInfoStructTag record;
    std::memcpy(&record, reinterpret_cast<const void*>(w), sizeof record);
    majorVersion = record.PluginMajorVersion;
    minorVersion = record.PluginMinorVersion;
    description = record.Description != nullptr ? boundedText(record.Description, kMaxPluginTextLength) : "";
    about = record.About != nullptr ? boundedText(record.About, kMaxPluginTextLength) : "";
    return Status();
}

Status Plugin::initialise()
{
    if (initialised_)
        return Status();
    if (call(FF_INITIALISE, 0, 0) != FF_SUCCESS)
        return Status::callFailed(FF_INITIALISE, "returned failure");
    initialised_ = true;
    return Status();
}

Status Plugin::deInitialise()
{
    if (!initialised_)
        return Status();
    initialised_ = false;
    if (call(FF_DEINITIALISE, 0, 0) != FF_SUCCESS)
        return Status::callFailed(FF_DEINITIALISE, "returned failure");
    return Status();
}

FFWord Plugin::capability(uint32_t capabilityCode) const { return call(FF_GETPLUGINCAPS, capabilityCode, 0); }

Status Plugin::parameterCount(uint32_t& count) const
{
    const FFWord w = call(FF_GETNUMPARAMETERS, 0, 0);
    if (isFailure(w))
        return Status::callFailed(FF_GETNUMPARAMETERS, "returned failure");
    count = static_cast<uint32_t>(w);
    return Status();
}

Status Plugin::parameterName(uint32_t index, std::string& name) const
{
    const FFWord w = call(FF_GETPARAMETERNAME, index, 0);
    if (isNullPointer(w))
        return Status::callFailed(FF_GETPARAMETERNAME, "returned a null pointer for parameter " + std::to_string(index));
    name = boundedText(reinterpret_cast<const char*>(w), FF_PARAM_NAME_SIZE);
    return Status();
}

Status Plugin::parameterType(uint32_t index, uint32_t& type) const
{
    const FFWord w = call(FF_GETPARAMETERTYPE, index, 0);
    if (isFailure(w))
        return Status::callFailed(FF_GETPARAMETERTYPE, "returned failure for parameter " + std::to_string(index));
    type = static_cast<uint32_t>(w);
    return Status();
}

Status Plugin::parameterDefault(uint32_t index, float& value) const
{
    const FFWord w = call(FF_GETPARAMETERDEFAULT, index, 0);
    if (isFailure(w))
        return Status::callFailed(FF_GETPARAMETERDEFAULT, "returned failure for parameter " + std::to_string(index));
    value = floatOfWord(w);
    return Status();
}

Status Plugin::parameterDefaultText(uint32_t index, std::string& text) const
{
    return parameterText(FF_GETPARAMETERDEFAULT, index, 0, text);
}

Status Plugin::instantiate(const FFGLViewportStructTag& viewport, FFWord& instance) const
{
    FFGLViewportStructTag record = viewport;
    const FFWord w = call(FF_INSTANTIATEGL, reinterpret_cast<FFWord>(&record), 0);
    if (isNullPointer(w))
        return Status::callFailed(FF_INSTANTIATEGL, "returned failure");
    instance = w;
    return Status();
}

Status Plugin::deInstantiate(FFWord instance) const
{
    if (call(FF_DEINSTANTIATEGL, 0, instance) != FF_SUCCESS)
        return Status::callFailed(FF_DEINSTANTIATEGL, "returned failure");
    return Status();
}

Status Plugin::processOpenGL(FFWord instance, ProcessOpenGLStructTag& frame, int64_t frameNumber) const
{
    if (call(FF_PROCESSOPENGL, reinterpret_cast<FFWord>(&frame), instance, frameNumber) != FF_SUCCESS)
        return Status::callFailed(FF_PROCESSOPENGL, "returned failure");
    return Status();
}

Status Plugin::resize(FFWord instance, const FFGLViewportStructTag& viewport) const
{
    FFGLViewportStructTag record = viewport;
    if (call(FF_RESIZE, reinterpret_cast<FFWord>(&record), instance) != FF_SUCCESS)
        return Status::callFailed(FF_RESIZE, "returned failure for " + std::to_string(viewport.width) + "x" +
                                                 std::to_string(viewport.height));
    return Status();
}

Status Plugin::setParameter(FFWord instance, uint32_t index, float value) const
{
    SetParameterStructTag record{};
    record.ParameterNumber = index;
    record.NewParameterValue = wordOfFloat(value);
    if (call(FF_SETPARAMETER, reinterpret_cast<FFWord>(&record), instance) != FF_SUCCESS)
        return Status::callFailed(FF_SETPARAMETER, "returned failure for parameter " + std::to_string(index));
    return Status();
}

Status Plugin::getParameter(FFWord instance, uint32_t index, float& value) const
{
    const FFWord w = call(FF_GETPARAMETER, index, instance);
    if (isFailure(w))
        return Status::callFailed(FF_GETPARAMETER, "returned failure for parameter " + std::to_string(index));
    value = floatOfWord(w);
    return Status();
}

Status Plugin::parameterDisplay(FFWord instance, uint32_t index, std::string& text) const
{
    return parameterText(FF_GETPARAMETERDISPLAY, index, instance, text);
}

} // namespace ffglhost
