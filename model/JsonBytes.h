// The scans of the bytes of JSON strings: where the next byte lies that a writer must
// escape or look at, and where the next lies that ends a reader's run of plain text.
// Sixteen bytes are looked at in one step where the processor allows.
#pragma once

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The index of the first byte of p[i..n) that is a control character (below 0x20), a
// quote or a backslash; with bWriting also DEL (0x7F) and every byte from 0x80 up (the
// writer checks those for UTF-8). n when there is none.
template <bool bWriting>
size_t FindJsonSpecial(const char* p, size_t i, size_t n) {
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\');
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i special = _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash));
    if constexpr (bWriting) {
      // Compared as signed bytes, 0x80 and up are below the blank too.
      special = _mm_or_si128(special, _mm_cmplt_epi8(v, _mm_set1_epi8(0x20)));
      special = _mm_or_si128(special, _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)));
    } else {
      special = _mm_or_si128(special, _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x1F)), v));
    }
    if (const int nMask = _mm_movemask_epi8(special); nMask != 0)
      return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned int>(nMask)));
  }
#endif
  for (; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(p[i]);
    if (c < 0x20 || c == '"' || c == '\\' || (bWriting && c >= 0x7F))
      return i;
  }
  return n;
}
