// Over's usual cases on float pixels, eight at a time, against the operator itself: where a
// chunk function takes a chunk, every pixel is the operator's result bit for bit; where it does
// not, nothing is written. Pixels come in runs (opaque, free, values at the rules' edges) so
// that chunks of every kind occur.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>

#include "composite/float_runs.h"

namespace {

constexpr float kEdges[] = {0.0f,   -0.0f,   1.0f,     0.5f,      2.0f, -1.0f,
                            1e-45f, FLT_MAX, INFINITY, -INFINITY, NAN};

template <class P>
void fill_chunk(std::mt19937& rng, P* chunk) {
    const auto pick = [&](int hi) { return std::uniform_int_distribution<int>(0, hi)(rng); };
    const auto edge = [&] { return kEdges[pick(std::size(kEdges) - 1)]; };
    for (std::size_t x = 0, kind = 0; x < float_runs::kChunk; ++x) {
        if (pick(5) == 0) kind = pick(2);
        chunk[x] = kind == 0   ? make_pixel<P>(1.0f, edge(), 0.25f, 3.0f)
                   : kind == 1 ? make_pixel<P>(pick(1) * -0.0f, 0, 0, 0)
                               : make_pixel<P>(edge(), edge(), edge(), edge());
    }
}

template <class P>
void check_chunks(int& taken_over, int& taken_lay_over) {
    std::mt19937 rng(8);
    constexpr std::size_t n = float_runs::kChunk;
    for (int round = 0; round < 20000; ++round) {
        P lower[n], upper[n], want[n], row[n];
        fill_chunk(rng, lower);
        fill_chunk(rng, upper);
        bool free = true, plain = true;
        for (std::size_t i = 0; i < n; ++i) {
            want[i] = BlendOp<BlendKind::over>{}(lower[i], upper[i]);
            free &= upper[i].alpha == 0.0f;
            plain &=
                upper[i].alpha == 1.0f || (upper[i].alpha == 0.0f && !std::signbit(upper[i].alpha));
        }
        EXPECT_EQ(float_runs::free_chunk(upper), free);
        EXPECT_EQ(float_runs::none_or_one_alpha_chunk(upper), plain);
        // Drawn onto the lower pixels, and the upper ones laid over the lower as a still.
        std::memcpy(row, lower, sizeof row);
        const bool over = float_runs::opaque_over_chunk(row, upper);
        EXPECT_EQ(std::memcmp(row, over ? want : lower, sizeof row), 0) << round;
        std::memcpy(row, upper, sizeof row);
        const bool laid = float_runs::lay_over_chunk(lower, row);
        EXPECT_EQ(std::memcmp(row, laid ? want : upper, sizeof row), 0) << round;
        taken_over += over;
        taken_lay_over += laid;
    }
}

TEST(FloatRuns, ChunksTakenEqualTheOperatorAndOthersAreLeft) {
    int taken[4] = {};
    check_chunks<PixelF32>(taken[0], taken[1]);
    check_chunks<PixelRGBAF32>(taken[2], taken[3]);
    for (int t : taken) EXPECT_GT(t, 500);
}

}  // namespace
