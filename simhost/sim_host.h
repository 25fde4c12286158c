// A simulated compositing host for driving the effect's entry point without the real host.
//
// The host owns everything one call needs: the in-data and out-data records, the parameter
// array with its current values, the input and output worlds, and working implementations of
// every callback and function suite that host/ae_api.h declares. It knows the effect only by
// its entry point, so the same code drives the native build (`SimHost host(&EntryPointFunc)`)
// and a module loaded at run time (`SimHost host(loaded_function_pointer)`).
//
// Typical use:
//
//   simhost::SimHost host(&EntryPointFunc);
//   host.send(PF_Cmd_GLOBAL_SETUP);           // hands over the global data
//   host.send(PF_Cmd_PARAMS_SETUP);           // builds the parameter array from registrations
//   host.set_input(worlds::World(64, 48)); host.input().fill_test_picture();
//   host.set_output(worlds::World(64, 48));
//   host.set_popup(3, 2); host.set_percent(2, 50.0);
//   PF_Err err = host.send(PF_Cmd_RENDER);
//   EXPECT_TRUE(host.problems().empty());     // no leak, no unbalanced suite, no overflow
//
// Records
//   send() passes &in_data(), &out_data(), the parameter array (or null), the output world's
//   record (or null) and `extra`. It never resets out_data(); reset_out_data() does, keeping
//   the global data. After a Global Setup the host takes over the handle that the effect put
//   into out_data.global_data and passes it back in in_data.global_data from then on.
//   After a Params Setup that returned 0 the parameter array is rebuilt: index 0 the input
//   layer (its u.ld a copy of the input world's record, refreshed at every send), then one
//   entry per registration, in order, holding its default value.
//
// Counting and fault injection
//   calls(fn) counts every call of a host function since construction or reset_counters().
//   fail_call(fn, k, code) makes the k-th call of fn counted from the moment it is armed
//   (1-based) fail once. What a failure is depends on the function:
//     add_param, progress, copy, fill, register_with_aegp, get_new_effect_for_effect,
//     get_new_effect_stream_by_index, set_dynamic_stream_flag: return `code`, do nothing.
//     dispose_stream, dispose_effect, release_suite: return `code`; the host still drops
//       the reference (the caller cannot retry, so it is not counted as a leak).
//     new_handle: returns a null handle.  lock_handle: returns a null pointer.
//   A granted handle's memory holds kHandlePoison in every byte, not zeros, so that an effect
//   reading memory it never wrote gets garbage that shows.
//     acquire_suite: a refusal; `code` non-zero returns it with a null suite, 0 returns 0 with
//       a null suite.
//     sprintf: writes an empty text and returns -1.  strcpy: copies nothing, returns null.
//     unlock_handle, dispose_handle (no result): the request is ignored; the handle stays
//       locked or alive and is then not reported as a leak.
//
// Members the effect has no business with
//   Every function slot of the host's tables that the effect does not use (in the interaction
//   and utility callbacks, the basic suite and the seven suites) is a trap: a call records a
//   misuse and fails. Every data member the effect does not use, in the in-data, the out-data,
//   the worlds and the parameter headers, holds the unused pattern in each byte; send() lays it
//   into the worlds and parameter headers before each call, and a change of any of them by the
//   call is recorded as a misuse. set_unused_pattern() changes the byte, so that two runs can prove
//   the effect reads none of these members.
//
// Problems
//   Misuse is recorded, never fatal: unknown, disposed or double-disposed handles, releases
//   of suites not held, unknown effect or stream references, a wrong plug-in id or effect_ref,
//   texts longer than the 256-byte message buffer. problems() lists all of these plus every
//   leak at the moment it is called: live handles other than the global data, suites not
//   released, effect and stream references not disposed.
//
// The current host
//   Callbacks such as host_new_handle(size) carry no context, so the host keeps one process-wide
//   pointer to the host that was constructed or sent a command most recently; current() returns
//   it. It is the only global state, and the reason one thread drives one host at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/ae_api.h"
#include "worlds/world.h"

