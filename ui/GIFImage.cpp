#include "GIFImage.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace quillory {

bool GIFLoadCorruptedFrames = true;

std::string GIFErrorText(TGIFErrorId id, int label) {
    switch (id) {
    case sGIFImageVersion:
        return "GIF image version not recognised";
    case sGIFDecodeError:
        return "Invalid GIF data";
    case sGIFCodeSizeError:
        return "GIF code size not in the range 2 to 9";
    case sGIFBitsPerPixel:
        return "Invalid number of colours, must be a power of 2";
    case sGIFUnknownExt: {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%.2x", label & 0xFF);
        return std::string("Undefined GIF extension: ") + hex;
    }
    }
    return "Invalid GIF data";
}

EGIFTooLarge::EGIFTooLarge(std::int64_t width, std::int64_t height)
    : EGIFError(sGIFDecodeError, "GIF image is " + std::to_string(width) + " x " +
                                     std::to_string(height) + " pixels, larger than " +
                                     std::to_string(kMaxPictureSide) + " x " +
                                     std::to_string(kMaxPictureSide)),
      Width(width), Height(height) {}

// What the decoded frames of one picture hold, shared by the picture and its
// frames (so it stays right when the picture object is moved).
struct TGIFDecodeBudget {
    std::size_t Budget = kPictureBudgetBytes;
    std::size_t Bytes = 0;
    std::size_t Peak = 0;
    std::uint64_t Clock = 0;
    std::vector<TGIFFrame*> Frames;

    void Add(std::size_t n) {
        Bytes += n;
        Peak = std::max(Peak, Bytes);
    }
    // Frees decoded frames other than `keep`, longest unused first, until
    // `needed` more bytes fit.
    void MakeRoom(std::size_t needed, const TGIFFrame* keep) {
        while (Bytes + needed > Budget) {
            TGIFFrame* oldest = nullptr;
            for (TGIFFrame* f : Frames)
                if (f != keep && f->FBitmap && (!oldest || f->FLastUse < oldest->FLastUse))
                    oldest = f;
            if (!oldest)
                return;
            oldest->Release();
        }
    }
};

TGIFFrame::~TGIFFrame() {
    if (FBudget) {
        Release();
        auto& frames = FBudget->Frames;
        frames.erase(std::remove(frames.begin(), frames.end(), this), frames.end());
    }
}

void TGIFFrame::Release() {
    if (FBitmap && FBudget)
        FBudget->Bytes -= DecodedBytes();
    FBitmap.reset();
}

std::size_t TGIFFrame::DecodedBytes() const {
    if (!FBitmap)
        return 0;
    return FBitmap->Pixels.size() + FBitmap->Palette.size() * sizeof(std::uint32_t);
}

TGIFImage::TGIFImage() : FBudget(std::make_shared<TGIFDecodeBudget>()) {}

std::size_t TGIFImage::DecodedBudget() const {
    return FBudget->Budget;
}

void TGIFImage::SetDecodedBudget(std::size_t bytes) {
    FBudget->Budget = bytes;
}

std::size_t TGIFImage::DecodedBytes() const {
    return FBudget->Bytes;
}

std::size_t TGIFImage::PeakDecodedBytes() const {
    return FBudget->Peak;
}

namespace {

[[noreturn]] void Fail(TGIFErrorId id, int label = 0) {
    throw EGIFError(id, GIFErrorText(id, label));
}

// Reads the bytes of a GIF held in memory; fixed-size fields cut off by the
// end of the data throw "Stream read error".
struct TReader {
    const std::string& Data;
    std::size_t Pos = 0;

