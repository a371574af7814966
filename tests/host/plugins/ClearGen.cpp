// ClearGen: the smallest useful FFGL source plug-in, written straight against the FFGL records
// with no framework. Each frame clears the host's framebuffer to the colour of its three standard
// parameters "Red", "Green" and "Blue". It is the host tests' generator and the trivial baseline
// for benchmarks.
//
// Answers codes 0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 13, 15, 17, 18, 19 and 23; every other code fails.
// Compile-time switches build the misbehaving variants the host tests need:
//   CLEARGEN_TYPE        plug-in type announced by code 0 (default FF_SOURCE)
//   CLEARGEN_GL_CAP      answer to capability 4, OpenGL processing (default 1)
//   CLEARGEN_FAIL_FRAME  code 17 fails from this frame of an instance on (default 0: never)
//   CLEARGEN_SPLIT       1: the upper half of the viewport (as code 18 or the last code 23 gave
//                        it) is cleared to the complementary colour, so that pictures show
//                        which way up they are and which size the plug-in was told
//   CLEARGEN_BLUE_DEFAULT  the default of "Blue" (default 0.5)
//   CLEARGEN_FAIL_SET_PARAMETER   code 8 always fails
//   CLEARGEN_FAIL_PARAMETER_COUNT code 4 fails
//   CLEARGEN_BAD_RECORDS          what it tells of itself is malformed: a unique ID with a
//                                 control byte, no extended information (a null pointer), a
//                                 parameter name with a control byte and a parameter of no
//                                 FFGL type
//   CLEARGEN_LEAVE_MATRIX_MODE    a frame ends with this matrix mode current (e.g. GL_PROJECTION)
//   CLEARGEN_LEAVE_GL_ERROR       a frame ends with a GL error pending
//   CLEARGEN_UNBIND_FRAMEBUFFER   a frame ends with framebuffer 0 bound instead of the host's
//   CLEARGEN_EXPORTED_RED  the red it clears to comes from a function every variant built with
//                          this switch exports under the same name, clearGenExportedRed(): a
//                          host that lets loaded plug-ins bind to each other's symbols makes
//                          the second variant clear to the first one's red
//   CLEARGEN_NAME          the name code 0 announces (default ClearGen)
//   CLEARGEN_BREAK_CODE    the function code whose call takes the host down, the way
//   CLEARGEN_BREAK_BY      says: Break::NullWrite (SIGSEGV), Break::Abort (SIGABRT),
//                          Break::RaiseFpe (SIGFPE), Break::BusError (a real SIGBUS: a read
//                          past the end of a mapped empty file), Break::Hang (never returns),
//                          Break::Exit (exit(3)), Break::StackOverflow (unbounded recursion)
//                          or Break::WildPointer (answers the address 0x10 instead of its
//                          record or text). It prints one line first. As a Windows DLL it
//                          breaks the same ways but BusError (there it does nothing).
//   CLEARGEN_BREAK_FRAME   with code 17: the frame of an instance that breaks (default 1)
// When the environment variable CLEARGEN_TRACE names a file, every call appends its function
// code to it, one per line, so tests can check the order of the host's calls.
//
// Threads and GL: called from the host's one thread; codes 17, 18, 19 and 23 with its context
// current. Instances are heap objects owned by the host between codes 18 and 19.
#include "FFGLPluginSDK.h"
#include "FloatWords.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <signal.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef CLEARGEN_TYPE
#define CLEARGEN_TYPE FF_SOURCE
#endif
#ifndef CLEARGEN_GL_CAP
#define CLEARGEN_GL_CAP 1
#endif
#ifndef CLEARGEN_FAIL_FRAME
#define CLEARGEN_FAIL_FRAME 0
#endif
#ifndef CLEARGEN_SPLIT
#define CLEARGEN_SPLIT 0
#endif
#ifndef CLEARGEN_BLUE_DEFAULT
#define CLEARGEN_BLUE_DEFAULT 0.5f
#endif
#ifndef CLEARGEN_NAME
#define CLEARGEN_NAME ClearGen
#endif
#ifndef CLEARGEN_BREAK_BY
#define CLEARGEN_BREAK_BY Break::None
#define CLEARGEN_BREAK_CODE 0
#endif
#ifndef CLEARGEN_BREAK_FRAME
#define CLEARGEN_BREAK_FRAME 1
#endif
#define CLEARGEN_TEXT(x) #x
#define CLEARGEN_STRING(x) CLEARGEN_TEXT(x)

#ifdef CLEARGEN_EXPORTED_RED
extern "C" __attribute__((visibility("default"))) float clearGenExportedRed() { return CLEARGEN_EXPORTED_RED; }
#endif

