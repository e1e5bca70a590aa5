#pragma once
// JPEG pictures through libjpeg: the size from the headers alone, and the
// whole picture as packed RGB rows. Qt-free, so the fuzz target uses it
// without a display; the banner code turns the rows into a picture.
#include "ui/PictureBudget.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillory {

// Damaged, truncated or unsupported JPEG data: "JPEG error: <libjpeg's reason>".
class EJPEGError : public std::runtime_error {
public:
    explicit EJPEGError(const std::string& reason) : std::runtime_error("JPEG error: " + reason) {}
};

struct TJPEGSize {
    int Width = 0;
    int Height = 0;
};

struct TJPEGPicture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> RGB; // Width * 3 bytes per row, rows top to bottom
};

// The picture's size as its frame header declares it; nothing is decoded.
// Throws EJPEGError when the headers cannot be read.
TJPEGSize ReadJPEGSize(const std::string& bytes);

// Decodes a whole JPEG. The size is checked from the headers first: a picture
// wider or taller than `maxWidth` x `maxHeight` (at most kMaxPictureSide) or
// needing more than the picture budget throws EPictureTooLarge before any
// pixel is decoded. Data that ends early is refused, never padded; every
// other fault throws EJPEGError.
TJPEGPicture DecodeJPEGPicture(const std::string& bytes, int maxWidth = kMaxPictureSide,
                               int maxHeight = kMaxPictureSide);

} // namespace quillory