    bool AtEnd() const { return Pos >= Data.size(); }
    bool TryByte(std::uint8_t& b) {
        if (AtEnd())
            return false;
        b = static_cast<std::uint8_t>(Data[Pos++]);
        return true;
    }
    std::uint8_t Byte() {
        std::uint8_t b;
        if (!TryByte(b))
            throw EGIFReadError();
        return b;
    }
    std::string Bytes(std::size_t n) {
        if (Data.size() - Pos < n)
            throw EGIFReadError();
        std::string s = Data.substr(Pos, n);
        Pos += n;
        return s;
    }
    int Word() {
        const int lo = Byte();
        return lo | (Byte() << 8);
    }
    std::vector<std::uint32_t> ColorTable(std::size_t count) {
        if (Data.size() - Pos < count * 3)
            throw EGIFReadError();
        std::vector<std::uint32_t> table(count);
        for (std::size_t i = 0; i < count; ++i) {
            const auto* p = reinterpret_cast<const std::uint8_t*>(Data.data() + Pos + i * 3);
            table[i] = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
        }
        Pos += count * 3;
        return table;
    }
    // Data sub-blocks up to a zero length or the end of the data; a block cut
    // off by the end keeps what is there.
    std::vector<std::string> SubBlocks() {
        std::vector<std::string> blocks;
        std::uint8_t len;
        while (TryByte(len) && len != 0) {
            const std::size_t n = std::min<std::size_t>(len, Data.size() - Pos);
            blocks.push_back(Data.substr(Pos, n));
            Pos += n;
        }
        return blocks;
    }
};

int BitsForTableSize(std::size_t size) {
    int bits = 1;
    while (bits < 8 && (std::size_t{1} << bits) < size)
        ++bits;
    return bits;
}

bool SameText(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b))
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

void ReadExtension(TReader& r, TGIFImage& image, std::vector<TExtension>& collected) {
    const std::uint8_t label = r.Byte();
    TExtension ext;
    switch (label) {
    case 0xF9:
        ext.Kind = ekGraphicControl;
        ext.Fixed = r.Bytes(6);
        collected.push_back(std::move(ext));
        return;
    case 0xFE:
        ext.Kind = ekComment;
        ext.SubBlocks = r.SubBlocks();
        collected.push_back(std::move(ext));
        return;
    case 0x01:
        // A plain-text block owns the blocks before it; neither reaches an image.
        r.Bytes(13);
        r.SubBlocks();
        collected.clear();
        return;
    case 0xFF: {
        const std::string fixed = r.Bytes(12);
        const std::vector<std::string> blocks = r.SubBlocks();
        const std::size_t n = std::min<std::size_t>(static_cast<std::uint8_t>(fixed[0]), 11);
        const std::string id = fixed.substr(1, n);
        const bool loopId = id == std::string("NETSCAPE2.0").substr(0, n) ||
                            id == std::string("ANIMEXTS1.0").substr(0, n);
        if (loopId && !blocks.empty() && blocks[0].size() >= 3 && blocks[0][0] == 1) {
            image.Looping = true;
            const int count = static_cast<std::uint8_t>(blocks[0][1]) |
                              (static_cast<std::uint8_t>(blocks[0][2]) << 8);
            image.RepeatCount = std::min(count, 30000);
        }
        return;
    }
    default:
        Fail(sGIFUnknownExt, label);
    }
}

void ReadImage(TReader& r, TGIFImage& image, std::vector<TExtension>& collected) {
    auto frame = std::make_unique<TGIFFrame>();
    TGIFFrame& f = *frame;
    if (!image.GlobalColorTable.empty())
        f.BitsPerPixel = BitsForTableSize(image.GlobalColorTable.size());
    f.Left = r.Word();
    f.Top = r.Word();
    f.Width = r.Word();
    f.Height = r.Word();
    const std::uint8_t packed = r.Byte();
    f.Interlaced = (packed & 0x40) != 0;
    if (packed & 0x80) {
        f.ColorTable = r.ColorTable(std::size_t{1} << ((packed & 7) + 1));
        f.BitsPerPixel = (packed & 7) + 1;
    }
    if (f.Width == 0)
        f.Width = image.ScreenWidth;
    if (f.Height == 0)
        f.Height = image.ScreenHeight;
    if (f.Width > kMaxPictureSide || f.Height > kMaxPictureSide)
        throw EGIFTooLarge(f.Width, f.Height);
    // The code-size byte, then the sub-blocks as they stand.
    const std::size_t start = r.Pos;
    r.Byte();
    std::uint8_t len;
    while (r.TryByte(len)) {
        if (len == 0)
            break;
        if (r.Data.size() - r.Pos < len) {
            r.Pos = r.Data.size();
            f.Corrupted = true;
            break;
        }
        r.Pos += len;
    }
    f.ImageData.assign(r.Data, start, r.Pos - start);
    if (f.ColorTable.empty())
        f.ColorTable = image.GlobalColorTable;
    for (const TExtension& ext : collected) {
        if (ext.Kind != ekGraphicControl)
            continue;
        const auto* p = reinterpret_cast<const std::uint8_t*>(ext.Fixed.data());
        const std::uint8_t flags = p[1];
        const int delay = p[2] | (p[3] << 8);
        const std::uint8_t index = p[4];
        if (flags & 1) {
            if (index < f.ColorTable.size())
                f.TransparentColor = f.ColorTable[index];
        } else {
            f.TransparentColor.reset();
        }
        // Hundredths of a second to milliseconds, in 16 bits: 6600 gives 464.
        f.Delay = std::max(f.Delay, static_cast<std::uint16_t>(delay * 10));
        f.Disposal = (flags >> 2) & 7;
    }
    f.Extensions = std::move(collected);
    collected.clear();
    image.Frames.push_back(std::move(frame));
}

} // namespace

