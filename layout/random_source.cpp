#include "layout/random_source.h"

#include <utility>

#include "layout/block_grid.h"

std::int32_t shuffle_targets(BlockRecord* blocks, std::int32_t n, std::int32_t seed,
                             RandomSource& random) {
    random.restart(seed);
    // Block 0 is left out here and exchanged only once, at the end.
    for (std::int32_t i = 1; i <= n - 2; ++i) {
        const double u = random.draw_unit();
        const std::int32_t k = i + static_cast<std::int32_t>(u * static_cast<double>(n - i));
        std::swap(blocks[i].target, blocks[k].target);
    }
    if (n >= 1) {
        const double u = random.draw_unit();
        const std::int32_t k = static_cast<std::int32_t>(u * static_cast<double>(n));
        std::swap(blocks[0].target, blocks[k].target);
    }
    return 0;
}
