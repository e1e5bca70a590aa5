// Feeds outside bytes to the GIF reader, decodes every frame and composes
// every frame of the animation, as the banner does.
#include "ui/GIFImage.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace quillory;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        TGIFImage image;
        image.LoadFromBytes(bytes);
        TGIFComposer composer;
        for (int i = 0; i < image.FrameCount(); ++i)
            composer.Compose(image, i, 0xFFFFFF, true);
        // Straight to the last frame, without the incremental cache.
        TGIFComposer direct;
        if (!image.Empty())
            direct.Compose(image, image.FrameCount() - 1, 0xFFFFFF, false);
    } catch (const EGIFError&) {
    }
    return 0;
}
