#include "cli/tool.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <iomanip>
#include <iostream>
#include <mutex>
#include <new>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "atomic/atomic_file.h"
#include "cli/effect_runner.h"
#include "cli/errors.h"
#include "cli/footage.h"
#include "cli/image.h"
#include "cli/options.h"
#include "cli/output_pattern.h"
#include "cli/picture_io.h"
#include "cli/png_io.h"
#include "cli/progress_bar.h"
#include "cli/same_file.h"
#include "host/effect_info.h"

namespace zx::cli {

namespace {

// A single frame this large gets a progress bar too.
constexpr long long kLargeFramePixels = 1LL << 20;

// "major.minor" of a version in the host's packing.
std::string version_number(A_u_long packed) {
    return std::to_string(packed >> 19 & 0x7) + "." + std::to_string(packed >> 15 & 0xF);
}

std::string version_text() {
    std::ostringstream text;
    text << "zentrilox " << version_number(kEffectVersion) << " (" << kEffectName << ' '
         << version_number(kEffectVersion) << ", effect version 0x" << std::hex << kEffectVersion
         << ")";
    return text.str();
}

std::string percent_text(double p) {
    std::ostringstream text;
    text << std::setprecision(10) << p << " %";
    return text.str();
}

// What --skip-existing found: frames left as they were, and files of their names that were no
// complete frame and are rendered again. Workers share it.
class SkipTally {
  public:
    // Whether the file at `path` already holds frame k, of `layer`'s size and depth, in the
    // file as `carried` makes it.
    bool keeps(int k, const std::string& path, const Frame& layer,
               const std::shared_ptr<const Carried>& carried) {
        const ExistingFrame found = existing_picture(path, layer, carried);
        const std::lock_guard<std::mutex> guard(lock_);
        if (found == ExistingFrame::complete) ++skipped_;
        if (found == ExistingFrame::other && (replaced_++ == 0 || k < first_replaced_frame_)) {
            first_replaced_frame_ = k;
            first_replaced_ = path;
        }
        return found == ExistingFrame::complete;
    }

    void report(int frames) const {
        if (skipped_ > 0) {
            std::cerr << "zentrilox: " << skipped_ << " of " << frames
                      << " frames were already complete and were skipped\n";
        }
        if (replaced_ > 0) {
            std::cerr << "zentrilox: " << replaced_
                      << (replaced_ == 1 ? " file was" : " files were")
                      << " not a complete frame and " << (replaced_ == 1 ? "was" : "were")
                      << " rendered again (the first '" << first_replaced_ << "')\n";
        }
    }

  private:
    std::mutex lock_;
    int skipped_ = 0;
    int replaced_ = 0;
    int first_replaced_frame_ = 0;
    std::string first_replaced_;
};

// Frame i of the run, frame k = first + i of the sequence: its pictures, its Completion (a
// transition's t) and its file name.
struct FramePlan {
    const Options& o;
    const std::optional<OutputPattern>& pattern;
    const Footage& footage;
    int first = 0;

    double completion(int k) const {
        return o.frames ? frame_completion(o.from, o.to, k, *o.frames) : o.params.completion();
    }
    std::string path(int i) const { return pattern ? pattern->name(first + i) : o.output; }

