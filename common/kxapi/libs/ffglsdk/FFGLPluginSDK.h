// The FFGL 1.5 host interface: the records that cross the host boundary, the function and
// capability codes, the result words, and the per-instance base class `CFreeFrameGLPlugin` whose
// virtual operations `plugMain` forwards to.
//
// Words. On a 32-bit build every argument and result of plugMain is a 32-bit word. On a 64-bit
// build the words and every record field that may carry a pointer are pointer-sized (uintptr_t):
// a float travels as its 32-bit pattern in the low 32 bits of a word, pointers are full width,
// success is 0 and failure 0xFFFFFFFF (zero-extended).
//
// Threads and GL. The host calls plugMain from one thread at a time. Codes 17, 18, 19 and 23 need
// the host's GL context current; the others need no GL context.
//
// This header is self-contained (it is also compiled as 32-bit code to check the record layouts).
#pragma once

#include <cstdint>

#include "FFGLPluginManager.h"

// One word of the host interface (argument or result of plugMain).
typedef uintptr_t FFWord;

// Result words.
constexpr FFWord FF_SUCCESS = 0;
constexpr FFWord FF_FAIL = 0xFFFFFFFFu;

// Function codes.
enum : uint32_t {
    FF_GETINFO = 0,
    FF_INITIALISE = 1,
    FF_DEINITIALISE = 2,
    FF_PROCESSFRAME = 3,
    FF_GETNUMPARAMETERS = 4,
    FF_GETPARAMETERNAME = 5,
    FF_GETPARAMETERDEFAULT = 6,
    FF_GETPARAMETERDISPLAY = 7,
    FF_SETPARAMETER = 8,
    FF_GETPARAMETER = 9,
    FF_GETPLUGINCAPS = 10,
    FF_INSTANTIATE = 11,
    FF_DEINSTANTIATE = 12,
    FF_GETEXTENDEDINFO = 13,
    FF_PROCESSFRAMECOPY = 14,
    FF_GETPARAMETERTYPE = 15,
    FF_GETINPUTSTATUS = 16,
    FF_PROCESSOPENGL = 17,
    FF_INSTANTIATEGL = 18,
    FF_DEINSTANTIATEGL = 19,
    FF_SETTIME = 20,
    FF_CONNECT = 21,
    FF_DISCONNECT = 22,
    FF_RESIZE = 23,
    FF_GETNUMPARAMETERELEMENTS = 31,
    FF_GETPARAMETERUSAGE = 32,
    FF_GETPLUGINSHORTNAME = 33,
};

// Capability codes (argument of FF_GETPLUGINCAPS).
enum : uint32_t {
    FF_CAP_16BITVIDEO = 0,
    FF_CAP_24BITVIDEO = 1,
    FF_CAP_32BITVIDEO = 2,
    FF_CAP_PROCESSFRAMECOPY = 3,
    FF_CAP_PROCESSOPENGL = 4,
    FF_CAP_SETTIME = 5,
    FF_CAP_MINIMUMINPUTFRAMES = 10,
    FF_CAP_MAXIMUMINPUTFRAMES = 11,
    FF_CAP_COPYORINPLACE = 15,
};

// Plug-in types (PluginInfoStructTag::PluginType).
enum : uint32_t {
    FF_EFFECT = 0,
    FF_SOURCE = 1,
};

// Parameter types.
enum : uint32_t {
    FF_TYPE_BOOLEAN = 0,
    FF_TYPE_EVENT = 1,
    FF_TYPE_STANDARD = 10,
    FF_TYPE_OPTION = 11,
    FF_TYPE_BUFFER = 12,
    FF_TYPE_TEXT = 100,
};

// Capacities of the fixed text fields of the records.
constexpr int FF_UNIQUE_ID_SIZE = 4;   // no terminator
constexpr int FF_PLUGIN_NAME_SIZE = 16; // NUL-padded, no terminator when full
constexpr int FF_PARAM_NAME_SIZE = 16;  // NUL-padded, no terminator when full

