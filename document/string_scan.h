#pragma once
// The reader's scan through a string body, sixteen bytes at a time: a mask with bit i set
// where byte i ends the plain run (the quote that opened the string, a backslash, or a byte
// of 0x80 and up, which leads a two-byte character). SSE2 where the target has it; plain
// C++ elsewhere, which gives the same masks. Defining ROMHAUL_PLAIN_SCAN takes the plain
// path on x86-64 too, to measure it.
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace document_scan {

inline unsigned specialMaskPlain(const unsigned char* s, unsigned char quote) {
    unsigned mask = 0;
    for (unsigned i = 0; i < 16; ++i) {
        const unsigned char c = s[i];
        if (c == quote || c == '\\' || c >= 0x80) mask |= 1u << i;
    }
    return mask;
}

#if defined(__SSE2__)
inline unsigned specialMaskSse2(const unsigned char* s, unsigned char quote) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i quotes = _mm_set1_epi8(static_cast<char>(quote));
    const __m128i backslashes = _mm_set1_epi8('\\');
    return unsigned(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, quotes), _mm_cmpeq_epi8(v, backslashes))) |
        _mm_movemask_epi8(v));
}
#endif

inline unsigned specialMask(const unsigned char* s, unsigned char quote) {
#if defined(__SSE2__) && !defined(ROMHAUL_PLAIN_SCAN)
    return specialMaskSse2(s, quote);
#else
    return specialMaskPlain(s, quote);
#endif
}

}  // namespace document_scan
