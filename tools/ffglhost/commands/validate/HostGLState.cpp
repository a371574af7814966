// The watched host GL state (see HostGLState.h).
#include "commands/validate/HostGLState.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>

namespace ffglhost {

namespace {

// Host matrices: anything but identity, so that a plug-in that loads identity instead of
// pushing and popping shows.
const GLfloat kHostModelview[16] = {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, 0.125f, -0.25f, 0, 1};
const GLfloat kHostProjection[16] = {1.5f, 0, 0, 0, 0, 2, 0, 0, 0, 0, -1, 0, 0, 0, 0.0625f, 1};
const GLfloat kHostTexture[16] = {1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 1, 0, 1};

// Enough for any real error queue; a context that reports errors forever must not hang us.
constexpr int kMaxErrorsTaken = 32;
// Most values one watched item holds (a matrix).
constexpr int kMaxItemValues = 16;

enum class Group { Transform, Attribute };

enum class Kind {
    Enabled, // glIsEnabled: "GL_BLEND disabled (was enabled)"
    Enum,    // glGetIntegerv, shown by enumerant name
    Int,     // glGetIntegerv, shown as numbers
    Bool,    // glGetBooleanv, shown as true/false
    Float,   // glGetFloatv, shown as numbers
    Matrix,  // glGetFloatv of 16 values, shown as "changed"
};

struct Item {
    const char* label;
    GLenum query;
    Kind kind;
    int count;
    Group group;
};

constexpr Group T = Group::Transform;
constexpr Group A = Group::Attribute;

const Item kItems[] = {
    {"matrix mode", GL_MATRIX_MODE, Kind::Enum, 1, T},
    {"modelview stack depth", GL_MODELVIEW_STACK_DEPTH, Kind::Int, 1, T},
    {"projection stack depth", GL_PROJECTION_STACK_DEPTH, Kind::Int, 1, T},
    {"texture stack depth", GL_TEXTURE_STACK_DEPTH, Kind::Int, 1, T},
    {"attribute stack depth", GL_ATTRIB_STACK_DEPTH, Kind::Int, 1, T},
    {"client attribute stack depth", GL_CLIENT_ATTRIB_STACK_DEPTH, Kind::Int, 1, T},
    {"modelview matrix", GL_MODELVIEW_MATRIX, Kind::Matrix, 16, T},
    {"projection matrix", GL_PROJECTION_MATRIX, Kind::Matrix, 16, T},
    {"texture matrix", GL_TEXTURE_MATRIX, Kind::Matrix, 16, T},

    {"GL_BLEND", GL_BLEND, Kind::Enabled, 1, A},
    {"GL_DEPTH_TEST", GL_DEPTH_TEST, Kind::Enabled, 1, A},
    {"GL_CULL_FACE", GL_CULL_FACE, Kind::Enabled, 1, A},
    {"GL_SCISSOR_TEST", GL_SCISSOR_TEST, Kind::Enabled, 1, A},
    {"GL_STENCIL_TEST", GL_STENCIL_TEST, Kind::Enabled, 1, A},
    {"GL_ALPHA_TEST", GL_ALPHA_TEST, Kind::Enabled, 1, A},
    {"GL_LIGHTING", GL_LIGHTING, Kind::Enabled, 1, A},
    {"GL_FOG", GL_FOG, Kind::Enabled, 1, A},
    {"GL_TEXTURE_2D", GL_TEXTURE_2D, Kind::Enabled, 1, A},
    {"blend source colour factor", GL_BLEND_SRC_RGB, Kind::Enum, 1, A},
    {"blend destination colour factor", GL_BLEND_DST_RGB, Kind::Enum, 1, A},
    {"blend source alpha factor", GL_BLEND_SRC_ALPHA, Kind::Enum, 1, A},
    {"blend destination alpha factor", GL_BLEND_DST_ALPHA, Kind::Enum, 1, A},
    {"depth function", GL_DEPTH_FUNC, Kind::Enum, 1, A},
    {"depth write mask", GL_DEPTH_WRITEMASK, Kind::Bool, 1, A},
    {"colour write mask", GL_COLOR_WRITEMASK, Kind::Bool, 4, A},
    {"viewport", GL_VIEWPORT, Kind::Int, 4, A},
    {"clear colour", GL_COLOR_CLEAR_VALUE, Kind::Float, 4, A},
    {"current colour", GL_CURRENT_COLOR, Kind::Float, 4, A},
    {"line width", GL_LINE_WIDTH, Kind::Float, 1, A},
    {"polygon mode", GL_POLYGON_MODE, Kind::Enum, 2, A},
    {"shade model", GL_SHADE_MODEL, Kind::Enum, 1, A},
    {"active texture unit", GL_ACTIVE_TEXTURE, Kind::Enum, 1, A},
    {"bound 2D texture", GL_TEXTURE_BINDING_2D, Kind::Int, 1, A},
    {"draw framebuffer", GL_DRAW_FRAMEBUFFER_BINDING, Kind::Int, 1, A},
    {"read framebuffer", GL_READ_FRAMEBUFFER_BINDING, Kind::Int, 1, A},
    {"bound renderbuffer", GL_RENDERBUFFER_BINDING, Kind::Int, 1, A},
    {"current program", GL_CURRENT_PROGRAM, Kind::Int, 1, A},
    {"bound array buffer", GL_ARRAY_BUFFER_BINDING, Kind::Int, 1, A},
    {"pack alignment", GL_PACK_ALIGNMENT, Kind::Int, 1, A},
    {"unpack alignment", GL_UNPACK_ALIGNMENT, Kind::Int, 1, A},
};

constexpr std::size_t kItemCount = sizeof kItems / sizeof kItems[0];

struct EnumName {
    GLenum value;
    const char* name;
};

const EnumName kEnumNames[] = {
    {GL_MODELVIEW, "GL_MODELVIEW"},
    {GL_PROJECTION, "GL_PROJECTION"},
    {GL_TEXTURE, "GL_TEXTURE"},
    {GL_ZERO, "GL_ZERO"},
    {GL_ONE, "GL_ONE"},
    {GL_SRC_COLOR, "GL_SRC_COLOR"},
    {GL_ONE_MINUS_SRC_COLOR, "GL_ONE_MINUS_SRC_COLOR"},
    {GL_SRC_ALPHA, "GL_SRC_ALPHA"},
    {GL_ONE_MINUS_SRC_ALPHA, "GL_ONE_MINUS_SRC_ALPHA"},
    {GL_DST_ALPHA, "GL_DST_ALPHA"},
    {GL_ONE_MINUS_DST_ALPHA, "GL_ONE_MINUS_DST_ALPHA"},
    {GL_DST_COLOR, "GL_DST_COLOR"},
    {GL_ONE_MINUS_DST_COLOR, "GL_ONE_MINUS_DST_COLOR"},
    {GL_SRC_ALPHA_SATURATE, "GL_SRC_ALPHA_SATURATE"},
    {GL_NEVER, "GL_NEVER"},
    {GL_LESS, "GL_LESS"},
    {GL_EQUAL, "GL_EQUAL"},
    {GL_LEQUAL, "GL_LEQUAL"},
    {GL_GREATER, "GL_GREATER"},
    {GL_NOTEQUAL, "GL_NOTEQUAL"},
    {GL_GEQUAL, "GL_GEQUAL"},
    {GL_ALWAYS, "GL_ALWAYS"},
    {GL_POINT, "GL_POINT"},
    {GL_LINE, "GL_LINE"},
    {GL_FILL, "GL_FILL"},
    {GL_FLAT, "GL_FLAT"},
    {GL_SMOOTH, "GL_SMOOTH"},
    {GL_NEAREST_MIPMAP_NEAREST, "GL_NEAREST_MIPMAP_NEAREST"},
    {GL_LINEAR_MIPMAP_NEAREST, "GL_LINEAR_MIPMAP_NEAREST"},
    {GL_NEAREST_MIPMAP_LINEAR, "GL_NEAREST_MIPMAP_LINEAR"},
    {GL_LINEAR_MIPMAP_LINEAR, "GL_LINEAR_MIPMAP_LINEAR"},
    {GL_NEAREST, "GL_NEAREST"},
    {GL_LINEAR, "GL_LINEAR"},
    {GL_REPEAT, "GL_REPEAT"},
    {GL_CLAMP, "GL_CLAMP"},
    {GL_CLAMP_TO_EDGE, "GL_CLAMP_TO_EDGE"},
    {GL_CLAMP_TO_BORDER, "GL_CLAMP_TO_BORDER"},
    {GL_MIRRORED_REPEAT, "GL_MIRRORED_REPEAT"},
    {GL_RGBA8, "GL_RGBA8"},
    {GL_RGB8, "GL_RGB8"},
    {GL_RGBA, "GL_RGBA"},
    {GL_RGB, "GL_RGB"},
    {GL_RGBA16F, "GL_RGBA16F"},
    {GL_RGBA32F, "GL_RGBA32F"},
    {GL_SRGB8_ALPHA8, "GL_SRGB8_ALPHA8"},
    {GL_INVALID_ENUM, "GL_INVALID_ENUM"},
    {GL_INVALID_VALUE, "GL_INVALID_VALUE"},
    {GL_INVALID_OPERATION, "GL_INVALID_OPERATION"},
    {GL_STACK_OVERFLOW, "GL_STACK_OVERFLOW"},
    {GL_STACK_UNDERFLOW, "GL_STACK_UNDERFLOW"},
    {GL_OUT_OF_MEMORY, "GL_OUT_OF_MEMORY"},
    {GL_INVALID_FRAMEBUFFER_OPERATION, "GL_INVALID_FRAMEBUFFER_OPERATION"},
};

// Texture units GL_TEXTURE0 .. GL_TEXTURE31 are consecutive.
constexpr unsigned kTextureUnits = 32;

std::vector<double> read(const Item& item)
{
    std::vector<double> out(static_cast<std::size_t>(item.count), 0.0);
    switch (item.kind) {
    case Kind::Enabled: out[0] = glIsEnabled(item.query) ? 1.0 : 0.0; break;
    case Kind::Enum:
    case Kind::Int: {
        GLint v[kMaxItemValues] = {};
        glGetIntegerv(item.query, v);
        for (int i = 0; i < item.count; ++i)
            out[static_cast<std::size_t>(i)] = v[i];
        break;
    }
    case Kind::Bool: {
        GLboolean v[kMaxItemValues] = {};
        glGetBooleanv(item.query, v);
        for (int i = 0; i < item.count; ++i)
            out[static_cast<std::size_t>(i)] = v[i] ? 1.0 : 0.0;
        break;
    }
    case Kind::Float:
    case Kind::Matrix: {
        GLfloat v[kMaxItemValues] = {};
        glGetFloatv(item.query, v);
        for (int i = 0; i < item.count; ++i)
            out[static_cast<std::size_t>(i)] = v[i];
        break;
    }
    }
    return out;
}

std::string number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::string show(const Item& item, const std::vector<double>& values)
{
    std::string out;
    for (double v : values) {
        if (!out.empty())
            out += " ";
        switch (item.kind) {
        case Kind::Enabled: out += v != 0.0 ? "enabled" : "disabled"; break;
        case Kind::Enum: out += glEnumName(static_cast<unsigned>(v)); break;
        case Kind::Bool: out += v != 0.0 ? "true" : "false"; break;
        default: out += number(v); break;
        }
    }
    return out;
}

std::vector<std::string> differences(const GLStateSnapshot& before, const GLStateSnapshot& after, Group group)
{
    std::vector<std::string> out;
    if (before.values.size() != kItemCount || after.values.size() != kItemCount)
        return out;
    for (std::size_t i = 0; i < kItemCount; ++i) {
        const Item& item = kItems[i];
        if (item.group != group || before.values[i] == after.values[i])
            continue;
        if (item.kind == Kind::Matrix)
            out.push_back(std::string(item.label) + " changed");
        else
            out.push_back(std::string(item.label) + " " + show(item, after.values[i]) + " (was " +
                          show(item, before.values[i]) + ")");
    }
    return out;
}

// Pops `stack` (GL_MODELVIEW, ...) down to depth 1, then loads `matrix`, and pushes it once
// more when `depth` is 2.
void setMatrixStack(GLenum stack, GLenum depthQuery, const GLfloat* matrix, int depth)
{
    glMatrixMode(stack);
    GLint d = 1;
    for (glGetIntegerv(depthQuery, &d); d > 1; --d)
        glPopMatrix();
    glLoadMatrixf(matrix);
    if (depth > 1) {
        glPushMatrix();
        glLoadMatrixf(matrix);
    }
}

} // namespace

void enterHostState(const HostScene& scene, unsigned matrixMode)
{
    GLint depth = 0;
    for (glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth); depth > 0; --depth)
        glPopAttrib();
    for (glGetIntegerv(GL_CLIENT_ATTRIB_STACK_DEPTH, &depth); depth > 0; --depth)
        glPopClientAttrib();