namespace {

enum class Break { None, NullWrite, Abort, RaiseFpe, BusError, Hang, Exit, StackOverflow, WildPointer };
constexpr Break kBreakBy = CLEARGEN_BREAK_BY;
constexpr uint32_t kBreakCode = CLEARGEN_BREAK_CODE;
constexpr int kBreakFrame = CLEARGEN_BREAK_FRAME;
// Where a wild pointer points: the first page, never mapped.
constexpr FFWord kWildAddress = 0x10;

constexpr uint32_t kParamCount = 3;
constexpr int kDisplayCapacity = 16;

#ifdef CLEARGEN_BAD_RECORDS
constexpr bool kBadRecords = true;
const char kParamNames[kParamCount][FF_PARAM_NAME_SIZE] = {"Red", "Gr\aeen", "Blue"};
const char kUniqueId[4] = {'C', 'L', '\x01', 'G'};
constexpr uint32_t kBlueType = 42;
#else
constexpr bool kBadRecords = false;
// NUL-padded 16-byte names, as code 5 hands them out.
const char kParamNames[kParamCount][FF_PARAM_NAME_SIZE] = {"Red", "Green", "Blue"};
const char kUniqueId[4] = {'C', 'L', 'R', 'G'};
constexpr uint32_t kBlueType = FF_TYPE_STANDARD;
#endif
const float kParamDefaults[kParamCount] = {0.25f, 0.75f, CLEARGEN_BLUE_DEFAULT};

const PluginInfoStructTag kInfo = {1, 500, {kUniqueId[0], kUniqueId[1], kUniqueId[2], kUniqueId[3]},
                                   CLEARGEN_STRING(CLEARGEN_NAME), CLEARGEN_TYPE};
char kDescription[] = "Clears the host framebuffer to one colour";
char kAbout[] = "ffglhost test generator";
const PluginExtendedInfoStructTag kExtendedInfo = {1, 0, kDescription, kAbout, 0, nullptr};

struct Instance {
    float values[kParamCount];
    FFGLViewportStructTag viewport;
    char display[kDisplayCapacity];
    int frames;
};

int* volatile g_nowhere = nullptr; // a null pointer the compiler cannot see through
volatile int g_depth = 0;

int recurse(int n)
{
    volatile char frame[512];
    frame[0] = static_cast<char>(n);
    g_depth = n;
    if (n < 0) // never: only here so that the recursion has an end the compiler must keep
        return frame[0];
    return recurse(n + 1) + frame[0];
}

// Takes the process down the way kBreakBy says (every way but the wild pointer, which is an answer).
void breakNow(uint32_t code)
{
    std::printf("%s breaks in code %u now\n", CLEARGEN_STRING(CLEARGEN_NAME), code);
    std::fflush(stdout);
    switch (kBreakBy) {
    case Break::NullWrite: *g_nowhere = 1; break;
    case Break::Abort: std::abort();
    case Break::RaiseFpe: raise(SIGFPE); break;
    case Break::BusError: {
#ifndef _WIN32
        // A page of an empty file: mapped, but nothing behind it.
        std::FILE* f = std::tmpfile();
        const long page = sysconf(_SC_PAGESIZE);
        void* p = f != nullptr ? mmap(nullptr, static_cast<std::size_t>(page), PROT_READ, MAP_SHARED, fileno(f), 0)
                               : MAP_FAILED;
        if (p != MAP_FAILED)
            g_depth = *static_cast<volatile char*>(p);
#endif
        break;
    }
    case Break::Hang:
        for (;;) {
#ifdef _WIN32
            Sleep(1000);
#else
            sleep(1);
#endif
        }
    case Break::Exit: std::exit(3);
    case Break::StackOverflow: g_depth = recurse(0); break;
    case Break::WildPointer:
    case Break::None: break;
    }
}

// Whether this call of `code` breaks; `frame` is the instance's frame for code 17.
bool breaksAt(uint32_t code, int frame = kBreakFrame)
{
    return kBreakBy != Break::None && code == kBreakCode && frame == kBreakFrame;
}

void trace(uint32_t code)
{
    static const char* const path = std::getenv("CLEARGEN_TRACE");
    if (path == nullptr)
        return;
    if (std::FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%u\n", code);
        std::fclose(f);
    }
}

FFWord instantiate(const FFGLViewportStructTag* viewport)
{
    if (viewport == nullptr)
        return FF_FAIL;
    Instance* in = new Instance();
    std::memcpy(in->values, kParamDefaults, sizeof in->values);
    in->viewport = *viewport;
    return reinterpret_cast<FFWord>(in);
}

FFWord processOpenGL(Instance* in, const ProcessOpenGLStructTag* frame)
{
    if (frame == nullptr)
        return FF_FAIL;
    ++in->frames;
    if (CLEARGEN_FAIL_FRAME > 0 && in->frames >= CLEARGEN_FAIL_FRAME)
        return FF_FAIL;
    if (breaksAt(FF_PROCESSOPENGL, in->frames)) {
        if (kBreakBy == Break::WildPointer)
            return kWildAddress;
        breakNow(FF_PROCESSOPENGL);
    }
    // Draws into whatever the host bound (its HostFBO) and leaves the clear colour as found.
    GLfloat saved[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, saved);
#ifdef CLEARGEN_EXPORTED_RED
    const float red = clearGenExportedRed();
#else
    const float red = in->values[0];
#endif
    glClearColor(red, in->values[1], in->values[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (CLEARGEN_SPLIT) {
        // GL rows count from the bottom: the upper half starts at height / 2.
        const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
        GLint box[4];
        glGetIntegerv(GL_SCISSOR_BOX, box);
        const GLsizei w = static_cast<GLsizei>(in->viewport.width), h = static_cast<GLsizei>(in->viewport.height);
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, h / 2, w, h - h / 2);
        glClearColor(1.0f - in->values[0], 1.0f - in->values[1], 1.0f - in->values[2], 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glScissor(box[0], box[1], box[2], box[3]);
        if (!scissor)
            glDisable(GL_SCISSOR_TEST);
    }
    glClearColor(saved[0], saved[1], saved[2], saved[3]);
#ifdef CLEARGEN_LEAVE_MATRIX_MODE
    glMatrixMode(CLEARGEN_LEAVE_MATRIX_MODE);
#endif
#ifdef CLEARGEN_UNBIND_FRAMEBUFFER
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
#endif
#ifdef CLEARGEN_LEAVE_GL_ERROR
    glEnable(0); // not a capability: GL_INVALID_ENUM
#endif
    return FF_SUCCESS;
}

FFWord setParameter(Instance* in, const SetParameterStructTag* record)
{
#ifdef CLEARGEN_FAIL_SET_PARAMETER
    return FF_FAIL;
#endif
    if (record == nullptr || record->ParameterNumber >= kParamCount)
        return FF_FAIL;
    const float v = floatOf(record->NewParameterValue);
    if (!std::isfinite(v))
        return FF_FAIL;
    in->values[record->ParameterNumber] = v < 0.f ? 0.f : (v > 1.f ? 1.f : v);
    return FF_SUCCESS;
}

FFWord instanceCall(uint32_t code, FFWord input, Instance* in)
{
    if (in == nullptr)
        return FF_FAIL;
    switch (code) {
    case FF_GETPARAMETERDISPLAY:
        if (input >= kParamCount)
            return 0;
        std::snprintf(in->display, sizeof in->display, "%.2f", static_cast<double>(in->values[input]));
        return reinterpret_cast<FFWord>(in->display);
    case FF_SETPARAMETER: return setParameter(in, reinterpret_cast<const SetParameterStructTag*>(input));
    case FF_GETPARAMETER: return input < kParamCount ? bitsOf(in->values[input]) : FF_FAIL;
    case FF_PROCESSOPENGL: return processOpenGL(in, reinterpret_cast<const ProcessOpenGLStructTag*>(input));
    case FF_DEINSTANTIATEGL: delete in; return FF_SUCCESS;
    case FF_RESIZE:
        if (input == 0)
            return FF_FAIL;
        in->viewport = *reinterpret_cast<const FFGLViewportStructTag*>(input);
        return FF_SUCCESS;
    default: return FF_FAIL;
    }
}

} // namespace

extern "C" FFWord plugMain(uint32_t functionCode, FFWord inputValue, FFWord instanceID)
{
    trace(functionCode);
    if (functionCode != FF_PROCESSOPENGL && breaksAt(functionCode)) {
        if (kBreakBy == Break::WildPointer)
            return kWildAddress;
        breakNow(functionCode);
    }
    switch (functionCode) {
    case FF_GETINFO: return reinterpret_cast<FFWord>(&kInfo);
    case FF_INITIALISE:
    case FF_DEINITIALISE: return FF_SUCCESS;
#ifdef CLEARGEN_FAIL_PARAMETER_COUNT
    case FF_GETNUMPARAMETERS: return FF_FAIL;
#else
    case FF_GETNUMPARAMETERS: return kParamCount;
#endif
    case FF_GETPARAMETERNAME: return inputValue < kParamCount ? reinterpret_cast<FFWord>(kParamNames[inputValue]) : 0;
    case FF_GETPARAMETERDEFAULT: return inputValue < kParamCount ? bitsOf(kParamDefaults[inputValue]) : FF_FAIL;
    case FF_GETPARAMETERTYPE:
        if (inputValue >= kParamCount)
            return FF_FAIL;
        return inputValue == 2 ? kBlueType : static_cast<FFWord>(FF_TYPE_STANDARD);
    case FF_GETPLUGINCAPS: return inputValue == FF_CAP_PROCESSOPENGL ? CLEARGEN_GL_CAP : 0;
    case FF_GETEXTENDEDINFO: return kBadRecords ? 0 : reinterpret_cast<FFWord>(&kExtendedInfo);
    case FF_INSTANTIATEGL: return instantiate(reinterpret_cast<const FFGLViewportStructTag*>(inputValue));
    case FF_GETPARAMETERDISPLAY:
    case FF_SETPARAMETER:
    case FF_GETPARAMETER:
    case FF_PROCESSOPENGL:
    case FF_DEINSTANTIATEGL:
    case FF_RESIZE: return instanceCall(functionCode, inputValue, reinterpret_cast<Instance*>(instanceID));
    default: return FF_FAIL;
    }
}