// Identity of the plug-in, returned by FF_GETINFO.
struct PluginInfoStructTag {
    uint32_t APIMajorVersion;
    uint32_t APIMinorVersion; // thousandths: 500 for API 1.500
    char PluginUniqueID[FF_UNIQUE_ID_SIZE];
    char PluginName[FF_PLUGIN_NAME_SIZE];
    uint32_t PluginType;
};

// Versions, texts and extended data, returned by FF_GETEXTENDEDINFO.
struct PluginExtendedInfoStructTag {
    uint32_t PluginMajorVersion;
    uint32_t PluginMinorVersion;
    char* Description; // NUL-terminated, owned by the registration record
    char* About;       // NUL-terminated, owned by the registration record
    uint32_t FreeFrameExtendedDataSize;
    void* FreeFrameExtendedDataBlock;
};

// A viewport in pixels (FF_INSTANTIATEGL, FF_RESIZE).
struct FFGLViewportStructTag {
    uint32_t x;
    uint32_t y;
    uint32_t width;
    uint32_t height;
};

// One host texture handed to FF_PROCESSOPENGL. The host owns the GL texture.
struct FFGLTextureStructTag {
    uint32_t Width;
    uint32_t Height;
    uint32_t HardwareWidth;  // allocated size, possibly larger (power of two)
    uint32_t HardwareHeight;
    uint32_t Handle;         // GL texture name
};

// One frame: the host's input textures and the framebuffer to draw into (0 = the window's).
struct ProcessOpenGLStructTag {
    uint32_t numInputTextures;
    FFGLTextureStructTag** inputTextures; // numInputTextures pointers, owned by the host
    uint32_t HostFBO;
};

// A parameter write (FF_SETPARAMETER): a float's bit pattern in the low 32 bits of the value, or
// a pointer for text parameters and float arrays.
struct SetParameterStructTag {
    uint32_t ParameterNumber;
    FFWord NewParameterValue;
};

// Record layouts, checked against the host's documented sizes and offsets.
#include <cstddef>
#include <type_traits>
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(std::is_same<FFWord, uint32_t>::value, "32-bit words are uint32_t");
static_assert(sizeof(PluginInfoStructTag) == 32, "information record");
static_assert(offsetof(PluginInfoStructTag, PluginUniqueID) == 8, "unique ID at 8");
static_assert(offsetof(PluginInfoStructTag, PluginName) == 12, "name at 12");
static_assert(offsetof(PluginInfoStructTag, PluginType) == 28, "type at 28");
static_assert(sizeof(PluginExtendedInfoStructTag) == 24, "extended information record");
static_assert(offsetof(PluginExtendedInfoStructTag, Description) == 8, "description at 8");
static_assert(offsetof(PluginExtendedInfoStructTag, About) == 12, "about at 12");
static_assert(offsetof(PluginExtendedInfoStructTag, FreeFrameExtendedDataSize) == 16, "size at 16");
static_assert(offsetof(PluginExtendedInfoStructTag, FreeFrameExtendedDataBlock) == 20, "block at 20");
static_assert(sizeof(FFGLViewportStructTag) == 16, "viewport record");
static_assert(sizeof(FFGLTextureStructTag) == 20, "texture record");
static_assert(offsetof(FFGLTextureStructTag, Handle) == 16, "handle at 16");
static_assert(sizeof(ProcessOpenGLStructTag) == 12, "process record");
static_assert(offsetof(ProcessOpenGLStructTag, inputTextures) == 4, "textures at 4");
static_assert(offsetof(ProcessOpenGLStructTag, HostFBO) == 8, "host framebuffer at 8");
static_assert(sizeof(SetParameterStructTag) == 8, "set-parameter record");
static_assert(offsetof(SetParameterStructTag, NewParameterValue) == 4, "value at 4");
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(sizeof(FFWord) == 8, "64-bit words");
static_assert(sizeof(PluginInfoStructTag) == 32, "information record");
static_assert(offsetof(PluginInfoStructTag, PluginUniqueID) == 8, "unique ID at 8");
static_assert(offsetof(PluginInfoStructTag, PluginName) == 12, "name at 12");
static_assert(offsetof(PluginInfoStructTag, PluginType) == 28, "type at 28");
static_assert(sizeof(PluginExtendedInfoStructTag) == 40, "extended information record");
static_assert(offsetof(PluginExtendedInfoStructTag, Description) == 8, "description at 8");
static_assert(offsetof(PluginExtendedInfoStructTag, About) == 16, "about at 16");
static_assert(offsetof(PluginExtendedInfoStructTag, FreeFrameExtendedDataSize) == 24, "size at 24");
static_assert(offsetof(PluginExtendedInfoStructTag, FreeFrameExtendedDataBlock) == 32, "block at 32");
static_assert(sizeof(FFGLViewportStructTag) == 16, "viewport record");
static_assert(sizeof(FFGLTextureStructTag) == 20, "texture record");
static_assert(offsetof(FFGLTextureStructTag, Handle) == 16, "handle at 16");
static_assert(sizeof(ProcessOpenGLStructTag) == 24, "process record");
static_assert(offsetof(ProcessOpenGLStructTag, inputTextures) == 8, "textures at 8");
static_assert(offsetof(ProcessOpenGLStructTag, HostFBO) == 16, "host framebuffer at 16");
static_assert(sizeof(SetParameterStructTag) == 16, "set-parameter record");
static_assert(offsetof(SetParameterStructTag, NewParameterValue) == 8, "value at 8");
#else
#error "unsupported word size"
#endif

