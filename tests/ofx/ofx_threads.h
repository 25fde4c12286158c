// A mutex and two threads for the test host, on Windows by the system's own calls: the
// cross compiler's default thread model has no std::mutex or std::thread.
#pragma once

#include <functional>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <mutex>
#include <thread>
#endif

namespace zx::ofxtest {

#if defined(_WIN32)
class Mutex {
  public:
    Mutex() { InitializeCriticalSection(&section_); }
    ~Mutex() { DeleteCriticalSection(&section_); }
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    void lock() { EnterCriticalSection(&section_); }
    void unlock() { LeaveCriticalSection(&section_); }

  private:
    CRITICAL_SECTION section_;
};

// Runs both functions at once and returns when both are done.
inline void run_together(const std::function<void()>& a, const std::function<void()>& b) {
    const auto start = [](void* f) -> DWORD {
        (*static_cast<const std::function<void()>*>(f))();
        return 0;
    };
    HANDLE threads[2] = {
        CreateThread(nullptr, 0, start, const_cast<std::function<void()>*>(&a), 0, nullptr),
        CreateThread(nullptr, 0, start, const_cast<std::function<void()>*>(&b), 0, nullptr)};
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);
}

// Runs f(i) for i in 0..n-1, each on a thread of its own, and returns when all are done.
inline void run_each(unsigned n, const std::function<void(unsigned)>& f) {
    struct Call {
        const std::function<void(unsigned)>* f;
        unsigned i;
    };
    const auto start = [](void* c) -> DWORD {
        const Call& call = *static_cast<const Call*>(c);
        (*call.f)(call.i);
        return 0;
    };
    std::vector<Call> calls(n);
    std::vector<HANDLE> threads(n);
    for (unsigned i = 0; i < n; ++i) {
        calls[i] = {&f, i};
        threads[i] = CreateThread(nullptr, 0, start, &calls[i], 0, nullptr);
    }
    for (HANDLE t : threads) {
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
    }
}
#else
using Mutex = std::mutex;

inline void run_together(const std::function<void()>& a, const std::function<void()>& b) {
    std::thread ta(a);
    std::thread tb(b);
    ta.join();
    tb.join();
}

inline void run_each(unsigned n, const std::function<void(unsigned)>& f) {
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < n; ++i) threads.emplace_back(f, i);
    for (std::thread& t : threads) t.join();
}
#endif

class Guard {
  public:
    explicit Guard(Mutex& m) : m_(m) { m_.lock(); }
    ~Guard() { m_.unlock(); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

  private:
    Mutex& m_;
};

}  // namespace zx::ofxtest
