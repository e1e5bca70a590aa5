#include "UpdateDescriptor.h"

#include "platform/ProfileFile.h"

#include <charconv>
#include <cstdio>
#include <limits>

namespace quillory {

bool TextToFloat(const std::string& text, char decimalSeparator, double& value) {
    std::size_t i = 0, n = text.size();
    auto blank = [&](std::size_t k) { return k < n && (text[k] == ' ' || text[k] == '\t'); };
    auto digit = [&](std::size_t k) { return k < n && text[k] >= '0' && text[k] <= '9'; };
    while (blank(i))
        ++i;
    std::string plain; // the number with '.' as separator, for from_chars
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            plain += '-';
        ++i;
    }
    bool digits = false;
    while (digit(i)) {
        plain += text[i++];
        digits = true;
    }
    if (i < n && text[i] == decimalSeparator) {
        plain += '.';
        ++i;
        while (digit(i)) {
            plain += text[i++];
            digits = true;
        }
    }
    if (!digits)
        return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        std::string exp = "e";
        std::size_t k = i + 1;
        if (k < n && (text[k] == '+' || text[k] == '-'))
            exp += text[k++];
        if (!digit(k))
            return false;
        while (digit(k))
            exp += text[k++];
        plain += exp;
        i = k;
    }
    while (blank(i))
        ++i;
    if (i != n)
        return false;
    const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    return ec == std::errc() && end == plain.data() + plain.size();
}

std::string FormatVersionNumber(float value, char decimalSeparator) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", static_cast<double>(value));
    std::string s = buf;
    for (char& c : s)
        if (c == '.')
            c = decimalSeparator;
    return s;
}

std::string DescriptorVersionText(const std::string& descriptor) {
    return ReadProfileStringFromText(descriptor, "APPLICATION", "Version");
}

float DescriptorVersion(const std::string& versionText, char decimalSeparator) {
    double parsed = 0;
    if (!TextToFloat(versionText, decimalSeparator, parsed))
        return 0;
    // Converting a double beyond the float range is undefined; such a
    // version is simply very large (or very small).
    if (parsed > std::numeric_limits<float>::max())
        return std::numeric_limits<float>::infinity();
    if (parsed < -std::numeric_limits<float>::max())
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(parsed);
}

} // namespace quillory
