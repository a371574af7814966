// libFuzzer target: the host interface of one plug-in, whose sources are linked into this
// program, driven with sequences of host calls decoded from the fuzzer's input, in a real
// headless GL context (kxhost::HeadlessGL) with a 64x64 host framebuffer.
//
// The fuzzer plays a host that is sloppy with values but never with memory: function codes are
// anything (every known code and out-of-range ones), indices and values are anything (NaN,
// infinities, huge, negative and denormal floats as bits in the word, words wider than 32 bits),
// but instance identifiers are only ones that code 18 handed out (or 0), and every pointer
// passed is to a record this program owns: viewports, set-parameter records, frame records with
// the real host framebuffer and a real input texture, texts, float arrays, a double for code 20.
// Texts and records the plug-in returns are read (bounded) so that AddressSanitizer sees bad
// ones. After every frame the host checks that its matrix and attribute stacks and matrix mode
// are as it left them; after every input it destroys the instances still alive and
// de-initialises the plug-in, so inputs do not share state.
//
// Input format, read front to back (a short input just ends the sequence):
//   call       := code-byte instance-byte argument-bytes
//   code-byte  : below 240 selects code (byte % 36); 240..255 select an out-of-range code
//   instance   : below 32 gives identifier 0, else one of the live instances (0 when none)
//   arguments  : as the code needs (see argument readers below): index words, float words,
//                viewport sizes, frame descriptions. Missing bytes read as 0.
// Each input makes at most kMaxCalls calls, kMaxFrames frames and kMaxInstances live instances.
//
// Time and chance are the host's: the plug-ins read a fake clock that starts at the same reading
// for every input and moves on by a fixed pattern of steps per frame (no time, ordinary frames,
// long pauses), and the C library's random generator is reseeded for every input. The same input
// then always runs the same way, alone or after others, whatever the machine's speed; with the
// address layout fixed as well (setarch -R), a run from a fixed seed tries the same inputs.
//
// Cost caps keep every input fast: parameters listed in kCostCaps are never set above their cap
// (infinities included; NaN and negatives pass) and start at it after instantiation.
//
// One thread; the context is current for the whole run and never destroyed (see Initialize).
#include "FFGLPluginSDK.h"
#include "FFGLWords.h"
#include "HeadlessGL.h"
#include "KXPlatform.h"

#include <GL/gl.h>

#include <array>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

extern "C" FFWord plugMain(uint32_t functionCode, FFWord inputValue, FFWord instanceID);

