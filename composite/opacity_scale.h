// The Opacity scaling of an incoming alpha, trunc(alpha x opacity) in double precision, without
// a floating multiply per pixel.
#pragma once

#include <array>
#include <cstddef>

#include "composite/pixel_traits.h"
#include "host/ae_api.h"

// A depth's scaling, whatever the order of its channels.
template <class Pixel>
class OpacityScale : public OpacityScale<AlphaFirstOf<Pixel>> {
  public:
    using OpacityScale<AlphaFirstOf<Pixel>>::OpacityScale;
};

// Every 8-bit alpha's product, worked out once per render by the very expression it stands
// for, so each entry is that product by construction. 256 bytes: the caller's stack.
template <>
class OpacityScale<PF_Pixel> {
  public:
    explicit OpacityScale(double opacity) {
        for (std::size_t a = 0; a < table_.size(); ++a) {
            table_[a] = static_cast<A_u_char>(static_cast<A_long>(a) * opacity);
        }
    }
    A_u_char operator()(A_u_char alpha) const { return table_[alpha]; }
    // The scaling only grows with the alpha, so the largest alpha tells.
    bool all_zero() const { return table_.back() == 0; }

  private:
    std::array<A_u_char, 256> table_;
};

// A 16-bit table would take 64 KiB, too much for the stack of a host's render thread, and
// host memory would be a new way for the render to fail. The product cannot be rebuilt in
// integers cheaply either: it is rounded to 53 bits before it is truncated, which a 32-bit
// target can only follow through 68-bit products. Footage alphas come in long runs (opaque
// footage is one alpha throughout), so the last alpha and its product are kept: the multiply
// runs only where the alpha changes, and every result is the product itself.
template <>
class OpacityScale<PF_Pixel16> {
  public:
    explicit OpacityScale(double opacity) : opacity_(opacity) {}
    A_u_short operator()(A_u_short alpha) {
        if (alpha != last_alpha_) {
            last_alpha_ = alpha;
            last_scaled_ = static_cast<A_u_short>(alpha * opacity_);
        }
        return last_scaled_;
    }
    bool all_zero() const { return static_cast<A_u_short>(A_u_short{0xFFFF} * opacity_) == 0; }

  private:
    double opacity_;
    A_u_short last_alpha_ = 0;  // 0 scales to 0 at any opacity
    A_u_short last_scaled_ = 0;
};
