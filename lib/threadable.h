#pragma once

#include "handle.h"
#include "lockable.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <type_traits>

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
//
// A cooperative body that may block where it cannot see a stop (a read from a mount that
// stopped answering) makes those calls through unattended(); stop_within() can then let such
// a worker go instead of waiting for it. A worker that was let go touches the object no
// more: no hook, no state, no finish(). The states and hooks belong to the worker in charge.
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
    // The cooperative stop, then a wait for the worker's end. A worker found inside an
    // unattended() call once `grace` has passed is let go, and the state reads finished at
    // once, so that a new worker can start; between such calls it is waited for, as by
    // stop(true). Returns false when it let a worker go. Never called while holding the
    // lock, nor on the worker.
    bool stop_within(std::chrono::milliseconds grace);
    void cancel_self();

protected:
    virtual void run() = 0;
    virtual bool cooperative() { return false; }
    virtual void on_terminated() {}
    virtual void on_finished() {}

    void finish();
    static void thread_entry(void* launch);

    // On the worker: runs call(), which must not throw, without the worker's hold on the
    // object, so that stop_within() may let the worker go meanwhile. If it did, throws
    // abandoned, which unwinds the body to its end without touching the object: the body must
    // not touch the object in destructors it passes through. Elsewhere just runs call().
    struct abandoned {};
    template <typename Call>
    static auto unattended(Call call)
    {
        static_assert(std::is_nothrow_invocable_v<Call>);
        release_object();
        if constexpr (std::is_void_v<std::invoke_result_t<Call>>) {
            call();
            reacquire_object();
        } else {
            auto result = call();
            reacquire_object();
            return result;
        }
    }

    // `state` and `thread_id` are read without the lock by the body and by stop, and written
    // under it; the other fields only under the lock.
    std::atomic<std::int32_t> state{not_started};
    handle thread_handle;
    std::atomic<std::uint32_t> thread_id{0};
    bool force_terminate = false;

private:
    // Shared by one worker and the object while that worker is in charge. The worker holds
    // `mutex` whenever it may touch the object, which is all the time but in unattended()
    // calls; whoever sets `detached` or `ended` holds it too.
    struct control_block {
        std::mutex mutex;
        std::condition_variable changed;
        bool ended = false; // the worker will touch the object no more
        bool detached = false;
    };
    struct launch {
        threadable* object;
        std::shared_ptr<control_block> held;
    };
    static void release_object() noexcept;
    static void reacquire_object();
    // On a worker thread, its own control block and its hold on it; null elsewhere.
    static thread_local control_block* own_control;
    static thread_local std::unique_lock<std::mutex>* own_hold;

    std::shared_ptr<control_block> worker_control; // of the last worker started; under the lock
    // Of the last worker started, until it was let go; waited for by the destructor and by
    // the next start(), so that no worker outlives the object. Under the lock.
    handle last_worker;
};

} // namespace lib
