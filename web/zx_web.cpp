// The page's way into the effect: plain C functions that JavaScript calls through cwrap. A
// session holds the panel's values, the picture as 8-bit RGBA, and the last result in 8 and 16
// bits, which the render core draws on the session's own buffers. Buffers are malloc'd so that
// a picture too large for the module's memory is refused with a status instead of aborting.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "cli/image.h"
#include "cli/test_card.h"
#include "core/render_core.h"
#include "embed/panel_values.h"
#include "params/param_table.h"

namespace {

// The page's statuses; "the effect failed" carries what the module would have said.
enum class Status : int { ok = 0, bad_argument, out_of_memory, effect_error };
constexpr const char* kStatusText[] = {"ok", "bad argument", "out of memory", "the effect failed"};
constexpr int kNoPicture = 100;

struct Buffer {
    void* data = nullptr;
    std::size_t size = 0;

    Buffer() = default;
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    ~Buffer() { std::free(data); }

    // Contents are kept only when the size does not change.
    bool resize(std::size_t bytes) {
        if (bytes == size) return true;
        std::free(data);
        data = std::malloc(bytes);
        size = data != nullptr ? bytes : 0;
        return data != nullptr;
    }
    template <class T>
    T* as() {
        return static_cast<T*>(data);
    }
};

struct Session {
    PanelValues values = zx::embed::default_values();
    int width = 0;
    int height = 0;
    Buffer picture;   // RGBA, 8 bits a channel
    Buffer deep_in;   // the picture at 16 bits, channels 0..32768
    Buffer deep_out;  // the 16-bit result, channels 0..32768
    Buffer result8;   // RGBA 8-bit: the result, or its 16-bit form taken to 8 bits
    Buffer result16;  // RGBA 16-bit as a PNG file holds it (0..65535); 16-bit renders only
    int result_depth = 0;
    std::string error;
};

std::size_t pixel_count(const Session& s) {
    return static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height);
}

bool size_ok(int width, int height) {
    return width >= 1 && height >= 1 && width <= zx::cli::kMaxSide && height <= zx::cli::kMaxSide;
}

int fail(Session* s, Status status, const char* effect_message = "") {
    s->error = kStatusText[static_cast<int>(status)];
    if (effect_message[0] != '\0') s->error += std::string(": ") + effect_message;
    return static_cast<int>(status);
}

int finish(Session* s, Status status) {
    if (status != Status::ok) return fail(s, status);
    s->error.clear();
    return 0;
}

// Draws `in` into `out`, RGBA frames of the picture's size, at the session's values; 0, or the
// failure's status with the module's own words for it.
int draw(Session* s, void* in, void* out, SampleDepth depth) {
    const auto row =
        static_cast<std::ptrdiff_t>(static_cast<std::size_t>(s->width) * bytes_per_pixel(depth));
    const FrameView source{in, row, s->width, s->height, depth, ChannelOrder::rgba};
    const FrameView output{out, row, s->width, s->height, depth, ChannelOrder::rgba};
    switch (render_frame(source, output, snapshot_of(s->values), {0, 0, s->width, s->height}, {})
                .kind) {
        case RenderEnd::Kind::ok:
            return 0;
        case RenderEnd::Kind::no_memory:
            return fail(s, Status::effect_error, "Memory Error!");
        case RenderEnd::Kind::failed:
            return fail(s, Status::effect_error);
        case RenderEnd::Kind::bad_frame:
        case RenderEnd::Kind::aborted:
            break;
    }
    return fail(s, Status::effect_error, "Error!");
}

void append_json_string(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
}

const char* type_name(ParamType type) {
    switch (type) {
        case ParamType::slider:
            return "slider";
        case ParamType::percent:
            return "percent";
        case ParamType::color:
            return "color";
        case ParamType::popup:
            return "popup";
        case ParamType::group_start:
            return "group_start";
        case ParamType::group_end:
            return "group_end";
    }
    return "";
}

