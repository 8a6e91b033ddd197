// Candidate search on the string's first and last bytes, then a full compare.
#include "inspect/BytePattern.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define PURGELIB_HAVE_SSE2 1
#include <emmintrin.h>
#endif

namespace inspect {
namespace {

inline unsigned LowestBit(uint64_t mask) {
#if defined(__GNUC__)
    return static_cast<unsigned>(__builtin_ctzll(mask));
#else
    unsigned n = 0;
    while (!(mask & 1)) {
        mask >>= 1;
        ++n;
    }
    return n;
#endif
}

// True when the middle of the string (all but its first and last byte) is at p.
inline bool MiddleMatches(const unsigned char* p, const unsigned char* bytes, size_t length) {
    return length <= 2 || std::memcmp(p + 1, bytes + 1, length - 2) == 0;
}

inline uint64_t Load64(const unsigned char* p) {
    uint64_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// 0x80 in every byte of x that is zero, nothing elsewhere (exact, no carries).
inline uint64_t ZeroBytes(uint64_t x) {
    const uint64_t low7 = 0x7F7F7F7F7F7F7F7Full;
    return ~(((x & low7) + low7) | x | low7);
}

bool IsLittleEndian() {
    const uint16_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

// Positions [p, last] one at a time.
const char* FindScalar(const unsigned char* p, const unsigned char* last,
                       const unsigned char* bytes, size_t length) {
    const unsigned char first = bytes[0], final = bytes[length - 1];
    for (; p <= last; ++p)
        if (p[0] == first && p[length - 1] == final && MiddleMatches(p, bytes, length))
            return reinterpret_cast<const char*>(p);
    return nullptr;
}

}  // namespace

BytePattern::BytePattern(const char* text, size_t n)
    : bytes(reinterpret_cast<const unsigned char*>(text)), length(n) {}

const char* BytePattern::FindPortable(const char* from, const char* end) const {
    if (length == 0 || !from || end < from || static_cast<size_t>(end - from) < length)
        return nullptr;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(from);
    const unsigned char* last = reinterpret_cast<const unsigned char*>(end) - length;
    if (length == 1)
        return static_cast<const char*>(
            std::memchr(p, bytes[0], static_cast<size_t>(last - p) + 1));

    if (IsLittleEndian()) {
        const uint64_t first = 0x0101010101010101ull * bytes[0];
        const uint64_t final = 0x0101010101010101ull * bytes[length - 1];
        // Eight start positions per step while both words lie inside the block.
        for (; last - p >= 7; p += 8) {
            uint64_t mask =
                ZeroBytes(Load64(p) ^ first) & ZeroBytes(Load64(p + length - 1) ^ final);
            while (mask) {
                unsigned at = LowestBit(mask) / 8;
                if (MiddleMatches(p + at, bytes, length))
                    return reinterpret_cast<const char*>(p + at);
                mask &= mask - 1;
            }
        }
    }
    return FindScalar(p, last, bytes, length);
}

const char* BytePattern::Find(const char* from, const char* end) const {
#ifdef PURGELIB_HAVE_SSE2
    if (length < 2 || !from || end < from || static_cast<size_t>(end - from) < length)
        return FindPortable(from, end);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(from);
    const unsigned char* last = reinterpret_cast<const unsigned char*>(end) - length;
    const __m128i first = _mm_set1_epi8(static_cast<char>(bytes[0]));
    const __m128i final = _mm_set1_epi8(static_cast<char>(bytes[length - 1]));
    // 32 start positions per step while all four loads lie inside the block:
    // the loads at p + length - 1 end at last + 32 <= end when p + 31 <= last.
    for (; last - p >= 31; p += 32) {
        const __m128i* a = reinterpret_cast<const __m128i*>(p);
        const __m128i* b = reinterpret_cast<const __m128i*>(p + length - 1);
        __m128i lo = _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(a), first),
                                   _mm_cmpeq_epi8(_mm_loadu_si128(b), final));
        __m128i hi = _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(a + 1), first),
                                   _mm_cmpeq_epi8(_mm_loadu_si128(b + 1), final));
        uint64_t mask = static_cast<uint32_t>(_mm_movemask_epi8(lo)) |
                        (static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(hi))) << 16);
        while (mask) {
            unsigned at = LowestBit(mask);
            if (MiddleMatches(p + at, bytes, length)) return reinterpret_cast<const char*>(p + at);
            mask &= mask - 1;
        }
    }
    return FindScalar(p, last, bytes, length);
#else
    return FindPortable(from, end);
#endif
}

}  // namespace inspect
