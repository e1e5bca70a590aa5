#pragma once
// Still pictures from outside (banners, icons): BMP and ICO through Qt's
// readers after our own look at the headers, JPEG through libjpeg, each
// checked against the picture budget before it is decoded.
#include "ui/PictureBudget.h"

#include <QImage>

#include <stdexcept>
#include <string>

namespace quillory {

// A picture the program cannot load: "Unknown picture file extension (.%s)".
class EUnknownPictureExtension : public std::runtime_error {
public:
    explicit EUnknownPictureExtension(const std::string& extension);
};

// A picture whose data cannot be decoded.
class EInvalidPicture : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The extension of a file name, without its dot ("" when there is none).
std::string PictureExtension(const std::string& name);

// Loads the still picture in `file`, in the format that the extension of
// `formatName` names (compared without regard to case): ".bmp", ".ico",
// ".jpg" and ".jpeg". Metafiles (".emf", ".wmf") and every other extension
// are refused with EUnknownPictureExtension; damaged or truncated data throws
// EInvalidPicture; a picture wider or taller than `maxWidth` x `maxHeight`
// (never more than the picture budget allows) throws EPictureTooLarge, from
// its headers, before it is decoded. Only a regular file of at most
// kMaxPictureFileBytes is read; anything else throws std::runtime_error
// "Cannot open file "<name>". <reason>".
QImage LoadStillPicture(const std::string& file, const std::string& formatName,
                        int maxWidth = kMaxPictureSide, int maxHeight = kMaxPictureSide);

// Loads an icon file (the application icon), read like a still picture.
QImage LoadIconPicture(const std::string& file);

// Decodes JPEG bytes with libjpeg (see DecodeJPEGPicture): damaged or
// truncated data throws EInvalidPicture, a picture beyond the limits
// EPictureTooLarge.
QImage DecodeJPEG(const std::string& bytes, int maxWidth = kMaxPictureSide,
                  int maxHeight = kMaxPictureSide);

} // namespace quillory