bool ReadGIFScreenSize(const std::string& data, int& width, int& height) {
    // Only a header the reader takes; anything else fails there, with its reason.
    if (data.size() < 10 || !SameText(data.substr(0, 3), "GIF") ||
        (!SameText(data.substr(3, 3), "87a") && !SameText(data.substr(3, 3), "89a")))
        return false;
    auto byte = [&](std::size_t i) { return static_cast<int>(static_cast<std::uint8_t>(data[i])); };
    width = byte(6) | byte(7) << 8;
    height = byte(8) | byte(9) << 8;
    return true;
}

void TGIFImage::Clear() {
    Frames.clear();
    if (!FBudget)
        FBudget = std::make_shared<TGIFDecodeBudget>();
    FBudget->Bytes = 0;
    FBudget->Peak = 0;
    ScreenWidth = ScreenHeight = 0;
    Version = ColorResolution = BitsPerPixel = AspectRatio = 0;
    GlobalColorTable.clear();
    BackgroundColor.reset();
    Looping = false;
    RepeatCount = 1;
    Comment.clear();
    Frames.clear();
    FrameIndex = -1;
    Corrupted = false;
}

bool TGIFImage::IsTransparent() const {
    if (!Transparent)
        return false;
    return std::any_of(Frames.begin(), Frames.end(),
                       [](const auto& f) { return f->TransparentColor.has_value(); });
}

void TGIFImage::LoadFromFile(const std::string& path) {
    // Only a regular file of a sane size: a named pipe or a device is never
    // opened, so it cannot block or flood the reader.
    LoadFromBytes(ReadRegularFileOrThrow(path, kMaxPictureFileBytes));
}

void TGIFImage::LoadFromBytes(const std::string& data) {
    Clear();
    try {
        TReader r{data};
        const std::string sig = r.Bytes(6);
        if (!SameText(sig.substr(0, 3), "GIF"))
            Fail(sGIFImageVersion);
        const std::string ver = sig.substr(3);
        if (SameText(ver, "87a"))
            Version = 1;
        else if (SameText(ver, "89a"))
            Version = 2;
        else
            Fail(sGIFImageVersion);

        ScreenWidth = r.Word();
        ScreenHeight = r.Word();
        // Everything composed is screen-sized: refuse a huge screen at once.
        if (ScreenWidth > kMaxPictureSide || ScreenHeight > kMaxPictureSide)
            throw EGIFTooLarge(ScreenWidth, ScreenHeight);
        const std::uint8_t packed = r.Byte();
        const std::uint8_t background = r.Byte();
        AspectRatio = r.Byte();
        BitsPerPixel = (packed & 7) + 1;
        ColorResolution = ((packed >> 4) & 7) + 1;
        if (packed & 0x80) {
            GlobalColorTable = r.ColorTable(std::size_t{1} << BitsPerPixel);
            if (background < GlobalColorTable.size())
                BackgroundColor = GlobalColorTable[background];
        }

        std::vector<TExtension> collected;
        std::uint8_t b;
        if (r.TryByte(b)) {
            while (b != 0 && b != 0x3B) {
                bool extensionsJustRead = false;
                if (b == '!') {
                    bool more;
                    do {
                        ReadExtension(r, *this, collected);
                        more = r.TryByte(b);
                    } while (more && b == '!');
                    if (!more)
                        break;
                    extensionsJustRead = true;
                }
                if (b == ',') {
                    ReadImage(r, *this, collected);
                    if (r.AtEnd())
                        break;
                    do {
                        b = r.Byte();
                    } while (b == 0 && !r.AtEnd());
                    if (b != '!' && b != ',' && b != 0x3B)
                        break; // trailing bytes after an image: what was read stands
                    continue;
                }
                // Any other byte, the trailer right after extension blocks included.
                if (extensionsJustRead && Comment.empty()) {
                    std::string text;
                    bool any = false;
                    for (const TExtension& ext : collected) {
                        if (ext.Kind != ekComment)
                            continue;
                        std::string one;
                        for (const std::string& s : ext.SubBlocks)
                            one += s;
                        if (any)
                            text += "\r\n\r\n";
                        text += one;
                        any = true;
                    }
                    if (any)
                        Comment.push_back(text);
                } else if (b != 0 && b != 0x3B) {
                    throw EGIFReadError();
                }
                // The same byte is looked at again: an unexpected one fails then.
            }
        }

        for (auto& f : Frames) {
            f->FBudget = FBudget;
            FBudget->Frames.push_back(f.get());
        }
        if (!Frames.empty()) {
            FrameIndex = 0;
            try {
                Frames[0]->Bitmap();
            } catch (...) {
                Frames.erase(Frames.begin());
                throw;
            }
        }
    } catch (...) {
        Clear();
        throw;
    }
    if (OnChange)
        OnChange();
}

