// Pixel worlds: the frames the simulated host hands to the effect, and in which the command line
// and the page keep their pictures.
//
// A World owns the pixels of one 8-bit or 16-bit frame and exposes them as the host's
// PF_EffectWorld, so it can be handed to the effect as the input layer or the output.
//
//   World w(64, 48, Depth::sixteen, 6);   // 64x48, 16-bit, six bytes of padding per row
//   w.fill_test_picture();                // distinct opaque pixels
//   w.px16(3, 2).red = 100;               // direct pixel access
//   w.padding_intact();                   // nobody wrote into the row padding
//
// Row padding and two guard areas (before the first row, after the last) are filled with a
// sentinel byte, so a write outside width x height is detected by padding_intact() even
// without the sanitizers. World::raw() wraps an arbitrary, possibly broken, layer record
// (null data, negative rowbytes) and owns no pixels; it exists for failure tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "composite/pixel_traits.h"
#include "host/ae_api.h"

namespace worlds {

enum class Depth { eight, sixteen };

// A layer record with the members a world is made of; every other member zero.
inline PF_LayerDef layer_def(PF_WorldFlags flags, PF_PixelPtr data, A_long rowbytes, A_long width,
                             A_long height) {
    PF_LayerDef def{};
    def.world_flags = flags;
    def.data = data;
    def.rowbytes = rowbytes;
    def.width = width;
    def.height = height;
    return def;
}

class World {
  public:
    static constexpr std::uint8_t kSentinel = 0xA5;
    static constexpr std::size_t kGuardBytes = 32;

    World();  // 0 x 0, 8-bit
    World(A_long width, A_long height, Depth depth = Depth::eight, A_long pad_bytes = 0);
    // Row padding given in whole pixels instead of bytes.
    static World with_pad_pixels(A_long width, A_long height, Depth depth, A_long pad_pixels);
    // Exposes `def` exactly as given and owns no pixels.
    static World raw(const PF_LayerDef& def);

    World(const World& other);
    World& operator=(const World& other);
    World(World&& other) noexcept;
    World& operator=(World&& other) noexcept;
    ~World() = default;

    PF_EffectWorld* def() { return &def_; }
    const PF_EffectWorld* def() const { return &def_; }

    A_long width() const { return def_.width; }
    A_long height() const { return def_.height; }
    A_long rowbytes() const { return def_.rowbytes; }
    bool deep() const { return (def_.world_flags & PF_WorldFlag_DEEP) != 0; }
    int pixel_size() const { return deep() ? 8 : 4; }
    bool owns_pixels() const { return !bytes_.empty(); }

    // Bounds-checked; the wrong depth or a position outside the frame throws.
    PF_Pixel8& px8(A_long x, A_long y);
    const PF_Pixel8& px8(A_long x, A_long y) const;
    PF_Pixel16& px16(A_long x, A_long y);
    const PF_Pixel16& px16(A_long x, A_long y) const;

    void fill8(PF_Pixel8 p);
    void fill16(PF_Pixel16 p);

    // Every pixel distinct within 256 x 256 (8-bit) or 300 x 300 (16-bit), alpha full. With
    // `transparent_holes` every pixel where (x + 2y) % 7 == 3 has alpha 0 but keeps its colour.
    void fill_test_picture(bool transparent_holes = false);
    static PF_Pixel8 test_pixel8(A_long x, A_long y, bool transparent_holes = false);
    static PF_Pixel16 test_pixel16(A_long x, A_long y, bool transparent_holes = false);

    // True while every byte outside width x height (row padding and guards) is the sentinel.
    bool padding_intact() const;

    // Every byte of the buffer, padding and guards included; equal snapshots before and after
    // a call prove the call wrote nothing.
    std::vector<std::uint8_t> snapshot() const { return bytes_; }

    // Same size, same depth and equal pixels inside width x height; padding ignored.
    bool same_pixels(const World& other) const;
    // "" when same_pixels(), otherwise a short description of the first difference.
    std::string first_difference(const World& other) const;

  private:
    void repoint();
    std::uint8_t* row(A_long y);
    const std::uint8_t* row(A_long y) const;
    void check(A_long x, A_long y, bool want_deep) const;

    std::vector<std::uint8_t> bytes_;  // guard, height rows of rowbytes, guard
    PF_LayerDef def_{};
};

}  // namespace worlds
