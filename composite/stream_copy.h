// Copies of rows into a frame too large for the caches. A plain store to a line that is not in
// the cache first reads the line from memory; when the whole line is then overwritten, that read
// is a third of the copy's memory traffic. Streaming (non-temporal) stores write whole lines
// straight to memory without reading them. They pay only where the output is written and not
// read again soon: a frame larger than the caches, rows long enough to hold whole lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#endif

namespace stream_copy {

// Rows shorter than six lines are copied through the cache: their partial first and last lines,
// which the pieces beside them write too, are then a large part of the row. Measured on
// 3840x2160 strips: 200-byte rows lose 5-10 % when streamed, 400-byte rows gain 10 %.
constexpr std::size_t kMinRowBytes = 384;

// Frames from this size on do not stay in the caches between the host's fill and the drawing
// (measured: 1920x1080 in 16-bit, 16 MB, gains 15 %; in 8-bit, 8 MB, loses 15 %).
constexpr std::size_t kMinFrameBytes = 12u << 20;

#if defined(__x86_64__) || defined(__i386__)

#if defined(__SSE2__)
constexpr bool kBaselineHasSse2 = true;
#else
constexpr bool kBaselineHasSse2 = false;
#endif

// Whether code built for vectors of VB bytes may stream: the wide build runs only where the
// processor has AVX2, and so SSE2; the plain one where SSE2 is the target's baseline.
template <std::size_t VB>
constexpr bool kAvailable = VB >= 32 || kBaselineHasSse2;

// Writes bytes at dst from src, or zeros (kZeros): whole 64-byte lines of dst with
// streaming stores, its partial first and last lines with plain ones; asks for the source line
// src_ahead bytes on (0: none).
template <bool kZeros>
[[gnu::target("sse2")]] inline void put(std::uint8_t* dst, const std::uint8_t* src,
                                        std::size_t bytes, std::ptrdiff_t src_ahead) {
    constexpr std::size_t kLine = 64;
    const auto plain = [&](std::size_t at, std::size_t n) {
        if constexpr (kZeros) {
            std::memset(dst + at, 0, n);
        } else {
            std::memmove(dst + at, src + at, n);
        }
    };
    const std::size_t head = (kLine - reinterpret_cast<std::uintptr_t>(dst) % kLine) % kLine;
    if (bytes < head + kLine) {
        plain(0, bytes);
        return;
    }
    plain(0, head);
    std::size_t at = head;
    for (; at + kLine <= bytes; at += kLine) {
        if (src_ahead != 0) __builtin_prefetch(src + at + src_ahead);
        for (std::size_t part = 0; part < kLine; part += 16) {
            __m128i v = _mm_setzero_si128();
            if constexpr (!kZeros) std::memcpy(&v, src + at + part, sizeof v);
            _mm_stream_si128(reinterpret_cast<__m128i*>(dst + at + part), v);
        }
    }
    plain(at, bytes - at);
}

[[gnu::target("sse2")]] inline void copy(std::uint8_t* dst, const std::uint8_t* src,
                                         std::size_t bytes, std::ptrdiff_t src_ahead) {
    put<false>(dst, src, bytes, src_ahead);
}

[[gnu::target("sse2")]] inline void clear(std::uint8_t* dst, std::size_t bytes) {
    put<true>(dst, nullptr, bytes, 0);
}

// Orders the streamed stores before every later store, so that whoever is told the frame is
// done sees them: streaming stores are not ordered with plain ones.
[[gnu::target("sse2")]] inline void settle() {
    _mm_sfence();
}

#else

template <std::size_t VB>
constexpr bool kAvailable = false;

inline void copy(std::uint8_t* dst, const std::uint8_t* src, std::size_t bytes, std::ptrdiff_t) {
    std::memmove(dst, src, bytes);
}

inline void clear(std::uint8_t* dst, std::size_t bytes) {
    std::memset(dst, 0, bytes);
}

inline void settle() {}

#endif

}  // namespace stream_copy