// --- LZW decoding ----------------------------------------------------------

namespace {

// Concatenates the data sub-blocks that follow the code-size byte.
std::string JoinSubBlocks(const std::string& imageData) {
    std::string out;
    out.reserve(imageData.size());
    std::size_t pos = 1;
    while (pos < imageData.size()) {
        const std::size_t len = static_cast<std::uint8_t>(imageData[pos++]);
        if (len == 0)
            break;
        const std::size_t n = std::min(len, imageData.size() - pos);
        out.append(imageData, pos, n);
        pos += n;
    }
    return out;
}

constexpr int kMaxCodes = 4096;
constexpr int kMaxExpansion = 4096;

// Decodes codes into `out` (`total` pixels in stream order). Returns false
// when the data was found damaged (an expansion too long, a code that refers
// to nothing).
bool DecodeLZW(const std::string& data, int codeSize, std::uint8_t* out, std::size_t total) {
    std::uint16_t prefix[kMaxCodes];
    std::uint8_t suffix[kMaxCodes];
    std::uint8_t first[kMaxCodes];
    std::uint16_t length[kMaxCodes];

    const int clear = 1 << codeSize;
    const int end = clear + 1;
    for (int i = 0; i < clear; ++i) {
        prefix[i] = 0;
        suffix[i] = static_cast<std::uint8_t>(i);
        first[i] = static_cast<std::uint8_t>(i);
        length[i] = 1;
    }
    const int startWidth = codeSize + 1;
    int width = startWidth;
    int next = clear + 2;
    bool full = false;
    int prev = -1;

    const auto* in = reinterpret_cast<const std::uint8_t*>(data.data());
    const std::size_t inSize = data.size();
    std::size_t ip = 0;
    std::uint64_t acc = 0;
    int bits = 0;
    std::size_t pos = 0;

    while (pos < total) {
        if (bits < width) {
            // Refill the bit buffer: whole bytes while they fit.
            while (bits <= 56 && ip < inSize) {
                acc |= static_cast<std::uint64_t>(in[ip++]) << bits;
                bits += 8;
            }
            if (bits < width)
                return true; // the data ended: the rest stays at index 0
        }
        const int code = static_cast<int>(acc & ((1u << width) - 1));
        acc >>= width;
        bits -= width;

        if (code == clear) {
            width = startWidth;
            next = clear + 2;
            full = false;
            prev = -1;
            continue;
        }
        if (code == end)
            return true;

        int emit;
        if (code < next) {
            emit = code;
            if (prev >= 0 && !full) {
                prefix[next] = static_cast<std::uint16_t>(prev);
                suffix[next] = first[code];
                first[next] = first[prev];
                length[next] = static_cast<std::uint16_t>(length[prev] + 1);
                ++next;
            }
        } else {
            // Not yet in the table: the previous string plus its own first pixel.
            if (prev < 0 || full)
                return false;
            prefix[next] = static_cast<std::uint16_t>(prev);
            suffix[next] = first[prev];
            first[next] = first[prev];
            length[next] = static_cast<std::uint16_t>(length[prev] + 1);
            emit = next;
            ++next;
        }
        if (!full && next >= (1 << width)) {
            if (width < 12)
                ++width;
            else
                full = true;
        }
        prev = emit;

        int len = length[emit];
        if (len > kMaxExpansion)
            return false;
        int c = emit;
        if (pos + static_cast<std::size_t>(len) > total) {
            // Only the pixels up to the last row count.
            const int keep = static_cast<int>(total - pos);
            for (int skip = len - keep; skip > 0; --skip)
                c = prefix[c];
            len = keep;
        }
        std::uint8_t* p = out + pos + static_cast<std::size_t>(len) - 1;
        for (int k = 0; k < len; ++k) {
            *p-- = suffix[c];
            c = prefix[c];
        }
        pos += static_cast<std::size_t>(len);
    }
    return true;
}

} // namespace

