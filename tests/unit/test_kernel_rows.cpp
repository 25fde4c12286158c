// The vector kernels over opaque output against the reference operator for every row length,
// in both vector widths and both depths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "composite/onto_opaque.h"
#include "unit/stage_checks.h"

namespace {

// Every row length from 1 to three chunks, in both vector widths and both depths: output free,
// opaque or (rarely) anything, footage of any alpha; the kernel with the footage's own alphas
// against the operator pixel by pixel (free output takes the footage pixel).
template <class P, std::size_t VB>
void CheckKernelRowLengths() {
    using T = PixelTraits<P>;
    using W = onto_opaque::Words<P, VB>;
    std::mt19937 rng(23);
    std::uniform_int_distribution<int> pick(0, 31);
    ForEachOperator([&](auto op) {
        constexpr BlendKind kKind = decltype(op)::kind;
        const int index = static_cast<int>(kKind);
        {
            for (std::size_t n = 1; n <= 3 * T::kChunkPixels; ++n) {
                std::vector<P> lower(n), source(n);
                for (std::size_t i = 0; i < n; ++i) {
                    lower[i] = RandomPixel<P>(rng);
                    source[i] = RandomPixel<P>(rng);
                    const int k = pick(rng);
                    if (k != 0) {
                        lower[i].alpha = static_cast<typename T::Channel>(k < 12 ? 0 : T::kFull);
                        lower[i].red =
                            std::min(lower[i].red, static_cast<decltype(lower[i].red)>(T::kFull));
                    }
                }
                std::vector<P> got = lower;
                onto_opaque::blend_row<kKind, VB>(
                    got.data(), source.data(), n, {0, 0},
                    [](const W& w, W& out) { out = w & T::kAlphaBits; },
                    [&](P* d, const P* src, std::size_t count) {
                        for (std::size_t i = 0; i < count; ++i) {
                            d[i] = d[i].alpha == 0 ? src[i] : op(d[i], src[i]);
                        }
                    });
                for (std::size_t i = 0; i < n; ++i) {
                    const P want = lower[i].alpha == 0 ? source[i] : op(lower[i], source[i]);
                    ASSERT_TRUE(Same(got[i], want))
                        << "index " << index << " length " << n << " at " << i << " vector " << VB;
                }
            }
        }
    });
}

TEST(BlendLanes, KernelsWorkEveryRowLengthInBothWidths) {
    CheckKernelRowLengths<PF_Pixel, 16>();
    CheckKernelRowLengths<PF_Pixel, 32>();
    CheckKernelRowLengths<PF_Pixel16, 16>();
    CheckKernelRowLengths<PF_Pixel16, 32>();
}

}  // namespace
