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
#if defined(__SSE2__)
// One bit for each of the sixteen bytes of v that FindJsonSpecial looks for.
template <bool bWriting>
unsigned int JsonSpecialMask(__m128i v) {
  __m128i special =
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\\')));
  if constexpr (bWriting) {
    // Compared as signed bytes, 0x80 and up are below the blank too.
    special = _mm_or_si128(special, _mm_cmplt_epi8(v, _mm_set1_epi8(0x20)));
    special = _mm_or_si128(special, _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)));
  } else {
    special = _mm_or_si128(special, _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x1F)), v));
  }
  return static_cast<unsigned int>(_mm_movemask_epi8(special));
}
#endif

// The index of the first byte of p[i..n) that is a control character (below 0x20), a
// quote or a backslash; with bWriting also DEL (0x7F) and every byte from 0x80 up (the
// writer checks those for UTF-8). n when there is none.
template <bool bWriting>
size_t FindJsonSpecial(const char* p, size_t i, size_t n) {
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    const unsigned int nMask =
        JsonSpecialMask<bWriting>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
    if (nMask != 0)
      return i + static_cast<size_t>(__builtin_ctz(nMask));
  }
  if (i == n)
    return n;
  // Fewer than sixteen bytes are left: the last sixteen of the text when it has as
  // many (the bits of bytes before i dropped), else a copy padded with plain bytes.
  const size_t nLeft = n - i;
  unsigned int nMask;
  if (n >= 16) {
    nMask = JsonSpecialMask<bWriting>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16))) >>
            (16 - nLeft);
  } else {
    char tail[16];
    __builtin_memset(tail, 'a', sizeof tail);
    __builtin_memcpy(tail, p + i, nLeft);
    nMask = JsonSpecialMask<bWriting>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(tail))) &
            ((1u << nLeft) - 1);
  }
  return nMask != 0 ? i + static_cast<size_t>(__builtin_ctz(nMask)) : n;
#else
  for (; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(p[i]);
    if (c < 0x20 || c == '"' || c == '\\' || (bWriting && c >= 0x7F))
      return i;
  }
  return n;
#endif
}