const TGIFBitmap& TGIFFrame::Bitmap() {
    if (FBitmap) {
        if (FBudget)
            FLastUse = ++FBudget->Clock;
        return *FBitmap;
    }
    int depth;
    if (BitsPerPixel == 1)
        depth = 1;
    else if (BitsPerPixel >= 2 && BitsPerPixel <= 4)
        depth = 4;
    else if (BitsPerPixel >= 5 && BitsPerPixel <= 8)
        depth = 8;
    else
        Fail(sGIFBitsPerPixel);

    auto bmp = std::make_unique<TGIFBitmap>();
    bmp->Width = Width;
    bmp->Height = Height;
    bmp->Depth = depth;
    bmp->Palette.assign(std::size_t{1} << depth, 0x808080);
    std::copy_n(ColorTable.begin(), std::min(ColorTable.size(), bmp->Palette.size()),
                bmp->Palette.begin());
    const std::size_t total = static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height);
    if (Width > kMaxPictureSide || Height > kMaxPictureSide)
        throw EGIFTooLarge(Width, Height);
    if (FBudget)
        FBudget->MakeRoom(total + bmp->Palette.size() * sizeof(std::uint32_t), this);
    bmp->Pixels.assign(total, 0);

    if (!ImageData.empty() && total > 0) {
        int codeSize = static_cast<std::uint8_t>(ImageData[0]);
        if (codeSize < 2 || codeSize > 9) {
            if (!GIFLoadCorruptedFrames)
                Fail(sGIFCodeSizeError);
            codeSize = std::clamp(codeSize, 2, 9);
            Corrupted = true;
        }
        const std::string codes = JoinSubBlocks(ImageData);
        if (!Interlaced) {
            if (!DecodeLZW(codes, codeSize, bmp->Pixels.data(), total)) {
                if (!GIFLoadCorruptedFrames)
                    Fail(sGIFDecodeError);
                Corrupted = true;
            }
        } else {
            std::vector<std::uint8_t> stream(total, 0);
            if (!DecodeLZW(codes, codeSize, stream.data(), total)) {
                if (!GIFLoadCorruptedFrames)
                    Fail(sGIFDecodeError);
                Corrupted = true;
            }
            // Rows arrive in four passes: every 8th from 0, every 8th from 4,
            // every 4th from 2, every 2nd from 1.
            static constexpr int kStart[4] = {0, 4, 2, 1};
            static constexpr int kStep[4] = {8, 8, 4, 2};
            const std::size_t w = static_cast<std::size_t>(Width);
            std::size_t row = 0;
            for (int pass = 0; pass < 4; ++pass)
                for (int y = kStart[pass]; y < Height; y += kStep[pass], ++row)
                    std::memcpy(bmp->Pixels.data() + static_cast<std::size_t>(y) * w,
                                stream.data() + row * w, w);
        }
    }
    FBitmap = std::move(bmp);
    if (FBudget) {
        FLastUse = ++FBudget->Clock;
        FBudget->Add(DecodedBytes());
    }
    return *FBitmap;
}

// --- composition -----------------------------------------------------------

