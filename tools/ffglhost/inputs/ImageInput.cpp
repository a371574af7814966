// Still images as input sources (see ImageInput.h).
#include "inputs/ImageInput.h"

#include "inputs/ImageFile.h"

namespace ffglhost {

Status ImageInput::open(int width, int height)
{
    Picture decoded;
    const Status s = readImage(path_, decoded);
    if (s.ok())
        picture_ = scaledPicture(decoded, width, height);
    return s;
}

Status ImageInput::start(TextureLayout layout)
{
    Status s = texture_.create(picture_.width, picture_.height, layout);
    if (s.ok())
        s = texture_.upload(picture_);
    return s;
}

Status ImageInput::texture(int64_t, FFGLTextureStructTag*& record)
{
    record = texture_.record();
    return Status();
}

} // namespace ffglhost
