// The effect's only source of randomness: a 32-bit linear congruential generator, restarted from
// the Seed parameter at fixed points so that every frame gets the same layout.
#pragma once

#include <cstdint>

namespace random_source_detail {

constexpr std::uint32_t kMultiplier = 1103515245u;
constexpr std::uint32_t kIncrement = 12345u;

// Eight steps as one: x -> a^8 x + c (a^7 + ... + 1), modulo 2^32.
constexpr std::uint32_t jump_multiplier() {
    std::uint32_t m = 1;
    for (int i = 0; i < 8; ++i) m *= kMultiplier;
    return m;
}
constexpr std::uint32_t jump_increment() {
    std::uint32_t c = 0;
    for (int i = 0; i < 8; ++i) c = c * kMultiplier + kIncrement;
    return c;
}

}  // namespace random_source_detail

class RandomSource {
  public:
    void reseed(std::int32_t seed) { state_ = static_cast<std::uint32_t>(seed); }

    // A restart: reseed, then throw one draw away.
    void restart(std::int32_t seed) {
        reseed(seed);
        (void)draw();
    }

    std::int32_t draw() {
        state_ = state_ * kMultiplier + kIncrement;
        return static_cast<std::int32_t>(state_ & 0x7FFFFFFFu);
    }

    // In [0, 1): the 31-bit value over 2^31, exact in double precision.
    double draw_unit() { return static_cast<double>(draw()) * (1.0 / 2147483648.0); }

    // Draws while the values fall outside below..above, at most `most` of them, and returns how
    // many it drew; the first value inside is left for the next draw(). Eight generators a
    // draw apart step eight draws at once, which the compiler runs side by side: a count that
    // waits for rare values goes several times faster than one draw at a time.
    std::int32_t skip_outside(std::int32_t below, std::int32_t above, std::int32_t most) {
        constexpr int kLanes = 8;
        const std::uint32_t span = static_cast<std::uint32_t>(above - below);
        std::uint32_t lanes[kLanes];
        std::uint32_t s = state_;
        for (std::uint32_t& lane : lanes) lane = s = s * kMultiplier + kIncrement;
        std::int32_t skipped = 0;
        while (most - skipped >= kLanes) {
            bool inside = false;
            for (const std::uint32_t lane : lanes) {
                inside |= ((lane & 0x7FFFFFFFu) - static_cast<std::uint32_t>(below)) <= span;
            }
            if (inside) break;
            state_ = lanes[kLanes - 1];
            skipped += kLanes;
            for (std::uint32_t& lane : lanes) lane = lane * kJumpMultiplier + kJumpIncrement;
        }
        while (skipped < most) {
            const std::uint32_t next = state_ * kMultiplier + kIncrement;
            if (((next & 0x7FFFFFFFu) - static_cast<std::uint32_t>(below)) <= span) break;
            state_ = next;
            ++skipped;
        }
        return skipped;
    }

  private:
    static constexpr std::uint32_t kMultiplier = random_source_detail::kMultiplier;
    static constexpr std::uint32_t kIncrement = random_source_detail::kIncrement;
    static constexpr std::uint32_t kJumpMultiplier = random_source_detail::jump_multiplier();
    static constexpr std::uint32_t kJumpIncrement = random_source_detail::jump_increment();

    std::uint32_t state_ = 0;
};

struct BlockRecord;

// Permutes the targets of the first n block records; every other field stays.
std::int32_t shuffle_targets(BlockRecord* blocks, std::int32_t n, std::int32_t seed,
                             RandomSource& random);
