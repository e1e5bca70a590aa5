// Feeds outside bytes to the JPEG decoder as the banner does: the size from
// the headers, then the whole picture within the banner's limits and within
// the picture budget.
#include "ui/JPEGImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace quillory;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        const TJPEGSize declared = ReadJPEGSize(bytes);
        const TJPEGPicture banner = DecodeJPEGPicture(bytes, 775, 200);
        // A decoded picture is whole and never larger than asked or declared.
        if (banner.Width > 775 || banner.Height > 200 || banner.Width != declared.Width ||
            banner.Height != declared.Height ||
            banner.RGB.size() != static_cast<std::size_t>(banner.Width) * banner.Height * 3)
            std::abort();
    } catch (const EJPEGError&) {
    } catch (const EPictureTooLarge&) {
    }
    try {
        const TJPEGPicture any = DecodeJPEGPicture(bytes);
        if (!PictureFits(any.Width, any.Height, 3))
            std::abort();
    } catch (const EJPEGError&) {
    } catch (const EPictureTooLarge&) {
    }
    return 0;
}
