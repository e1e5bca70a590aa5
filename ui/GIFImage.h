#pragma once
// GIF pictures: the reader (blocks, extensions, frames), the LZW decoder and
// the composition of animation frames. Qt-free, so the fuzz target and the
// benchmark use it without a display; TGIFAnimator (GIFAnimator.h) shows it.
//
// Colours are 0xRRGGBB values throughout.
#include "ui/PictureBudget.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillory {

// Error ids of the GIF reader; each error carries its English text.
enum TGIFErrorId {
    sGIFImageVersion = 61092,  // "GIF image version not recognised"
    sGIFDecodeError = 61094,   // "Invalid GIF data"
    sGIFCodeSizeError = 61095, // "GIF code size not in the range 2 to 9"
    sGIFBitsPerPixel = 61096,  // "Invalid number of colours, must be a power of 2"
    sGIFUnknownExt = 61097,    // "Undefined GIF extension: %.2x"
};

// Every failure of reading or decoding a GIF derives from this.
class EGIFError : public std::runtime_error {
public:
    EGIFError(int id, const std::string& message) : std::runtime_error(message), Id(id) {}
    // One of TGIFErrorId, or 0 for "Stream read error".
    int Id;
};

// The data ended inside a field, or an unexpected byte stood between blocks.
class EGIFReadError : public EGIFError {
public:
    EGIFReadError() : EGIFError(0, "Stream read error") {}
};

// The message text of an error id (the extension label goes into 61097).
std::string GIFErrorText(TGIFErrorId id, int label = 0);

// The most pixels a frame or the logical screen may have (4096 x 4096, and
// neither side above 4096): a banner never comes near it, and a damaged or
// hostile header cannot make the program ask for gigabytes.
inline constexpr std::size_t kMaxGIFPixels = std::size_t{kMaxPictureSide} * kMaxPictureSide;

// A frame or screen larger than the picture limits; refused from the header,
// before any pixel memory is asked for.
class EGIFTooLarge : public EGIFError {
public:
    EGIFTooLarge(std::int64_t width, std::int64_t height);
    std::int64_t Width, Height;
};

// Loading frames whose data is damaged keeps them (marked corrupted) instead
// of failing; the program always has it on.
extern bool GIFLoadCorruptedFrames;

enum TExtensionKind { ekGraphicControl, ekPlainText, ekApplication, ekComment };

// One extension block: its fixed part as read and its data sub-blocks.
struct TExtension {
    TExtensionKind Kind = ekComment;
    std::string Fixed;
    std::vector<std::string> SubBlocks;
};

// A decoded frame: one palette index per pixel, rows top to bottom, and the
// palette of 2^Depth entries (the frame's colours, then grey).
struct TGIFBitmap {
    int Width = 0;
    int Height = 0;
    int Depth = 0; // 1, 4 or 8
    std::vector<std::uint32_t> Palette;
    std::vector<std::uint8_t> Pixels;
    std::uint32_t PixelColor(int x, int y) const {
        return Palette[Pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) +
                              static_cast<std::size_t>(x)] &
                       (Palette.size() - 1)];
    }
};

class TGIFImage;
struct TGIFDecodeBudget;

class TGIFFrame {
public:
    TGIFFrame() = default;
    TGIFFrame(const TGIFFrame&) = delete;
    TGIFFrame& operator=(const TGIFFrame&) = delete;
    ~TGIFFrame();

    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool Interlaced = false;
    std::vector<std::uint32_t> ColorTable;
    int BitsPerPixel = 0;
    std::optional<std::uint32_t> TransparentColor;
    std::uint16_t Delay = 0; // milliseconds
    int Disposal = 0;
    bool Corrupted = false;
    std::vector<TExtension> Extensions;
    // The LZW code-size byte, then the sub-blocks with their length bytes.
    std::string ImageData;

