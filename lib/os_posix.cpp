#include "os.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>

#include <pthread.h>
#include <sys/resource.h>

namespace lib::os {

// The kernel object behind the handles: freed when the last handle is closed and the
// thread has left its routine, whichever comes last.
struct thread_object {
    std::atomic<int> references{2}; // the handle returned by create, and the thread itself
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false; // the thread has published its id
    bool resumed = false;
    bool ended = false;
    pthread_t thread{};
    std::uint32_t id = 0;
    thread_routine routine = nullptr;
    void* argument = nullptr;
};

namespace {

void release(thread_object* object) noexcept
{
    if (object->references.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete object;
}

// Marks the object ended however the routine is left: return, exception or cancellation
// unwinding. Nothing of the program runs on the thread after this.
struct end_marker {
    thread_object* object;
    ~end_marker()
    {
        int previous;
        pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &previous);
        {
            std::lock_guard guard(object->mutex);
            object->ended = true;
        }
        object->changed.notify_all();
        release(object);
    }
};

void* trampoline(void* argument)
{
    auto* object = static_cast<thread_object*>(argument);
    end_marker marker{object};
    // Cancellation waits until the routine runs: the suspended wait below must not unwind.
    int previous;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &previous);
    {
        std::unique_lock guard(object->mutex);
        object->id = current_thread_id();
        object->started = true;
        object->changed.notify_all();
        object->changed.wait(guard, [object] { return object->resumed; });
    }
    pthread_setcancelstate(PTHREAD_CANCEL_ENABLE, &previous);
    object->routine(object->argument);
    return nullptr;
}

} // namespace

native_handle invalid_handle() noexcept
{
    return reinterpret_cast<native_handle>(~std::uintptr_t{0});
}

bool is_valid_handle(native_handle handle) noexcept
{
    return handle != nullptr && handle != invalid_handle();
}

native_handle create_suspended_thread(thread_routine routine, void* argument, std::uint32_t* id) noexcept
{
    auto* object = new (std::nothrow) thread_object;
    if (object == nullptr)
        return nullptr;
    object->routine = routine;
    object->argument = argument;

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    const int failed = pthread_create(&object->thread, &attributes, trampoline, object);
    pthread_attr_destroy(&attributes);
    if (failed != 0) {
        delete object;
        return nullptr;
    }
    // The id is known only once the thread runs; callers expect it on return.
    std::unique_lock guard(object->mutex);
    object->changed.wait(guard, [object] { return object->started; });
    *id = object->id;
    return object;
}

bool resume_thread(native_handle thread) noexcept
{
    if (!is_valid_handle(thread))
        return false;
    {
        std::lock_guard guard(thread->mutex);
        thread->resumed = true;
    }
    thread->changed.notify_all();
    return true;
}

void cancel_thread(native_handle thread) noexcept
{
    if (!is_valid_handle(thread))
        return;
    // A detached thread's pthread_t is valid only until it exits; `ended` is set before that.
    std::lock_guard guard(thread->mutex);
    if (!thread->ended)
        pthread_cancel(thread->thread);
}

native_handle duplicate_handle(native_handle source) noexcept
{
    if (!is_valid_handle(source))
        return nullptr;
    source->references.fetch_add(1, std::memory_order_relaxed);
    return source;
}

void close_handle(native_handle handle) noexcept
{
    if (is_valid_handle(handle))
        release(handle);
}

bool wait_for_thread(native_handle thread) noexcept
{
    if (!is_valid_handle(thread))
        return false;
    std::unique_lock guard(thread->mutex);
    thread->changed.wait(guard, [thread] { return thread->ended; });
    return true;
}

std::size_t open_files_limit() noexcept
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<std::size_t>::max();
    return static_cast<std::size_t>(limit.rlim_cur);
}

std::string error_message(unsigned long error)
{
    // strerror_r, since strerror may share its buffer between threads; the GNU form returns
    // the message, in text or in static storage.
    char text[256];
    return ::strerror_r(static_cast<int>(error), text, sizeof text);
}

bool is_missing(unsigned long error) noexcept
{
    return error == ENOENT;
}

} // namespace lib::os
