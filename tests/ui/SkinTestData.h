#pragma once
// Small skin packages built in memory for the tests.
#include "platform/FormatSettings.h"
#include "ui/SkinPackage.h"

#include <string>

namespace quillory::test {

// A solid 24-bit bitmap.
std::string SolidBitmap(int width, int height, std::uint32_t rgb);

// A description with the required sections, the given extra control lines
// ("name:kind", in order) and their sections appended verbatim.
std::string Description(const std::vector<std::string>& controls, const std::string& sections);

// A package: a 100 x 50 main picture, no inactive picture, a 100 x 50 mask,
// `activeCount` active pictures of 64 x 32, and `description`.
TSkinPackage SamplePackage(const std::string& description, int activeCount = 2);

// The package compressed, as a container holds it.
std::string Compressed(const TSkinPackage& package);

// A temporary file that is removed again.
class TTempFile {
public:
    explicit TTempFile(const std::string& bytes, const std::string& suffix = ".dat");
    ~TTempFile();
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

// English (US) names with another short date format and date separator.
TFormatSettings DateLocale(const std::string& shortDate, char separator);

// The path of the built-in skin's description in the source tree.
std::string SkinSourceDescription();

} // namespace quillory::test
