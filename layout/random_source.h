// The effect's only source of randomness: a 32-bit linear congruential generator, restarted from
// the Seed parameter at fixed points so that every frame gets the same layout.
#pragma once

#include <cstdint>

class RandomSource {
  public:
    void reseed(std::int32_t seed) { state_ = static_cast<std::uint32_t>(seed); }

    // A restart: reseed, then throw one draw away.
    void restart(std::int32_t seed) {
        reseed(seed);
        (void)draw();
    }

    std::int32_t draw() {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<std::int32_t>(state_ & 0x7FFFFFFFu);
    }

    // In [0, 1): the 31-bit value over 2^31, exact in double precision.
    double draw_unit() { return static_cast<double>(draw()) * (1.0 / 2147483648.0); }

  private:
    std::uint32_t state_ = 0;
};

struct BlockRecord;

// Permutes the targets of the first n block records; every other field stays.
std::int32_t shuffle_targets(BlockRecord* blocks, std::int32_t n, std::int32_t seed,
                             RandomSource& random);
