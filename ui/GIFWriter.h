#pragma once
// Writing GIF files: used by the branding sample generator, the tests (which
// build every GIF they read) and the benchmark. Qt-free.
#include <cstdint>
#include <string>
#include <vector>

namespace quillory {

// LZW-compresses palette indices (in the order they are stored) with the
// given minimum code size: a clear code first, a clear whenever the table
// fills, the end code last. Returns the code bytes, not yet in sub-blocks.
std::string EncodeGIFLZW(const std::vector<std::uint8_t>& indices, int codeSize);

// Cuts bytes into data sub-blocks of at most 255 bytes and appends the
// terminating zero-length block.
std::string GIFSubBlocks(const std::string& data);

struct TGIFWriterFrame {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    // Width*Height indices, rows top to bottom (interlacing is applied when
    // written).
    std::vector<std::uint8_t> Pixels;
    std::vector<std::uint32_t> LocalColorTable; // empty: use the global one
    bool Interlaced = false;
    bool GraphicControl = true; // write a graphic control block
    int DelayCs = 0;            // hundredths of a second
    int Disposal = 0;
    int TransparentIndex = -1;
};

struct TGIFWriterImage {
    std::string Signature = "GIF89a";
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> GlobalColorTable; // 2..256 entries, a power of two
    int BackgroundIndex = 0;
    int LoopCount = -1; // >= 0: a NETSCAPE2.0 loop block with this count
    std::vector<TGIFWriterFrame> Frames;
};

// The minimum code size for a table of `colors` entries (at least 2).
int GIFCodeSizeFor(std::size_t colors);

// One image block ("," descriptor, local table, code size, data) as bytes.
std::string WriteGIFImageBlock(const TGIFWriterFrame& frame, int globalColors);
// A graphic control block ("!" 0xF9 ...).
std::string WriteGIFGraphicControl(int delayCs, int disposal, int transparentIndex);
// The header, logical screen and global table.
std::string WriteGIFHeader(const TGIFWriterImage& image);
// The whole file.
std::string WriteGIF(const TGIFWriterImage& image);

} // namespace quillory
