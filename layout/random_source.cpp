#include "layout/random_source.h"

#include <utility>

#include "layout/block_grid.h"

A_long shuffle_targets(BlockRecord* blocks, A_long n, A_long seed, RandomSource& random) {
    random.restart(seed);
    // Block 0 is left out here and exchanged only once, at the end.
    for (A_long i = 1; i <= n - 2; ++i) {
        const double u = random.draw_unit();
        const A_long k = i + static_cast<A_long>(u * static_cast<double>(n - i));
        std::swap(blocks[i].target, blocks[k].target);
    }
    if (n >= 1) {
        const double u = random.draw_unit();
        const A_long k = static_cast<A_long>(u * static_cast<double>(n));
        std::swap(blocks[0].target, blocks[k].target);
    }
    return PF_Err_NONE;
}
