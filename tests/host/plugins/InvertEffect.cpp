// Invert: the smallest useful FFGL effect, written straight against the FFGL records with no
// framework. Each frame draws its first input texture over the host's whole viewport, each colour
// channel c as 255 - c exactly (alpha kept), or unchanged while its boolean parameter "Invert" is
// off. Padded inputs (a picture in the lower-left corner of a larger texture) are sampled within
// the picture. It is the host tests' effect: what it draws is known to the last bit.
//
// Compile-time switches build the variants the host tests need:
//   INVERT_NAME             the name code 0 announces (default Invert)
//   INVERT_MIN_INPUTS       the minimum and maximum input counts (capabilities 10 and 11;
//   INVERT_MAX_INPUTS       default 1 and 1); a frame with fewer than the minimum fails
//   INVERT_STATUS_INPUTS    code 16 (get input status) answers 1 for inputs below this count and
//                           failure from it on (default INVERT_MAX_INPUTS, which is right)
//   INVERT_WRITE_INPUT      after drawing, writes a grey stripe into the host's input texture
//   INVERT_DELETE_INPUT     after drawing, deletes the host's input texture
//   INVERT_CHANGE_SAMPLING  switches the host's input texture to nearest filtering and leaves it so
//   INVERT_IGNORE_INPUT     never looks at its input: clears to a dark blue instead
//   INVERT_IGNORE_PADDING   samples the whole texture, padding and all, as if it were the picture
//
// Threads and GL: called from the host's one thread; codes 17, 18, 19 and 23 with its context
// current. Every frame leaves the GL state as it found it (attributes, matrices, bindings). It
// draws on the texture unit the host has active with the host's program (none, as hosts hand
// them over), and calls nothing past OpenGL 1.1, so that it also builds as a Windows DLL.
// Instances are heap objects owned by the host between codes 18 and 19.
#include "FFGLPluginSDK.h"
#include "FloatWords.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#ifndef INVERT_NAME
#define INVERT_NAME Invert
#endif
#ifndef INVERT_MIN_INPUTS
#define INVERT_MIN_INPUTS 1
#endif
#ifndef INVERT_MAX_INPUTS
#define INVERT_MAX_INPUTS 1
#endif
#ifndef INVERT_STATUS_INPUTS
#define INVERT_STATUS_INPUTS INVERT_MAX_INPUTS
#endif
#define INVERT_TEXT(x) #x
#define INVERT_STRING(x) INVERT_TEXT(x)

namespace {

constexpr uint32_t kParamCount = 1;
constexpr int kDisplayCapacity = 16;
// The stripe INVERT_WRITE_INPUT writes: rows of the texture, grey level.
constexpr int kStripeRows = 4;
constexpr unsigned char kStripeGrey = 128;

const char kParamNames[kParamCount][FF_PARAM_NAME_SIZE] = {"Invert"};
const float kParamDefaults[kParamCount] = {1.f};

const PluginInfoStructTag kInfo = {1, 500, {'I', 'N', 'V', 'T'}, INVERT_STRING(INVERT_NAME), FF_EFFECT};
char kDescription[] = "Draws its input inverted";
char kAbout[] = "ffglhost test effect";
const PluginExtendedInfoStructTag kExtendedInfo = {1, 0, kDescription, kAbout, 0, nullptr};

struct Instance {
    float values[kParamCount];
    char display[kDisplayCapacity];
};

// Draws `input` over the viewport with identity matrices: texture coordinates from 0 to the
// picture's share of the allocated texture, so padding is never sampled.
[[maybe_unused]] void drawInput(const FFGLTextureStructTag& input, bool invert)
{
    glBindTexture(GL_TEXTURE_2D, input.Handle);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, invert ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
#ifdef INVERT_IGNORE_PADDING
    const float s = 1.f, t = 1.f;
#else
    const float s = input.HardwareWidth > 0 ? static_cast<float>(input.Width) / input.HardwareWidth : 1.f;
    const float t = input.HardwareHeight > 0 ? static_cast<float>(input.Height) / input.HardwareHeight : 1.f;
#endif
    glBegin(GL_QUADS);
    glTexCoord2f(0.f, 0.f);
    glVertex2f(-1.f, -1.f);
    glTexCoord2f(s, 0.f);
    glVertex2f(1.f, -1.f);
    glTexCoord2f(s, t);
    glVertex2f(1.f, 1.f);
    glTexCoord2f(0.f, t);
    glVertex2f(-1.f, 1.f);
    glEnd();
}

// What the misbehaving variants do to the host's texture after drawing.
[[maybe_unused]] void misbehave(const FFGLTextureStructTag& input)
{
#ifdef INVERT_WRITE_INPUT
    const std::vector<unsigned char> grey(static_cast<std::size_t>(input.Width) * kStripeRows * 4, kStripeGrey);
    glBindTexture(GL_TEXTURE_2D, input.Handle);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(input.Width), kStripeRows, GL_RGBA,
                    GL_UNSIGNED_BYTE, grey.data());
#endif
#ifdef INVERT_DELETE_INPUT
    const GLuint name = input.Handle;
    glDeleteTextures(1, &name);
#endif
#ifdef INVERT_CHANGE_SAMPLING
    glBindTexture(GL_TEXTURE_2D, input.Handle);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
#endif
    (void)input;
}

