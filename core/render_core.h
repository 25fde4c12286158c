// The render with no host in it: the source and the output as the front end holds them (any
// row layout, depth and channel order), a parameter snapshot, the rectangle of the output to
// draw, and the front end's services. Any rectangle comes out byte for byte as that rectangle
// of a full render, so a front end may split its window into bands and draw them at once from
// one plan.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "core/param_snapshot.h"
#include "core/render_services.h"
#include "layout/block_grid.h"
#include "layout/layout_params.h"
#include "layout/strip_layout.h"

// 8-bit, 16-bit (full 32768, the effect's own), float (full 1.0), and 16-bit as files, video
// and OpenFX hosts hold it (full 65535), which the core reads and writes in place, drawing at
// the effect's own range.
enum class SampleDepth { byte, shorts, floats, shorts_full };
enum class ChannelOrder { argb, rgba, bgra };

// A frame in place: the top row's first pixel, and the bytes from a row to the one below it,
// negative for frames stored bottom-up, padded or not. Premultiplied colour is made straight
// as the source is read and premultiplied again as the output is finished. An output (or a
// transition's still picture) may hold only part of the frame, as a host's tile does: its first
// pixel is then frame pixel (x0, y0), rows counted from the top.
struct FrameView {
    void* pixels;
    std::ptrdiff_t row_bytes;
    std::int32_t width;
    std::int32_t height;
    SampleDepth depth;
    ChannelOrder order;
    bool premultiplied = false;
    std::int32_t x0 = 0;
    std::int32_t y0 = 0;
};

std::size_t bytes_per_pixel(SampleDepth depth);

// Pixels [x0, x1) x [y0, y1) of the output, rows counted from the top.
struct OutputRect {
    std::int32_t x0, y0, x1, y1;
};

struct RenderEnd {
    enum class Kind { ok, bad_frame, no_memory, failed, aborted };
    Kind kind;
    int code;            // a service's nonzero result, for `failed`
    std::int32_t steps;  // the render's step count
};

// The layout of one render, planned once and only read while bands draw. Its tables go back
// through the services it was planned with when it ends, in slot order.
struct RenderPlan {
    ParamSnapshot snap{};
    FrameSize frame{0, 0};
    GridShape grid{};
    BlockRecord* blocks = nullptr;
    StripRecord* strips = nullptr;
    std::int32_t* strip_sizes = nullptr;
    RenderServices services{};
    std::size_t heap_bytes = 0;
    bool held[static_cast<int>(TableSlot::count)] = {};

    RenderPlan() = default;
    ~RenderPlan();
    RenderPlan(const RenderPlan&) = delete;
    RenderPlan& operator=(const RenderPlan&) = delete;
};

// True when the output can be drawn from the source: the same depth and channel order, rows
// long enough, every channel where its type may be read, the source the whole frame and the
// output inside it.
bool frames_fit(const FrameView& source, const FrameView& output);
// True when the frames share no byte: the blocks read the source while the output is written.
bool frames_apart(const FrameView& source, const FrameView& output);

// Plans the layout for a frame of the given size.
RenderEnd plan_render(const ParamSnapshot& snap, FrameSize frame, const RenderServices& services,
                      RenderPlan& plan);

// Draws the window (inside the frame and the output) of the output from the plan: its starting
// state (the source at Completion 0, else transparent black), then every step clipped to it, then,
// for a transition, the result laid over `under` (the still picture, of the output's size and form)
// as lay_over does. Progress is reported only with `report_progress`. Bands of one plan may be
// drawn at once.
//
// The window is drawn in parts. Where the overlap rule lets a block's pixels hide what lies
// below them, a part's blocks are drawn from the last one back and each pixel is written once;
// rows where they do not are drawn again in order. Frames in another form than the effect's
// own (16-bit full 65535, premultiplied) are drawn in parts small enough to stay in the
// caches: each part is drawn at the effect's own form, then finished in the output's form
// while it is still there, so the output is written to memory once.
RenderEnd draw_window(const RenderPlan& plan, const FrameView& source, const FrameView& output,
                      OutputRect window, const RenderServices& services, bool report_progress,
                      const FrameView* under = nullptr);

// The whole render on this thread: plan, the output's starting state (through the front end's
// start_output where it has one), drawing with progress, and the tables given back, in the
// order the Windows module has always made its host calls.
RenderEnd render_frame(const FrameView& source, const FrameView& output, const ParamSnapshot& snap,
                       OutputRect window, const RenderServices& services);

// Band `index` of `count`: the window's rows split into nearly equal parts.
OutputRect band_of(OutputRect window, int index, int count);

// A window drawn in bands on the threads a front end offers: each thread that calls draw()
// takes the next band not yet taken until none is left, so that a thread its host or its blocks
// slow down takes fewer. Several bands per thread give room for that; one thread draws the
// window whole.
class BandQueue {
  public:
    BandQueue(const RenderPlan& plan, const FrameView& source, const FrameView& output,
              OutputRect window, int threads, const FrameView* under = nullptr);
    BandQueue(const BandQueue&) = delete;
    BandQueue& operator=(const BandQueue&) = delete;

    int count() const { return count_; }
    // Draws bands until none is left or one has not ended well. With `report_progress` (one
    // caller at most), a window drawn whole reports its steps, and bands report the bands done
    // after each this caller draws.
    void draw(const RenderServices& services, bool report_progress);
    // Once every caller has returned: ok, or the end of the band that did not end well.
    RenderEnd end() const;

  private:
    const RenderPlan& plan_;
    FrameView source_;
    FrameView output_;
    const FrameView* under_;
    OutputRect window_;
    int count_;
    std::atomic<int> next_{0};
    std::atomic<int> done_{0};
    std::atomic<bool> stopped_{false};
    RenderEnd stop_{};
    int report_result_ = 0;
};

// A transition's last step: inside the window, every output pixel laid over the still
// picture's pixel with the effect's Normal operator at full opacity, in place. Both frames are
// in the effect's own form (straight; 16-bit full 32768); others go through draw_window.
void lay_over(const FrameView& still, const FrameView& output, OutputRect window);
