#include "threadable.h"

#include <cxxabi.h>

namespace lib {

threadable::~threadable()
{
    stop(true);
    thread_handle.close();
}

void threadable::start()
{
    std::uint32_t id = 0;
    thread_handle.attach(os::create_suspended_thread(&thread_entry, this, &id));
    if (thread_handle.is_valid()) {
        thread_id = id;
        state = running;
        if (os::resume_thread(thread_handle.value()))
            return;
        thread_handle.close();
        thread_id = 0;
    }
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

// The forced unwinding of a cancelled thread is caught by reference to a type with no
// object behind it, as the C++ runtime intends; the null check would call that an error.
__attribute__((no_sanitize("null"))) void threadable::thread_entry(void* object)
{
    auto* self = static_cast<threadable*>(object);
    try {
        self->run();
    } catch (const cancellation&) {
    } catch (abi::__forced_unwind&) {
        throw; // a forced stop: unwind without touching the object; the stopper finishes
    } catch (...) {
        self->finish();
        throw;
    }
    self->finish();
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
