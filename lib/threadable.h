#pragma once

#include "handle.h"
#include "lockable.h"

#include <atomic>
#include <cstdint>

namespace lib {

// Base of anything that runs a body on one worker thread of its own. The body is either
// cooperative (it watches `state` and returns once it is no longer running) or stopped by
// force through deferred cancellation; a body that stops itself unwinds with cancellation.
//
// A forced stop waits until the cancelled body has unwound, so it must reach a cancellation
// point, and it must hold the object's lock only through RAII guards (std::lock_guard), which
// the unwinding releases.
//
// On Windows there is no forced stop: a thread blocked in a wait cannot be made to unwind,
// and TerminateThread would leave locks and the heap undefined. A stop that would take the
// forced path (a body that is not cooperative, or force_terminate set) writes one line to
// standard error and ends the process with std::abort(), under the lock and before the
// state changes; no thread is ever terminated. The engine is cooperative and never gets there.
class threadable : public lockable {
public:
    struct cancellation {};

    enum thread_state : std::int32_t {
        not_started = 0,
        running = 1,
        finished = 2,
        cancelled = 3,
        start_failed = 4,
    };

    threadable() = default;
    ~threadable() override;

    // The caller holds the lock and has seen a state other than running.
    void start();
    // Never called while holding the lock: the worker takes it to end.
    void stop(bool wait_for_end);
    void cancel_self();

protected:
    virtual void run() = 0;
    virtual bool cooperative() { return false; }
    virtual void on_terminated() {}
    virtual void on_finished() {}

    void finish();
    static void thread_entry(void* object);

    // Read without the lock by the body and by stop; written under the lock.
    std::atomic<std::int32_t> state{not_started};
    handle thread_handle;
    std::atomic<std::uint32_t> thread_id{0};
    bool force_terminate = false;
};

} // namespace lib