std::string table_json() {
    std::string out = "[";
    for (const ParamEntry& p : kParamTable) {
        if (out.size() > 1) out += ',';
        out += "{\"index\":" + std::to_string(p.index) + ",\"type\":\"" + type_name(p.type) +
               "\",\"name\":";
        append_json_string(out, p.name);
        out += ",\"short_name\":";
        append_json_string(out, p.short_name);
        out += ",\"valid_min\":" + std::to_string(p.valid_min) +
               ",\"valid_max\":" + std::to_string(p.valid_max) +
               ",\"slider_min\":" + std::to_string(p.slider_min) +
               ",\"slider_max\":" + std::to_string(p.slider_max) +
               ",\"default\":" + std::to_string(p.dephault) +
               ",\"precision\":" + std::to_string(p.precision) + ",\"choices\":[";
        if (p.choices != nullptr) {
            for (int n = 1; n <= choice_count(p.choices); ++n) {
                if (n > 1) out += ',';
                append_json_string(out, choice_item(p.choices, n));
            }
        }
        out += "],\"color\":[" + std::to_string(p.color.alpha) + ',' + std::to_string(p.color.red) +
               ',' + std::to_string(p.color.green) + ',' + std::to_string(p.color.blue) + "]}";
    }
    return out + "]";
}

}  // namespace

