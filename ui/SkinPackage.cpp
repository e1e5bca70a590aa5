#include "ui/SkinPackage.h"

#include "platform/FileSystem.h"
#include "ui/SkinDescription.h"

#include <zlib.h>

namespace quillory {

EFileOpenError::EFileOpenError(const std::string& fileName, const std::string& reason)
    : ESkinError("Cannot open file \"" + fileName + "\". " + reason) {}

EBadSkinFile::EBadSkinFile(const std::string& fileName)
    : ESkinError("The skin file \"" + fileName + "\" is damaged: its data length is negative") {}

namespace {

std::uint32_t GetU32(const std::string& d, std::size_t p) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(d[p])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d[p + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d[p + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d[p + 3])) << 24;
}

std::uint16_t GetU16(const std::string& d, std::size_t p) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(d[p]) |
                                      static_cast<unsigned char>(d[p + 1]) << 8);
}

void PutU32(std::string& d, std::size_t p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        d[p + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void AppendU32(std::string& d, std::uint32_t v) {
    d.append(4, '\0');
    PutU32(d, d.size() - 4, v);
}

void AppendU16(std::string& d, std::uint16_t v) {
    d += static_cast<char>(v & 0xFF);
    d += static_cast<char>(v >> 8);
}

// Whether `count` bytes are available at `pos`.
void Need(const std::string& d, std::size_t pos, std::uint64_t count) {
    if (pos > d.size() || count > d.size() - pos)
        throw ESkinReadError();
}

// Largest bitmap we accept: far beyond any skin picture, small enough that
// the arithmetic below cannot overflow.
constexpr std::uint64_t kMaxBitmapBytes = kPictureBudgetBytes;

struct TBitmapLayout {
    std::uint64_t Total = 0;
    std::uint64_t PixelOffset = 0;
    TBitmapInfo Info;
};

TBitmapLayout LayoutOf(const std::string& d, std::size_t pos, bool whole = true) {
    Need(d, pos, 18);
    if (d[pos] != 'B' || d[pos + 1] != 'M')
        throw EInvalidBitmap();
    const std::uint32_t headerSize = GetU32(d, pos + 14);
    const std::size_t h = pos + 14;
    TBitmapLayout l;
    std::uint64_t colours = 0, entrySize = 4, masks = 0, image = 0;
    if (headerSize == 12) {
        Need(d, h, 12);
        l.Info.Width = GetU16(d, h + 4);
        l.Info.Height = GetU16(d, h + 6);
        l.Info.BitCount = GetU16(d, h + 10);
        entrySize = 3;
        if (l.Info.BitCount != 1 && l.Info.BitCount != 4 && l.Info.BitCount != 8 &&
            l.Info.BitCount != 24)
            throw EInvalidBitmap();
        if (l.Info.BitCount <= 8)
            colours = 1u << l.Info.BitCount;
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 64 ||
               headerSize == 108 || headerSize == 124) {
        Need(d, h, headerSize);
        l.Info.Width = static_cast<std::int32_t>(GetU32(d, h + 4));
        const std::int32_t height = static_cast<std::int32_t>(GetU32(d, h + 8));
        const int bpp = GetU16(d, h + 14);
        const std::uint32_t compression = GetU32(d, h + 16);
        const std::uint32_t sizeImage = GetU32(d, h + 20);
        const std::uint32_t clrUsed = GetU32(d, h + 32);
        if (height == INT32_MIN)
            throw EInvalidBitmap();
        l.Info.Height = height < 0 ? -height : height;
        l.Info.BitCount = bpp;
        if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
            throw EInvalidBitmap();
        const bool rle = compression == 1 || compression == 2;
        if (compression > 3 || (compression == 1 && bpp != 8) || (compression == 2 && bpp != 4) ||
            (compression == 3 && bpp != 16 && bpp != 32) || (rle && (height < 0 || sizeImage == 0)))
            throw EInvalidBitmap();
        if (bpp <= 8 && clrUsed > (1u << bpp))
            throw EInvalidBitmap();
        if (clrUsed > 256)
            throw EInvalidBitmap();
        colours = clrUsed != 0 ? clrUsed : (bpp <= 8 ? (1u << bpp) : 0);
        if (compression == 3 && headerSize == 40)
            masks = 12;
        image = sizeImage;
    } else {
        throw EInvalidBitmap();
    }
    // Sizes no bitmap file can hold are damage; sizes beyond our limits are
    // refused as too large.
    if (l.Info.Width <= 0 || l.Info.Height <= 0 || l.Info.Width > 32768 || l.Info.Height > 32768)
        throw EInvalidBitmap();
    if (l.Info.Width > kMaxPictureSide || l.Info.Height > kMaxPictureSide)
        throw ESkinTooLarge("A skin picture is " + std::to_string(l.Info.Width) + " x " +
                            std::to_string(l.Info.Height) + " pixels; at most " +
                            std::to_string(kMaxPictureSide) + " x " +
                            std::to_string(kMaxPictureSide) + " are taken");
    if (image == 0) {
        const std::uint64_t stride = (static_cast<std::uint64_t>(l.Info.Width) *
                                          static_cast<std::uint64_t>(l.Info.BitCount) +
                                      31) /
                                     32 * 4;
        image = stride * static_cast<std::uint64_t>(l.Info.Height);
    }
    if (image > kMaxBitmapBytes)
        throw EInvalidBitmap();
    l.PixelOffset = 14 + headerSize + colours * entrySize + masks;
    l.Total = l.PixelOffset + image;
    if (whole)
        Need(d, pos, l.Total);
    return l;
}

// The file header and information header of an uncompressed bitmap (or one
// with bit fields, compression 3, and a longer header).
std::string BitmapHeader(int width, int height, int bpp, std::uint32_t colours,
                         std::uint32_t imageSize, std::uint32_t headerSize = 40,
                         std::uint32_t compression = 0) {
    std::string b = "BM";
    const std::uint32_t offset = 14 + headerSize + colours * 4;
    AppendU32(b, offset + imageSize);
    AppendU32(b, 0);
    AppendU32(b, offset);
    AppendU32(b, headerSize);
    AppendU32(b, static_cast<std::uint32_t>(width));
    AppendU32(b, static_cast<std::uint32_t>(height));
    AppendU16(b, 1);
    AppendU16(b, static_cast<std::uint16_t>(bpp));
    AppendU32(b, compression);
    AppendU32(b, imageSize);
    AppendU32(b, 2835);
    AppendU32(b, 2835);
    AppendU32(b, colours);
    AppendU32(b, 0);
    return b;
}

// Skin files come from outside: only regular files of a sane size are read,
// so a named pipe or a device never blocks or floods the program.
std::string ReadFileBytes(const std::string& fileName) {
    TRegularFileRead read = ReadRegularFileChecked(fileName, kMaxPictureFileBytes);
    if (!read.Bytes)
        throw EFileOpenError(fileName, read.Reason());
    return std::move(*read.Bytes);
}

[[noreturn]] void PackageTooLarge() {
    throw ESkinTooLarge("The skin package is larger than " +
                        std::to_string(kMaxSkinPackageBytes / (1024 * 1024)) +
                        " MiB once unpacked");
}

[[noreturn]] void PicturesTooLarge() {
    throw ESkinTooLarge("The pictures of the skin package need more than " +
                        std::to_string(kPictureBudgetBytes / (1024 * 1024)) + " MiB");
}

struct TPackageReader {
    const std::string& Data;
    std::size_t Pos = 0;

    std::int32_t ReadInt32() {
        Need(Data, Pos, 4);
        std::int32_t v = static_cast<std::int32_t>(GetU32(Data, Pos));
        Pos += 4;
        return v;
    }
    std::optional<std::string> ReadFlaggedPicture() {
        Need(Data, Pos, 1);
        const char flag = Data[Pos++];
        if (flag != 0)
            return std::nullopt;
        return ReadBitmapFile(Data, Pos);
    }
};

void AppendFlaggedPicture(std::string& out, const std::optional<std::string>& picture) {
    out += picture ? '\0' : '\1';
    if (picture)
        out += *picture;
}

} // namespace

std::size_t BitmapFileLength(const std::string& data, std::size_t pos) {
    return static_cast<std::size_t>(LayoutOf(data, pos).Total);
}

std::string ReadBitmapFile(const std::string& data, std::size_t& pos) {
    const TBitmapLayout l = LayoutOf(data, pos);
    std::string copy = data.substr(pos, static_cast<std::size_t>(l.Total));
    PutU32(copy, 2, static_cast<std::uint32_t>(l.Total));
    PutU32(copy, 10, static_cast<std::uint32_t>(l.PixelOffset));
    pos += static_cast<std::size_t>(l.Total);
    return copy;
}

TBitmapInfo BitmapInfoOf(const std::string& bitmap) {
    return LayoutOf(bitmap, 0).Info;
}

std::string WriteBitmap24(int width, int height, const std::vector<std::uint32_t>& rgb) {
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    std::string b =
        BitmapHeader(width, height, 24, 0,
                     static_cast<std::uint32_t>(stride * static_cast<std::size_t>(height)));
    for (int y = height - 1; y >= 0; --y) {
        std::string row(stride, '\0');
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p =
                rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                    static_cast<std::size_t>(x)];
            row[static_cast<std::size_t>(x) * 3] = static_cast<char>(p & 0xFF);
            row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<char>((p >> 8) & 0xFF);
            row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<char>((p >> 16) & 0xFF);
        }
        b += row;
    }
    return b;
}

