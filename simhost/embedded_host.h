// A small in-process host: it drives the effect's entry point as the compositing host does
// (Global Setup and Params Setup once, Render per frame, the global data disposed at the end)
// with working callbacks and the seven suites the effect uses, on RGBA frames as well as the
// effect's own, and nothing else: no ledgers, no fault injection, no file I/O. The tests hold
// the front ends, which call the render core, against the module rendered through it.
//
//   simhost::embedded::Host host;                  // Global Setup, Params Setup
//   if (host.status() != simhost::embedded::Status::ok) ...
//   host.set_value(kParamCompletion, 40.0);        // by the parameter table's index
//   host.render({w, h, Depth::eight, Channels::rgba}, in, w * 4, out, w * 4);
//
// Threads: one instance belongs to one thread at a time; instances on different threads run
// concurrently. Nothing here throws; every failure is a Status.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "host/ae_api.h"
#include "params/param_table.h"

namespace simhost::embedded {

enum class Status : int {
    ok = 0,
    bad_argument,   // a parameter, frame or row size the host cannot take; nothing was sent
    out_of_memory,  // the host could not make room for the call
    effect_error,   // the effect refused the command; see effect_result() and message()
};
const char* status_text(Status status);

// float32 is the effect's float path (full 1.0), which the compositing host never sends: it
// is rendered by the embedded host's own call, not the Render command.
enum class Depth { eight, sixteen, float32 };

enum class Channels {
    argb,  // the effect's own pixels: PF_Pixel8, PF_Pixel16 or PixelF32 (alpha, red, green, blue)
    rgba,  // red, green, blue, alpha, as canvases and video tools hold them
};

// 16-bit channels run 0..32768 in either order, float ones 0..1 (and beyond).
struct FrameFormat {
    int width = 0;
    int height = 0;
    Depth depth = Depth::eight;
    Channels channels = Channels::argb;
};

// Which parameters the panel would hide, by parameter index.
using Visibility = std::array<bool, kParamCount>;

// Called after each step of a render with the steps done and the steps in all.
using ProgressFn = void (*)(void* user, long done, long total);

class Host {
  public:
    Host() noexcept;  // sends Global Setup and Params Setup
    ~Host();          // disposes the global data and anything else the effect left
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // ok when both setup commands succeeded; nothing else works otherwise.
    Status status() const;
    // The last command's return message ("" when none) and result code.
    const char* message() const;
    PF_Err effect_result() const;
    A_u_long effect_version() const;

    // The About command's text.
    Status about(std::string& text);

    // --- parameters, by the parameter table's index
    // Popups take the choice's number (from 1), sliders their value, percent sliders percent;
    // values outside the parameter's valid range, or fractions where whole numbers are due,
    // are refused.
    Status set_value(int index, double value);
    Status set_fixed(int index, PF_Fixed value);  // percent sliders, as 16.16
    Status set_color(int index, PF_Pixel value);
    void reset_values();  // every parameter back to its default
    // The parameter as the effect receives it; null for an index with no parameter.
    const PF_ParamDef* param(int index) const;
    Status set_downsample(A_long num, A_u_long den);

    // --- rendering
    // `input` and `output` hold format.height rows of format.width pixels; rows start
    // row_bytes apart. They may be the same buffer. When the result is not ok the output holds
    // no defined picture.
    Status render(const FrameFormat& format, const void* input, std::ptrdiff_t input_row_bytes,
                  void* output, std::ptrdiff_t output_row_bytes, ProgressFn progress = nullptr,
                  void* progress_user = nullptr);

    // --- the panel: asks the effect which parameters to show for the current values
    Status query_visibility(Visibility& hidden);

    // --- memory
    // Host memory the effect may hold at once; a larger request is refused as a real host
    // refuses one when memory runs out. Without a limit only the system refuses.
    void set_memory_limit(std::size_t bytes);
    // Handles the effect holds now, the global data not counted.
    int live_handles() const;
    std::size_t live_handle_bytes() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace simhost::embedded
