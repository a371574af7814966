// Frame-end marks for GL tracers (see FrameMarker.h).
#include "frame/FrameMarker.h"

#include "HeadlessGL.h"

#include <GL/gl.h>

#include <cstring>

namespace ffglhost {

namespace {

// Whether `name` is one of the space-separated words of `list`.
bool hasWord(const char* list, const char* name)
{
    const std::size_t length = std::strlen(name);
    for (const char* p = list; p != nullptr && *p != '\0';) {
        const char* end = std::strchr(p, ' ');
        const std::size_t word = end != nullptr ? static_cast<std::size_t>(end - p) : std::strlen(p);
        if (word == length && std::strncmp(p, name, length) == 0)
            return true;
        p = end != nullptr ? end + 1 : nullptr;
    }
    return false;
}

} // namespace

FrameMarker::FrameMarker()
{
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (hasWord(extensions, "GL_GREMEDY_frame_terminator"))
        terminate_ = reinterpret_cast<void (*)()>(kxhost::HeadlessGL::procAddress("glFrameTerminatorGREMEDY"));
}

void FrameMarker::frameDone() const
{
    if (terminate_ != nullptr)
        terminate_();
}

} // namespace ffglhost