    bool Decoded() const { return FBitmap != nullptr; }
    // The decoded picture, decoded on first use and kept while the picture's
    // budget allows (see TGIFImage::DecodedBudget). Throws EGIFError.
    const TGIFBitmap& Bitmap();
    // Drops the decoded picture; the next Bitmap() decodes it again.
    void Release();
    // Bytes the decoded picture holds (0 when not decoded).
    std::size_t DecodedBytes() const;

private:
    friend class TGIFImage;
    friend struct TGIFDecodeBudget;
    std::unique_ptr<TGIFBitmap> FBitmap;
    // The budget of the picture the frame belongs to: it counts the bytes
    // held and frees older frames to make room.
    std::shared_ptr<TGIFDecodeBudget> FBudget;
    std::uint64_t FLastUse = 0;
};

class TGIFImage {
public:
    TGIFImage();
    // Reads a whole GIF held in memory. On failure the picture is left reset
    // (no frames) and the error is thrown.
    void LoadFromBytes(const std::string& data);
    // Reads a file; a file that cannot be opened throws std::runtime_error
    // "Cannot open file "<name>". <reason>".
    void LoadFromFile(const std::string& path);
    void Clear();

    bool Empty() const { return Frames.empty(); }
    int FrameCount() const { return static_cast<int>(Frames.size()); }
    TGIFFrame& Frame(int i) { return *Frames[static_cast<std::size_t>(i)]; }
    const TGIFFrame& Frame(int i) const { return *Frames[static_cast<std::size_t>(i)]; }
    // On when the picture-level switch is on and a frame has a transparent colour.
    bool IsTransparent() const;

    int ScreenWidth = 0, ScreenHeight = 0;
    int Version = 0; // 1 for 87a, 2 for 89a
    int ColorResolution = 0;
    int BitsPerPixel = 0;
    int AspectRatio = 0;
    std::vector<std::uint32_t> GlobalColorTable; // empty without one
    std::optional<std::uint32_t> BackgroundColor;
    bool Looping = false;
    int RepeatCount = 1;
    std::vector<std::string> Comment;
    std::vector<std::unique_ptr<TGIFFrame>> Frames;
    int FrameIndex = -1;
    bool Transparent = true;
    bool Corrupted = false;

    // Bytes that the decoded frames may hold at once. Decoding a frame
    // beyond it first drops the frames used longest ago (they are decoded
    // again when shown), so a long animation of large frames never holds more
    // than this however many frames it has.
    std::size_t DecodedBudget() const;
    void SetDecodedBudget(std::size_t bytes);
    // Bytes the decoded frames hold now, and the most they held since the
    // last load.
    std::size_t DecodedBytes() const;
    std::size_t PeakDecodedBytes() const;

    // Announced after every successful load (and after Clear).
    std::function<void()> OnChange;

private:
    std::shared_ptr<TGIFDecodeBudget> FBudget;
};

// The logical screen size of the GIF in `data`, read from its header alone
// (nothing else is checked); false when the data is too short or not a GIF.
bool ReadGIFScreenSize(const std::string& data, int& width, int& height);

// The composition of animation frames on the logical screen, kept between
// calls so consecutive frames are composed incrementally.
struct TGIFComposed {
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> Pixels; // 0xRRGGBB, rows top to bottom
    std::optional<std::uint32_t> TransparentColor;
    std::uint32_t Background = 0;
    int FrameIndex = -1;
};

class TGIFComposer {
public:
    // Composes frame `n` of `image`. `windowColor` is the system window colour
    // (the background when nothing else gives one); `transparent` is the
    // control's Transparent switch. Frames are decoded as needed (a frame that
    // fails to decode throws).
    const TGIFComposed& Compose(TGIFImage& image, int n, std::uint32_t windowColor,
                                bool transparent);
    void Drop() { FCache = TGIFComposed(); }
    const TGIFComposed& Cache() const { return FCache; }

private:
    TGIFComposed FCache;
};

// Draws frame `f` into `target` at its position: pixels of its transparent
// colour are left as they are.
void DrawGIFFrame(TGIFFrame& f, TGIFComposed& target);

} // namespace quillory
