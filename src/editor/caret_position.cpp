#include "editor/caret_position.h"

#include <bit>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// This runs on every key release over the whole text before the caret, so it
// works many bytes at a time: count the LFs, find the last one, and count
// characters on the caret's line only.
namespace kavrel::editor {

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
constexpr std::uint64_t kLowSeven = 0x7F7F7F7F7F7F7F7FULL;

std::uint64_t load64(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// High bit set in each byte of `word` that is zero, and only there (exact,
// no carries between bytes).
std::uint64_t zeroBytes(std::uint64_t word) {
    return ~(((word & kLowSeven) + kLowSeven) | word | kLowSeven);
}

#ifdef __SSE2__
// Counts, over the whole 16-byte blocks from `i` on, the bytes for which
// `match` sets its lane to all ones, and moves `i` past those blocks.
// Per-byte counters (each match adds 0 or -1) serve at most 255 blocks, then
// are summed with one psadbw.
template <class Match>
std::size_t countInBlocks(const char* p, std::size_t n, std::size_t& i, Match match) {
    std::size_t count = 0;
    const __m128i zero = _mm_setzero_si128();
    while (n - i >= 16) {
        std::size_t blocks = (n - i) / 16;
        if (blocks > 255)
            blocks = 255;
        __m128i acc = _mm_setzero_si128();
        for (std::size_t b = 0; b < blocks; ++b, i += 16)
            acc =
                _mm_sub_epi8(acc, match(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))));
        const __m128i sums = _mm_sad_epu8(acc, zero);
        count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
    return count;
}
#endif

std::size_t countLineFeeds(const char* p, std::size_t n) {
    std::size_t count = 0;
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi8('\n');
    count += countInBlocks(p, n, i, [lf](__m128i v) { return _mm_cmpeq_epi8(v, lf); });
#endif
    for (; i + 8 <= n; i += 8)
        count += static_cast<std::size_t>(std::popcount(zeroBytes(load64(p + i) ^ (kOnes * '\n'))));
    for (; i < n; ++i)
        count += p[i] == '\n';
    return count;
}

// Index of the last LF in [p, p + n), or n when there is none.
std::size_t lastLineFeed(const char* p, std::size_t n) {
    std::size_t end = n;
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi8('\n');
    while (end >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + end - 16));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
        if (mask)
            return end - 16 + static_cast<std::size_t>(31 - std::countl_zero(mask));
        end -= 16;
    }
#endif
    while (end >= 8) {
        const std::uint64_t hits = zeroBytes(load64(p + end - 8) ^ (kOnes * '\n'));
        if (hits) {
            // Bytes are numbered in memory order, so the highest address is the
            // most significant byte on little-endian machines.
            if constexpr (std::endian::native == std::endian::little)
                return end - 8 + static_cast<std::size_t>((63 - std::countl_zero(hits)) / 8);
            else
                return end - 8 + static_cast<std::size_t>(7 - std::countr_zero(hits) / 8);
        }
        end -= 8;
    }
    while (end > 0) {
        --end;
        if (p[end] == '\n')
            return end;
    }
    return n;
}

// Characters in a UTF-8 run: every byte that is not a continuation byte.
std::size_t countCharacters(const char* p, std::size_t n) {
    std::size_t continuation = 0;
    std::size_t i = 0;
#ifdef __SSE2__
    // Continuation bytes 0x80..0xBF are exactly the signed bytes below -64.
    const __m128i limit = _mm_set1_epi8(-64);
    continuation += countInBlocks(p, n, i, [limit](__m128i v) { return _mm_cmplt_epi8(v, limit); });
#endif
    for (; i + 8 <= n; i += 8) {
        const std::uint64_t w = load64(p + i);
        // Bit 7 set and bit 6 clear: 10xxxxxx.
        continuation += static_cast<std::size_t>(std::popcount(w & ~(w << 1) & kHighBits));
    }
    for (; i < n; ++i)
        continuation += (static_cast<unsigned char>(p[i]) & 0xC0) == 0x80;
    return n - continuation;
}

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

CaretPosition caretPosition(std::string_view text, std::size_t offset) {
    if (offset > text.size())
        offset = text.size();
    // An offset inside a multi-byte character stands at that character's start.
    for (int back = 0;
         back < 3 && offset > 0 && offset < text.size() && isContinuation(text[offset]); ++back)
        --offset;

    const char* p = text.data();
    const std::size_t last = lastLineFeed(p, offset);
    if (last == offset)
        return {1, countCharacters(p, offset)};
    return {1 + countLineFeeds(p, last) + 1, countCharacters(p + last + 1, offset - last - 1)};
}

std::string caretPanelText(CaretPosition position) {
    return kLineLabel + std::to_string(position.line) + kColumnLabel +
           std::to_string(position.column);
}

} // namespace kavrel::editor