// Per-instance base class. plugMain forwards the per-instance codes to these virtual operations;
// each has a default behaviour, and the concrete instance class overrides what it needs.
class CFreeFrameGLPlugin : public CFFGLPluginManager {
public:
    CFreeFrameGLPlugin();
    ~CFreeFrameGLPlugin() override;

    // [gl-context, after instantiation] success by default.
    virtual FFWord InitGL(const FFGLViewportStructTag* viewport);
    // [gl-context, before destruction] success by default.
    virtual FFWord DeInitGL();
    // [any, instance] The value of `index` as text, or null. The default formats the float value
    // into one process-wide buffer that the next call from any instance overwrites.
    virtual char* GetParameterDisplay(uint32_t index);
    // [any, instance] failure by default.
    virtual FFWord SetParameter(const SetParameterStructTag* record);
    // [any, instance] failure by default.
    virtual FFWord GetParameter(uint32_t index);
    // [gl-context, instance initialised] failure by default.
    virtual FFWord ProcessOpenGL(ProcessOpenGLStructTag* frame);
    // [any, instance] failure by default.
    virtual FFWord SetTime(double time);
    // [any, instance] 1 (input in use) below GetMaxInputs(), failure otherwise.
    virtual FFWord GetInputStatus(uint32_t index);
    // [any] null by default (no short name). The text is owned by the instance.
    virtual char* GetShortName();
    // [any, instance] success by default.
    virtual FFWord Connect();
    // [any, instance] success by default.
    virtual FFWord Disconnect();
    // [gl-context, instance initialised] success by default.
    virtual FFWord Resize(const FFGLViewportStructTag* viewport);

    // Set by plugMain when it connects the instance, cleared when it disconnects it.
    bool m_bConnected;
};

// Capacity of the default GetParameterDisplay buffer, terminator included.
constexpr int FF_DISPLAY_VALUE_SIZE = 32;

// The factory a registration record holds: creates one complete instance, stores it through the
// argument and returns FF_SUCCESS, or returns FF_FAIL. The caller owns the instance.
typedef FFWord (*FPCREATEINSTANCEGL)(CFreeFrameGLPlugin** instance);

// The host entry point, exported under its plain name.
extern "C" {
#if defined(__GNUC__)
__attribute__((visibility("default")))
#endif
FFWord plugMain(uint32_t functionCode, FFWord inputValue, FFWord instanceID);
}
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(std::is_same<decltype(&plugMain), uint32_t (*)(uint32_t, uint32_t, uint32_t)>::value,
              "the 32-bit entry point takes and returns three 32-bit words");
#endif