std::string WriteBitmap32(int width, int height, const std::vector<std::uint32_t>& argb) {
    const std::uint32_t imageSize =
        static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height) * 4;
    std::string b = BitmapHeader(width, height, 32, 0, imageSize, 108, 3);
    for (std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u})
        AppendU32(b, mask);
    AppendU32(b, 0x73524742); // "sRGB"
    b.append(36 + 12, '\0');  // end points and gamma, unused with sRGB
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x)
            AppendU32(b, argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                              static_cast<std::size_t>(x)]);
    return b;
}

std::string WriteBitmap4(int width, int height, const std::vector<std::uint8_t>& indices,
                         const std::vector<std::uint32_t>& palette) {
    const std::size_t stride = (static_cast<std::size_t>(width) * 4 + 31) / 32 * 4;
    std::string b =
        BitmapHeader(width, height, 4, 16,
                     static_cast<std::uint32_t>(stride * static_cast<std::size_t>(height)));
    for (std::size_t i = 0; i < 16; ++i)
        AppendU32(b, i < palette.size() ? palette[i] & 0xFFFFFF : 0);
    for (int y = height - 1; y >= 0; --y) {
        std::string row(stride, '\0');
        for (int x = 0; x < width; ++x) {
            const std::uint8_t v =
                indices[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                        static_cast<std::size_t>(x)] &
                0x0F;
            char& c = row[static_cast<std::size_t>(x) / 2];
            c = static_cast<char>(x % 2 == 0 ? (c & 0x0F) | (v << 4) : (c & 0xF0) | v);
        }
        b += row;
    }
    return b;
}

