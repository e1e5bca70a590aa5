// Profile files: any bytes must parse, and a key written into any file must
// read back as written while every other section stays readable as before.
#include "platform/ProfileFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace quillory;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)ReadProfileStringFromText(text, "Settings", "webserver");

    // A plain value (no blanks at the ends, no quotes, no line breaks).
    const std::string value = "http://shop.example/x" + std::to_string(size);
    const std::string written = WriteProfileStringToText(text, "Settings", "webserver", value);
    if (ReadProfileStringFromText(written, "settings", "WEBSERVER") != value)
        std::abort();
    // Another section's key is untouched by the write.
    if (ReadProfileStringFromText(written, "Other", "k") !=
        ReadProfileStringFromText(text, "Other", "k"))
        std::abort();
    return 0;
}
