#include "SkinTestData.h"

#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace quillory::test {

std::string SolidBitmap(int width, int height, std::uint32_t rgb) {
    return WriteBitmap24(width, height,
                         std::vector<std::uint32_t>(static_cast<std::size_t>(width * height), rgb));
}

std::string Description(const std::vector<std::string>& controls, const std::string& sections) {
    std::string d =
        "[VERSION]\r\nskinname=Test Skin\r\nskinauthor=Tester\r\n"
        "authoremail=t@example.org\r\nauthorurl=http://example.org\r\n"
        "skincomments=for tests\r\n"
        "[PICTURES]\r\npicture=main.bmp\r\nmask=mask.bmp\r\nactivepicturescount=2\r\n"
        "0=a.bmp\r\n1=b.bmp\r\n"
        "[FORMINFO]\r\nclientcolor=#102030\r\n"
        "[SKINOBJECTS]\r\ncount=1\r\n0=title:caption\r\n[title]\r\nfontcolor=#FFFFFF\r\n"
        "[SKINCONTROLS]\r\ncount=" +
        std::to_string(controls.size()) + "\r\n";
    for (std::size_t i = 0; i < controls.size(); ++i)
        d += std::to_string(i) + "=" + controls[i] + "\r\n";
    return d + sections;
}

TSkinPackage SamplePackage(const std::string& description, int activeCount) {
    TSkinPackage p;
    p.Version = 3;
    p.MainPicture = SolidBitmap(100, 50, 0x336699);
    p.MaskPicture = WriteBitmap4(100, 50, std::vector<std::uint8_t>(5000, 15),
                                 std::vector<std::uint32_t>(16, 0xFFFFFF));
    for (int i = 0; i < activeCount; ++i)
        p.ActivePictures.push_back(SolidBitmap(64, 32, 0x101010u * static_cast<unsigned>(i + 1)));
    p.Description = description;
    return p;
}

std::string Compressed(const TSkinPackage& package) {
    return DeflateSkin(WriteSkinPackage(package));
}

TTempFile::TTempFile(const std::string& bytes, const std::string& suffix) {
    static int counter = 0;
    FPath = "/tmp/quillory_ui_test_" + std::to_string(getpid()) + "_" + std::to_string(++counter) +
            suffix;
    std::ofstream out(FPath, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TTempFile::~TTempFile() {
    std::remove(FPath.c_str());
}

TFormatSettings DateLocale(const std::string& shortDate, char separator) {
    TFormatSettings fs = TFormatSettings::EnglishUS();
    fs.ShortDateFormat = shortDate;
    fs.DateSeparator = separator;
    return fs;
}

std::string SkinSourceDescription() {
    return QUILLORY_SKIN_SOURCE_DIR "/quillory.ini";
}

} // namespace quillory::test
