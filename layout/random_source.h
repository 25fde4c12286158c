// The effect's only source of randomness: a 32-bit linear congruential generator, restarted from
// the Seed parameter at fixed points so that every frame gets the same layout.
#pragma once

#include <cstdint>

#include "host/ae_api.h"

class RandomSource {
  public:
    void reseed(A_long seed) { state_ = static_cast<std::uint32_t>(seed); }

    // A restart: reseed, then throw one draw away.
    void restart(A_long seed) {
        reseed(seed);
        (void)draw();
    }

    A_long draw() {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<A_long>(state_ & 0x7FFFFFFFu);
    }

    // In [0, 1): the 31-bit value over 2^31, exact in double precision.
    double draw_unit() { return static_cast<double>(draw()) * (1.0 / 2147483648.0); }

  private:
    std::uint32_t state_ = 0;
};

struct BlockRecord;

// Permutes the targets of the first n block records; every other field stays.
A_long shuffle_targets(BlockRecord* blocks, A_long n, A_long seed, RandomSource& random);