namespace simhost {

// Every host function the simulated host counts and can make fail, listed once: the enum,
// the names and all_host_fns() (the fault sweep's list) are made from it.
#define SIMHOST_HOST_FUNCTIONS(X)     \
    X(add_param)                      \
    X(progress)                       \
    X(copy)                           \
    X(fill)                           \
    X(new_handle)                     \
    X(lock_handle)                    \
    X(unlock_handle)                  \
    X(dispose_handle)                 \
    X(sprintf)                        \
    X(strcpy)                         \
    X(acquire_suite)                  \
    X(release_suite)                  \
    X(register_with_aegp)             \
    X(get_new_effect_for_effect)      \
    X(get_new_effect_stream_by_index) \
    X(dispose_stream)                 \
    X(set_dynamic_stream_flag)        \
    X(dispose_effect)

enum class HostFn {
#define SIMHOST_HOST_FN_ENUM(name) name,
    SIMHOST_HOST_FUNCTIONS(SIMHOST_HOST_FN_ENUM)
#undef SIMHOST_HOST_FN_ENUM
};
#define SIMHOST_HOST_FN_ONE(name) +1
constexpr std::size_t kHostFnCount = 0 SIMHOST_HOST_FUNCTIONS(SIMHOST_HOST_FN_ONE);
#undef SIMHOST_HOST_FN_ONE
const std::array<HostFn, kHostFnCount>& all_host_fns();
const char* name_of(HostFn fn);

constexpr PF_Err kInjectedErr = 0x4A21;       // default code of an injected failure
constexpr PF_Err kMisuseErr = 0x4A22;         // what the host answers to a call it cannot honour
constexpr PF_Err kSuiteNotFoundErr = 0x4A23;  // AcquireSuite of a pair the host does not serve
constexpr AEGP_PluginID kDefaultPluginId = 4242;
constexpr std::uint8_t kHandlePoison = 0xDB;  // every byte of a new handle's memory
constexpr std::size_t kMessageCapacity = PF_MAX_EFFECT_MSG_LEN + 1;

struct Registration {
    PF_ParamIndex index;  // as passed to add_param
    PF_ParamDef def;      // copy as received; def.u.pd.u.namesptr points into `choices`
    std::string choices;  // copy of a popup's choice text
};

struct SuiteEvent {
    std::string name;
    A_long version;
    bool acquire;  // false: a release
    A_long result;
    bool granted;  // an acquisition that handed out a suite
};

struct FlagCall {
    PF_ParamIndex param;  // the stream's parameter index
    AEGP_DynStreamFlags flag;
    A_Boolean undoable;
    A_Boolean set;
    PF_Err result;
};

enum class WorldId { input, output, other, null };

struct WorldOp {
    HostFn fn;    // copy or fill
    WorldId src;  // copy only
    WorldId dst;
    bool src_rect_null;
    bool dst_rect_null;
    bool color_null;  // fill only
    PF_Pixel color;   // fill only
    PF_Err result;
};

class SimHost {
  public:
    explicit SimHost(PF_EntryPointFunc entry);
    ~SimHost();
    SimHost(const SimHost&) = delete;
    SimHost& operator=(const SimHost&) = delete;

    static SimHost* current();

    // --- calling the effect
    PF_Err send(PF_Cmd cmd, void* extra = nullptr);
    // Global Setup then Params Setup; both must return 0, otherwise throws std::runtime_error.
    void setup();

    // --- records
    PF_InData& in_data() { return in_data_; }
    PF_OutData& out_data() { return out_data_; }
    void reset_out_data();        // zero everything but global_data
    std::string message() const;  // return_msg up to its terminating zero
    PF_ProgPtr effect_ref() const { return effect_ref_; }
    void set_downsample_x(A_long num, A_u_long den) { in_data_.downsample_x = {num, den}; }
    void set_null_basic_suite(bool on) { in_data_.pica_basicP = on ? nullptr : &basic_suite_; }
    void set_null_utils(bool on) { in_data_.utils = on ? nullptr : &utils_; }

