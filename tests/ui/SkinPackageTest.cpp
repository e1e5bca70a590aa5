#include "ui/SkinPackage.h"
#include "SkinTestData.h"
#include "ui/SkinDescription.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>
#include <zlib.h>

using namespace quillory;
using namespace quillory::test;

namespace {

void PutU32(std::string& d, std::size_t p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        d[p + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string Int32(std::int32_t v) {
    std::string s(4, '\0');
    PutU32(s, 0, static_cast<std::uint32_t>(v));
    return s;
}

TEST(BitmapReaderTest, LengthComesFromTheInformationHeader) {
    std::string bmp = SolidBitmap(5, 3, 0xFF0000); // rows of 15 bytes padded to 16
    ASSERT_EQ(bmp.size(), 14u + 40u + 16u * 3u);
    PutU32(bmp, 2, 7);     // a lying file size field
    PutU32(bmp, 10, 9999); // and a lying pixel offset
    const std::string data = bmp + "NEXT";
    EXPECT_EQ(BitmapFileLength(data, 0), bmp.size());
    std::size_t pos = 0;
    const std::string copy = ReadBitmapFile(data, pos);
    EXPECT_EQ(pos, bmp.size());
    EXPECT_EQ(data.substr(pos), "NEXT");
    // The copy carries a consistent size and pixel offset again.
    EXPECT_EQ(static_cast<unsigned char>(copy[2]) | static_cast<unsigned char>(copy[3]) << 8,
              static_cast<int>(bmp.size()));
    EXPECT_EQ(static_cast<unsigned char>(copy[10]), 54);
    const TBitmapInfo info = BitmapInfoOf(copy);
    EXPECT_EQ(info.Width, 5);
    EXPECT_EQ(info.Height, 3);
    EXPECT_EQ(info.BitCount, 24);
}

TEST(BitmapReaderTest, ColourTableAndImageSizeFieldsCount) {
    // 4-bit: 16 colour entries unless the header declares fewer.
    std::string bmp =
        WriteBitmap4(3, 2, std::vector<std::uint8_t>(6, 1), std::vector<std::uint32_t>(16, 0));
    EXPECT_EQ(BitmapFileLength(bmp, 0), 14u + 40u + 64u + 8u);
    PutU32(bmp, 14 + 32, 4); // clrUsed = 4: the table is 16 bytes, not 64
    EXPECT_EQ(BitmapFileLength(bmp + std::string(100, 'x'), 0), 14u + 40u + 16u + 8u);
    // A non-zero image size field wins over stride x rows.
    std::string rgb = SolidBitmap(2, 2, 0);
    PutU32(rgb, 14 + 20, 20);
    EXPECT_EQ(BitmapFileLength(rgb + std::string(20, 'x'), 0), 14u + 40u + 20u);
    // A top-down bitmap (negative height) has as many rows.
    std::string topDown = SolidBitmap(2, 2, 0);
    PutU32(topDown, 14 + 8, static_cast<std::uint32_t>(-2));
    EXPECT_EQ(BitmapFileLength(topDown, 0), topDown.size());
}

TEST(BitmapReaderTest, DamagedBitmapsGiveTheirErrors) {
    const std::string good = SolidBitmap(4, 4, 0);
    std::size_t pos = 0;
    EXPECT_THROW(ReadBitmapFile(good.substr(0, good.size() - 1), pos), ESkinReadError);
    EXPECT_THROW(ReadBitmapFile(good.substr(0, 10), pos), ESkinReadError);
    std::string bad = good;
    bad[0] = 'X';
    EXPECT_THROW(ReadBitmapFile(bad, pos), EInvalidBitmap);
    bad = good;
    PutU32(bad, 14, 33); // unknown header size
    EXPECT_THROW(ReadBitmapFile(bad, pos), EInvalidBitmap);
    bad = good;
    bad[14 + 14] = 7; // 7 bits per pixel
    EXPECT_THROW(ReadBitmapFile(bad, pos), EInvalidBitmap);
    bad = good;
    PutU32(bad, 14 + 4, 0); // zero width
    EXPECT_THROW(ReadBitmapFile(bad, pos), EInvalidBitmap);
    bad = good;
    PutU32(bad, 14 + 4, 0x7FFFFFFF); // absurd width
    EXPECT_THROW(ReadBitmapFile(bad, pos), EInvalidBitmap);
    EXPECT_EQ(pos, 0u);
    try {
        ReadBitmapFile(good.substr(0, 60), pos);
        FAIL();
    } catch (const ESkinError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
}

TEST(InflateTest, StopsAtTheEndOfTheStream) {
    const std::string raw(100000, 'q');
    const std::string z = DeflateSkin(raw);
    EXPECT_EQ(InflateSkin(z), raw);
    EXPECT_EQ(InflateSkin(z + "trailing bytes are ignored"), raw);
}

TEST(InflateTest, OutputOfAnySizeAroundTheFirstGuessComesBackWhole) {
    // The result starts at 20 times the container (at least 64 KiB) and
    // doubles: sizes that end exactly at, just before and just after a
    // boundary, for well and badly compressing data.
    for (std::size_t size : {std::size_t{1}, std::size_t{65535}, std::size_t{65536},
                             std::size_t{65537}, std::size_t{131072}, std::size_t{400000}}) {
        std::string text(size, '\0'), noise(size, '\0');
        unsigned v = 12345;
        for (std::size_t i = 0; i < size; ++i) {
            text[i] = static_cast<char>('a' + i % 7);
            v = v * 1103515245u + 12345u;
            noise[i] = static_cast<char>(v >> 16);
        }
        EXPECT_EQ(InflateSkin(DeflateSkin(text)), text) << size;
        EXPECT_EQ(InflateSkin(DeflateSkin(noise)), noise) << size;
    }
}

TEST(InflateTest, InvalidStreamsAreCompressionErrors) {
    const std::string z = DeflateSkin(std::string(5000, 'x') + "tail");
    EXPECT_THROW(InflateSkin(""), ECompressionError);
    EXPECT_THROW(InflateSkin("not a zlib stream at all"), ECompressionError);
    EXPECT_THROW(InflateSkin(z.substr(0, z.size() / 2)), ECompressionError);
    std::string damaged = z;
    damaged[damaged.size() - 2] ^= 0x55; // the checksum
    try {
        InflateSkin(damaged);
        FAIL();
    } catch (const ESkinError& e) {
        EXPECT_STREQ(e.what(), "compression error");
    }
}

TEST(SkinPackageTest, WritesAndParsesBack) {
    const TSkinPackage p = SamplePackage(Description({"button:button"}, "[button]\r\n"), 3);
    const TSkinPackage q = ParseSkinPackage(WriteSkinPackage(p));
    EXPECT_EQ(q.Version, 3);
    ASSERT_TRUE(q.MainPicture && q.MaskPicture);
    EXPECT_FALSE(q.InactivePicture);
    EXPECT_EQ(*q.MainPicture, *p.MainPicture);
    EXPECT_EQ(q.ActivePictures, p.ActivePictures);
    EXPECT_EQ(q.Description, p.Description);
}

TEST(SkinPackageTest, VersionTwoSkipsTwoExtraPictures) {
    TSkinPackage p = SamplePackage("[VERSION]\r\nskinname=two\r\n", 1);
    p.Version = 2;
    // Main, inactive and mask pictures, then two extra ones before the count.
    std::string raw = Int32(2);
    for (const std::string& b : {*p.MainPicture, SolidBitmap(2, 2, 1), *p.MaskPicture,
                                 SolidBitmap(3, 3, 2), SolidBitmap(4, 4, 3)}) {
        raw += '\0';
        raw += b;
    }
    raw += Int32(1) + p.ActivePictures[0] + p.Description;
    const TSkinPackage q = ParseSkinPackage(raw);
    EXPECT_EQ(q.Version, 2);
    ASSERT_TRUE(q.InactivePicture);
    EXPECT_EQ(BitmapInfoOf(*q.InactivePicture).Width, 2);
    EXPECT_EQ(BitmapInfoOf(*q.MaskPicture).Width, 100);
    ASSERT_EQ(q.ActivePictures.size(), 1u);
    EXPECT_EQ(q.Description, p.Description);
}

TEST(SkinPackageTest, NewerVersionStopsReading) {
    const TSkinPackage q = ParseSkinPackage(Int32(4) + "whatever follows");
    EXPECT_EQ(q.Version, 4);
    EXPECT_FALSE(q.MainPicture);
    EXPECT_TRUE(q.ActivePictures.empty());
    EXPECT_TRUE(q.Description.empty());
}

TEST(SkinPackageTest, CutShortPackagesFail) {
    const std::string raw = WriteSkinPackage(SamplePackage("[VERSION]\r\n", 2));
    EXPECT_THROW(ParseSkinPackage(raw.substr(0, 2)), ESkinReadError);
    EXPECT_THROW(ParseSkinPackage(raw.substr(0, 200)), ESkinReadError);
    std::string wrongCount = Int32(3) + "\1\1\1" + Int32(5) + SolidBitmap(2, 2, 0);
    EXPECT_THROW(ParseSkinPackage(wrongCount), ESkinReadError);
    // A negative count reads no pictures; the rest is the description.
    const TSkinPackage q = ParseSkinPackage(Int32(3) + "\1\1\1" + Int32(-1) + "[X]\r\n");
    EXPECT_TRUE(q.ActivePictures.empty());
    EXPECT_EQ(q.Description, "[X]\r\n");
}

TEST(SkinFileTest, ReadsTheContainerOfADbskinFile) {
    const std::string z = DeflateSkin("package bytes");
    TTempFile file(MakeCompressedSkinFile(z));
    EXPECT_EQ(ReadCompressedSkinFile(file.Path()), z);
    const std::string longer = MakeCompressedSkinFile(z) + "after";
    EXPECT_EQ(ParseCompressedSkinFile(longer, "x"), z);
    EXPECT_EQ(ParseCompressedSkinFile(MakeCompressedSkinFile(z, -7), "x"), z);
}

TEST(SkinFileTest, FormatAboveThreeIsIgnored) {
    EXPECT_EQ(ParseCompressedSkinFile(MakeCompressedSkinFile("zzz", 4), "f"), "");
    EXPECT_EQ(ParseCompressedSkinFile(Int32(1000), "f"), "");
}

TEST(SkinFileTest, BadLengthsAreRejected) {
    std::string negative = Int32(3) + Int32(-5) + "abc";
    try {
        ParseCompressedSkinFile(negative, "/p/dbskin.dat");
        FAIL();
    } catch (const EBadSkinFile& e) {
        EXPECT_NE(std::string(e.what()).find("/p/dbskin.dat"), std::string::npos);
    }
    EXPECT_THROW(ParseCompressedSkinFile(Int32(3) + Int32(10) + "short", "f"), ESkinReadError);
    EXPECT_THROW(ParseCompressedSkinFile(Int32(3), "f"), ESkinReadError);
    EXPECT_THROW(ParseCompressedSkinFile("ab", "f"), ESkinReadError);
    // A zero length takes the whole file, which then fails to inflate.
    const std::string zero = Int32(3) + Int32(0) + DeflateSkin("x");
    EXPECT_EQ(ParseCompressedSkinFile(zero, "f"), zero);
    EXPECT_THROW(InflateSkin(zero), ECompressionError);
}

TEST(SkinFileTest, MissingFileNamesItself) {
    try {
        ReadCompressedSkinFile("/nonexistent/dir/dbskin.dat");
        FAIL();
    } catch (const EFileOpenError& e) {
        EXPECT_EQ(
            std::string(e.what()).rfind("Cannot open file \"/nonexistent/dir/dbskin.dat\". ", 0),
            0u);
    }
}

// One zlib stream of the pieces, each some bytes and a run of zero bytes,
// made in steps so the test never holds the whole package.
std::string DeflatePieces(const std::vector<std::pair<std::string, std::size_t>>& pieces) {
    z_stream z{};
    EXPECT_EQ(deflateInit(&z, Z_BEST_COMPRESSION), Z_OK);
    std::string out;
    char buf[65536];
    auto feed = [&](const char* data, std::size_t n, int flush) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        z.avail_in = static_cast<uInt>(n);
        int rc;
        do {
            z.next_out = reinterpret_cast<Bytef*>(buf);
            z.avail_out = sizeof buf;
            rc = deflate(&z, flush);
            out.append(buf, sizeof buf - z.avail_out);
        } while (z.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
    };
    const std::string chunk(1 << 20, '\0');
    for (const auto& [bytes, zeros] : pieces) {
        feed(bytes.data(), bytes.size(), Z_NO_FLUSH);
        for (std::size_t left = zeros; left > 0;) {
            const std::size_t n = std::min(left, chunk.size());
            feed(chunk.data(), n, Z_NO_FLUSH);
            left -= n;
        }
    }
    feed("", 0, Z_FINISH);
    deflateEnd(&z);
    return out;
}

// The headers of a 32-bit bitmap file of w x h; its pixels are to follow.
std::string Header32(int w, int h) {
    std::string b = "BM" + Int32(0) + Int32(0) + Int32(54) + Int32(40) + Int32(w) + Int32(h);
    b += std::string("\1\0\x20\0", 4); // one plane, 32 bits
    b += Int32(0) + Int32(0) + Int32(2835) + Int32(2835) + Int32(0) + Int32(0);
    return b;
}

// While inflating, the sizes the bitmaps declare are held against the picture
// budget: a small file declaring huge pictures is refused early.
TEST(InflateTest, PackagesBeyondTheBudgetAreRefusedEarly) {
    const std::size_t MiB = 1024 * 1024;
    // Version 3, no main, inactive or mask picture, K active pictures.
    auto head = [](int k) { return Int32(3) + std::string("\1\1\1", 3) + Int32(k); };
    const std::string quarter = Header32(4096, 1024); // 16 MiB decoded
    // `n` such pictures after `head`.
    const auto Pictures = [&](const std::string& head, int n) {
        std::vector<std::pair<std::string, std::size_t>> pieces(n, {quarter, 16 * MiB});
        pieces[0].first = head + quarter;
        return pieces;
    };
    const struct {
        const char* Name;
        std::string Compressed;
        std::size_t MaxProduced; // inflated when refused, at most
    } cases[] = {
        {"one picture of 8192 x 8192", DeflatePieces({{head(1) + Header32(8192, 8192), 8 * MiB}}),
         64 * 1024},
        {"main picture of 5000 x 5000",
         DeflatePieces({{Int32(3) + std::string("\0", 1) + Header32(5000, 5000), 8 * MiB}}),
         64 * 1024},
        // Each picture fits, together they do not: refused at the fifth header.
        {"five pictures of 16 MiB", DeflatePieces(Pictures(head(5), 5)), 64 * MiB + 128 * 1024},
        {"a description beyond the package limit",
         DeflatePieces({{head(0) + "[VERSION]\r\n", kMaxSkinPackageBytes + MiB}}),
         kMaxSkinPackageBytes + 64 * 1024},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TInflateStats stats;
        EXPECT_THROW(InflateSkin(c.Compressed, &stats), ESkinTooLarge);
        EXPECT_LE(stats.Produced, c.MaxProduced);
        EXPECT_LE(stats.BufferBytes, kMaxSkinPackageBytes);
    }
    // Up to the budget a package inflates: four pictures of 16 MiB.
    TInflateStats stats;
    const std::string raw = InflateSkin(DeflatePieces(Pictures(head(4), 4)), &stats);
    EXPECT_EQ(raw.size(), 8 + 3 + 4 * (quarter.size() + 16 * MiB));
    EXPECT_EQ(ParseSkinPackage(raw).ActivePictures.size(), 4u);
    EXPECT_LE(stats.BufferBytes, kMaxSkinPackageBytes);
}

class SkinAuthoringTest : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = "/tmp/quillory_skinauthor_" + std::to_string(getpid());
        mkdir(FDir.c_str(), 0700);
    }
    void TearDown() override { std::system(("rm -rf '" + FDir + "'").c_str()); }
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(FDir + "/" + name, std::ios::binary) << bytes;
    }
    std::string FDir;
};

TEST_F(SkinAuthoringTest, BuildsAPackageFromADescription) {
    const std::string desc = Description({"button:button"}, "[button]\r\nskinrect=0,0,10,10\r\n");
    Write("skin.ini", desc);
    Write("main.bmp", SolidBitmap(20, 10, 1) + "junk after the pixels");
    Write("mask.bmp", SolidBitmap(20, 10, 2));
    Write("a.bmp", SolidBitmap(8, 8, 3));
    Write("b.bmp", SolidBitmap(9, 9, 4));
    const TSkinPackage p = ParseSkinPackage(BuildSkinPackageFromDescription(FDir + "/skin.ini"));
    EXPECT_EQ(p.Version, 3);
    ASSERT_TRUE(p.MainPicture);
    EXPECT_EQ(*p.MainPicture, SolidBitmap(20, 10, 1));
    EXPECT_FALSE(p.InactivePicture);
    ASSERT_EQ(p.ActivePictures.size(), 2u);
    EXPECT_EQ(BitmapInfoOf(p.ActivePictures[1]).Width, 9);
    EXPECT_EQ(p.Description, desc);
}

TEST_F(SkinAuthoringTest, NeedsEveryRequiredSection) {
    Write("skin.ini", "[VERSION]\r\n[PICTURES]\r\n[FORMINFO]\r\n[SKINOBJECTS]\r\n");
    EXPECT_EQ(BuildSkinPackageFromDescription(FDir + "/skin.ini"), "");
    Write("skin2.ini", Description({}, ""));
    EXPECT_THROW(BuildSkinPackageFromDescription(FDir + "/skin2.ini"), EFileOpenError);
    Write("main.bmp", "BM not really a bitmap, long enough to hold the headers");
    try {
        BuildSkinPackageFromDescription(FDir + "/skin2.ini");
        FAIL();
    } catch (const ESkinError& e) {
        EXPECT_EQ(std::string(e.what()), FDir + "/main.bmp: Bitmap image is not valid");
    }
}

TEST_F(SkinAuthoringTest, ToolWritesContainerAndDbskinFile) {
    const std::string tool = QUILLORY_SKINPACK;
    const std::string in = SkinSourceDescription();
    ASSERT_EQ(std::system((tool + " '" + in + "' '" + FDir + "/c.skn' >/dev/null").c_str()), 0);
    ASSERT_EQ(
        std::system((tool + " --file '" + in + "' '" + FDir + "/dbskin.dat' >/dev/null").c_str()),
        0);
    std::ifstream c(FDir + "/c.skn", std::ios::binary);
    const std::string container((std::istreambuf_iterator<char>(c)), {});
    const TSkinPackage p = ParseSkinPackage(InflateSkin(container));
    EXPECT_EQ(p.Version, 3);
    EXPECT_EQ(ReadCompressedSkinFile(FDir + "/dbskin.dat"), container);
    std::ifstream f(FDir + "/dbskin.dat", std::ios::binary);
    char head[4];
    f.read(head, 4);
    EXPECT_EQ(head[0], 3);
    // A description without its sections is refused with an error status.
    Write("bad.ini", "[VERSION]\r\n");
    EXPECT_NE(std::system((tool + " '" + FDir + "/bad.ini' '" + FDir + "/x' 2>/dev/null").c_str()),
              0);
}

TEST(IniDescriptionTest, FirstSectionAndKeyWinAndNamesIgnoreCase) {
    const TIniDescription ini(
        "[A]\r\nKey=1\r\nkey=2\r\n[b]\r\nx = \"quoted\" \r\n[a]\r\nkey=3\r\nnew=4\n"
        "; comment\r\n[c]\rv=lone cr\r");
    EXPECT_EQ(ini.Read("a", "KEY"), "1");
    EXPECT_EQ(ini.Read("a", "new"), "");
    EXPECT_EQ(ini.Read("B", "x"), "quoted");
    EXPECT_EQ(ini.Read("c", "v"), "lone cr");
    EXPECT_EQ(ini.ReadInt("a", "key", -1), 1);
    EXPECT_EQ(ini.ReadInt("b", "x", -1), -1);
    EXPECT_FALSE(ini.HasSection("d"));
}

} // namespace