void TSkinPackageBudget::Check(const std::string& data, std::size_t available) {
    if (available > kMaxSkinPackageBytes)
        PackageTooLarge();
    // Walks the package as far as whole headers are available; each step is
    // taken once, so checking after every piece costs nothing much.
    auto have = [&](std::uint64_t n) { return FPos <= available && n <= available - FPos; };
    while (!FDone) {
        if (FStage == 0) {
            if (!have(4))
                return;
            FVersion = static_cast<std::int32_t>(GetU32(data, FPos));
            FPos += 4;
            if (FVersion > kMaxSkinVersion) {
                FDone = true; // nothing more is read from such a package
                return;
            }
            FFlagged = FVersion == 2 ? 5 : 3;
            FStage = 1;
        } else if (FStage == 1) {
            if (FFlagged == 0) {
                FStage = 2;
                continue;
            }
            if (!have(1))
                return;
            if (data[FPos] != 0) {
                ++FPos;
                --FFlagged;
                continue;
            }
            if (!have(1 + 14 + 124) && !have(1 + 14 + 40) && !have(1 + 14 + 12))
                return;
            TBitmapLayout l;
            try {
                const std::string head =
                    data.substr(FPos + 1, std::min<std::size_t>(available - FPos - 1, 14 + 124));
                l = LayoutOf(head, 0, false);
            } catch (const ESkinReadError&) {
                if (have(1 + 14 + 124))
                    throw;
                return; // the header is not all out yet
            }
            FDecoded += static_cast<std::uint64_t>(l.Info.Width) *
                        static_cast<std::uint64_t>(l.Info.Height) * 4;
            if (FDecoded > kPictureBudgetBytes)
                PicturesTooLarge();
            FPos += 1 + static_cast<std::size_t>(l.Total);
            --FFlagged;
        } else if (FStage == 2) {
            if (!have(4))
                return;
            FCount = static_cast<std::int32_t>(GetU32(data, FPos));
            FPos += 4;
            FStage = 3;
        } else {
            if (FSeen >= FCount) {
                FDone = true;
                return;
            }
            if (!have(14 + 12))
                return;
            TBitmapLayout l;
            try {
                const std::string head =
                    data.substr(FPos, std::min<std::size_t>(available - FPos, 14 + 124));
                l = LayoutOf(head, 0, false);
            } catch (const ESkinReadError&) {
                if (have(14 + 124))
                    throw;
                return;
            }
            FDecoded += static_cast<std::uint64_t>(l.Info.Width) *
                        static_cast<std::uint64_t>(l.Info.Height) * 4;
            if (FDecoded > kPictureBudgetBytes)
                PicturesTooLarge();
            FPos += static_cast<std::size_t>(l.Total);
            ++FSeen;
        }
    }
}