FFWord processOpenGL(Instance* in, const ProcessOpenGLStructTag* frame)
{
    if (frame == nullptr || frame->numInputTextures < INVERT_MIN_INPUTS ||
        (frame->numInputTextures > 0 && (frame->inputTextures == nullptr || frame->inputTextures[0] == nullptr)))
        return FF_FAIL;
    GLint mode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    const GLenum stacks[] = {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW};
    for (GLenum m : stacks) {
        glMatrixMode(m);
        glPushMatrix();
        glLoadIdentity();
    }
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
#ifdef INVERT_IGNORE_INPUT
    (void)in;
    glClearColor(0.1f, 0.1f, 0.4f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT);
#else
    if (frame->numInputTextures > 0) {
        drawInput(*frame->inputTextures[0], in->values[0] > 0.5f);
        misbehave(*frame->inputTextures[0]);
    }
#endif
    for (GLenum m : stacks) {
        glMatrixMode(m);
        glPopMatrix();
    }
    glPopClientAttrib();
    glPopAttrib();
    glMatrixMode(static_cast<GLenum>(mode));
    return FF_SUCCESS;
}

FFWord setParameter(Instance* in, const SetParameterStructTag* record)
{
    if (record == nullptr || record->ParameterNumber >= kParamCount)
        return FF_FAIL;
    in->values[record->ParameterNumber] = floatOf(record->NewParameterValue) > 0.5f ? 1.f : 0.f;
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
        std::snprintf(in->display, sizeof in->display, "%s", in->values[input] > 0.5f ? "on" : "off");
        return reinterpret_cast<FFWord>(in->display);
    case FF_SETPARAMETER: return setParameter(in, reinterpret_cast<const SetParameterStructTag*>(input));
    case FF_GETPARAMETER: return input < kParamCount ? bitsOf(in->values[input]) : FF_FAIL;
    case FF_PROCESSOPENGL: return processOpenGL(in, reinterpret_cast<const ProcessOpenGLStructTag*>(input));
    case FF_DEINSTANTIATEGL: delete in; return FF_SUCCESS;
    case FF_RESIZE: return input != 0 ? FF_SUCCESS : FF_FAIL;
    default: return FF_FAIL;
    }
}

FFWord capability(FFWord which)
{
    switch (which) {
    case FF_CAP_PROCESSOPENGL: return 1;
    case FF_CAP_MINIMUMINPUTFRAMES: return INVERT_MIN_INPUTS;
    case FF_CAP_MAXIMUMINPUTFRAMES: return INVERT_MAX_INPUTS;
    default: return 0;
    }
}

} // namespace

extern "C" FFWord plugMain(uint32_t functionCode, FFWord inputValue, FFWord instanceID)
{
    switch (functionCode) {
    case FF_GETINFO: return reinterpret_cast<FFWord>(&kInfo);
    case FF_INITIALISE:
    case FF_DEINITIALISE: return FF_SUCCESS;
    case FF_GETNUMPARAMETERS: return kParamCount;
    case FF_GETPARAMETERNAME: return inputValue < kParamCount ? reinterpret_cast<FFWord>(kParamNames[inputValue]) : 0;
    case FF_GETPARAMETERDEFAULT: return inputValue < kParamCount ? bitsOf(kParamDefaults[inputValue]) : FF_FAIL;
    case FF_GETPARAMETERTYPE: return inputValue < kParamCount ? static_cast<FFWord>(FF_TYPE_BOOLEAN) : FF_FAIL;
    case FF_GETPLUGINCAPS: return capability(inputValue);
    case FF_GETEXTENDEDINFO: return reinterpret_cast<FFWord>(&kExtendedInfo);
    case FF_GETINPUTSTATUS: return inputValue < INVERT_STATUS_INPUTS ? 1 : FF_FAIL;
    case FF_INSTANTIATEGL: {
        Instance* in = new Instance();
        std::memcpy(in->values, kParamDefaults, sizeof in->values);
        return reinterpret_cast<FFWord>(in);
    }
    case FF_GETPARAMETERDISPLAY:
    case FF_SETPARAMETER:
    case FF_GETPARAMETER:
    case FF_PROCESSOPENGL:
    case FF_DEINSTANTIATEGL:
    case FF_RESIZE: return instanceCall(functionCode, inputValue, reinterpret_cast<Instance*>(instanceID));
    default: return FF_FAIL;
    }
}
