// What `--input SOURCE` names, and the source that reads it: "pattern:NAME" is a built-in test
// pattern; a file is told by its first bytes (PNG or JPEG signature: an image; ELF or PE: a
// plug-in) and then by its name (.png, .jpg, .jpeg: an image that the decoder will judge; .so,
// .dll: a plug-in); everything else, a camera device or a URL ("scheme://...") included, is a
// video for ffmpeg. Plug-ins are rendered as stages of the chain (frame/Stage.h), so the caller
// makes those.
//
// Plain functions; main thread; no GL.
#pragma once

#include "Status.h"
#include "inputs/InputSource.h"

#include <memory>
#include <string>

namespace ffglhost {

enum class InputKind { Pattern, Image, Video, Plugin };

// Decides what `source` is. Bad input, one line, for an unknown pattern, a missing or unreadable
// file, or a folder; also for a video where this build reads none (Windows).
Status classifyInput(const std::string& source, InputKind& kind);

// A new source for `source` of `kind` (not InputKind::Plugin); the caller owns it. It still has
// to be opened (InputSource.h), which is where a corrupt image or an unreadable video shows.
Status makeInputSource(const std::string& source, InputKind kind, std::unique_ptr<InputSource>& out);

// "image", "video", ... for messages.
const char* inputKindName(InputKind kind);

} // namespace ffglhost
