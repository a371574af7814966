// Render targets and the main framebuffer record (see KXRenderTarget.h).
#include "KXRenderTarget.h"

namespace KXGfx {

namespace {

// The host's framebuffer for the current frame; 0 = window-system framebuffer.
unsigned int mainFboId = 0;

} // namespace

void setMainFboId(unsigned int id) { mainFboId = id; }

unsigned int getMainFboId() { return mainFboId; }

} // namespace KXGfx
