// Feeds outside bytes to every reader of a skin package. The first byte picks
// the entry point: a dbskin.dat file, an uncompressed package, or a bitmap.
#include "ui/SkinDescription.h"
#include "ui/SkinPackage.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace quillory;

namespace {

void ReadPackage(const std::string& raw) {
    const TSkinPackage p = ParseSkinPackage(raw);
    for (const std::string& b : p.ActivePictures)
        BitmapInfoOf(b);
    const TIniDescription ini(p.Description);
    const int count = ini.ReadInt("SKINCONTROLS", "count", 0);
    for (int i = 0; i < count && i < 1000; ++i)
        ini.Section(ini.Read("SKINCONTROLS", std::to_string(i)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        switch (data[0] % 3) {
        case 0: {
            const std::string z = ParseCompressedSkinFile(bytes, "fuzz");
            if (!z.empty())
                ReadPackage(InflateSkin(z));
            break;
        }
        case 1:
            ReadPackage(bytes);
            break;
        default: {
            std::size_t pos = 0;
            const std::string b = ReadBitmapFile(bytes, pos);
            if (pos > bytes.size() || BitmapFileLength(b, 0) != b.size())
                __builtin_trap();
            break;
        }
        }
    } catch (const ESkinError&) {
    }
    return 0;
}
