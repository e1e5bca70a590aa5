#pragma once
// Skin packages: the byte layout of a skin (bitmaps plus an INI description),
// its zlib-compressed container and the dbskin.dat file that carries one.
// Qt-free, so the authoring tool, the fuzz target and the benchmark use it
// without a display.
//
// Uncompressed package, little-endian:
//   int32 version (at most 3)
//   main picture, inactive picture, mask: a flag byte, then a bitmap file
//     when the flag is 0
//   version 2 only: two more such pictures, read and dropped
//   int32 K, then K bitmap files (the active pictures)
//   the description text (INI, CR LF lines) up to the end
// dbskin.dat: int32 format value (used when at most 3), int32 N, N bytes of
// one zlib stream holding the package.
#include "ui/PictureBudget.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillory {

// Every failure of reading a skin package derives from this.
class ESkinError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The data ended before a field it announced.
class ESkinReadError : public ESkinError {
public:
    ESkinReadError() : ESkinError("Stream read error") {}
};

// A bitmap whose headers make no sense.
class EInvalidBitmap : public ESkinError {
public:
    EInvalidBitmap() : ESkinError("Bitmap image is not valid") {}
};

// The container is not a valid zlib stream.
class ECompressionError : public ESkinError {
public:
    ECompressionError() : ESkinError("compression error") {}
};

// A file could not be opened: "Cannot open file "<name>". <reason>".
class EFileOpenError : public ESkinError {
public:
    EFileOpenError(const std::string& fileName, const std::string& reason);
};

// A dbskin.dat whose length field is negative.
class EBadSkinFile : public ESkinError {
public:
    explicit EBadSkinFile(const std::string& fileName);
};

// A package whose pictures or size are beyond the picture budget; refused
// from the declared sizes, before the rest is inflated or decoded.
class ESkinTooLarge : public ESkinError {
public:
    using ESkinError::ESkinError;
};

// The most a package may take once inflated: its pictures (which, decoded at
// 4 bytes a pixel, stay within kPictureBudgetBytes, every side at most
// kMaxPictureSide) plus room for their headers and the description.
constexpr std::size_t kMaxSkinPackageBytes = kPictureBudgetBytes + 8u * 1024u * 1024u;

constexpr std::int32_t kMaxSkinVersion = 3;
constexpr std::int32_t kSkinFileFormat = 3;

// The length of the Windows bitmap file starting at data[pos]: the 14-byte
// file header, the information header, the colour table and the pixel rows
// as the information header declares them (the file header's own size field
// is not trusted). Throws EInvalidBitmap for headers that make no sense and
// ESkinReadError when the data ends first.
std::size_t BitmapFileLength(const std::string& data, std::size_t pos);

// Reads one bitmap file at `pos` and advances `pos` past it. The returned
// copy has its file size and pixel offset fields rewritten to match the
// layout, so any bitmap decoder reads it the same way.
std::string ReadBitmapFile(const std::string& data, std::size_t& pos);

// Decoded size and depth of a bitmap returned by ReadBitmapFile.
struct TBitmapInfo {
    int Width = 0;
    int Height = 0;
    int BitCount = 0;
};
TBitmapInfo BitmapInfoOf(const std::string& bitmap);

// Uncompressed bitmaps written by the authoring side and the tests.
// `rgb` holds width*height pixels, top row first, 0xRRGGBB each.
std::string WriteBitmap24(int width, int height, const std::vector<std::uint32_t>& rgb);
// A 32-bit bitmap with an alpha channel (version 4 header, bit fields);
// `argb` holds 0xAARRGGBB pixels, not premultiplied.
std::string WriteBitmap32(int width, int height, const std::vector<std::uint32_t>& argb);
// A 16-colour bitmap: `indices` holds width*height palette indices (0..15).
std::string WriteBitmap4(int width, int height, const std::vector<std::uint8_t>& indices,
                         const std::vector<std::uint32_t>& palette);

// What inflating a package cost: the bytes produced and the most the output
// buffer held.
struct TInflateStats {
    std::size_t Produced = 0;
    std::size_t BufferBytes = 0;
};

// Inflates one zlib stream holding a skin package. Stops at the end of the
// stream; bytes after it are ignored. Throws ECompressionError for anything
// that is not a complete, valid stream. The package is checked while it
// grows: a bitmap whose header declares more than the picture limits, pictures
// that together need more than the picture budget, or more than
// kMaxSkinPackageBytes in all throw ESkinTooLarge as soon as the declaring
// bytes are out, long before the rest is inflated.
std::string InflateSkin(const std::string& compressed, TInflateStats* stats = nullptr);

// Checks the package bytes available so far against the budget (see
// InflateSkin); call again as more arrive. Throws ESkinTooLarge.
class TSkinPackageBudget {
public:
    void Check(const std::string& data, std::size_t available);
    // Bytes the package's pictures will take once decoded, as far as seen.
    std::uint64_t DecodedBytes() const { return FDecoded; }

private:
    int FStage = 0; // 0 version, 1.. flagged pictures, then the count, then the pictures
    std::size_t FPos = 0;
    std::int32_t FVersion = 0;
    int FFlagged = 0;
    std::int64_t FCount = -1;
    std::int64_t FSeen = 0;
    std::uint64_t FDecoded = 0;
    bool FDone = false;
};
// Compresses with maximum compression into one zlib stream.
std::string DeflateSkin(const std::string& raw);

struct TSkinPackage {
    std::int32_t Version = kMaxSkinVersion;
    // Bitmap files; empty optional = the flag byte said "no picture".
    std::optional<std::string> MainPicture;
    std::optional<std::string> InactivePicture;
    std::optional<std::string> MaskPicture;
    std::vector<std::string> ActivePictures;
    std::string Description;
};

// Parses an uncompressed package. A version above kMaxSkinVersion stops the
// reading: the result then carries only that version.
TSkinPackage ParseSkinPackage(const std::string& raw);
// Writes a package; version 2 gets two empty extra pictures.
std::string WriteSkinPackage(const TSkinPackage& package);

// dbskin.dat. ReadCompressedSkinFile returns the compressed bytes, or an
// empty string when the format value is above 3 (the file is then ignored).
std::string ReadCompressedSkinFile(const std::string& fileName);
std::string ParseCompressedSkinFile(const std::string& fileBytes, const std::string& fileName);
std::string MakeCompressedSkinFile(const std::string& compressed,
                                   std::int32_t formatValue = kSkinFileFormat);

// Builds the uncompressed package from a description file and the bitmaps it
// names (taken from the description's folder). Returns an empty string when
// the description lacks one of [VERSION], [PICTURES], [FORMINFO],
// [SKINOBJECTS] or [SKINCONTROLS]. Throws EFileOpenError for a missing file.
std::string BuildSkinPackageFromDescription(const std::string& descriptionPath);

} // namespace quillory
