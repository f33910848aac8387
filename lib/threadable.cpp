#include "threadable.h"

#include <cxxabi.h>

namespace lib {

thread_local threadable::control_block* threadable::own_control = nullptr;
thread_local std::unique_lock<std::mutex>* threadable::own_hold = nullptr;

threadable::~threadable()
{
    stop(true);
    // The state reads finished a moment before the worker's thread ends. Let no thread of
    // ours run on past the object: a process that exits then may lose it mid-way (wine
    // kills such a process with SIGKILL).
    if (last_worker.is_valid())
        last_worker.wait();
    thread_handle.close();
}

void threadable::start()
{
    std::uint32_t id = 0;
    if (last_worker.is_valid())
        last_worker.wait(); // the last worker's tail: it no longer takes the lock
    auto* record = new launch{this, std::make_shared<control_block>()};
    worker_control = record->held;
    thread_handle.attach(os::create_suspended_thread(&thread_entry, record, &id));
    if (thread_handle.is_valid()) {
        thread_id = id;
        state = running;
        if (os::resume_thread(thread_handle.value())) {
            last_worker.assign(thread_handle);
            return;
        }
        // The created thread never runs its routine, so the record is ours to free.
        thread_handle.close();
        thread_id = 0;
    }
    delete record;
    worker_control.reset();
    state = start_failed;
}

void threadable::stop(bool wait_for_end)
{
    if (os::current_thread_id() == thread_id) {
        cancel_self();
        return;
    }
    handle waiter;
    bool forced = false;
    {
        std::lock_guard guard(*this);
        // Linux has no thread suspension; the cooperative path never needed the pause, and
        // the forced path waits for the cancelled thread instead.
        if (state == running) {
            waiter.assign(thread_handle);
            if (cooperative() && !force_terminate) {
                state = cancelled;
            } else {
                os::cancel_thread(thread_handle.value());
                state = cancelled;
                forced = true;
            }
        } else if (state == cancelled && thread_handle.is_valid()) {
            waiter.assign(thread_handle);
        }
    }
    if (forced) {
        // Deferred cancellation acts only at the body's next cancellation point and the body
        // may touch this object until then, so wait for its end whatever wait_for_end says.
        // The unwound body skipped finish(); do it on its behalf.
        waiter.wait();
        std::lock_guard guard(*this);
        finish();
        state = cancelled;
        on_terminated();
        return;
    }
    if (waiter.is_valid() && wait_for_end)
        waiter.wait();
}

bool threadable::stop_within(std::chrono::milliseconds grace)
{
    const auto deadline = std::chrono::steady_clock::now() + grace;
    std::shared_ptr<control_block> worker;
    {
        std::lock_guard guard(*this);
        worker = worker_control;
    }
    stop(false);
    if (!worker)
        return true;
    // The worker holds its control block except inside unattended() calls, and gives it up while
    // it waits for the lock of nothing but its control block: taking it here waits at most for
    // the work between two such calls.
    std::unique_lock hold(worker->mutex);
    if (worker->changed.wait_until(hold, deadline, [&] { return worker->ended; }))
        return true;
    worker->detached = true;
    worker->ended = true;
    hold.unlock();
    std::lock_guard guard(*this);
    if (worker_control == worker) {
        thread_handle.close();
        last_worker.close();
        thread_id = 0;
        state = finished;
        worker_control.reset();
    }
    return false;
}

void threadable::cancel_self()
{
    if (os::current_thread_id() != thread_id) {
        stop(true);
        return;
    }
    bool cancelling = false;
    {
        std::lock_guard guard(*this);
        if (state == running) {
            state = cancelled;
            cancelling = true;
        }
    }
    if (cancelling)
        throw cancellation{};
}

void threadable::release_object() noexcept
{
    if (own_hold != nullptr)
        own_hold->unlock();
}

void threadable::reacquire_object()
{
    if (own_hold == nullptr)
        return;
    own_hold->lock();
    if (own_control->detached)
        throw abandoned{};
}

// The forced unwinding of a cancelled thread is caught by reference to a type with no
// object behind it, as the C++ runtime intends; the null check would call that an error.
__attribute__((no_sanitize("null"))) void threadable::thread_entry(void* argument)
{
    const std::unique_ptr<launch> record(static_cast<launch*>(argument));
    control_block& mine = *record->held;
    std::unique_lock hold(mine.mutex);
    if (mine.detached)
        return; // let go before it began
    own_control = &mine;
    own_hold = &hold;
    struct forget {
        ~forget() { own_control = nullptr, own_hold = nullptr; }
    } forgotten;
    threadable* const self = record->object;
    const auto ended = [&] {
        mine.ended = true;
        mine.changed.notify_all();
    };
    try {
        self->run();
    } catch (const cancellation&) {
    } catch (const abandoned&) {
        return; // the object may be gone: touch nothing of it
    } catch (abi::__forced_unwind&) {
        // A forced stop: unwind without touching the object; the stopper finishes.
        ended();
        throw;
    } catch (...) {
        self->finish();
        ended();
        throw;
    }
    self->finish();
    ended();
}

void threadable::finish()
{
    // on_finished() runs before the state reads finished: once it does, the owner may
    // destroy or restart the object at once, and the worker must touch it no more.
    if (os::current_thread_id() == thread_id)
        on_finished();
    std::lock_guard guard(*this);
    thread_handle.close();
    thread_id = 0;
    state = finished;
}

} // namespace lib