std::string InflateSkin(const std::string& compressed, TInflateStats* stats) {
    if (compressed.empty())
        throw ECompressionError();
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        throw ECompressionError();
    struct TEnd {
        z_stream& Z;
        ~TEnd() { inflateEnd(&Z); }
    } end{z};
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    z.avail_in = static_cast<uInt>(compressed.size());
    // Inflate straight into the result, in pieces: the package is checked
    // against its budget after each piece, so a package declaring huge
    // pictures is refused after its first few kilobytes. The buffer starts at
    // 20 times the container (skins compress about 16 to 1, so the built-in
    // skin fits at once) and doubles when a package needs more, never beyond
    // the package limit.
    constexpr std::size_t kPiece = 64 * 1024;
    TSkinPackageBudget budget;
    std::string out;
    out.resize(std::min(std::max(compressed.size() * 20, kPiece), kMaxSkinPackageBytes));
    std::size_t produced = 0;
    auto report = [&] {
        if (stats) {
            stats->Produced = produced;
            stats->BufferBytes = std::max(stats->BufferBytes, out.size());
        }
    };
    report();
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        if (produced == out.size()) {
            if (out.size() >= kMaxSkinPackageBytes) // no skin comes near this
                PackageTooLarge();
            // What the package declared so far bounds what it may still need.
            out.resize(std::min(out.size() * 2, kMaxSkinPackageBytes));
            report();
        }
        const std::size_t room = std::min(out.size() - produced, kPiece);
        z.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        z.avail_out = static_cast<uInt>(room);
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
            throw ECompressionError();
        const std::size_t wrote = room - z.avail_out;
        produced += wrote;
        report();
        budget.Check(out, produced);
        // No more input and the stream has not ended: it was cut short.
        if (rc != Z_STREAM_END && z.avail_in == 0 && z.avail_out != 0)
            throw ECompressionError();
        if (rc == Z_BUF_ERROR && wrote == 0 && z.avail_out != 0)
            throw ECompressionError();
    }
    out.resize(produced);
    return out;
}

std::string DeflateSkin(const std::string& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
        throw ECompressionError();
    out.resize(size);
    return out;
}

