#pragma once
// Finding the next byte of a small set in a run of text, sixteen bytes at a
// time where the processor allows; the parser's scans of text and tags, and
// the save's check of names.
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xml::detail {

// Index of the first byte at or after i (before n) that equals one of the
// bytes in set (up to four, unused places repeating a used one); n when none.
inline size_t findAnyOf(const char* p, size_t i, size_t n, char a, char b, char c, char d) {
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b), vc = _mm_set1_epi8(c), vd = _mm_set1_epi8(d);
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)),
                                     _mm_or_si128(_mm_cmpeq_epi8(v, vc), _mm_cmpeq_epi8(v, vd)));
    const auto mask = static_cast<uint32_t>(_mm_movemask_epi8(hit));
    if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(mask));
  }
#endif
  for (; i < n; ++i) {
    const char x = p[i];
    if (x == a || x == b || x == c || x == d) return i;
  }
  return n;
}

// Index of the first byte at or after i (before n) that is a quote, has a
// code from 0 to 32 (blanks and the other control bytes) or equals also; n
// when none.
inline size_t findQuoteOrControl(const char* p, size_t i, size_t n, char also = '"') {
#if defined(__SSE2__)
  const __m128i space = _mm_set1_epi8(32), dq = _mm_set1_epi8('"'), sq = _mm_set1_epi8('\''),
                extra = _mm_set1_epi8(also);
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i low = _mm_cmpeq_epi8(_mm_max_epu8(v, space), space);  // v <= 32, unsigned
    const __m128i quotes = _mm_or_si128(_mm_cmpeq_epi8(v, dq), _mm_cmpeq_epi8(v, sq));
    const __m128i hit = _mm_or_si128(_mm_or_si128(low, quotes), _mm_cmpeq_epi8(v, extra));
    const auto mask = static_cast<uint32_t>(_mm_movemask_epi8(hit));
    if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(mask));
  }
#endif
  for (; i < n; ++i) {
    const auto x = static_cast<unsigned char>(p[i]);
    if (x <= 32 || x == '"' || x == '\'' || p[i] == also) return i;
  }
  return n;
}

// Index of the first byte at or after i (before n) that ends a name in a
// tag or may not stand in one: "=", a code from 0 to 32, a quote, "<" or ">";
// n when none.
inline size_t findNameStop(const char* p, size_t i, size_t n) {
#if defined(__SSE2__)
  const __m128i space = _mm_set1_epi8(32), dq = _mm_set1_epi8('"'), sq = _mm_set1_epi8('\''),
                lt = _mm_set1_epi8('<'), gt = _mm_set1_epi8('>'), eq = _mm_set1_epi8('=');
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i low = _mm_cmpeq_epi8(_mm_max_epu8(v, space), space);  // v <= 32, unsigned
    const __m128i quotes = _mm_or_si128(_mm_cmpeq_epi8(v, dq), _mm_cmpeq_epi8(v, sq));
    const __m128i marks = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, gt)), _mm_cmpeq_epi8(v, eq));
    const auto mask = static_cast<uint32_t>(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(low, quotes), marks)));
    if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(mask));
  }
#endif
  for (; i < n; ++i) {
    const auto x = static_cast<unsigned char>(p[i]);
    if (x <= 32 || x == '"' || x == '\'' || x == '<' || x == '>' || x == '=') return i;
  }
  return n;
}

}  // namespace xml::detail
