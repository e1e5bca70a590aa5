#include "GIFWriter.h"

#include <unordered_map>

namespace quillory {

namespace {

struct TBitWriter {
    std::string Out;
    std::uint32_t Acc = 0;
    int Bits = 0;
    void Put(int code, int width) {
        Acc |= static_cast<std::uint32_t>(code) << Bits;
        Bits += width;
        while (Bits >= 8) {
            Out += static_cast<char>(Acc & 0xFF);
            Acc >>= 8;
            Bits -= 8;
        }
    }
    void Flush() {
        if (Bits > 0)
            Out += static_cast<char>(Acc & 0xFF);
        Acc = 0;
        Bits = 0;
    }
};

void PutWord(std::string& s, int v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

void PutTable(std::string& s, const std::vector<std::uint32_t>& table) {
    for (std::uint32_t c : table) {
        s += static_cast<char>((c >> 16) & 0xFF);
        s += static_cast<char>((c >> 8) & 0xFF);
        s += static_cast<char>(c & 0xFF);
    }
}

int TableBits(std::size_t size) {
    int bits = 1;
    while (bits < 8 && (std::size_t{1} << bits) < size)
        ++bits;
    return bits;
}

} // namespace

int GIFCodeSizeFor(std::size_t colors) {
    return std::max(2, TableBits(colors));
}

std::string EncodeGIFLZW(const std::vector<std::uint8_t>& indices, int codeSize) {
    const int clear = 1 << codeSize;
    const int end = clear + 1;
    TBitWriter w;
    int width = codeSize + 1;
    int next = clear + 2;
    std::unordered_map<std::uint32_t, int> table;
    w.Put(clear, width);
    if (indices.empty()) {
        w.Put(end, width);
        w.Flush();
        return w.Out;
    }
    int prefix = indices[0];
    for (std::size_t i = 1; i < indices.size(); ++i) {
        const int p = indices[i];
        const std::uint32_t key =
            (static_cast<std::uint32_t>(prefix) << 8) | static_cast<std::uint32_t>(p);
        auto it = table.find(key);
        if (it != table.end()) {
            prefix = it->second;
            continue;
        }
        w.Put(prefix, width);
        table.emplace(key, next++);
        if (next > (1 << width) && width < 12)
            ++width;
        if (next >= 4096) {
            w.Put(clear, width);
            table.clear();
            width = codeSize + 1;
            next = clear + 2;
        }
        prefix = p;
    }
    w.Put(prefix, width);
    // The reader adds one more entry after the last code and may widen first.
    if (next < 4096 && ++next > (1 << width) && width < 12)
        ++width;
    w.Put(end, width);
    w.Flush();
    return w.Out;
}

std::string GIFSubBlocks(const std::string& data) {
    std::string out;
    for (std::size_t pos = 0; pos < data.size(); pos += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - pos);
        out += static_cast<char>(n);
        out.append(data, pos, n);
    }
    out += '\0';
    return out;
}

std::string WriteGIFGraphicControl(int delayCs, int disposal, int transparentIndex) {
    std::string s = "!\xF9\x04";
    s += static_cast<char>(((disposal & 7) << 2) | (transparentIndex >= 0 ? 1 : 0));
    PutWord(s, delayCs);
    s += static_cast<char>(transparentIndex >= 0 ? transparentIndex : 0);
    s += '\0';
    return s;
}

std::string WriteGIFImageBlock(const TGIFWriterFrame& f, int globalColors) {
    std::string s = ",";
    PutWord(s, f.Left);
    PutWord(s, f.Top);
    PutWord(s, f.Width);
    PutWord(s, f.Height);
    std::uint8_t packed = f.Interlaced ? 0x40 : 0;
    std::size_t colors = static_cast<std::size_t>(globalColors);
    if (!f.LocalColorTable.empty()) {
        packed |= static_cast<std::uint8_t>(0x80 | (TableBits(f.LocalColorTable.size()) - 1));
        colors = f.LocalColorTable.size();
    }
    s += static_cast<char>(packed);
    if (!f.LocalColorTable.empty()) {
        std::vector<std::uint32_t> table = f.LocalColorTable;
        table.resize(std::size_t{1} << TableBits(table.size()), 0);
        PutTable(s, table);
    }
    std::vector<std::uint8_t> order;
    if (f.Interlaced) {
        static constexpr int kStart[4] = {0, 4, 2, 1};
        static constexpr int kStep[4] = {8, 8, 4, 2};
        order.reserve(f.Pixels.size());
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kStart[pass]; y < f.Height; y += kStep[pass])
                order.insert(order.end(),
                             f.Pixels.begin() + static_cast<std::ptrdiff_t>(y) * f.Width,
                             f.Pixels.begin() + static_cast<std::ptrdiff_t>(y + 1) * f.Width);
    }
    const int codeSize = GIFCodeSizeFor(colors);
    s += static_cast<char>(codeSize);
    s += GIFSubBlocks(EncodeGIFLZW(f.Interlaced ? order : f.Pixels, codeSize));
    return s;
}

std::string WriteGIFHeader(const TGIFWriterImage& image) {
    std::string s = image.Signature;
    PutWord(s, image.Width);
    PutWord(s, image.Height);
    std::uint8_t packed = 0x70; // 8 bits of colour resolution
    if (!image.GlobalColorTable.empty())
        packed |= static_cast<std::uint8_t>(0x80 | (TableBits(image.GlobalColorTable.size()) - 1));
    s += static_cast<char>(packed);
    s += static_cast<char>(image.BackgroundIndex);
    s += '\0';
    if (!image.GlobalColorTable.empty()) {
        std::vector<std::uint32_t> table = image.GlobalColorTable;
        table.resize(std::size_t{1} << TableBits(table.size()), 0);
        PutTable(s, table);
    }
    return s;
}

std::string WriteGIF(const TGIFWriterImage& image) {
    std::string s = WriteGIFHeader(image);
    if (image.LoopCount >= 0) {
        s += "!\xFF\x0BNETSCAPE2.0\x03\x01";
        PutWord(s, image.LoopCount);
        s += '\0';
    }
    for (const TGIFWriterFrame& f : image.Frames) {
        if (f.GraphicControl)
            s += WriteGIFGraphicControl(f.DelayCs, f.Disposal, f.TransparentIndex);
        s += WriteGIFImageBlock(f, static_cast<int>(image.GlobalColorTable.size()));
    }
    s += ';';
    return s;
}

} // namespace quillory
