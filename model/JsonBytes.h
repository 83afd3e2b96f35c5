// The scans of the bytes of JSON strings: where the next byte lies that a writer must
// escape or look at, and where the next lies that ends a reader's run of plain text.
// Sixteen bytes are looked at in one step where the processor allows, thirty-two where
// it has AVX2 (chosen as it runs).
#pragma once

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

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

// FindJsonSpecial sixteen bytes a step (a byte at a time without SSE2).
template <bool bWriting>
size_t FindJsonSpecialSse2(const char* p, size_t i, size_t n) {
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

#if defined(__x86_64__) && defined(__GNUC__)
// The same thirty-two bytes a step, on a processor with AVX2 (most since 2013); the
// last fewer than thirty-two bytes sixteen at a time.
template <bool bWriting>
__attribute__((target("avx2"))) size_t FindJsonSpecialAvx2(const char* p, size_t i, size_t n) {
  for (; i + 32 <= n; i += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    __m256i special = _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('"')),
                                      _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\\')));
    if constexpr (bWriting) {
      // Compared as signed bytes, 0x80 and up are below the blank too.
      special = _mm256_or_si256(special, _mm256_cmpgt_epi8(_mm256_set1_epi8(0x20), v));
      special = _mm256_or_si256(special, _mm256_cmpeq_epi8(v, _mm256_set1_epi8(0x7F)));
    } else {
      special = _mm256_or_si256(special, _mm256_cmpeq_epi8(_mm256_min_epu8(v, _mm256_set1_epi8(0x1F)), v));
    }
    const unsigned int nMask = static_cast<unsigned int>(_mm256_movemask_epi8(special));
    if (nMask != 0)
      return i + static_cast<size_t>(__builtin_ctz(nMask));
  }
  return FindJsonSpecialSse2<bWriting>(p, i, n);
}

inline bool HasAvx2() {
  static const bool s_bAvx2 = __builtin_cpu_supports("avx2");
  return s_bAvx2;
}
#endif

// The index of the first byte of p[i..n) that is a control character (below 0x20), a
// quote or a backslash; with bWriting also DEL (0x7F) and every byte from 0x80 up (the
// writer checks those for UTF-8). n when there is none.
template <bool bWriting>
size_t FindJsonSpecial(const char* p, size_t i, size_t n) {
#if defined(__x86_64__) && defined(__GNUC__)
  if (n - i >= 64 && HasAvx2())
    return FindJsonSpecialAvx2<bWriting>(p, i, n);
#endif
  return FindJsonSpecialSse2<bWriting>(p, i, n);
}
