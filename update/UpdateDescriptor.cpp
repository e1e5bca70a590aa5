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

std::string DescriptorDownloadURL(const std::string& descriptor) {
    std::string url = ReadProfileStringFromText(descriptor, "APPLICATION", "DownloadURL");
    while (!url.empty() && (url.back() == ' ' || url.back() == '\t' || url.back() == '\r'))
        url.pop_back();
    std::size_t start = 0;
    while (start < url.size() && (url[start] == ' ' || url[start] == '\t'))
        ++start;
    url.erase(0, start);
    static const std::string scheme = "https://";
    if (url.size() <= scheme.size())
        return {};
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        char c = url[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != scheme[i])
            return {};
    }
    // A host must follow: not a path, a query or a user part alone.
    const char first = url[scheme.size()];
    if (first == '/' || first == '?' || first == '#' || first == '@' || first == ':')
        return {};
    for (const char c : url) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7f || c == '\\')
            return {};
    }
    return url;
}

TUpdateRoute ChooseUpdateRoute(bool updaterPresent, const std::string& downloadURL) {
    if (updaterPresent)
        return TUpdateRoute::Updater;
    if (!downloadURL.empty())
        return TUpdateRoute::DownloadPage;
    return TUpdateRoute::UpdaterMissing;
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