namespace {

constexpr int kFrameSize = 64;
constexpr int kMaxCalls = 200;
constexpr int kMaxFrames = 8;
constexpr std::size_t kMaxInstances = 4;
// Largest viewport side handed to code 18 and 23: small, so no plug-in allocates much for it.
constexpr uint32_t kMaxViewportSide = 128;
// Host texture slots in a frame record (the adapter reads at most three).
constexpr uint32_t kMaxInputTextures = 4;
// Longest text read back from the plug-in; a longer one counts as unterminated.
constexpr std::size_t kMaxTextLength = 4096;
// Floats behind the pointer given to parameters whose type the host does not know (float arrays).
constexpr std::size_t kFloatArrayLength = 256;
constexpr std::size_t kScratchSize = 4096;

struct CostCap {
    const char* name; // parameter name as code 5 reports it
    float maxValue;   // highest host value (0..1) sent
};

// Quorus: 20 of its 400 particles, so the all-pairs neighbour search and the cylinders stay cheap.
constexpr CostCap kCostCaps[] = {{"Particles", 0.05f}};

// Host values worth trying, as floats: the ordinary ones and every awkward class.
const float kValues[] = {0.0f, 1.0f, 0.5f, 0.25f, 0.375f, 0.05f, -0.0f, -1.0f, 2.0f, 1.5f,
                         1.0e10f, -1.0e10f, 2147483648.0f, -2147483904.0f, 16777217.0f,
                         0.99999994f, 1.0000001f, 1.0e-30f, FLT_MIN, FLT_MAX, -FLT_MAX};
const uint32_t kValueBits[] = {
    0x00000001u, // smallest denormal
    0x007FFFFFu, // largest denormal
    0x80000001u, // negative denormal
    0x7F800000u, // +infinity
    0xFF800000u, // -infinity
    0x7FC00000u, // quiet NaN
    0x7F800001u, // signalling NaN
    0xFFC00000u, // negative NaN
};
const double kTimes[] = {0.0, 1.5, -1.0, 1.0e308, -1.0e308, HUGE_VAL, -HUGE_VAL, NAN, 5e-324};
// Milliseconds the fake clock moves on before each frame, in turn.
const double kFrameSteps[] = {16.0, 16.0, 0.0, 1500.0, 1.0, 33.0, 16.0, 250.0};
constexpr double kClockStartMs = 1.0e6;
double g_clockMs = kClockStartMs;
double fakeClock() { return g_clockMs; }

const uint32_t kWildCodes[] = {34, 35, 36, 63, 64, 99, 100, 255, 256, 274, 1000, 0x10011u,
                               0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu};

// Reads the input front to back; past the end every read gives 0.
class ByteReader {
public:
    ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool done() const { return pos_ >= size_; }
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint32_t u32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<uint32_t>(byte()) << (8 * i);
        return v;
    }
    uint64_t u64() { return u32() | (static_cast<uint64_t>(u32()) << 32); }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

struct ParamMeta {
    FFWord type = FF_FAIL; // FF_FAIL: no entry for this index
    bool capped = false;
    float cap = 0.0f;
};

// What the host keeps for the whole run: the context, its framebuffer and input texture, and
// what the plug-in announced about its parameters.
struct Host {
    std::unique_ptr<kxhost::HeadlessGL> gl;
    kxhost::Framebuffer framebuffer;
    unsigned texture = 0;
    std::vector<ParamMeta> params;
};

// Deliberately never destroyed: tearing the context down at exit would unload the driver while
// its own process-lifetime allocations are still listed by the leak checker.
Host* g_host = nullptr;

volatile unsigned g_sink = 0; // keeps the reads of returned texts and records

void readBytes(const void* p, std::size_t n)
{
    unsigned sum = 0;
    const auto* bytes = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i)
        sum += bytes[i];
    g_sink = g_sink + sum;
}

// Reads a text the plug-in returned; one without a terminator within kMaxTextLength is a fault.
void readText(FFWord word, const char* what)
{
    if (word == 0 || word == FF_FAIL)
        return;
    const char* text = reinterpret_cast<const char*>(word);
    const std::size_t n = strnlen(text, kMaxTextLength + 1);
    if (n > kMaxTextLength) {
        std::fprintf(stderr, "fuzz_plugmain: %s text is not terminated within %zu bytes\n", what,
                     kMaxTextLength);
        std::abort();
    }
    readBytes(text, n);
}