    // Renders frame i into the bytes of its file; an effect failure names the frame in a
    // sequence. None when --skip-existing finds the file already complete.
    std::optional<std::vector<unsigned char>> render(EffectRunner& runner, int i,
                                                     const EffectRunner::ProgressFn& progress,
                                                     SkipTally& tally) const {
        const int k = first + i;
        const std::shared_ptr<const Carried> carried = footage.load(runner, k);
        if (o.skip_existing && tally.keeps(k, path(i), runner.layer(), carried))
            return std::nullopt;
        try {
            const Frame& result = footage.transition()
                                      ? runner.render_transition(completion(k), progress)
                                      : runner.render(completion(k), progress);
            return encode_picture(path(i), result, carried, o.png_compression);
        } catch (const EffectError& e) {
            if (!o.frames) throw;
            throw EffectError("frame " + std::to_string(k) +
                              (footage.transition() ? " (t " : " (Completion ") +
                              percent_text(completion(k)) + "): " + e.what());
        }
    }
};

int thread_count(const Options& o) {
    const int threads =
        o.jobs != 0 ? o.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return std::clamp(threads, 1, kMaxJobs);
}

int job_count(const Options& o, int frames) {
    return std::min(thread_count(o), std::max(frames, 1));
}

// Threads left over when there are fewer frames than threads draw each frame in bands.
int threads_per_frame(const Options& o, int jobs) {
    return std::max(1, thread_count(o) / jobs);
}

// Frames shared out among `jobs` workers, each with its own instance of the host, its own copy
// of the layer and its own output. Rendering and compressing run side by side; the files are
// written one after the other in frame order, so that the run leaves what one worker would:
// the same files, and after a failed frame no later one.
void render_in_parallel(const FramePlan& plan, int frames, int jobs, ProgressBar& bar,
                        SkipTally& tally, const ThreadStarter& start_thread) {
    std::atomic<int> next{0};
    std::mutex lock;
    std::condition_variable turn;
    int next_to_write = 0;
    int failed_frame = frames;
    std::exception_ptr failure;
    const auto fail = [&](int k) {
        const std::lock_guard<std::mutex> guard(lock);
        if (k < failed_frame) {
            failed_frame = k;
            failure = std::current_exception();
        }
        turn.notify_all();
    };
    const auto work = [&] {
        std::optional<EffectRunner> runner;
        // Frames are handed out in order, so every frame before a failed one is already taken.
        for (int k = next++; k < frames; k = next++) {
            {
                const std::lock_guard<std::mutex> guard(lock);
                if (k > failed_frame) return;
            }
            try {
                if (!runner) {
                    runner.emplace();
                    runner->set_params(plan.o.params);
                    runner->set_threads(threads_per_frame(plan.o, jobs));
                }
                const std::optional<std::vector<unsigned char>> bytes =
                    plan.render(*runner, k, {}, tally);
                std::unique_lock<std::mutex> guard(lock);
                turn.wait(guard, [&] { return next_to_write == k || failed_frame < k; });
                if (failed_frame < k) return;
                guard.unlock();
                if (bytes) atomic::write_file(plan.path(k), *bytes);
                guard.lock();
                next_to_write = k + 1;
                bar.update(k, 1, 1);
                turn.notify_all();
            } catch (...) {
                fail(k);
                return;
            }
        }
    };
    // The calling thread is a worker too. When no more threads can start (no room for a stack,
    // a process limit), those that did share the frames.
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(jobs - 1));
    for (int j = 1; j < jobs; ++j) {
        try {
            workers.push_back(start_thread ? start_thread(work) : std::thread(work));
        } catch (...) {
            break;
        }
    }
    work();
    for (std::thread& worker : workers) worker.join();
    if (failure) std::rethrow_exception(failure);
}

void render_all(const Options& o, const ThreadStarter& start_thread) {
    std::optional<OutputPattern> pattern;
    if (o.frames && o.output != "-") pattern = OutputPattern::parse("--output", o.output);
    const int first = o.range ? o.range->first : 0;
    const int frames = o.range ? o.range->second - first + 1 : o.frames.value_or(1);
    if (o.output == "-" && isatty(STDOUT_FILENO)) {
        throw UsageError(
            "--output: '-' writes the PNG to standard output, which is a terminal; "
            "redirect it to a file or a pipe");
    }
    std::vector<std::string> outputs;
    for (int i = 0; i < frames; ++i)
        outputs.push_back(pattern ? pattern->name(first + i) : o.output);
    refuse_outputs_over_inputs(outputs, footage_files(o));

    const Footage footage(o);  // still pictures are read here, before any frame
    const long long pixels = footage.still_pixels();
    const int jobs = job_count(o, frames);
    const bool show_progress =
        !o.quiet && (o.force_progress ||
                     (isatty(STDERR_FILENO) && (frames > 1 || pixels >= kLargeFramePixels)));
    ProgressBar bar(show_progress, frames);
    const FramePlan plan{o, pattern, footage, first};
    SkipTally tally;
    if (jobs > 1) {
        render_in_parallel(plan, frames, jobs, bar, tally, start_thread);
    } else {
        EffectRunner runner;
        runner.set_params(o.params);
        runner.set_threads(threads_per_frame(o, jobs));
        for (int i = 0; i < frames; ++i) {
            const auto progress = [&bar, i](long done, long total) { bar.update(i, done, total); };
            const std::optional<std::vector<unsigned char>> bytes =
                plan.render(runner, i, progress, tally);
            if (bytes) atomic::write_file(plan.path(i), *bytes);
            bar.update(i, 1, 1);
        }
    }
    bar.finish();
    if (!o.quiet) tally.report(frames);
}

int report(const char* what, int status) {
    std::cerr << "zentrilox: " << what << "\n";
    if (status == kExitUsage) std::cerr << "Run 'zentrilox --help' for the options.\n";
    return status;
}

}  // namespace

double frame_completion(double from, double to, int k, int frames) {
    if (frames <= 1) return from;
    return from + (to - from) * static_cast<double>(k) / static_cast<double>(frames - 1);
}

int run(int argc, const char* const argv[], const ThreadStarter& start_thread) {
    try {
        const ParsedCommandLine parsed = parse_command_line(argc, argv, version_text);
        if (parsed.kind != ParsedCommandLine::Kind::run) {
            std::cout << parsed.text << std::flush;
            return std::cout ? 0 : kExitFailure;
        }
        render_all(parsed.options, start_thread);
        return 0;
    } catch (const UsageError& e) {
        return report(e.what(), kExitUsage);
    } catch (const Failure& e) {
        return report(e.what(), kExitFailure);
    } catch (const std::bad_alloc&) {
        return report("out of memory; try a smaller picture", kExitFailure);
    } catch (const std::exception& e) {
        return report(e.what(), kExitFailure);
    }
}

}  // namespace zx::cli