TSkinPackage ParseSkinPackage(const std::string& raw) {
    // The same budget as while inflating, for packages that arrive whole.
    TSkinPackageBudget budget;
    budget.Check(raw, raw.size());
    TPackageReader r{raw};
    TSkinPackage p;
    p.Version = r.ReadInt32();
    if (p.Version > kMaxSkinVersion)
        return p;
    p.MainPicture = r.ReadFlaggedPicture();
    p.InactivePicture = r.ReadFlaggedPicture();
    p.MaskPicture = r.ReadFlaggedPicture();
    if (p.Version == 2) {
        r.ReadFlaggedPicture();
        r.ReadFlaggedPicture();
    }
    const std::int32_t count = r.ReadInt32();
    for (std::int32_t i = 0; i < count; ++i)
        p.ActivePictures.push_back(ReadBitmapFile(raw, r.Pos));
    p.Description = raw.substr(r.Pos);
    return p;
}

std::string WriteSkinPackage(const TSkinPackage& package) {
    std::string out;
    AppendU32(out, static_cast<std::uint32_t>(package.Version));
    AppendFlaggedPicture(out, package.MainPicture);
    AppendFlaggedPicture(out, package.InactivePicture);
    AppendFlaggedPicture(out, package.MaskPicture);
    if (package.Version == 2) {
        AppendFlaggedPicture(out, std::nullopt);
        AppendFlaggedPicture(out, std::nullopt);
    }
    AppendU32(out, static_cast<std::uint32_t>(package.ActivePictures.size()));
    for (const std::string& b : package.ActivePictures)
        out += b;
    out += package.Description;
    return out;
}

std::string ParseCompressedSkinFile(const std::string& bytes, const std::string& fileName) {
    Need(bytes, 0, 4);
    if (static_cast<std::int32_t>(GetU32(bytes, 0)) > kMaxSkinVersion)
        return {};
    Need(bytes, 4, 4);
    const std::int32_t n = static_cast<std::int32_t>(GetU32(bytes, 4));
    if (n < 0)
        throw EBadSkinFile(fileName);
    // A zero length has always meant "copy the whole file", header included;
    // that is not a zlib stream and fails when it is inflated.
    if (n == 0)
        return bytes;
    Need(bytes, 8, static_cast<std::uint64_t>(n));
    return bytes.substr(8, static_cast<std::size_t>(n));
}

std::string ReadCompressedSkinFile(const std::string& fileName) {
    return ParseCompressedSkinFile(ReadFileBytes(fileName), fileName);
}

std::string MakeCompressedSkinFile(const std::string& compressed, std::int32_t formatValue) {
    std::string out;
    AppendU32(out, static_cast<std::uint32_t>(formatValue));
    AppendU32(out, static_cast<std::uint32_t>(compressed.size()));
    return out + compressed;
}

std::string BuildSkinPackageFromDescription(const std::string& descriptionPath) {
    const std::string text = ReadFileBytes(descriptionPath);
    const TIniDescription ini(text);
    for (const char* s : {"VERSION", "PICTURES", "FORMINFO", "SKINOBJECTS", "SKINCONTROLS"})
        if (!ini.HasSection(s))
            return {};
    const std::size_t slash = descriptionPath.find_last_of("/\\");
    const std::string folder =
        slash == std::string::npos ? std::string() : descriptionPath.substr(0, slash + 1);
    auto bitmapFile = [&](const std::string& name) {
        const std::string bytes = ReadFileBytes(folder + name);
        std::size_t pos = 0;
        try {
            return ReadBitmapFile(bytes, pos);
        } catch (const ESkinError& e) {
            throw ESkinError(folder + name + ": " + e.what());
        }
    };
    auto flagged = [&](const char* key) -> std::optional<std::string> {
        const std::string name = ini.Read("PICTURES", key);
        if (name.empty())
            return std::nullopt;
        return bitmapFile(name);
    };
    TSkinPackage p;
    p.Version = kMaxSkinVersion;
    p.MainPicture = flagged("picture");
    p.InactivePicture = flagged("inactivepicture");
    p.MaskPicture = flagged("mask");
    const int count = ini.ReadInt("PICTURES", "activepicturescount", 0);
    for (int i = 0; i < count; ++i)
        p.ActivePictures.push_back(bitmapFile(ini.Read("PICTURES", std::to_string(i))));
    p.Description = text;
    return WriteSkinPackage(p);
}

} // namespace quillory