void DrawGIFFrame(TGIFFrame& f, TGIFComposed& target) {
    const TGIFBitmap& bmp = f.Bitmap();
    const int x0 = std::max(0, f.Left), y0 = std::max(0, f.Top);
    const int x1 = std::min(target.Width, f.Left + bmp.Width);
    const int y1 = std::min(target.Height, f.Top + bmp.Height);
    const std::size_t mask = bmp.Palette.size() - 1;
    for (int y = y0; y < y1; ++y) {
        const std::uint8_t* src = bmp.Pixels.data() + static_cast<std::size_t>(y - f.Top) *
                                                          static_cast<std::size_t>(bmp.Width);
        std::uint32_t* dst = target.Pixels.data() +
                             static_cast<std::size_t>(y) * static_cast<std::size_t>(target.Width);
        for (int x = x0; x < x1; ++x) {
            const std::uint32_t c = bmp.Palette[src[x - f.Left] & mask];
            // Transparency is by colour: every entry of that colour is see-through.
            if (f.TransparentColor && c == *f.TransparentColor)
                continue;
            dst[x] = c;
        }
    }
}

namespace {

void FillRect(TGIFComposed& t, const TGIFFrame& f, std::uint32_t color) {
    const int x0 = std::max(0, f.Left), y0 = std::max(0, f.Top);
    const int x1 = std::min(t.Width, f.Left + f.Width);
    const int y1 = std::min(t.Height, f.Top + f.Height);
    for (int y = y0; y < y1; ++y)
        std::fill_n(t.Pixels.data() +
                        static_cast<std::size_t>(y) * static_cast<std::size_t>(t.Width) + x0,
                    std::max(0, x1 - x0), color);
}

bool CoversScreen(const TGIFFrame& f, const TGIFImage& image) {
    return f.Left <= 0 && f.Top <= 0 && f.Left + f.Width >= image.ScreenWidth &&
           f.Top + f.Height >= image.ScreenHeight;
}

} // namespace

const TGIFComposed& TGIFComposer::Compose(TGIFImage& image, int n, std::uint32_t windowColor,
                                          bool transparent) {
    if (image.Empty())
        return FCache;
    n = std::clamp(n, 0, image.FrameCount() - 1);
    if (FCache.FrameIndex == n && !FCache.Pixels.empty())
        return FCache;

    if (FCache.FrameIndex >= 0 && FCache.FrameIndex == n - 1 && image.Frame(n - 1).Disposal != 3 &&
        FCache.Width == image.ScreenWidth && FCache.Height == image.ScreenHeight) {
        // Incremental: dispose of the previous frame, draw this one on top.
        if (image.Frame(n - 1).Disposal == 2)
            FillRect(FCache, image.Frame(n - 1), FCache.Background);
        DrawGIFFrame(image.Frame(n), FCache);
        FCache.FrameIndex = n;
        return FCache;
    }

    if (image.ScreenWidth > kMaxPictureSide || image.ScreenHeight > kMaxPictureSide)
        throw EGIFTooLarge(image.ScreenWidth, image.ScreenHeight);
    TGIFComposed c;
    c.Width = image.ScreenWidth;
    c.Height = image.ScreenHeight;
    const TGIFFrame* current = image.FrameIndex >= 0 && image.FrameIndex < image.FrameCount()
                                   ? &image.Frame(image.FrameIndex)
                                   : nullptr;
    if (current && current->TransparentColor) {
        c.Background = *current->TransparentColor;
        c.TransparentColor = c.Background;
    } else if (image.IsTransparent() && image.BackgroundColor) {
        c.Background = *image.BackgroundColor;
    } else {
        c.Background = windowColor;
    }
    c.Pixels.assign(static_cast<std::size_t>(c.Width) * static_cast<std::size_t>(c.Height),
                    c.Background);

    int start = 0;
    for (int i = n; i >= 1; --i) {
        const TGIFFrame& f = image.Frame(i);
        if (CoversScreen(f, image) && (!f.TransparentColor || (f.Disposal == 2 && i < n))) {
            start = i;
            break;
        }
    }
    for (int i = start; i < n; ++i) {
        TGIFFrame& f = image.Frame(i);
        if (f.Disposal <= 1)
            DrawGIFFrame(f, c);
        else if (f.Disposal == 2 && i != start)
            FillRect(c, f, c.Background);
    }
    DrawGIFFrame(image.Frame(n), c);
    c.FrameIndex = n;
    if (!transparent)
        c.TransparentColor.reset();
    FCache = std::move(c);
    return FCache;
}

} // namespace quillory