    // --- worlds
    worlds::World& input() { return input_; }
    worlds::World& output() { return output_; }
    void set_input(worlds::World w);
    void set_output(worlds::World w) { output_ = std::move(w); }
    void pass_null_params(bool on) { null_params_ = on; }
    void pass_null_input(bool on) { null_input_ = on; }  // params[0] is a null pointer
    void pass_null_output(bool on) { null_output_ = on; }

    // --- parameters
    const std::vector<Registration>& registrations() const { return registrations_; }
    void use_registrations_as_params();  // done by send() after a Params Setup returning 0
    std::size_t param_count() const { return params_.size(); }  // input layer included
    PF_ParamDef& param(PF_ParamIndex index);
    // Setters check the parameter's type and throw std::logic_error on a mismatch.
    void set_popup(PF_ParamIndex index, A_long value);
    void set_slider(PF_ParamIndex index, A_long value);
    void set_fixed(PF_ParamIndex index, PF_Fixed value);
    void set_percent(PF_ParamIndex index, double percent);  // lround(percent * 65536)
    void set_color(PF_ParamIndex index, PF_Pixel value);

    // --- progress
    const std::vector<std::pair<A_long, A_long>>& progress_log() const { return progress_log_; }
    // The i-th progress call (0-based, from now) returns results[i]; later calls return 0.
    void set_progress_results(std::vector<PF_Err> results);

    // --- counting and fault injection
    int calls(HostFn fn) const { return counts_[static_cast<std::size_t>(fn)]; }
    int total_calls() const;
    void reset_counters();  // call counts only; logs and ledgers stay
    // Empties the suite, progress, handle request, stream, flag and world-operation logs;
    // ledgers stay.
    void clear_logs();
    void fail_call(HostFn fn, int k, PF_Err code = kInjectedErr);
    void clear_faults() { faults_.clear(); }
    int faults_fired() const { return faults_fired_; }

    // --- suites
    // Every acquisition of the pair is refused: `code` non-zero returns it, 0 returns 0 with a
    // null suite.
    void refuse_suite(const std::string& name, A_long version, PF_Err code);
    const std::vector<SuiteEvent>& suite_log() const { return suite_log_; }
    int outstanding_suites() const;  // acquisitions not yet released, over all pairs

    // --- handles
    int live_handles() const;  // not disposed, not the global data, not kept by a fault
    PF_Handle global_data() const { return global_data_; }
    bool handle_live(PF_Handle h) const;
    std::size_t handle_size(PF_Handle h) const;  // 0 for an unknown handle
    int handles_allocated() const { return static_cast<int>(handles_.size()); }
    void set_allocation_limit(std::size_t bytes) { allocation_limit_ = bytes; }
    // The byte count of every host_new_handle call, granted or not, in order.
    const std::vector<std::uint64_t>& handle_requests() const { return handle_requests_; }
    // The host keeps the handle after disposing of it as the owner of the global data.
    void drop_global_data();

    // --- text
    int buffer_overflows() const { return buffer_overflows_; }

    // --- AEGP
    AEGP_PluginID plugin_id() const { return plugin_id_; }
    void set_plugin_id(AEGP_PluginID id) { plugin_id_ = id; }
    const std::vector<std::string>& registered_names() const { return registered_names_; }
    int outstanding_effects() const;
    int outstanding_streams() const;
    const std::vector<PF_ParamIndex>& stream_requests() const { return stream_requests_; }
    const std::vector<FlagCall>& flag_calls() const { return flag_calls_; }
    // The panel's state of a parameter's stream; nullopt until someone set it.
    std::optional<bool> hidden(PF_ParamIndex index) const;
    void set_hidden(PF_ParamIndex index, bool hidden) { hidden_[index] = hidden; }

    // --- members the effect has no business with (see the top of this file)
    void set_unused_pattern(std::uint8_t byte);
    std::uint8_t unused_pattern() const { return unused_pattern_; }

