// Render targets of the graphics layer and the main framebuffer record.
//
// The main framebuffer is the one the host asked the plug-in to draw into in the current frame
// (0 = the window-system framebuffer). The FFGL adapter records the host's framebuffer name in
// every frame that it draws, before the application draws; rendering into the layer's own
// framebuffer objects returns to this framebuffer afterwards. One process-wide value shared by
// every plug-in instance, written and read on the host's rendering thread; never reset.
#pragma once

namespace KXGfx {

// Records the main framebuffer. No GL call is made.
void setMainFboId(unsigned int id);
// The framebuffer last recorded by setMainFboId (0 before the first call). No GL call.
unsigned int getMainFboId();

} // namespace KXGfx