void drainGLErrors()
{
    for (int i = 0; i < 64 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

bool hostSetup(Host& host)
{
    std::string error;
    host.gl = kxhost::HeadlessGL::create(error);
    if (!host.gl) {
        std::fprintf(stderr, "fuzz_plugmain: no GL context: %s\n", error.c_str());
        return false;
    }
    if (!host.framebuffer.create(kFrameSize, kFrameSize, error)) {
        std::fprintf(stderr, "fuzz_plugmain: no host framebuffer: %s\n", error.c_str());
        return false;
    }
    std::vector<unsigned char> pixels(kFrameSize * kFrameSize * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(i * 7);
    glGenTextures(1, &host.texture);
    glBindTexture(GL_TEXTURE_2D, host.texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kFrameSize, kFrameSize, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 pixels.data());
    glBindTexture(GL_TEXTURE_2D, 0);

    // What the plug-in announces, and which parameters carry a cost cap.
    const FFWord count = plugMain(FF_GETNUMPARAMETERS, 0, 0);
    if (count == FF_FAIL || count > 1024) {
        std::fprintf(stderr, "fuzz_plugmain: the plug-in gives no parameter count\n");
        return false;
    }
    host.params.resize(count);
    for (FFWord i = 0; i < count; ++i) {
        ParamMeta& m = host.params[i];
        m.type = plugMain(FF_GETPARAMETERTYPE, i, 0);
        const FFWord name = plugMain(FF_GETPARAMETERNAME, i, 0);
        if (name == 0)
            continue;
        for (const CostCap& cap : kCostCaps) {
            if (std::strncmp(reinterpret_cast<const char*>(name), cap.name, FF_PARAM_NAME_SIZE) == 0) {
                m.capped = true;
                m.cap = cap.maxValue;
            }
        }
    }
    plugMain(FF_DEINITIALISE, 0, 0);
    drainGLErrors();
    return true;
}

// Everything one input owns: live instances and the records and buffers handed to the plug-in,
// which stay alive until the input is finished.
struct Session {
    Host& host;
    ByteReader in;
    std::vector<FFWord> live;
    int frames = 0;
    std::vector<std::unique_ptr<std::string>> texts;
    std::array<float, kFloatArrayLength> floats{};
    std::array<unsigned char, kScratchSize> scratch{};

    ParamMeta meta(FFWord index) const
    {
        return index < host.params.size() ? host.params[index] : ParamMeta();
    }

    FFWord instance()
    {
        const uint8_t s = in.byte();
        if (s < 32 || live.empty())
            return 0;
        return live[s % live.size()];
    }

    // An index-like word: typical indices, the edges of 32 bits, and words wider than 32 bits.
    FFWord indexWord()
    {
        switch (in.byte() % 8) {
        case 0: return in.byte() % 16;
        case 1: return in.byte();
        case 2: return in.u32();
        case 3: return 0xFFFFFFFFu;
        case 4: return (in.byte() & 1) ? 0x80000000u : static_cast<FFWord>(INT_MAX);
        case 5: return sizeof(FFWord) > 4 ? static_cast<FFWord>((uint64_t{1} << 32) | in.byte()) : 0;
        case 6: return 0;
        default: return host.params.size() + in.byte() % 3; // just past the end, and beyond
        }
    }

    uint32_t floatBits()
    {
        const uint8_t k = in.byte();
        constexpr std::size_t nValues = sizeof kValues / sizeof kValues[0];
        constexpr std::size_t nBits = sizeof kValueBits / sizeof kValueBits[0];
        if (k < 200) {
            const std::size_t i = k % (nValues + nBits);
            if (i < nValues) {
                uint32_t bits;
                std::memcpy(&bits, &kValues[i], sizeof bits);
                return bits;
            }
            return kValueBits[i - nValues];
        }
        return in.u32();
    }

    float floatValue()
    {
        const uint32_t bits = floatBits();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }

    uint32_t viewportSide() { return in.byte() % (kMaxViewportSide + 1); }

    FFGLViewportStructTag viewport()
    {
        FFGLViewportStructTag vp{};
        vp.x = in.byte() % kFrameSize;
        vp.y = in.byte() % kFrameSize;
        vp.width = viewportSide();
        vp.height = viewportSide();
        return vp;
    }

    // The word for code 8 on `index`: a float word for the numeric types, a text pointer for text
    // parameters, a pointer to a float array where the host does not know the type.
    FFWord parameterValue(FFWord index)
    {
        const ParamMeta m = meta(index);
        if (m.type == FF_TYPE_TEXT) {
            const uint8_t len = in.byte();
            if (len == 255)
                return 0; // no text at all
            auto text = std::make_unique<std::string>();
            for (uint8_t i = 0; i < len % 64; ++i)
                text->push_back(static_cast<char>(in.byte() | 1)); // never an early terminator
            const FFWord w = reinterpret_cast<FFWord>(text->c_str());
            texts.push_back(std::move(text));
            return w;
        }
        if (m.type == FF_FAIL) {
            for (float& f : floats)
                f = floatValue();
            return reinterpret_cast<FFWord>(floats.data());
        }
        float v = floatValue();
        if (m.capped && v > m.cap)
            v = m.cap;
        FFWord w = FFFloatToWord(v);
        if (sizeof(FFWord) > 4 && (in.byte() & 0x80) != 0)
            w |= static_cast<FFWord>(uint64_t{0xDEAD} << 32); // bits above the float are ignored
        return w;
    }

    void setParameter(FFWord id, uint32_t index, FFWord value)
    {
        SetParameterStructTag record{};
        record.ParameterNumber = index;
        record.NewParameterValue = value;
        plugMain(FF_SETPARAMETER, reinterpret_cast<FFWord>(&record), id);
    }

    void instantiate()
    {
        if (in.byte() % 16 == 0) {
            plugMain(FF_INSTANTIATEGL, 0, 0); // no viewport record
            return;
        }
        const FFGLViewportStructTag vp = viewport();
        if (live.size() >= kMaxInstances)
            return;
        const FFWord id = plugMain(FF_INSTANTIATEGL, reinterpret_cast<FFWord>(&vp), 0);
        drainGLErrors();
        if (id == FF_FAIL || id == 0)
            return;
        live.push_back(id);
        for (std::size_t i = 0; i < host.params.size(); ++i)
            if (host.params[i].capped)
                setParameter(id, static_cast<uint32_t>(i), FFFloatToWord(host.params[i].cap));
    }

    void deInstantiate(FFWord id)
    {
        if (plugMain(FF_DEINSTANTIATEGL, 0, id) == FF_SUCCESS && id != 0) {
            for (std::size_t i = 0; i < live.size(); ++i) {
                if (live[i] == id) {
                    live.erase(live.begin() + static_cast<std::ptrdiff_t>(i));
                    break;
                }
            }
        }
        drainGLErrors();
    }

    void frame(FFWord id)
    {
        const uint8_t shape = in.byte();
        const uint32_t count = shape % (kMaxInputTextures + 1);
        const bool nullArray = (shape & 0x10) != 0;
        const bool nullRecord = (shape & 0x20) != 0;
        const bool defaultFramebuffer = (shape & 0xC0) == 0xC0;
        if (frames >= kMaxFrames)
            return;
        g_clockMs += kFrameSteps[frames % (sizeof kFrameSteps / sizeof kFrameSteps[0])];
        ++frames;

        FFGLTextureStructTag textures[kMaxInputTextures];
        FFGLTextureStructTag* slots[kMaxInputTextures];
        for (uint32_t i = 0; i < kMaxInputTextures; ++i) {
            const uint8_t t = in.byte();
            textures[i].Width = 1 + t % kFrameSize;
            textures[i].Height = 1 + (t * 7u) % kFrameSize;
            textures[i].HardwareWidth = kFrameSize;
            textures[i].HardwareHeight = kFrameSize;
            textures[i].Handle = host.texture;
            slots[i] = (t & 0x80) != 0 ? nullptr : &textures[i];
        }
        ProcessOpenGLStructTag record{};
        record.numInputTextures = count;
        record.inputTextures = nullArray ? nullptr : slots;
        record.HostFBO = defaultFramebuffer ? 0 : host.framebuffer.id();

        host.framebuffer.bind();
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        GLint before[5] = {};
        queryStacks(before);
        plugMain(FF_PROCESSOPENGL, nullRecord ? 0 : reinterpret_cast<FFWord>(&record), id);
        GLint after[5] = {};
        queryStacks(after);
        if (std::memcmp(before, after, sizeof before) != 0) {
            std::fprintf(stderr,
                         "fuzz_plugmain: a frame left the host's GL stacks changed: matrix mode "
                         "0x%X -> 0x%X, depths modelview %d -> %d, projection %d -> %d, texture "
                         "%d -> %d, attributes %d -> %d\n",
                         before[0], after[0], before[1], after[1], before[2], after[2], before[3],
                         after[3], before[4], after[4]);
            std::abort();
        }
        drainGLErrors();
    }

    static void queryStacks(GLint out[5])
    {
        glGetIntegerv(GL_MATRIX_MODE, &out[0]);
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &out[1]);
        glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &out[2]);
        glGetIntegerv(GL_TEXTURE_STACK_DEPTH, &out[3]);
        glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &out[4]);
    }

    void readExtendedInfo(FFWord w)
    {
        if (w == 0 || w == FF_FAIL)
            return;
        PluginExtendedInfoStructTag record;
        std::memcpy(&record, reinterpret_cast<const void*>(w), sizeof record);
        readText(reinterpret_cast<FFWord>(record.Description), "description");
        readText(reinterpret_cast<FFWord>(record.About), "about");
        if (record.FreeFrameExtendedDataBlock != nullptr && record.FreeFrameExtendedDataSize <= (1u << 20))
            readBytes(record.FreeFrameExtendedDataBlock, record.FreeFrameExtendedDataSize);
    }

    void call()
    {
        const uint8_t c = in.byte();
        const uint32_t code = c < 240 ? c % 36u : kWildCodes[c - 240];
        const FFWord id = instance();
        switch (code) {
        case FF_GETINFO: {
            const FFWord w = plugMain(code, 0, id);
            if (w != 0 && w != FF_FAIL)
                readBytes(reinterpret_cast<const void*>(w), sizeof(PluginInfoStructTag));
            break;
        }
        case FF_GETEXTENDEDINFO:
            readExtendedInfo(plugMain(code, 0, id));
            break;
        case FF_GETPARAMETERNAME: {
            const FFWord w = plugMain(code, indexWord(), id);
            if (w != 0 && w != FF_FAIL)
                readBytes(reinterpret_cast<const void*>(w), FF_PARAM_NAME_SIZE);
            break;
        }
        case FF_GETPARAMETERDEFAULT: {
            const FFWord index = indexWord();
            const FFWord w = plugMain(code, index, id);
            if (meta(index).type == FF_TYPE_TEXT)
                readText(w, "default");
            break;
        }
        case FF_GETPARAMETERDISPLAY:
            readText(plugMain(code, indexWord(), id), "display");
            break;
        case FF_GETPARAMETER: {
            const FFWord index = indexWord();
            const FFWord w = plugMain(code, index, id);
            if (meta(index).type == FF_TYPE_TEXT)
                readText(w, "parameter");
            break;
        }
        case FF_SETPARAMETER: {
            if (in.byte() % 16 == 0) {
                plugMain(code, 0, id); // no record
                break;
            }
            const FFWord index = indexWord();
            setParameter(id, static_cast<uint32_t>(index), parameterValue(index));
            break;
        }
        case FF_PROCESSFRAME:
        case FF_PROCESSFRAMECOPY:
        case FF_INSTANTIATE:
            // CPU codes that would take a record: a pointer to scratch memory.
            plugMain(code, reinterpret_cast<FFWord>(scratch.data()), id);
            break;
        case FF_PROCESSOPENGL:
            frame(id);
            break;
        case FF_INSTANTIATEGL:
            instantiate();
            break;
        case FF_DEINSTANTIATEGL:
            deInstantiate(id);
            break;
        case FF_SETTIME: {
            const uint8_t k = in.byte();
            double t = kTimes[k % (sizeof kTimes / sizeof kTimes[0])];
            if (k >= 200) {
                const uint64_t bits = in.u64();
                std::memcpy(&t, &bits, sizeof t);
            }
            plugMain(code, k % 16 == 15 ? 0 : reinterpret_cast<FFWord>(&t), id);
            break;
        }
        case FF_RESIZE: {
            const uint8_t k = in.byte();
            const FFGLViewportStructTag vp = viewport();
            plugMain(code, k % 16 == 15 ? 0 : reinterpret_cast<FFWord>(&vp), id);
            drainGLErrors();
            break;
        }
        case FF_GETPLUGINSHORTNAME: {
            const FFWord w = plugMain(code, 0, id);
            if (w != 0 && w != FF_FAIL)
                readBytes(reinterpret_cast<const void*>(w),
                          strnlen(reinterpret_cast<const char*>(w), FF_PARAM_NAME_SIZE));
            break;
        }
        default:
            // The other global queries take an index or capability code; unknown codes a word
            // that no correct dispatch reads as an address.
            plugMain(code, indexWord(), id);
            break;
        }
    }

    void finish()
    {
        while (!live.empty()) {
            plugMain(FF_DEINSTANTIATEGL, 0, live.back());
            live.pop_back();
        }
        plugMain(FF_DEINITIALISE, 0, 0);
        drainGLErrors();
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!kxhost::HeadlessGL::displayAvailable()) {
        std::fprintf(stderr, "fuzz_plugmain: no EGL display on this machine: nothing to fuzz\n");
        std::exit(0);
    }
    KXPlatform::setClockOverride(fakeClock);
    g_host = new Host();
    if (!hostSetup(*g_host))
        std::exit(1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    g_clockMs = kClockStartMs;
    std::srand(1);
    Session session{*g_host, ByteReader(data, size), {}, 0, {}, {}, {}};
    for (int i = 0; i < kMaxCalls && !session.in.done(); ++i)
        session.call();
    session.finish();
    return 0;
}
