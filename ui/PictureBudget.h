#pragma once
// The one budget for every picture the program decodes from outside
// (banners, skin bitmaps, icons). Sizes are checked from a picture's headers
// before anything is decoded, so a small file declaring a huge picture costs
// nothing. Qt-free.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace quillory {

// Widest and tallest picture taken.
inline constexpr int kMaxPictureSide = 4096;
// Bytes that the decoded frames of one picture (or the pictures of one skin
// package) may hold at once.
inline constexpr std::size_t kPictureBudgetBytes = 64u * 1024u * 1024u;
// Largest picture, icon or skin package file read from disk.
inline constexpr std::size_t kMaxPictureFileBytes = 16u * 1024u * 1024u;

// Whether a picture of `width` x `height`, `bytesPerPixel` bytes each once
// decoded, stays within the side limit and `budget`.
inline bool PictureFits(std::int64_t width, std::int64_t height, std::size_t bytesPerPixel,
                        std::size_t budget = kPictureBudgetBytes) {
    if (width < 0 || height < 0 || width > kMaxPictureSide || height > kMaxPictureSide)
        return false;
    return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * bytesPerPixel <=
           budget;
}

// A picture whose declared size is beyond the budget.
class EPictureTooLarge : public std::runtime_error {
public:
    EPictureTooLarge(std::int64_t width, std::int64_t height)
        : std::runtime_error("The picture is " + std::to_string(width) + " x " +
                             std::to_string(height) + " pixels; at most " +
                             std::to_string(kMaxPictureSide) + " x " +
                             std::to_string(kMaxPictureSide) + " pixels and " +
                             std::to_string(kPictureBudgetBytes / (1024 * 1024)) +
                             " MiB of decoded frames are taken"),
          Width(width), Height(height) {}
    std::int64_t Width, Height;
};

} // namespace quillory
