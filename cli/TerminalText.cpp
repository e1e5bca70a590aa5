#include "cli/TerminalText.h"

#include "http/URI.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillory {

namespace {
void AppendHex(std::string& out, unsigned char byte) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
}

// Whether any of the eight bytes of `v` may need escaping: below 0x20, DEL,
// the backslash, or 0xc2 (the first byte of a UTF-8 C1 control). Plain text
// is thus skipped eight bytes at a time.
bool MayNeedEscape(std::uint64_t v) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    auto hasZero = [](std::uint64_t x) { return (x - kOnes) & ~x & kHighs; };
    const std::uint64_t below20 = (v - kOnes * 0x20) & ~v & kHighs;
    return (below20 | hasZero(v ^ (kOnes * 0x7f)) | hasZero(v ^ (kOnes * '\\')) |
            hasZero(v ^ (kOnes * 0xc2))) != 0;
}

bool MayNeedEscape(unsigned char byte) {
    return byte < 0x20 || byte == 0x7f || byte == '\\' || byte == 0xc2;
}

// The index of the first byte at or after `i` that may need escaping, or
// `n`. Plain text is skipped sixteen (or eight) bytes at a time.
std::size_t NextCandidate(const char* p, std::size_t i, std::size_t n) {
#if defined(__SSE2__)
    const __m128i k1f = _mm_set1_epi8(0x1f), k7f = _mm_set1_epi8(0x7f),
                  kBackslash = _mm_set1_epi8('\\'), kC2 = _mm_set1_epi8(static_cast<char>(0xc2));
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i below20 = _mm_cmpeq_epi8(_mm_min_epu8(v, k1f), v);
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(below20, _mm_cmpeq_epi8(v, k7f)),
                         _mm_or_si128(_mm_cmpeq_epi8(v, kBackslash), _mm_cmpeq_epi8(v, kC2)));
        if (const int bits = _mm_movemask_epi8(hit))
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(bits)));
    }
#endif
    for (; i + 8 <= n; i += 8) {
        std::uint64_t v;
        std::memcpy(&v, p + i, 8);
        if (MayNeedEscape(v))
            break;
    }
    for (; i < n; ++i)
        if (MayNeedEscape(static_cast<unsigned char>(p[i])))
            return i;
    return n;
}
} // namespace

void AppendEscaped(std::string& out, std::string_view text) {
    std::size_t clean = 0; // start of the run not yet copied
    for (std::size_t i = 0; i < text.size(); ++i) {
        i = NextCandidate(text.data(), i, text.size());
        if (i >= text.size())
            break;
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c1 = byte == 0xc2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9f;
        if (byte >= 0x20 && byte != 0x7f && byte != '\\' && !c1)
            continue;
        out.append(text.data() + clean, i - clean);
        switch (byte) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            AppendHex(out, byte);
            if (c1)
                AppendHex(out, static_cast<unsigned char>(text[++i]));
        }
        clean = i + 1;
    }
    out.append(text.data() + clean, text.size() - clean);
}

std::string EscapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendEscaped(out, text);
    return out;
}

std::string DisplaySite(const std::string& site) {
    std::string shown = RedactURLPassword(site);
    while (shown.size() > 1 && shown.back() == '/')
        shown.pop_back();
    return shown;
}

} // namespace quillory