extern "C" {

// The parameter table as JSON: index, type, name, short_name, ranges, default, precision,
// choices (the host's separator "(-" included, so that numbers stay the host's) and a colour's
// default as [alpha, red, green, blue].
EMSCRIPTEN_KEEPALIVE const char* zxw_param_table() {
    static const std::string json = table_json();
    return json.c_str();
}

EMSCRIPTEN_KEEPALIVE int zxw_param_count() {
    return kParamCount;
}

// A session with every parameter at its default; null when memory ran out.
EMSCRIPTEN_KEEPALIVE Session* zxw_session_new() {
    return new (std::nothrow) Session;
}

EMSCRIPTEN_KEEPALIVE void zxw_session_delete(Session* s) {
    delete s;
}

// 0: a session that exists is ready.
EMSCRIPTEN_KEEPALIVE int zxw_session_status(Session* s) {
    return finish(s, Status::ok);
}

// Why the last call failed ("" after a success).
EMSCRIPTEN_KEEPALIVE const char* zxw_error(Session* s) {
    return s->error.c_str();
}

// Room for a width x height RGBA 8-bit picture that the caller then fills; null for a size the
// page does not take or when memory ran out. The previous picture is gone.
EMSCRIPTEN_KEEPALIVE std::uint8_t* zxw_picture(Session* s, int width, int height) {
    s->width = s->height = 0;
    s->result_depth = 0;
    if (!size_ok(width, height)) {
        s->error = "a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                   " pixels is not taken (1 to " + std::to_string(zx::cli::kMaxSide) +
                   " on each side)";
        return nullptr;
    }
    const std::size_t bytes =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    if (!s->picture.resize(bytes)) {
        s->error = "no memory for a picture of " + std::to_string(width) + " x " +
                   std::to_string(height) + " pixels";
        return nullptr;
    }
    s->width = width;
    s->height = height;
    s->error.clear();
    return s->picture.as<std::uint8_t>();
}

// The command-line renderer's test card as the picture, painted in place: a copy would need
// the memory twice.
EMSCRIPTEN_KEEPALIVE int zxw_load_test_card(Session* s, int width, int height) {
    std::uint8_t* room = zxw_picture(s, width, height);
    if (room == nullptr) {
        return static_cast<int>(size_ok(width, height) ? Status::out_of_memory
                                                       : Status::bad_argument);
    }
    zx::cli::paint_test_card(room, width, height);
    return 0;
}

// Popups take the choice's number (from 1), sliders their value, percent sliders percent.
EMSCRIPTEN_KEEPALIVE int zxw_set_value(Session* s, int index, double value) {
    return finish(
        s, zx::embed::set_value(s->values, index, value) ? Status::ok : Status::bad_argument);
}

EMSCRIPTEN_KEEPALIVE int zxw_set_color(Session* s, int index, int alpha, int red, int green,
                                       int blue) {
    auto channel = [](int v) { return v >= 0 && v <= 255; };
    if (!channel(alpha) || !channel(red) || !channel(green) || !channel(blue) ||
        index <= kParamInput || index >= kParamCount ||
        param_entry(static_cast<ParamIndex>(index)).type != ParamType::color) {
        return fail(s, Status::bad_argument);
    }
    s->values.color = PF_Pixel{static_cast<A_u_char>(alpha), static_cast<A_u_char>(red),
                               static_cast<A_u_char>(green), static_cast<A_u_char>(blue)};
    return finish(s, Status::ok);
}

EMSCRIPTEN_KEEPALIVE void zxw_reset_values(Session* s) {
    s->values = zx::embed::default_values();
}

// Writes one flag per parameter index into hidden[0 .. zxw_param_count() - 1]: 1 where the
// effect's panel hides the parameter for the values set now.
EMSCRIPTEN_KEEPALIVE int zxw_hidden(Session* s, std::uint8_t* hidden) {
    const zx::embed::HiddenParams flags = zx::embed::hidden_params(s->values);
    for (std::size_t i = 0; i < flags.size(); ++i) hidden[i] = flags[i] ? 1 : 0;
    s->error.clear();
    return 0;
}

// Renders the picture at `completion` percent, at 8 or 16 bits a channel. A 16-bit render
// takes the 8-bit picture up as the command-line renderer does, and its result is kept both
// as 16-bit PNG samples and taken down to 8 bits.
EMSCRIPTEN_KEEPALIVE int zxw_render(Session* s, double completion, int depth) {
    using zx::cli::channel_to_png16;
    s->result_depth = 0;
    if (pixel_count(*s) == 0) {
        s->error = "no picture is loaded";
        return kNoPicture;
    }
    if (depth != 8 && depth != 16) return fail(s, Status::bad_argument);
    if (!zx::embed::set_value(s->values, kParamCompletion, completion)) {
        return fail(s, Status::bad_argument);
    }

    const std::size_t samples = pixel_count(*s) * 4;
    if (!s->result8.resize(samples)) return fail(s, Status::out_of_memory);
    if (depth == 8) {
        if (const int status = draw(s, s->picture.data, s->result8.data, SampleDepth::byte)) {
            return status;
        }
        s->result_depth = 8;
        return finish(s, Status::ok);
    }

    const std::size_t deep_bytes = samples * sizeof(A_u_short);
    if (!s->deep_in.resize(deep_bytes) || !s->deep_out.resize(deep_bytes) ||
        !s->result16.resize(deep_bytes)) {
        return fail(s, Status::out_of_memory);
    }
    const auto* picture = s->picture.as<A_u_char>();
    auto* in = s->deep_in.as<A_u_short>();
    for (std::size_t i = 0; i < samples; ++i) in[i] = channel8_to_16(picture[i]);
    if (const int status = draw(s, s->deep_in.data, s->deep_out.data, SampleDepth::shorts)) {
        return status;
    }
    const auto* out = s->deep_out.as<A_u_short>();
    auto* png16 = s->result16.as<std::uint16_t>();
    auto* eight = s->result8.as<A_u_char>();
    for (std::size_t i = 0; i < samples; ++i) {
        png16[i] = static_cast<std::uint16_t>(channel_to_png16(out[i]));
        eight[i] = channel16_to_8(out[i]);
    }
    s->result_depth = 16;
    return finish(s, Status::ok);
}

// The last render's result, RGBA 8-bit; null before the first successful render.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* zxw_result8(Session* s) {
    return s->result_depth != 0 ? s->result8.as<std::uint8_t>() : nullptr;
}

// The last 16-bit render's result, RGBA samples 0..65535 in memory order; null otherwise.
EMSCRIPTEN_KEEPALIVE const std::uint16_t* zxw_result16(Session* s) {
    return s->result_depth == 16 ? s->result16.as<std::uint16_t>() : nullptr;
}

EMSCRIPTEN_KEEPALIVE int zxw_width(Session* s) {
    return s->width;
}

EMSCRIPTEN_KEEPALIVE int zxw_height(Session* s) {
    return s->height;
}

}  // extern "C"
