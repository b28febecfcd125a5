// Finding every occurrence of one of two byte values in a block, many bytes
// at a time: SSE2 where the compiler offers it, byte by byte elsewhere. The
// text loader finds its marker lines by their line feeds this way, and the
// script scanner its opening delimiters.
#pragma once

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace bytescan {

// Calls `visit(p)` for each byte p in [from, end), in order, that equals `a`
// or `b`, until `visit` returns false; returns that p, or `end` when every
// call returned true. Reads no byte outside [from, end).
template <class Visit>
const char* ForEach(const char* from, const char* end, char a, char b, Visit visit) {
#if defined(__SSE2__)
    const __m128i wantA = _mm_set1_epi8(a);
    const __m128i wantB = _mm_set1_epi8(b);
    while (end - from >= 32) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16));
        const unsigned lowHits = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(low, wantA), _mm_cmpeq_epi8(low, wantB))));
        const unsigned highHits = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(high, wantA), _mm_cmpeq_epi8(high, wantB))));
        for (unsigned hits = lowHits | (highHits << 16); hits != 0; hits &= hits - 1) {
            const char* at = from + __builtin_ctz(hits);
            if (!visit(at)) return at;
        }
        from += 32;
    }
#endif
    for (; from < end; ++from) {
        if ((*from == a || *from == b) && !visit(from)) return from;
    }
    return end;
}

// Calls `visit(p)` for each byte p in [from, end), in order, that equals `b`,
// or that equals `a` while the byte `offset` places after it lies before
// `end` and equals `c`, until `visit` returns false; returns that p, or `end`
// when every call returned true. Reads no byte outside [from, end). A
// rare pair filters far more than `a` alone: the loader counts its record
// markers by the line feed and the byte eleven places on.
template <class Visit>
const char* ForEachPair(const char* from, const char* end, char a, size_t offset, char c, char b,
                        Visit visit) {
#if defined(__SSE2__)
    const __m128i wantA = _mm_set1_epi8(a);
    const __m128i wantB = _mm_set1_epi8(b);
    const __m128i wantC = _mm_set1_epi8(c);
    auto hits = [&](const char* at) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i there = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + offset));
        const __m128i pair =
            _mm_and_si128(_mm_cmpeq_epi8(here, wantA), _mm_cmpeq_epi8(there, wantC));
        return static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(pair, _mm_cmpeq_epi8(here, wantB))));
    };
    while (static_cast<size_t>(end - from) >= 32 + offset) {
        for (unsigned found = hits(from) | (hits(from + 16) << 16); found != 0;
             found &= found - 1) {
            const char* at = from + __builtin_ctz(found);
            if (!visit(at)) return at;
        }
        from += 32;
    }
#endif
    for (; from < end; ++from) {
        const bool pair =
            *from == a && static_cast<size_t>(end - from) > offset && from[offset] == c;
        if ((pair || *from == b) && !visit(from)) return from;
    }
    return end;
}

}  // namespace bytescan