    // --- world operations
    const std::vector<WorldOp>& world_ops() const { return world_ops_; }

    // --- checks
    const std::vector<std::string>& errors() const { return errors_; }  // every misuse so far
    int escaped_exceptions() const { return escaped_exceptions_; }
    // errors() plus leaks, unreleased suites and outstanding references right now.
    std::vector<std::string> problems() const;
    // Same without the outstanding AEGP references.
    std::vector<std::string> problems_except_references() const;

    // Entry points of the callbacks; public so that the C-style tables can reach them.
    struct Callbacks;

  private:
    struct HandleRec {
        void* master = nullptr;  // what the PF_Handle points to
        std::vector<std::max_align_t> storage;
        std::size_t size = 0;
        int locks = 0;
        bool live = true;
        bool kept_by_fault = false;
    };
    struct Fault {
        HostFn fn;
        int remaining;
        PF_Err code;
    };
    struct RefRec {
        bool live = true;
        PF_ParamIndex param = 0;  // streams only
    };

    // Counts the call and tells whether an armed fault fires on it.
    std::optional<PF_Err> enter(HostFn fn);
    void error(std::string what);
    HandleRec* find_handle(PF_Handle h);
    const HandleRec* find_handle(PF_Handle h) const;
    WorldId identify(const PF_EffectWorld* w) const;
    void adopt_global_data();
    void refresh_input_layer();
    void lay_unused_pattern();
    void check_unused_pattern(PF_Cmd cmd);
    void build_param_array();

    PF_EntryPointFunc entry_;
    char effect_tag_ = 0;  // effect_ref_ points here
    PF_ProgPtr effect_ref_;

    PF_InData in_data_{};
    PF_OutData out_data_{};
    PF_UtilCallbacks utils_{};
    SPBasicSuite basic_suite_{};

    worlds::World input_;
    worlds::World output_;
    bool null_params_ = false;
    bool null_input_ = false;
    bool null_output_ = false;

    std::vector<Registration> registrations_;
    std::vector<std::unique_ptr<PF_ParamDef>> param_storage_;
    std::vector<std::string> param_choices_;
    std::vector<PF_ParamDef*> params_;
    std::vector<PF_ParamDef*> params_sent_;  // the array handed to the effect, may hold a null

    std::vector<std::pair<A_long, A_long>> progress_log_;
    std::vector<PF_Err> progress_results_;
    std::size_t progress_next_ = 0;

    std::array<int, kHostFnCount> counts_{};
    std::vector<Fault> faults_;
    int faults_fired_ = 0;

    std::map<std::pair<std::string, A_long>, PF_Err> refusals_;
    std::map<std::pair<std::string, A_long>, int> held_suites_;
    std::vector<SuiteEvent> suite_log_;

    std::map<PF_Handle, std::unique_ptr<HandleRec>> handles_;
    PF_Handle global_data_ = nullptr;
    std::size_t allocation_limit_ = std::size_t{1} << 30;
    std::vector<std::uint64_t> handle_requests_;

    int buffer_overflows_ = 0;

    AEGP_PluginID plugin_id_ = kDefaultPluginId;
    std::vector<std::string> registered_names_;
    std::vector<std::unique_ptr<RefRec>> effects_;
    std::vector<std::unique_ptr<RefRec>> streams_;
    std::vector<PF_ParamIndex> stream_requests_;
    std::vector<FlagCall> flag_calls_;
    std::map<PF_ParamIndex, bool> hidden_;

    std::vector<WorldOp> world_ops_;
    std::uint8_t unused_pattern_ = 0xA5;
    struct RecordsBeforeCall {
        PF_InData in_data{};
        PF_UtilCallbacks utils{};
        PF_OutData out_data{};
        PF_LayerDef output{};
        std::vector<PF_ParamDef> params;
    } before_call_;
    std::vector<std::string> errors_;
    int escaped_exceptions_ = 0;
};

}  // namespace simhost