    glBindFramebuffer(GL_FRAMEBUFFER, scene.framebuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glUseProgram(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, scene.texture);
    glViewport(0, 0, scene.width, scene.height);

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (GLenum cap : {GL_DEPTH_TEST, GL_CULL_FACE, GL_SCISSOR_TEST, GL_STENCIL_TEST, GL_ALPHA_TEST, GL_LIGHTING,
                       GL_FOG, GL_TEXTURE_2D})
        glDisable(cap);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0.f, 0.f, 0.f, 0.f);
    glColor4f(1.f, 1.f, 1.f, 1.f);
    glLineWidth(1.f);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);

    setMatrixStack(GL_TEXTURE, GL_TEXTURE_STACK_DEPTH, kHostTexture, 1);
    setMatrixStack(GL_PROJECTION, GL_PROJECTION_STACK_DEPTH, kHostProjection, 2);
    setMatrixStack(GL_MODELVIEW, GL_MODELVIEW_STACK_DEPTH, kHostModelview, 2);
    glMatrixMode(matrixMode);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    (void)takeGLErrors();
}

GLStateSnapshot captureGLState()
{
    GLStateSnapshot s;
    s.values.reserve(kItemCount);
    for (const Item& item : kItems)
        s.values.push_back(read(item));
    (void)takeGLErrors();
    return s;
}

std::vector<std::string> transformDifferences(const GLStateSnapshot& before, const GLStateSnapshot& after)
{
    return differences(before, after, Group::Transform);
}

std::vector<std::string> attributeDifferences(const GLStateSnapshot& before, const GLStateSnapshot& after)
{
    return differences(before, after, Group::Attribute);
}

std::vector<std::string> takeGLErrors()
{
    std::vector<std::string> out;
    for (int i = 0; i < kMaxErrorsTaken; ++i) {
        const GLenum e = glGetError();
        if (e == GL_NO_ERROR)
            break;
        out.push_back(glEnumName(e));
    }
    return out;
}

std::string glEnumName(unsigned value)
{
    for (const EnumName& e : kEnumNames)
        if (e.value == value)
            return e.name;
    if (value >= GL_TEXTURE0 && value < GL_TEXTURE0 + kTextureUnits)
        return "GL_TEXTURE" + std::to_string(value - GL_TEXTURE0);
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", value);
    return buf;
}

} // namespace ffglhost
